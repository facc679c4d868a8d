#include "app/locale_format.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace {

constexpr int SUFFIX_LENGTH = 6;

std::mutex localeMutex;
LocaleSettings current;

LocaleSettings Snapshot() {
    std::lock_guard lock(localeMutex);
    return current;
}

QString Group(const QString& digits, const QString& separator) {
    if (digits.size() <= 3) {
        return digits;
    }
    QString out;
    const int lead = digits.size() % 3;
    for (int i = 0; i < digits.size(); ++i) {
        if (i != 0 && (i - lead) % 3 == 0) {
            out += separator;
        }
        out += digits[i];
    }
    return out;
}

QString FirstChar(const QString& text) {
    return text.left(1);
}

} // namespace

void SetLocaleSettings(const LocaleSettings& settings, bool rebuildPattern) {
    LocaleSettings cut = settings;
    cut.thousandSeparator = FirstChar(settings.thousandSeparator);
    cut.decimalSeparator = FirstChar(settings.decimalSeparator);
    cut.timeSeparator = FirstChar(settings.timeSeparator);
    cut.morningSuffix = settings.morningSuffix.left(SUFFIX_LENGTH);
    cut.afternoonSuffix = settings.afternoonSuffix.left(SUFFIX_LENGTH);
    // The pattern is a printf format of our own making, so a '%' separator is escaped.
    const QString separator =
        cut.timeSeparator == QStringLiteral("%") ? QStringLiteral("%%") : cut.timeSeparator;
    cut.timePattern = rebuildPattern ? QStringLiteral("%02u") + separator + QStringLiteral("%02u")
                                     : QStringLiteral("%02u:%02u");
    std::lock_guard lock(localeMutex);
    current = cut;
}

LocaleSettings CurrentLocaleSettings() {
    return Snapshot();
}

void LoadLocaleSettings() {
    const QLocale locale = QLocale::system();
    LocaleSettings settings;
    settings.thousandSeparator = locale.groupSeparator();
    settings.decimalSeparator = locale.decimalPoint();
    const QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
    // The separator is whatever stands between the hour and the minute fields.
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("[hH]+([^hHmM]+)m")).match(timeFormat);
    settings.timeSeparator = match.hasMatch() ? match.captured(1).trimmed() : QStringLiteral(":");
    if (settings.timeSeparator.isEmpty()) {
        settings.timeSeparator = QStringLiteral(":");
    }
    settings.clock24 = !timeFormat.contains(QLatin1Char('a'), Qt::CaseInsensitive);
    if (!locale.amText().isEmpty()) {
        settings.morningSuffix = locale.amText();
    }
    if (!locale.pmText().isEmpty()) {
        settings.afternoonSuffix = locale.pmText();
    }
    SetLocaleSettings(settings, true);
}

QString FormatUnsigned(std::uint32_t value) {
    return Group(QString::number(value), Snapshot().thousandSeparator);
}

QString FormatSigned(std::int32_t value) {
    const std::int64_t wide = value;
    const QString magnitude =
        Group(QString::number(wide < 0 ? -wide : wide), Snapshot().thousandSeparator);
    return wide < 0 ? QStringLiteral("-") + magnitude : magnitude;
}

QString FormatDecimal(double value) {
    const LocaleSettings settings = Snapshot();
    char printed[512];
    std::snprintf(printed, sizeof printed, "%0.*lf", FORMAT_DECIMALS, std::fabs(value));
    const QString text = QString::fromLatin1(printed);
    const int point = text.indexOf(QLatin1Char('.'));
    const QString whole = point < 0 ? text : text.left(point);
    const QString fraction = point < 0 ? QString() : text.mid(point + 1);
    QString out = Group(whole, settings.thousandSeparator);
    if (!fraction.isEmpty()) {
        out += settings.decimalSeparator + fraction;
    }
    return value < 0 ? QStringLiteral("-") + out : out;
}

QString FormatSize(std::uint32_t bytes, int unitMode) {
    constexpr double KB = 1024.0;
    constexpr double MB = 1048576.0;
    constexpr double GB = 1073741824.0;
    QString number;
    QString unit;
    switch (unitMode) {
    case SIZE_AUTOMATIC:
        if (bytes < 1024u) {
            number = FormatSigned(static_cast<std::int32_t>(bytes));
            unit = QStringLiteral("Bytes");
        } else if (bytes < 1048576u) {
            number = FormatDecimal(bytes / KB);
            unit = QStringLiteral("KB");
        } else if (bytes < 1073741824u) {
            number = FormatDecimal(bytes / MB);
            unit = QStringLiteral("MB");
        } else {
            number = FormatDecimal(bytes / GB);
            unit = QStringLiteral("GB");
        }
        break;
    case SIZE_KB:
        number = FormatDecimal(bytes / KB);
        unit = QStringLiteral("KB");
        break;
    case SIZE_MB:
        number = FormatDecimal(bytes / MB);
        unit = QStringLiteral("MB");
        break;
    case SIZE_GB:
        number = FormatDecimal(bytes / GB);
        unit = QStringLiteral("GB");
        break;
    default:
        number = FormatDecimal(static_cast<double>(bytes));
        break;
    }
    return number + QLatin1Char(' ') + unit;
}

QString FormatClockTime(int hour, int minute) {
    const LocaleSettings settings = Snapshot();
    const QByteArray pattern = settings.timePattern.toUtf8();
    char text[300];
    if (settings.clock24) {
        std::snprintf(text, sizeof text, pattern.constData(), static_cast<unsigned>(hour),
                      static_cast<unsigned>(minute));
        return QString::fromUtf8(text);
    }
    const bool morning = hour < 12;
    int shown = morning ? hour : hour - 12;
    if (shown == 0) {
        shown = 12;
    }
    std::snprintf(text, sizeof text, pattern.constData(), static_cast<unsigned>(shown),
                  static_cast<unsigned>(minute));
    return QString::fromUtf8(text) + QLatin1Char(' ') +
           (morning ? settings.morningSuffix : settings.afternoonSuffix);
}

QString FormatTimeOfDay(qint64 when) {
    std::time_t time = static_cast<std::time_t>(when < 0 ? 0 : when);
    std::tm local{};
    localtime_r(&time, &local);
    return FormatClockTime(local.tm_hour, local.tm_min);
}
