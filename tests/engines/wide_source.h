#pragma once

#include "support/wav_builder.h"

#include <cstdint>
#include <vector>

// WAV files of every uncompressed kind, made in code: a sine in chosen
// channels, the others silent.
struct WideSource {
    enum class Header { Plain, Extensible };
    std::uint16_t bits = 16;
    bool isFloat = false;
    std::uint16_t channels = 2;
    std::uint32_t rate = 44100;
    Header header = Header::Plain;
    std::uint32_t channelMask = 0;
    std::vector<bool> toneIn; // empty: every channel carries the tone
    double frequency = 1000.0;
    double amplitude = 0.5; // of full scale
};

// The whole file; a float file without a `fact` chunk, as many tools write it.
testsupport::Bytes MakeWideWav(const WideSource& source, std::uint32_t frames);
