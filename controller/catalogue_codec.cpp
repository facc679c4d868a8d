#include "controller/catalogue_codec.h"

#include "app/strings.h"
#include "engines/catalogue.h"

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

QString CatalogueCodec::DescribeCodec(std::uint32_t* manufacturerId, std::uint32_t* productId,
                                      std::uint32_t* channels, std::uint32_t* bytesPerSec) {
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
