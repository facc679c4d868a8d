#include "platform/acm_waveformat.h"

namespace {

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    PutU16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    PutU16(out, static_cast<std::uint16_t>(value >> 16));
}

std::uint16_t GetU16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::uint32_t GetU32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return GetU16(bytes, at) | (static_cast<std::uint32_t>(GetU16(bytes, at + 2)) << 16);
}

} // namespace

WAVEFORMATEX WAVEFORMATEX::Pcm(std::uint16_t channels, std::uint32_t samplesPerSec,
                               std::uint16_t bitsPerSample) {
    WAVEFORMATEX format;
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = channels;
    format.nSamplesPerSec = samplesPerSec;
    format.wBitsPerSample = bitsPerSample;
    format.nBlockAlign = static_cast<std::uint16_t>(channels * ((bitsPerSample + 7) / 8));
    format.nAvgBytesPerSec = samplesPerSec * format.nBlockAlign;
    return format;
}

bool WAVEFORMATEX::SetExtra(std::span<const std::uint8_t> bytes) {
    if (bytes.size() > WAVEFORMATEX_MAX_EXTRA) {
        return false;
    }
    extra.assign(bytes.begin(), bytes.end());
    return true;
}

std::uint32_t WAVEFORMATEX::RecordSize() const {
    return IsPcm() ? PCMWAVEFORMAT_SIZE : WAVEFORMATEX_HEADER_SIZE + cbSize();
}

std::vector<std::uint8_t> WAVEFORMATEX::Serialize() const {
    std::vector<std::uint8_t> out;
    out.reserve(RecordSize());
    PutU16(out, wFormatTag);
    PutU16(out, nChannels);
    PutU32(out, nSamplesPerSec);
    PutU32(out, nAvgBytesPerSec);
    PutU16(out, nBlockAlign);
    PutU16(out, wBitsPerSample);
    if (!IsPcm()) {
        PutU16(out, cbSize());
        out.insert(out.end(), extra.begin(), extra.end());
    }
    return out;
}

std::optional<WAVEFORMATEX> WAVEFORMATEX::Parse(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < PCMWAVEFORMAT_SIZE) {
        return std::nullopt;
    }
    WAVEFORMATEX format;
    format.wFormatTag = GetU16(bytes, 0);
    format.nChannels = GetU16(bytes, 2);
    format.nSamplesPerSec = GetU32(bytes, 4);
    format.nAvgBytesPerSec = GetU32(bytes, 8);
    format.nBlockAlign = GetU16(bytes, 12);
    format.wBitsPerSample = GetU16(bytes, 14);
    if (format.IsPcm() || bytes.size() < WAVEFORMATEX_HEADER_SIZE) {
        return format;
    }
    const std::uint16_t count = GetU16(bytes, 16);
    if (count > WAVEFORMATEX_MAX_EXTRA || count > bytes.size() - WAVEFORMATEX_HEADER_SIZE) {
        return std::nullopt;
    }
    format.extra.assign(bytes.begin() + WAVEFORMATEX_HEADER_SIZE,
                        bytes.begin() + WAVEFORMATEX_HEADER_SIZE + count);
    return format;
}
