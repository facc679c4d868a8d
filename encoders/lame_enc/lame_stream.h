#pragma once

#include "encoders/be_interface.h"

#include <cstdint>
#include <memory>
#include <vector>

struct lame_global_struct;

// One MP3 stream on libmp3lame. The plain configuration gives a constant
// bitrate written straight to its destination, with no Info frame, since
// nobody rewrites its start. The LAME form adds joint stereo, VBR and a
// reserved first frame that WriteInfoTag fills once the stream is finished:
// the encoder delay and padding (gapless playback, exact length) and for VBR
// the seek table.
class LameStream {
public:
    static BE_ERR Open(const BE_CONFIG& config, std::unique_ptr<LameStream>& stream);
    ~LameStream();

    LameStream(const LameStream&) = delete;
    LameStream& operator=(const LameStream&) = delete;

    uint32_t SamplesPerChunk() const { return samplesPerChunk; }
    uint32_t OutputBufferBytes() const { return outputLimit; }

    BE_ERR Encode(const int16_t* samples, uint32_t count, uint8_t* output, uint32_t* produced);
    BE_ERR Finish(uint8_t* output, uint32_t* produced);
    BE_ERR WriteInfoTag(const char* fileName);

    static void EngineVersion(uint8_t& major, uint8_t& minor);
    static const char* Homepage();

private:
    LameStream(lame_global_struct* encoder, uint32_t channels, uint32_t samplesPerChunk,
               bool infoFrame);
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
    bool infoFrame = false; // the first frame was reserved for it
};
