#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

// The sample rates and bitrates that MPEG audio layer III defines (MPEG-1,
// MPEG-2 and its 2.5 extension), and which of them go together.
namespace mpeg {

constexpr std::array<uint32_t, 3> MPEG1_RATES{32000, 44100, 48000};
constexpr std::array<uint32_t, 6> MPEG2_RATES{8000, 11025, 12000, 16000, 22050, 24000};
constexpr std::array<uint32_t, 3> MPEG25_RATES{8000, 11025, 12000};
constexpr std::array<uint32_t, 14> MPEG1_BITRATES{32,  40,  48,  56,  64,  80,  96,
                                                  112, 128, 160, 192, 224, 256, 320};
constexpr std::array<uint32_t, 14> MPEG2_BITRATES{8,  16, 24, 32,  40,  48,  56,
                                                  64, 80, 96, 112, 128, 144, 160};
// The 2.5 extension's frames hold no more than 64 kbit/s in the encoders.
constexpr uint32_t MPEG25_MAX_BITRATE = 64;

template <typename Table> constexpr bool Contains(const Table& table, uint32_t value) {
    return std::find(table.begin(), table.end(), value) != table.end();
}

constexpr bool IsValidCombination(uint32_t rate, uint32_t kbps) {
    if (Contains(MPEG1_RATES, rate)) {
        return Contains(MPEG1_BITRATES, kbps);
    }
    if (Contains(MPEG25_RATES, rate) && kbps > MPEG25_MAX_BITRATE) {
        return false;
    }
    return Contains(MPEG2_RATES, rate) && Contains(MPEG2_BITRATES, kbps);
}

constexpr uint32_t Distance(uint32_t a, uint32_t b) {
    return a > b ? a - b : b - a;
}

// The rate an encoder is fed for a source rate at a bitrate: the source's own
// when the pair is defined, else the nearest rate that goes with the bitrate,
// keeping the source's 44.1 kHz or 48 kHz family where the bitrate allows;
// of two equally near, the higher. The source's own when no rate fits.
constexpr uint32_t ChooseRate(uint32_t sourceRate, uint32_t kbps) {
    if (IsValidCombination(sourceRate, kbps)) {
        return sourceRate;
    }
    constexpr uint32_t CD_FAMILY_BASE = 11025;
    const bool cdFamily = sourceRate % CD_FAMILY_BASE == 0;
    uint32_t best = 0;
    bool bestInFamily = false;
    auto consider = [&](uint32_t rate) {
        if (!IsValidCombination(rate, kbps)) {
            return;
        }
        const bool inFamily = (rate % CD_FAMILY_BASE == 0) == cdFamily;
        const uint32_t distance = Distance(rate, sourceRate);
        const uint32_t bestDistance = Distance(best, sourceRate);
        if (best == 0 || (inFamily && !bestInFamily) ||
            (inFamily == bestInFamily &&
             (distance < bestDistance || (distance == bestDistance && rate > best)))) {
            best = rate;
            bestInFamily = inFamily;
        }
    };
    for (const uint32_t rate : MPEG1_RATES) {
        consider(rate);
    }
    for (const uint32_t rate : MPEG2_RATES) {
        consider(rate);
    }
    return best != 0 ? best : sourceRate;
}

// Every MPEG rate, the most fitting for a source first: its own, then
// ChooseRate's pick, then the others by nearness (the higher of two equally
// near). An encoder that cannot take the first takes one of the later ones.
inline std::array<uint32_t, 9> RatesByPreference(uint32_t sourceRate, uint32_t kbps) {
    std::array<uint32_t, 9> rates{32000, 44100, 48000, 8000, 11025, 12000, 16000, 22050, 24000};
    const uint32_t chosen = ChooseRate(sourceRate, kbps);
    auto rank = [&](uint32_t rate) { return rate == sourceRate ? 0 : rate == chosen ? 1 : 2; };
    std::sort(rates.begin(), rates.end(), [&](uint32_t a, uint32_t b) {
        if (rank(a) != rank(b)) {
            return rank(a) < rank(b);
        }
        const uint32_t da = Distance(a, sourceRate);
        const uint32_t db = Distance(b, sourceRate);
        return da != db ? da < db : a > b;
    });
    return rates;
}

static_assert(ChooseRate(96000, 128) == 48000);
static_assert(ChooseRate(8000, 128) == 16000);
static_assert(ChooseRate(8000, 32) == 8000);
static_assert(ChooseRate(88200, 128) == 44100);
static_assert(ChooseRate(192000, 320) == 48000);
static_assert(ChooseRate(22050, 64) == 22050);
static_assert(ChooseRate(22050, 320) == 44100);

} // namespace mpeg
