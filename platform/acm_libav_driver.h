#pragma once

#include "platform/acm_driver.h"
#include "platform/acm_libav_encoder.h"

#include <map>
#include <mutex>
#include <utility>

// A codec driver backed by one libavcodec encoder. It offers, from a PCM
// source, every output format the encoder really opens with at the source's
// rate: mono (down-mixed) first, then the source's own channel count.
class LibavAcmDriver : public AcmDriver {
public:
    explicit LibavAcmDriver(const LibavCodecEntry& entry);

    ACMDRIVERDETAILS Details() const override;
    std::vector<WAVEFORMATEX> Formats(const WAVEFORMATEX* source) const override;
    std::uint32_t MaxFormatSize() const override;
    MMRESULT OpenStream(const WAVEFORMATEX& source, const WAVEFORMATEX& destination,
                        std::unique_ptr<AcmCodecStream>& stream) override;

private:
    std::vector<WAVEFORMATEX> FormatsFor(std::uint32_t sampleRate, int channels) const;

    LibavCodecEntry entry;
    mutable std::mutex cacheMutex;
    mutable std::map<std::pair<std::uint32_t, int>, std::vector<WAVEFORMATEX>> cache;
};

// Whether libavcodec has the named encoder.
bool HasLibavEncoder(const char* name);
