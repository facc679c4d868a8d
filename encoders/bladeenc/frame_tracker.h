#pragma once

#include <cstddef>
#include <cstdint>

// Follows the MPEG audio frames of an output stream as it is written, so the
// stream can be ended on a frame boundary: shine's last frame can come out a
// few bytes short of the length its header announces, which decoders report
// as damage (and which runs into a trailing tag).
class MpegFrameTracker {
public:
    void Feed(const std::uint8_t* data, std::size_t size);
    // Bytes still owed to the frame in progress; 0 on a boundary or once the
    // stream stopped looking like MPEG audio.
    std::uint32_t MissingBytes() const { return lost ? 0 : remaining; }
    // A frame ended where no frame header followed.
    bool IsLost() const { return lost; }

private:
    std::uint8_t header[4] = {};
    std::uint32_t headerBytes = 0;
    std::uint32_t remaining = 0;
    bool lost = false;
};

// Length in bytes of the frame that starts with `header`, or 0 when it is not
// a Layer III frame header.
std::uint32_t MpegFrameLength(const std::uint8_t header[4]);
