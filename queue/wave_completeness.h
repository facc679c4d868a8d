#pragma once

#include <QString>

// False while a WAV file looks unfinished: shorter than its RIFF header, or
// its chunks (the data chunk above all) run past the end of the file, as
// they do while a writer that put the final sizes first is still copying.
// A file that is no RIFF WAVE at all counts as finished: the wave reader
// rejects it in its own words.
bool LooksWholeWave(const QString& path);
