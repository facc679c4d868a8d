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
    const std::uint16_t blockAlign = static_cast<std::uint16_t>(source.channels * source.bits / 8);
    const std::uint16_t sampleTag = source.isFloat ? 3 : 1;
    const bool extensible = source.header == WideSource::Header::Extensible;
    Bytes fmt;
    PutU16(fmt, extensible ? 0xFFFE : sampleTag);
    PutU16(fmt, source.channels);
    PutU32(fmt, source.rate);
    PutU32(fmt, source.rate * blockAlign);
    PutU16(fmt, blockAlign);
    PutU16(fmt, source.bits);
    if (extensible) {
        PutU16(fmt, 22);
        PutU16(fmt, source.bits);
        PutU32(fmt, source.channelMask);
        PutU16(fmt, sampleTag);
        const std::uint8_t tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                       0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        fmt.insert(fmt.end(), std::begin(tail), std::end(tail));
    } else if (source.isFloat) {
        PutU16(fmt, 0);
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
