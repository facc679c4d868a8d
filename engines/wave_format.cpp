#include "engines/wave_format.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::size_t EXTENSIBLE_RECORD_BYTES = 40;
constexpr std::uint16_t EXTENSIBLE_EXTRA_BYTES = 22;
constexpr std::size_t MASK_OFFSET = 20;
constexpr std::size_t SUBFORMAT_OFFSET = 24;
// What follows the two-byte tag in every standard sub-format GUID.
constexpr std::array<std::uint8_t, 14> SUBFORMAT_TAIL{0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                      0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

bool IsStandardExtensible(const std::vector<std::uint8_t>& record) {
    return WaveFormatCopy::U16At(record, 0) == EXTENSIBLE_FORMAT_TAG &&
           record.size() >= EXTENSIBLE_RECORD_BYTES &&
           WaveFormatCopy::U16At(record, 16) >= EXTENSIBLE_EXTRA_BYTES &&
           std::equal(SUBFORMAT_TAIL.begin(), SUBFORMAT_TAIL.end(),
                      record.begin() + SUBFORMAT_OFFSET + 2);
}

} // namespace

std::uint16_t WaveFormatCopy::SampleTagOf(const std::vector<std::uint8_t>& record) {
    return IsStandardExtensible(record) ? U16At(record, SUBFORMAT_OFFSET) : U16At(record, 0);
}

bool WaveFormatCopy::IsUncompressed(const std::vector<std::uint8_t>& record) {
    const std::uint16_t tag = SampleTagOf(record);
    return tag == PCM_FORMAT_TAG || tag == IEEE_FLOAT_TAG;
}

std::uint32_t WaveFormatCopy::ChannelMask() const {
    return IsStandardExtensible(bytes) ? U32(MASK_OFFSET) : 0;
}

std::uint16_t WaveFormatCopy::U16At(const std::vector<std::uint8_t>& record, std::size_t offset) {
    if (offset > record.size() || record.size() - offset < 2) {
        return 0;
    }
    return static_cast<std::uint16_t>(record[offset] | (record[offset + 1] << 8));
}

std::uint32_t WaveFormatCopy::U32At(const std::vector<std::uint8_t>& record, std::size_t offset) {
    if (offset > record.size() || record.size() - offset < 4) {
        return 0;
    }
    return std::uint32_t(record[offset]) | (std::uint32_t(record[offset + 1]) << 8) |
           (std::uint32_t(record[offset + 2]) << 16) | (std::uint32_t(record[offset + 3]) << 24);
}
