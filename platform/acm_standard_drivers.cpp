#include "platform/acm_standard_drivers.h"

#include "platform/acm_libav_driver.h"

#include <array>

namespace {

constexpr std::array STANDARD_CODECS = {
    LibavCodecSpec{"libmp3lame", WAVE_FORMAT_MPEGLAYER3, LibavCodecKind::Mp3, 1, "MPEG Layer-3",
                   "Corvane MPEG Layer-3 Codec"},
    LibavCodecSpec{"libshine", WAVE_FORMAT_MPEGLAYER3, LibavCodecKind::Mp3, 1, "MPEG Layer-3",
                   "Corvane MPEG Layer-3 Codec"},
    LibavCodecSpec{"adpcm_ima_wav", WAVE_FORMAT_IMA_ADPCM, LibavCodecKind::ImaAdpcm, 2, "IMA ADPCM",
                   "Corvane IMA ADPCM Codec"},
    LibavCodecSpec{"adpcm_ms", WAVE_FORMAT_ADPCM, LibavCodecKind::MsAdpcm, 3, "ADPCM",
                   "Corvane ADPCM Codec"},
    LibavCodecSpec{"pcm_alaw", WAVE_FORMAT_ALAW, LibavCodecKind::G711, 4, "G.711 A-law",
                   "Corvane G.711 A-law Codec"},
    LibavCodecSpec{"pcm_mulaw", WAVE_FORMAT_MULAW, LibavCodecKind::G711, 5, "G.711 mu-law",
                   "Corvane G.711 mu-law Codec"},
};

} // namespace

std::vector<std::shared_ptr<AcmDriver>> MakeStandardAcmDrivers() {
    std::vector<std::shared_ptr<AcmDriver>> drivers;
    std::uint16_t lastProduct = 0;
    for (const LibavCodecSpec& spec : STANDARD_CODECS) {
        // The first encoder present for a product wins (shine stands in for lame).
        if (spec.productId == lastProduct || !HasLibavEncoder(spec.encoderName)) {
            continue;
        }
        lastProduct = spec.productId;
        drivers.push_back(std::make_shared<LibavAcmDriver>(spec));
    }
    return drivers;
}
