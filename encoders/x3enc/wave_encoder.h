#pragma once

#include "encoders/x3enc/wave_source.h"

#include <csignal>
#include <string>

enum class EncodeResult { Done, Failed, Stopped };

// Encodes the sample data of an opened source into `destination` as an MP3
// with an Info frame (gapless playback, exact length): at a constant bit
// rate, or with a VBR quality of 0 to 9 (bitsPerSecond then unused). `stop`
// is polled between blocks.
// On anything but Done the destination is removed: a half-written MP3 is no
// use to anybody and must not pass for a finished one.
EncodeResult EncodeWave(std::FILE* source, const WaveSource& wave, const std::string& destination,
                        unsigned long bitsPerSecond, int vbrQuality,
                        const volatile std::sig_atomic_t& stop, std::string& error);
