#include "controller/catalogue_codec.h"

#include "app/strings.h"
#include "engines/catalogue.h"

#include <algorithm>

namespace {

inline constexpr unsigned IDS_CODEC = 33014;

} // namespace

QString FormatCodecText(const QString& formatText, const QString& encoderName) {
    QString text = ResString(IDS_CODEC);
    const qsizetype first = text.indexOf(QStringLiteral("%s"));
    text.replace(first, 2, formatText);
    const qsizetype second = text.indexOf(QStringLiteral("%s"), first + formatText.size());
    text.replace(second, 2, encoderName);
    return text;
}

int CatalogueCodec::StandInDriver(std::uint32_t manufacturerId, std::uint32_t productId) const {
    if (manufacturerId == 0 || catalogue.FindDriverLoosely(manufacturerId, productId) >= 0) {
        return -1;
    }
    // The first codec may well write something other than MP3; a library never does.
    for (int i = 0; i < catalogue.DriverCount(); ++i) {
        const std::uint32_t id = catalogue.Driver(i)->manufacturerId;
        if (id == BLADE_DRIVER_ID || id == LAME_DRIVER_ID) {
            return i;
        }
    }
    QString name;
    std::uint32_t preferredManufacturer = 0;
    std::uint32_t preferredProduct = 0;
    return catalogue.SelectDriver(name, preferredManufacturer, preferredProduct);
}

QString CatalogueCodec::StandInFor(std::uint32_t manufacturerId, std::uint32_t productId) {
    const CatalogueDriver* driver = catalogue.Driver(StandInDriver(manufacturerId, productId));
    return driver != nullptr ? driver->longName : QString();
}

QString CatalogueCodec::DescribeCodec(std::uint32_t* manufacturerId, std::uint32_t* productId,
                                      std::uint32_t* channels, std::uint32_t* bytesPerSec) {
    if (const int standIn = StandInDriver(*manufacturerId, *productId); standIn >= 0) {
        // Shown for this run only: the stored choice stays for when its
        // encoder is back.
        std::uint32_t standInChannels = *channels;
        std::uint32_t standInRate = *bytesPerSec;
        QString formatText;
        catalogue.SelectFormat(standIn, formatText, standInChannels, standInRate);
        return FormatCodecText(formatText, catalogue.Driver(standIn)->longName);
    }
    QString encoderName;
    const int driver = catalogue.SelectDriver(encoderName, *manufacturerId, *productId);
    if (driver < 0) {
        return QString();
    }
    QString formatText;
    catalogue.SelectFormat(driver, formatText, *channels, *bytesPerSec);
    return FormatCodecText(formatText, encoderName);
}

void CatalogueCodec::ResolveIndices(std::uint32_t manufacturerId, std::uint32_t productId,
                                    std::uint32_t channels, std::uint32_t bytesPerSec,
                                    int* driverIndex, int* formatIndex) {
    if (const int standIn = StandInDriver(manufacturerId, productId); standIn >= 0) {
        // The format the codec line shows for it.
        std::uint32_t standInChannels = channels;
        std::uint32_t standInRate = bytesPerSec;
        QString formatText;
        catalogue.SelectFormat(standIn, formatText, standInChannels, standInRate);
        *driverIndex = standIn;
        *formatIndex =
            std::max(catalogue.FindFormatExactly(standIn, standInChannels, standInRate), 0);
        return;
    }
    const int driver = catalogue.FindDriverExactly(manufacturerId, productId);
    *driverIndex = driver < 0 ? 0 : driver;
    const int format = catalogue.FindFormatExactly(*driverIndex, channels, bytesPerSec);
    *formatIndex = format < 0 ? 0 : format;
}

bool CatalogueCodec::FindCodec(std::uint32_t manufacturerId, std::uint32_t productId,
                               std::uint32_t channels, std::uint32_t bytesPerSec, int* driverIndex,
                               int* formatIndex) {
    const int driver = catalogue.FindDriverExactly(manufacturerId, productId);
    if (driver < 0) {
        return false;
    }
    const int format = catalogue.FindFormatExactly(driver, channels, bytesPerSec);
    if (format < 0) {
        return false;
    }
    *driverIndex = driver;
    *formatIndex = format;
    return true;
}
