#pragma once

#include "queue/encode_port.h"

class EncoderCatalogue;

// The encoder catalogue behind the codec port.
class CatalogueCodec : public CodecPort {
public:
    explicit CatalogueCodec(const EncoderCatalogue& catalogue) : catalogue(catalogue) {}

    QString DescribeCodec(std::uint32_t* manufacturerId, std::uint32_t* productId,
                          std::uint32_t* channels, std::uint32_t* bytesPerSec) override;
    void ResolveIndices(std::uint32_t manufacturerId, std::uint32_t productId,
                        std::uint32_t channels, std::uint32_t bytesPerSec, int* driverIndex,
                        int* formatIndex) override;
    bool FindCodec(std::uint32_t manufacturerId, std::uint32_t productId, std::uint32_t channels,
                   std::uint32_t bytesPerSec, int* driverIndex, int* formatIndex) override;
    QString StandInFor(std::uint32_t manufacturerId, std::uint32_t productId) override;

private:
    // The driver used in place of a stored one that is gone; -1 when the
    // stored one is there (or nothing was ever chosen).
    int StandInDriver(std::uint32_t manufacturerId, std::uint32_t productId) const;

    const EncoderCatalogue& catalogue;
};

// "Codec: %s with %s" with the format text and the encoder's name.
QString FormatCodecText(const QString& formatText, const QString& encoderName);
