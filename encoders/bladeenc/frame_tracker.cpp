#include "encoders/bladeenc/frame_tracker.h"

#include <algorithm>

namespace {

constexpr std::uint32_t MPEG1_BITRATES[16] = {0,   32,  40,  48,  56,  64,  80,  96,
                                              112, 128, 160, 192, 224, 256, 320, 0};
constexpr std::uint32_t MPEG2_BITRATES[16] = {0,  8,  16, 24,  32,  40,  48,  56,
                                              64, 80, 96, 112, 128, 144, 160, 0};
constexpr std::uint32_t MPEG1_RATES[4] = {44100, 48000, 32000, 0};
constexpr std::uint32_t MPEG2_RATES[4] = {22050, 24000, 16000, 0};

} // namespace

std::uint32_t MpegFrameLength(const std::uint8_t header[4]) {
    const bool sync = header[0] == 0xFF && (header[1] & 0xE0) == 0xE0;
    const unsigned version = (header[1] >> 3) & 3; // 3 MPEG-1, 2 MPEG-2
    const unsigned layer = (header[1] >> 1) & 3;   // 1 Layer III
    if (!sync || layer != 1 || (version != 3 && version != 2)) {
        return 0;
    }
    const bool mpeg1 = version == 3;
    const std::uint32_t bitrate = (mpeg1 ? MPEG1_BITRATES : MPEG2_BITRATES)[header[2] >> 4];
    const std::uint32_t rate = (mpeg1 ? MPEG1_RATES : MPEG2_RATES)[(header[2] >> 2) & 3];
    if (bitrate == 0 || rate == 0) {
        return 0;
    }
    const std::uint32_t padding = (header[2] >> 1) & 1;
    return (mpeg1 ? 144u : 72u) * bitrate * 1000u / rate + padding;
}

void MpegFrameTracker::Feed(const std::uint8_t* data, std::size_t size) {
    while (size > 0 && !lost) {
        if (remaining > 0) {
            const std::size_t step = std::min<std::size_t>(remaining, size);
            remaining -= static_cast<std::uint32_t>(step);
            data += step;
            size -= step;
            continue;
        }
        header[headerBytes++] = *data++;
        --size;
        if (headerBytes == 4) {
            headerBytes = 0;
            const std::uint32_t length = MpegFrameLength(header);
            if (length < 4) {
                lost = true;
                return;
            }
            remaining = length - 4;
        }
    }
}
