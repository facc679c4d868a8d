#include "wide_source.h"

#include <cmath>
#include <numbers>

using testsupport::Bytes;
using testsupport::PutU16;
using testsupport::PutU32;

namespace {

Bytes FormatChunk(const WideSource& source) {
    const auto blockAlign = static_cast<std::uint16_t>(source.channels * source.bits / 8);
    const std::uint16_t sampleTag = source.isFloat ? 3 : 1;
    Bytes extra;
    if (source.header == WideSource::Header::Extensible) {
        PutU16(extra, source.bits);
        PutU32(extra, source.channelMask);
        extra.insert(extra.end(), {std::uint8_t(sampleTag), 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0,
                                   0xAA, 0, 0x38, 0x9B, 0x71});
    }
    Bytes fmt =
        testsupport::FormatRecord(extra.empty() ? sampleTag : 0xFFFE, source.channels, source.rate,
                                  source.rate * blockAlign, blockAlign, source.bits, extra);
    if (extra.empty() && !source.isFloat) {
        fmt.resize(16); // plain integer PCM has no cbSize
    }
    return fmt;
}

} // namespace

Bytes MakeWideWav(const WideSource& source, std::uint32_t frames) {
    Bytes data;
    data.reserve(std::size_t(frames) * source.channels * source.bits / 8);
    const double step = 2.0 * std::numbers::pi * source.frequency / source.rate;
    for (std::uint32_t frame = 0; frame < frames; ++frame) {
        const double value = source.amplitude * std::sin(step * frame);
        for (std::uint16_t channel = 0; channel < source.channels; ++channel) {
            const bool tone = source.toneIn.empty() || source.toneIn[channel];
            testsupport::PutSample(data, tone ? value : 0.0, source.bits, source.isFloat);
        }
    }
    return testsupport::WavBuilder().Chunk("fmt ", FormatChunk(source)).Data(data).Build();
}
