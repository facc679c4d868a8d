#include "support/wav_builder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <random>

namespace testsupport {

void PutU16(Bytes& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutU32(Bytes& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>((value >> shift) & 0xFF));
    }
}

void PutSample(Bytes& out, double value, std::uint16_t bits, bool isFloat) {
    if (isFloat && bits == 64) {
        std::uint64_t raw = 0;
        std::memcpy(&raw, &value, sizeof raw);
        PutU32(out, static_cast<std::uint32_t>(raw));
        PutU32(out, static_cast<std::uint32_t>(raw >> 32));
        return;
    }
    if (isFloat) {
        const float single = static_cast<float>(value);
        std::uint32_t raw = 0;
        std::memcpy(&raw, &single, sizeof raw);
        PutU32(out, raw);
        return;
    }
    const int bytes = (bits + 7) / 8;
    if (bytes == 1) {
        out.push_back(static_cast<std::uint8_t>(std::lround(value * 127.0) + 128));
        return;
    }
    const double scale = std::ldexp(1.0, bytes * 8 - 1) - 1.0;
    auto sample = static_cast<std::int64_t>(std::llround(value * scale));
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<std::uint8_t>((sample >> (8 * i)) & 0xFF));
    }
}

Bytes MakePcm(const PcmFormat& format, std::uint32_t frames, Signal signal, double frequency,
              std::uint32_t seed) {
    Bytes out;
    out.reserve(static_cast<std::size_t>(frames) * format.BlockAlign());
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> noise(-0.5, 0.5);
    for (std::uint32_t frame = 0; frame < frames; ++frame) {
        for (std::uint16_t channel = 0; channel < format.channels; ++channel) {
            double value = 0.0;
            if (signal == Signal::Tone) {
                // Each channel a little higher, so a channel swap would show.
                const double f = frequency * (1.0 + 0.5 * channel);
                value = 0.5 * std::sin(2.0 * std::numbers::pi * f * frame / format.sampleRate);
            } else if (signal == Signal::Noise) {
                value = noise(random);
            }
            PutSample(out, value, format.bitsPerSample);
        }
    }
    return out;
}

Bytes FormatRecord(std::uint16_t tag, std::uint16_t channels, std::uint32_t sampleRate,
                   std::uint32_t avgBytesPerSec, std::uint16_t blockAlign,
                   std::uint16_t bitsPerSample, const Bytes& extra) {
    Bytes out;
    PutU16(out, tag);
    PutU16(out, channels);
    PutU32(out, sampleRate);
    PutU32(out, avgBytesPerSec);
    PutU16(out, blockAlign);
    PutU16(out, bitsPerSample);
    PutU16(out, static_cast<std::uint16_t>(extra.size()));
    out.insert(out.end(), extra.begin(), extra.end());
    return out;
}

Bytes PcmFormatRecord(const PcmFormat& format, bool withCbSize) {
    Bytes out = FormatRecord(1, format.channels, format.sampleRate, format.ByteRate(),
                             format.BlockAlign(), format.bitsPerSample);
    if (!withCbSize) {
        out.resize(16);
    }
    return out;
}

WavBuilder& WavBuilder::Chunk(const std::string& id, const Bytes& payload,
                              std::optional<std::uint32_t> declaredSize, bool pad) {
    std::string fourcc = id;
    fourcc.resize(4, ' ');
    body.insert(body.end(), fourcc.begin(), fourcc.end());
    PutU32(body, declaredSize.value_or(static_cast<std::uint32_t>(payload.size())));
    body.insert(body.end(), payload.begin(), payload.end());
    if (pad && payload.size() % 2 == 1) {
        body.push_back(0);
    }
    return *this;
}

WavBuilder& WavBuilder::Fmt(const PcmFormat& format, bool withCbSize) {
    return Chunk("fmt ", PcmFormatRecord(format, withCbSize));
}

WavBuilder& WavBuilder::FmtRecord(const Bytes& record) {
    return Chunk("fmt ", record);
}

WavBuilder& WavBuilder::Fact(std::uint32_t frames) {
    Bytes payload;
    PutU32(payload, frames);
    return Chunk("fact", payload);
}

WavBuilder& WavBuilder::Data(const Bytes& samples) {
    return Chunk("data", samples);
}

WavBuilder& WavBuilder::List(const std::string& type, const Bytes& body) {
    Bytes payload(type.begin(), type.end());
    payload.resize(4, ' ');
    payload.insert(payload.end(), body.begin(), body.end());
    return Chunk("LIST", payload);
}

WavBuilder& WavBuilder::Disp(std::uint32_t clipboardType, const Bytes& data) {
    Bytes payload;
    PutU32(payload, clipboardType);
    payload.insert(payload.end(), data.begin(), data.end());
    return Chunk("DISP", payload);
}

WavBuilder& WavBuilder::Plst(const std::vector<PlaylistSegment>& segments) {
    Bytes payload;
    PutU32(payload, static_cast<std::uint32_t>(segments.size()));
    for (const PlaylistSegment& segment : segments) {
        PutU32(payload, segment.cueId);
        PutU32(payload, segment.length);
        PutU32(payload, segment.loops);
    }
    return Chunk("plst", payload);
}

WavBuilder& WavBuilder::Raw(const Bytes& bytes) {
    body.insert(body.end(), bytes.begin(), bytes.end());
    return *this;
}

Bytes WavBuilder::Build(const std::string& formType, std::optional<std::uint32_t> riffSize) const {
    Bytes out{'R', 'I', 'F', 'F'};
    PutU32(out, riffSize.value_or(static_cast<std::uint32_t>(4 + body.size())));
    std::string type = formType;
    type.resize(4, ' ');
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes MakePcmWav(const PcmFormat& format, std::uint32_t frames, Signal signal) {
    return WavBuilder().Fmt(format).Data(MakePcm(format, frames, signal)).Build();
}

Bytes MakeCompressedWav(std::uint16_t tag, std::uint32_t dataBytes,
                        std::optional<std::uint32_t> factFrames, const Bytes& extra) {
    WavBuilder builder;
    builder.FmtRecord(FormatRecord(tag, 2, 44100, 16000, 1, 0, extra));
    if (factFrames) {
        builder.Fact(*factFrames);
    }
    const PcmFormat noiseFormat{8000, 1, 8};
    return builder.Data(MakePcm(noiseFormat, dataBytes, Signal::Noise)).Build();
}

Bytes Truncated(const Bytes& file, std::size_t length) {
    return Bytes(file.begin(),
                 file.begin() + static_cast<std::ptrdiff_t>(std::min(length, file.size())));
}

Bytes Corrupted(const Bytes& file, std::uint32_t seed, int changes) {
    Bytes out = file;
    if (out.empty()) {
        return out;
    }
    std::mt19937 random(seed);
    const auto size = static_cast<std::uint32_t>(out.size());
    const std::uint32_t boundaries[] = {0u,          1u,          2u,          4u,   0x7FFFFFFFu,
                                        0x80000000u, 0xFFFFFFFFu, 0xFFFFFFF8u, size, size - 8,
                                        size + 1,    0xFFFEu,     0x10000u};
    for (int change = 0; change < changes; ++change) {
        const std::uint32_t span = (random() % 2 == 0) ? std::min<std::uint32_t>(size, 64) : size;
        const std::uint32_t offset = random() % span;
        if (random() % 2 == 0) {
            out[offset] = static_cast<std::uint8_t>(random());
            continue;
        }
        const std::uint32_t value = boundaries[random() % std::size(boundaries)];
        for (std::uint32_t i = 0; i < 4 && offset + i < size; ++i) {
            out[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
        }
    }
    return out;
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool WriteSilentWav(const std::string& path, std::uint32_t seconds) {
    const PcmFormat format;
    const std::uint32_t data = seconds * format.ByteRate();
    WavBuilder builder;
    builder.Fmt(format).Chunk("data", {}, data);
    const Bytes header = builder.Build("WAVE", builder.FormSize() + data);
    std::error_code error;
    return WriteFile(path, header) &&
           (std::filesystem::resize_file(path, header.size() + data, error), !error);
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace testsupport
