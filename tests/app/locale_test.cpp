#include "app/locale_format.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

class LocaleFormat : public testing::Test {
protected:
    void SetUp() override { SetLocaleSettings(LocaleSettings{}); }
    void TearDown() override { SetLocaleSettings(LocaleSettings{}); }
};

} // namespace

TEST_F(LocaleFormat, NumbersAndSizes) {
    EXPECT_EQ(
        (QStringList{FormatUnsigned(0), FormatUnsigned(999), FormatUnsigned(1234567),
                     FormatUnsigned(4294967295u), FormatSigned(-1234), FormatSigned(INT32_MIN),
                     FormatDecimal(0.5), FormatDecimal(1234.5), FormatDecimal(-1234.5)}),
        (QStringList{"0", "999", "1,234,567", "4,294,967,295", "-1,234", "-2,147,483,648", "0.50",
                     "1,234.50", "-1,234.50"}));
    EXPECT_EQ((QStringList{FormatSize(1023), FormatSize(1024), FormatSize(1536),
                           FormatSize(1048576), FormatSize(4294967295u), FormatSize(2048, SIZE_MB),
                           FormatSize(1536, SIZE_PLAIN), FormatSize(1536, 9)}),
              (QStringList{"1,023 Bytes", "1.00 KB", "1.50 KB", "1.00 MB", "4.00 GB", "0.00 MB",
                           "1,536.00 ", "1,536.00 "}));
}

TEST_F(LocaleFormat, SeparatorsUseTheirFirstCharacter) {
    LocaleSettings settings;
    settings.thousandSeparator = ". ";
    settings.decimalSeparator = ",x";
    SetLocaleSettings(settings);
    EXPECT_EQ((QStringList{FormatUnsigned(1234567), FormatDecimal(1234.5), FormatSize(1536)}),
              (QStringList{"1.234.567", "1.234,50", "1,50 KB"}));
}

TEST_F(LocaleFormat, TimesOfDay) {
    LocaleSettings settings;
    settings.clock24 = false;
    SetLocaleSettings(settings);
    EXPECT_EQ((QStringList{FormatClockTime(0, 5), FormatClockTime(11, 59), FormatClockTime(12, 30),
                           FormatClockTime(23, 59)}),
              (QStringList{"12:05 AM", "11:59 AM", "12:30 PM", "11:59 PM"}));

    settings.clock24 = true;
    settings.timeSeparator = ".";
    SetLocaleSettings(settings, true);
    EXPECT_EQ(FormatClockTime(9, 7), "09.07");
    // Without a short date format the pattern keeps its colon.
    SetLocaleSettings(settings, false);
    EXPECT_EQ(FormatClockTime(9, 7), "09:07");
    // A percent sign as separator is text, not a format directive.
    settings.timeSeparator = "%";
    SetLocaleSettings(settings, true);
    EXPECT_EQ(FormatClockTime(9, 7), "09%07");

    settings.timeSeparator = ":";
    settings.morningSuffix = "vormittags";
    settings.clock24 = false;
    SetLocaleSettings(settings);
    EXPECT_EQ(FormatClockTime(1, 0), "01:00 vormit");
    // Negative calendar times count as the epoch, not as garbage.
    EXPECT_EQ(FormatTimeOfDay(-100), FormatTimeOfDay(0));
}
