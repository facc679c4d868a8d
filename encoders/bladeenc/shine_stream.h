#pragma once

#include "encoders/be_interface.h"
#include "encoders/bladeenc/frame_tracker.h"

#include <cstdint>
#include <memory>
#include <vector>

struct shine_global_flags;

// One MP3 stream on libshine. Shine only takes whole passes, so samples are
// gathered until a pass is full; the last partial pass is padded with silence.
class ShineStream {
public:
    // The plain MP3 configuration only: libshine knows no VBR and leaves no
    // room for an Info frame.
    static BE_ERR Open(const BE_CONFIG& config, std::unique_ptr<ShineStream>& stream);
    ~ShineStream();

    ShineStream(const ShineStream&) = delete;
    ShineStream& operator=(const ShineStream&) = delete;

    uint32_t SamplesPerChunk() const { return static_cast<uint32_t>(pass.size()); }
    uint32_t OutputBufferBytes() const { return outputLimit; }

    BE_ERR Encode(const int16_t* samples, uint32_t count, uint8_t* output, uint32_t* produced);
    BE_ERR Finish(uint8_t* output, uint32_t* produced);

    // Version of the shine release this library was built against.
    static void EngineVersion(uint8_t& major, uint8_t& minor);

private:
    ShineStream(shine_global_flags* encoder, std::size_t passSamples, uint32_t outputLimit);
    BE_ERR EncodePass(uint8_t* output, uint32_t* produced);
    BE_ERR Append(const unsigned char* data, int bytes, uint8_t* output, uint32_t* produced);

    shine_global_flags* encoder;
    std::vector<int16_t> pass; // interleaved, one pass of all channels
    std::size_t filled = 0;
    uint32_t outputLimit;
    bool finished = false;
    MpegFrameTracker frames;
};
