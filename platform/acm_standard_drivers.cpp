#include "platform/acm_standard_drivers.h"

#include "platform/acm_libav_driver.h"

#include <array>

namespace {

constexpr std::array STANDARD_CODECS = {
    LibavCodecEntry{"libmp3lame", WAVE_FORMAT_MPEGLAYER3, LibavCodecKind::Mp3, 1, "MPEG Layer-3",
                    "Corvane MPEG Layer-3 Codec"},
    LibavCodecEntry{"libshine", WAVE_FORMAT_MPEGLAYER3, LibavCodecKind::Mp3, 1, "MPEG Layer-3",
                    "Corvane MPEG Layer-3 Codec"},
    LibavCodecEntry{"adpcm_ima_wav", WAVE_FORMAT_IMA_ADPCM, LibavCodecKind::ImaAdpcm, 2,
                    "IMA ADPCM", "Corvane IMA ADPCM Codec"},
    LibavCodecEntry{"adpcm_ms", WAVE_FORMAT_ADPCM, LibavCodecKind::MsAdpcm, 3, "ADPCM",
                    "Corvane ADPCM Codec"},
    LibavCodecEntry{"pcm_alaw", WAVE_FORMAT_ALAW, LibavCodecKind::G711, 4, "G.711 A-law",
                    "Corvane G.711 A-law Codec"},
    LibavCodecEntry{"pcm_mulaw", WAVE_FORMAT_MULAW, LibavCodecKind::G711, 5, "G.711 mu-law",
                    "Corvane G.711 mu-law Codec"},
};

} // namespace

std::vector<std::shared_ptr<AcmDriver>> MakeStandardAcmDrivers() {
    std::vector<std::shared_ptr<AcmDriver>> drivers;
    std::uint16_t lastProduct = 0;
    for (const LibavCodecEntry& entry : STANDARD_CODECS) {
        // The first encoder present for a product wins (shine stands in for lame).
        if (entry.productId == lastProduct || !HasLibavEncoder(entry.encoderName)) {
            continue;
        }
        lastProduct = entry.productId;
        drivers.push_back(std::make_shared<LibavAcmDriver>(entry));
    }
    return drivers;
}
