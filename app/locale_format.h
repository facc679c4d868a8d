#pragma once

#include <QString>
#include <cstdint>

// Regional formatting of numbers, sizes and times of day. The settings are
// process-wide, read once at start-up; tests set explicit values.
struct LocaleSettings {
    QString thousandSeparator = QStringLiteral(",");
    QString decimalSeparator = QStringLiteral(".");
    QString timeSeparator = QStringLiteral(":");
    QString morningSuffix = QStringLiteral("AM");   // at most 6 characters
    QString afternoonSuffix = QStringLiteral("PM"); // at most 6 characters
    bool clock24 = true;
    QString timePattern = QStringLiteral("%02u:%02u");
};

inline constexpr int FORMAT_DECIMALS = 2;

// Unit modes of FormatSize.
inline constexpr int SIZE_AUTOMATIC = 0;
inline constexpr int SIZE_PLAIN = 1;
inline constexpr int SIZE_KB = 2;
inline constexpr int SIZE_MB = 3;
inline constexpr int SIZE_GB = 4;

// Reads the system's regional settings (QLocale::system()).
void LoadLocaleSettings();
// Sets the values explicitly; only the first character of each separator
// counts and the suffixes are cut to 6 characters. The time pattern is built
// from the time separator when `rebuildPattern` is set (the system has a short
// date format), otherwise it stays "%02u:%02u"; `settings.timePattern` is ignored.
void SetLocaleSettings(const LocaleSettings& settings, bool rebuildPattern = true);
LocaleSettings CurrentLocaleSettings();

QString FormatUnsigned(std::uint32_t value);
QString FormatSigned(std::int32_t value);
QString FormatDecimal(double value);
QString FormatSize(std::uint32_t bytes, int unitMode = SIZE_AUTOMATIC);
// `when` is a calendar time in seconds; negative values count as 0.
QString FormatTimeOfDay(qint64 when);
// The same for a given hour (0-23) and minute.
QString FormatClockTime(int hour, int minute);
