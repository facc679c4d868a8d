#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

// An owned copy of a file's format record (the little-endian layout of a
// WAVE `fmt ` chunk: tag, channels, rate, byte rate, block alignment, bits,
// extra-bytes count, extra bytes). Fields beyond the copied bytes read as 0,
// so a 16-byte PCM record has a cbSize of 0.
inline constexpr std::uint16_t PCM_FORMAT_TAG = 1;
inline constexpr std::uint16_t IEEE_FLOAT_TAG = 3;
inline constexpr std::uint16_t EXTENSIBLE_FORMAT_TAG = 0xFFFE;

class WaveFormatCopy {
public:
    WaveFormatCopy() = default;
    explicit WaveFormatCopy(std::vector<std::uint8_t> record) : bytes(std::move(record)) {}

    bool IsEmpty() const { return bytes.empty(); }
    std::size_t Size() const { return bytes.size(); }
    const std::uint8_t* Data() const { return bytes.data(); }
    const std::vector<std::uint8_t>& Bytes() const { return bytes; }
    void Reset() { bytes.clear(); }

    std::uint16_t Tag() const { return U16(0); }
    std::uint16_t Channels() const { return U16(2); }
    std::uint32_t SampleRate() const { return U32(4); }
    std::uint32_t AvgBytesPerSec() const { return U32(8); }
    std::uint16_t BlockAlign() const { return U16(12); }
    std::uint16_t BitsPerSample() const { return U16(14); }
    std::uint16_t CbSize() const { return U16(16); }
    // The tag that says how the samples are stored: the sub-format's for an
    // extensible record with the standard GUID, else Tag().
    std::uint16_t SampleTag() const { return SampleTagOf(bytes); }
    // The speaker mask of an extensible record; 0 when there is none.
    std::uint32_t ChannelMask() const;
    bool IsFloat() const { return SampleTag() == IEEE_FLOAT_TAG; }

    // Uncompressed samples: integer PCM or IEEE float, plain or extensible.
    static bool IsUncompressed(const std::vector<std::uint8_t>& record);
    static std::uint16_t SampleTagOf(const std::vector<std::uint8_t>& record);

    // Little-endian readers over any byte record; 0 where the record ends.
    static std::uint16_t U16At(const std::vector<std::uint8_t>& record, std::size_t offset);
    static std::uint32_t U32At(const std::vector<std::uint8_t>& record, std::size_t offset);

private:
    std::uint16_t U16(std::size_t offset) const { return U16At(bytes, offset); }
    std::uint32_t U32(std::size_t offset) const { return U32At(bytes, offset); }

    std::vector<std::uint8_t> bytes;
};
