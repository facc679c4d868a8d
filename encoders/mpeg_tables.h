#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

// The sample rates and bitrates that MPEG audio layer III defines (MPEG-1,
// MPEG-2 and its 2.5 extension), and which of them go together.
namespace mpeg {

constexpr std::array<uint32_t, 3> MPEG1_RATES{32000, 44100, 48000};
constexpr std::array<uint32_t, 6> MPEG2_RATES{8000, 11025, 12000, 16000, 22050, 24000};
constexpr std::array<uint32_t, 14> MPEG1_BITRATES{32,  40,  48,  56,  64,  80,  96,
                                                  112, 128, 160, 192, 224, 256, 320};
constexpr std::array<uint32_t, 14> MPEG2_BITRATES{8,  16, 24, 32,  40,  48,  56,
                                                  64, 80, 96, 112, 128, 144, 160};

template <typename Table> constexpr bool Contains(const Table& table, uint32_t value) {
    return std::find(table.begin(), table.end(), value) != table.end();
}

constexpr bool IsValidCombination(uint32_t rate, uint32_t kbps) {
    if (Contains(MPEG1_RATES, rate)) {
        return Contains(MPEG1_BITRATES, kbps);
    }
    return Contains(MPEG2_RATES, rate) && Contains(MPEG2_BITRATES, kbps);
}

} // namespace mpeg
