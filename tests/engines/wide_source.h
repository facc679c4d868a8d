#pragma once

#include "support/wav_builder.h"

#include <cstdint>
#include <utility>
#include <vector>

// WAV files of every uncompressed kind, made in code: a sine in chosen
// channels, the others silent.
struct WideSource {
    enum class Header { Plain, Extensible };
    WideSource(std::uint16_t bits, bool isFloat, std::uint16_t channels, std::uint32_t rate,
               Header header = Header::Plain, std::uint32_t mask = 0, std::vector<bool> toneIn = {})
        : bits(bits), isFloat(isFloat), channels(channels), rate(rate), header(header),
          channelMask(mask), toneIn(std::move(toneIn)) {}
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
