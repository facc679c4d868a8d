#include "wide_source.h"

#include <cmath>
#include <cstring>
#include <numbers>

using testsupport::Bytes;
using testsupport::PutU16;
using testsupport::PutU32;

namespace {

void PutSample(Bytes& out, const WideSource& source, double value) {
    if (source.isFloat) {
        if (source.bits == 64) {
            std::uint64_t raw = 0;
            std::memcpy(&raw, &value, sizeof raw);
            PutU32(out, static_cast<std::uint32_t>(raw));
            PutU32(out, static_cast<std::uint32_t>(raw >> 32));
        } else {
            const float single = static_cast<float>(value);
            std::uint32_t raw = 0;
            std::memcpy(&raw, &single, sizeof raw);
            PutU32(out, raw);
        }
        return;
    }
    const double scale = std::ldexp(1.0, source.bits - 1) - 1.0;
    const auto integer = static_cast<std::int64_t>(std::lround(value * scale));
    if (source.bits == 8) {
        out.push_back(static_cast<std::uint8_t>(integer + 128));
        return;
    }
    for (int byte = 0; byte < source.bits / 8; ++byte) {
        out.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(integer) >> (8 * byte)));
    }
}

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
            PutSample(data, source, tone ? value : 0.0);
        }
    }
    return testsupport::WavBuilder().Chunk("fmt ", FormatChunk(source)).Data(data).Build();
}
