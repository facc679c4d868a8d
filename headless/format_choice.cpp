#include "headless/format_choice.h"

#include "app/encoder_settings.h"
#include "engines/catalogue.h"

#include <QRegularExpression>

namespace {

struct FormatFacts {
    int vbrQuality = -1;
    std::uint32_t kbps = 0;
    std::uint32_t channels = 0; // 0: any, stereo first
    std::uint32_t rate = 0;     // 0: any
};

std::optional<FormatFacts> ParseFacts(const QString& text) {
    FormatFacts facts;
    static const QRegularExpression vbr(QStringLiteral("^[vV]([0-9])$"));
    for (const QString& word : text.split(u' ', Qt::SkipEmptyParts)) {
        bool number = false;
        const uint value = word.toUInt(&number);
        if (const auto match = vbr.match(word); match.hasMatch()) {
            facts.vbrQuality = match.captured(1).toInt();
        } else if (number && facts.kbps == 0 && value < 1000) {
            facts.kbps = value;
        } else if (number && value >= 1000) {
            facts.rate = value;
        } else if (word.compare(QStringLiteral("mono"), Qt::CaseInsensitive) == 0) {
            facts.channels = 1;
        } else if (word.compare(QStringLiteral("stereo"), Qt::CaseInsensitive) == 0) {
            facts.channels = 2;
        } else {
            return std::nullopt;
        }
    }
    if ((facts.vbrQuality < 0) == (facts.kbps == 0)) {
        return std::nullopt;
    }
    return facts;
}

bool Fits(const CatalogueFormat& format, const FormatFacts& facts, std::uint32_t channels) {
    const WAVEFORMATEX& wave = format.format;
    if (facts.vbrQuality >= 0) {
        return format.vbrQuality == facts.vbrQuality;
    }
    return format.vbrQuality < 0 && wave.nAvgBytesPerSec * 8 / 1000 == facts.kbps &&
           (facts.rate == 0 || wave.nSamplesPerSec == facts.rate) &&
           (channels == 0 || wave.nChannels == channels);
}

int FindFormat(const EncoderCatalogue& catalogue, int driver, const FormatFacts& facts) {
    // Without a channel count, a stereo format before a mono one.
    for (const std::uint32_t channels : {facts.channels == 0 ? 2u : facts.channels, 0u}) {
        for (int format = 0; format < catalogue.FormatCount(driver); ++format) {
            if (Fits(*catalogue.Format(driver, format), facts, channels)) {
                return format;
            }
        }
    }
    return -1;
}

// The words that name a format in its encoder's list, with the sample rate
// only where the bit rate and channels alone would name another one first.
QString FormatWords(const EncoderCatalogue& catalogue, int driver, int format) {
    const CatalogueFormat& entry = *catalogue.Format(driver, format);
    if (entry.vbrQuality >= 0) {
        return QStringLiteral("V%1").arg(entry.vbrQuality);
    }
    FormatFacts facts;
    facts.kbps = entry.format.nAvgBytesPerSec * 8 / 1000;
    facts.channels = entry.format.nChannels == 1 ? 1 : 0;
    QString words = QString::number(facts.kbps);
    if (facts.channels == 1) {
        words += QStringLiteral(" mono");
    }
    if (FindFormat(catalogue, driver, facts) != format) {
        words += QStringLiteral(" %1").arg(entry.format.nSamplesPerSec);
    }
    return words;
}

} // namespace

void FormatChoice::ApplyTo(EncoderSettings& settings) const {
    settings.manufacturerId = manufacturerId;
    settings.productId = productId;
    settings.channels = channels;
    settings.bytesPerSec = bytesPerSec;
    if (stereoMode) {
        settings.stereoMode = *stereoMode;
    }
}

std::optional<FormatChoice> ParseFormatChoice(const EncoderCatalogue& catalogue,
                                              const QString& text, QString* problem) {
    const QStringList parts = text.split(u',');
    const QString encoder = parts.value(0).trimmed();
    int driver = -1;
    for (int i = 0; i < catalogue.DriverCount() && driver < 0 && !encoder.isEmpty(); ++i) {
        if (catalogue.Driver(i)->shortName.contains(encoder, Qt::CaseInsensitive)) {
            driver = i;
        }
    }
    if (driver < 0) {
        *problem = QStringLiteral("no encoder is called %1 (see --list-formats)").arg(encoder);
        return std::nullopt;
    }
    const std::optional<FormatFacts> facts = ParseFacts(parts.value(1));
    const int format = facts ? FindFormat(catalogue, driver, *facts) : -1;
    const QString mode = parts.value(2).trimmed().toLower();
    const bool modeKnown =
        mode.isEmpty() || mode == QStringLiteral("joint") || mode == QStringLiteral("stereo");
    if (format < 0 || parts.size() > 3 || !modeKnown ||
        (!mode.isEmpty() && !catalogue.HasStereoModes(driver))) {
        *problem = QStringLiteral("%1 has no format %2 (see --list-formats)")
                       .arg(catalogue.Driver(driver)->shortName, text.section(u',', 1).trimmed());
        return std::nullopt;
    }
    FormatChoice choice;
    catalogue.DriverIds(driver, choice.manufacturerId, choice.productId);
    catalogue.FormatFacts(driver, format, choice.channels, choice.bytesPerSec);
    if (!mode.isEmpty()) {
        choice.stereoMode =
            mode == QStringLiteral("joint") ? STEREO_MODE_JOINT : STEREO_MODE_STEREO;
    }
    return choice;
}

QStringList ListFormatChoices(const EncoderCatalogue& catalogue) {
    QStringList lines;
    for (int driver = 0; driver < catalogue.DriverCount(); ++driver) {
        for (int format = 0; format < catalogue.FormatCount(driver); ++format) {
            lines << QStringLiteral("%1, %2\t%3")
                         .arg(catalogue.Driver(driver)->shortName,
                              FormatWords(catalogue, driver, format),
                              catalogue.Format(driver, format)->description);
        }
    }
    return lines;
}
