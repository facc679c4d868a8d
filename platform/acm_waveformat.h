#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

inline constexpr std::uint16_t WAVE_FORMAT_UNKNOWN = 0x0000;
inline constexpr std::uint16_t WAVE_FORMAT_PCM = 0x0001;
inline constexpr std::uint16_t WAVE_FORMAT_ADPCM = 0x0002;
inline constexpr std::uint16_t WAVE_FORMAT_ALAW = 0x0006;
inline constexpr std::uint16_t WAVE_FORMAT_MULAW = 0x0007;
inline constexpr std::uint16_t WAVE_FORMAT_IMA_ADPCM = 0x0011;
inline constexpr std::uint16_t WAVE_FORMAT_MPEGLAYER3 = 0x0055;

// Sizes of the record as it lies in a `fmt ` chunk.
inline constexpr std::uint32_t PCMWAVEFORMAT_SIZE = 16;
inline constexpr std::uint32_t WAVEFORMATEX_HEADER_SIZE = 18;
// No codec we know needs more; a larger count in a file is treated as damage.
inline constexpr std::uint32_t WAVEFORMATEX_MAX_EXTRA = 1024;

// A wave format record: the 18-byte header and the codec's extra bytes. The
// extra-byte count (cbSize) always equals the stored extra bytes, so a record
// can never claim more bytes than it carries.
class WAVEFORMATEX {
public:
    std::uint16_t wFormatTag = 0;
    std::uint16_t nChannels = 0;
    std::uint32_t nSamplesPerSec = 0;
    std::uint32_t nAvgBytesPerSec = 0;
    std::uint16_t nBlockAlign = 0;
    std::uint16_t wBitsPerSample = 0;

    static WAVEFORMATEX Pcm(std::uint16_t channels, std::uint32_t samplesPerSec,
                            std::uint16_t bitsPerSample);

    std::uint16_t cbSize() const { return static_cast<std::uint16_t>(extra.size()); }
    const std::vector<std::uint8_t>& Extra() const { return extra; }
    // False (and nothing changed) beyond WAVEFORMATEX_MAX_EXTRA bytes.
    bool SetExtra(std::span<const std::uint8_t> bytes);

    bool IsPcm() const { return wFormatTag == WAVE_FORMAT_PCM; }
    // 16 bytes for PCM, else 18 + cbSize: what goes into a `fmt ` chunk.
    std::uint32_t RecordSize() const;
    // Little-endian bytes, RecordSize() long. PCM records carry no extra bytes.
    std::vector<std::uint8_t> Serialize() const;
    // Reads a `fmt ` chunk's contents. Fails on fewer than 16 bytes, or when
    // a non-PCM record announces more extra bytes than follow (or too many).
    static std::optional<WAVEFORMATEX> Parse(std::span<const std::uint8_t> bytes);

    bool operator==(const WAVEFORMATEX&) const = default;

private:
    std::vector<std::uint8_t> extra;
};
