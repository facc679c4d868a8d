#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// The facts of a PCM WAV file that the encoder needs, found by a bounded walk
// over the RIFF chunks (or the 64-bit form's, whose `ds64` chunk holds the
// sizes beyond 4 GB). Nothing in the file is trusted: every size is checked
// against the form and the file before it is used.
struct WaveSource {
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint16_t bitsPerSample = 0;
    bool isFloat = false;     // IEEE float samples rather than integers
    uint32_t channelMask = 0; // speaker mask of an extensible format; 0 none
    uint16_t blockAlign = 0;
    uint64_t dataOffset = 0; // first byte of the sample data
    uint64_t dataBytes = 0;  // whole sample frames only
};

// Empty on success, else what is wrong with the file, for the user.
std::string ReadWaveSource(std::FILE* file, WaveSource& source);
