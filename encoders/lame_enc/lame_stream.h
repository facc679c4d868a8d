#pragma once

#include "encoders/be_interface.h"

#include <cstdint>
#include <memory>
#include <vector>

struct lame_global_struct;

// One constant-bitrate MP3 stream on libmp3lame, written straight to its
// destination: no info-tag frame is reserved, as nobody rewrites the start.
class LameStream {
public:
    static BE_ERR Open(const BE_MP3_CONFIG& config, std::unique_ptr<LameStream>& stream);
    ~LameStream();

    LameStream(const LameStream&) = delete;
    LameStream& operator=(const LameStream&) = delete;

    uint32_t SamplesPerChunk() const { return samplesPerChunk; }
    uint32_t OutputBufferBytes() const { return outputLimit; }

    BE_ERR Encode(const int16_t* samples, uint32_t count, uint8_t* output, uint32_t* produced);
    BE_ERR Finish(uint8_t* output, uint32_t* produced);

    static void EngineVersion(uint8_t& major, uint8_t& minor);
    static const char* Homepage();

private:
    LameStream(lame_global_struct* encoder, uint32_t channels, uint32_t samplesPerChunk);
    BE_ERR EncodeFrames(uint32_t frames, uint8_t* output, uint32_t* produced);

    lame_global_struct* encoder;
    uint32_t channels;
    uint32_t samplesPerChunk;
    uint32_t outputLimit;
    // The caller may split a stereo frame between two calls; its first half
    // waits here. The rest is copied because lame wants writable input.
    std::vector<int16_t> scratch;
    std::size_t held = 0;
    bool finished = false;
};
