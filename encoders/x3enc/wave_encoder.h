#pragma once

#include "encoders/x3enc/wave_source.h"

#include <csignal>
#include <string>

enum class EncodeResult { Done, Failed, Stopped };

// Encodes the sample data of an opened source into `destination` as a
// constant-bitrate MP3 with an info tag. `stop` is polled between blocks.
// On anything but Done the destination is removed: a half-written MP3 is no
// use to anybody and must not pass for a finished one.
EncodeResult EncodeWave(std::FILE* source, const WaveSource& wave, const std::string& destination,
                        unsigned long bitsPerSecond, const volatile std::sig_atomic_t& stop,
                        std::string& error);
