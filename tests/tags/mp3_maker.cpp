#include "mp3_maker.h"

namespace tagtest {

namespace {
constexpr int FRAME_BYTES = 417; // 144 * 128000 / 44100, no padding
constexpr int SIDE_INFO_END = 4 + 32;
} // namespace

Bytes MakeMpegFrames(int frames) {
    Bytes out;
    out.reserve(std::size_t(frames) * FRAME_BYTES);
    for (int f = 0; f < frames; ++f) {
        const std::size_t start = out.size();
        out.insert(out.end(), {0xFF, 0xFB, 0x90, 0x00});
        out.resize(start + SIDE_INFO_END, 0);
        for (int i = SIDE_INFO_END; i < FRAME_BYTES; ++i) {
            out.push_back(std::uint8_t((f * 7 + i * 13) & 0x7F));
        }
    }
    return out;
}

} // namespace tagtest
