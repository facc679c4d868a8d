#include "engines/wave_format.h"

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
