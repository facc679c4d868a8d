#pragma once

#include <QString>

// Writes a CD-quality (44100 Hz, 16 bits, stereo) WAV file holding a quiet
// tone of the given length; false when it cannot be written.
bool WriteSampleWav(const QString& path, int seconds);
