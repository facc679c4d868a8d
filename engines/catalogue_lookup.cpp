#include "engines/catalogue.h"

#include <array>
#include <utility>

namespace {

// MP3 codec of the multimedia registry's manufacturer 172, product 13: the
// best of them where a system has it.
constexpr std::uint32_t PREFERRED_MANUFACTURER_ID = 172;
constexpr std::uint32_t PREFERRED_PRODUCT_ID = 13;

constexpr std::uint32_t DEFAULT_CHANNELS = 2;
constexpr std::uint32_t DEFAULT_BYTES_PER_SEC = 16000;

} // namespace

int EncoderCatalogue::FormatCount(int driver) const {
    return Driver(driver) ? static_cast<int>(entries[driver].formats.size()) : 0;
}

const CatalogueDriver* EncoderCatalogue::Driver(int driver) const {
    return driver >= 0 && driver < DriverCount() ? &entries[driver].driver : nullptr;
}

const CatalogueFormat* EncoderCatalogue::Format(int driver, int format) const {
    return format >= 0 && format < FormatCount(driver) ? &entries[driver].formats[format] : nullptr;
}

int EncoderCatalogue::DriverNames(QStringList& names) const {
    names.clear();
    for (const Entry& entry : entries) {
        names << entry.driver.shortName;
    }
    return DriverCount();
}

int EncoderCatalogue::FormatNames(int driver, QStringList& names, int& defaultPosition) const {
    names.clear();
    if (!Driver(driver)) {
        defaultPosition = -1;
        return 0;
    }
    defaultPosition = 0;
    const auto& formats = entries[driver].formats;
    for (int i = 0; i < static_cast<int>(formats.size()); ++i) {
        names << formats[i].description;
        if (formats[i].format.nAvgBytesPerSec == DEFAULT_BYTES_PER_SEC) {
            defaultPosition = i;
        }
    }
    return FormatCount(driver);
}

void EncoderCatalogue::DriverIds(int driver, std::uint32_t& manufacturerId,
                                 std::uint32_t& productId) const {
    if (const CatalogueDriver* found = Driver(driver)) {
        manufacturerId = found->manufacturerId;
        productId = found->productId;
    }
}

void EncoderCatalogue::FormatFacts(int driver, int format, std::uint32_t& channels,
                                   std::uint32_t& avgBytesPerSec) const {
    if (const CatalogueFormat* found = Format(driver, format)) {
        channels = found->format.nChannels;
        avgBytesPerSec = found->format.nAvgBytesPerSec;
    }
}

bool EncoderCatalogue::HasStereoModes(int driver) const {
    return Driver(driver) != nullptr && entries[driver].driver.id == LAME_DRIVER_ID;
}

int EncoderCatalogue::FindDriverExactly(std::uint32_t manufacturerId,
                                        std::uint32_t productId) const {
    for (int i = 0; i < DriverCount(); ++i) {
        if (entries[i].driver.manufacturerId == manufacturerId &&
            entries[i].driver.productId == productId) {
            return i;
        }
    }
    return -1;
}

int EncoderCatalogue::FindFormatExactly(int driver, std::uint32_t channels,
                                        std::uint32_t avgBytesPerSec) const {
    for (int i = 0; i < FormatCount(driver); ++i) {
        const WAVEFORMATEX& format = entries[driver].formats[i].format;
        if (format.nChannels == channels && format.nAvgBytesPerSec == avgBytesPerSec) {
            return i;
        }
    }
    return -1;
}

int EncoderCatalogue::FindDriverLoosely(std::uint32_t manufacturerId,
                                        std::uint32_t productId) const {
    const int exact = FindDriverExactly(manufacturerId, productId);
    if (exact >= 0) {
        return exact;
    }
    for (int i = DriverCount() - 1; i >= 0; --i) {
        if (entries[i].driver.manufacturerId == manufacturerId) {
            return i;
        }
    }
    return -1;
}

int EncoderCatalogue::FindFormatLoosely(int driver, std::uint32_t channels,
                                        std::uint32_t avgBytesPerSec) const {
    const int exact = FindFormatExactly(driver, channels, avgBytesPerSec);
    if (exact >= 0) {
        return exact;
    }
    int best = -1;
    for (int i = 0; i < FormatCount(driver); ++i) {
        const WAVEFORMATEX& format = entries[driver].formats[i].format;
        if (format.nChannels == channels &&
            (best < 0 ||
             format.nAvgBytesPerSec > entries[driver].formats[best].format.nAvgBytesPerSec)) {
            best = i;
        }
    }
    return best;
}

int EncoderCatalogue::SelectDriver(QString& longName, std::uint32_t& manufacturerId,
                                   std::uint32_t& productId) const {
    if (entries.empty()) {
        return -1;
    }
    int found = -1;
    if (manufacturerId != 0) {
        found = FindDriverLoosely(manufacturerId, productId);
    } else {
        static constexpr std::array<std::pair<std::uint32_t, std::uint32_t>, 4> preference = {{
            {PREFERRED_MANUFACTURER_ID, PREFERRED_PRODUCT_ID},
            {BLADE_DRIVER_ID, BLADE_DRIVER_ID},
            {LAME_DRIVER_ID, LAME_DRIVER_ID},
            {XING_DRIVER_ID, XING_DRIVER_ID},
        }};
        for (const auto& [manufacturer, product] : preference) {
            found = FindDriverLoosely(manufacturer, product);
            if (found >= 0) {
                break;
            }
        }
        // Without any of those, the first encoder listed rather than no
        // choice at all: otherwise the codec text stays empty and every
        // encode falls to the first format of the first encoder, which is
        // rarely a sensible one.
        if (found < 0) {
            found = 0;
        }
    }
    if (found < 0) {
        return -1;
    }
    manufacturerId = entries[found].driver.manufacturerId;
    productId = entries[found].driver.productId;
    longName = entries[found].driver.longName;
    return found;
}

bool EncoderCatalogue::SelectFormat(int driver, QString& description, std::uint32_t& channels,
                                    std::uint32_t& avgBytesPerSec) const {
    if (!Driver(driver)) {
        return false;
    }
    const std::uint32_t wantedChannels = channels == 0 ? DEFAULT_CHANNELS : channels;
    const std::uint32_t wantedRate = avgBytesPerSec == 0 ? DEFAULT_BYTES_PER_SEC : avgBytesPerSec;
    const int found = FindFormatLoosely(driver, wantedChannels, wantedRate);
    if (found < 0) {
        return false;
    }
    const CatalogueFormat& format = entries[driver].formats[found];
    description = format.description;
    channels = format.format.nChannels;
    avgBytesPerSec = format.format.nAvgBytesPerSec;
    return true;
}
