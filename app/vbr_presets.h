#pragma once

#include <array>
#include <cstdint>
#include <optional>

// The VBR presets V0 (best) to V9 of the LAME library and the external
// encoder. In the catalogue a preset is a format whose average byte rate is
// its nominal rate, which no constant-bitrate format has; the settings keep a
// preset as the nearest constant bitrate the format list has, under the
// stored channels and bytes per second, and the preset beside them.
inline constexpr int VBR_PRESET_COUNT = 10;
inline constexpr std::array<std::uint32_t, VBR_PRESET_COUNT> VBR_NOMINAL_KBPS = {
    245, 225, 190, 175, 165, 130, 115, 100, 85, 65};

inline std::uint32_t VbrPresetNominalBytes(int quality) {
    return VBR_NOMINAL_KBPS[std::size_t(quality)] * 1000 / 8;
}

// The preset whose nominal byte rate this is, if any.
inline std::optional<int> VbrPresetOfBytes(std::uint32_t bytesPerSec) {
    for (int quality = 0; quality < VBR_PRESET_COUNT; ++quality) {
        if (VbrPresetNominalBytes(quality) == bytesPerSec) {
            return quality;
        }
    }
    return std::nullopt;
}

// The constant bitrate a preset is stored as: the nearest of the format list
// (320 down to 32 kbit/s), so that a reader that knows no presets still finds
// a format near the one chosen.
inline std::uint32_t VbrPresetStandInBytes(int quality) {
    constexpr std::array<std::uint32_t, 14> kbps = {320, 256, 224, 192, 160, 128, 112,
                                                    96,  80,  64,  56,  48,  40,  32};
    const std::uint32_t nominal = VBR_NOMINAL_KBPS[std::size_t(quality)];
    std::uint32_t best = kbps[0];
    for (const std::uint32_t rate : kbps) {
        const auto distance = [nominal](std::uint32_t r) {
            return r > nominal ? r - nominal : nominal - r;
        };
        if (distance(rate) < distance(best)) {
            best = rate;
        }
    }
    return best * 1000 / 8;
}
