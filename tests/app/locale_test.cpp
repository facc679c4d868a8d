#include "app/locale_format.h"

#include <gtest/gtest.h>

namespace {

class LocaleFormat : public testing::Test {
protected:
    void SetUp() override { SetLocaleSettings(LocaleSettings{}); }
    void TearDown() override { SetLocaleSettings(LocaleSettings{}); }
};

} // namespace

TEST_F(LocaleFormat, NumbersAndSizes) {
    EXPECT_EQ(FormatUnsigned(0), "0");
    EXPECT_EQ(FormatUnsigned(999), "999");
    EXPECT_EQ(FormatUnsigned(1234567), "1,234,567");
    EXPECT_EQ(FormatUnsigned(4294967295u), "4,294,967,295");
    EXPECT_EQ(FormatSigned(-1234), "-1,234");
    EXPECT_EQ(FormatSigned(INT32_MIN), "-2,147,483,648");
    EXPECT_EQ(FormatDecimal(0.5), "0.50");
    EXPECT_EQ(FormatDecimal(1234.5), "1,234.50");
    EXPECT_EQ(FormatDecimal(-1234.5), "-1,234.50");

    EXPECT_EQ(FormatSize(1023), "1,023 Bytes");
    EXPECT_EQ(FormatSize(1024), "1.00 KB");
    EXPECT_EQ(FormatSize(1536), "1.50 KB");
    EXPECT_EQ(FormatSize(1048576), "1.00 MB");
    EXPECT_EQ(FormatSize(4294967295u), "4.00 GB");
    EXPECT_EQ(FormatSize(2048, SIZE_MB), "0.00 MB");
    EXPECT_EQ(FormatSize(1536, SIZE_PLAIN), "1,536.00 ");
    EXPECT_EQ(FormatSize(1536, 9), "1,536.00 ");
}

TEST_F(LocaleFormat, SeparatorsUseTheirFirstCharacter) {
    LocaleSettings settings;
    settings.thousandSeparator = ". ";
    settings.decimalSeparator = ",x";
    SetLocaleSettings(settings);
    EXPECT_EQ(FormatUnsigned(1234567), "1.234.567");
    EXPECT_EQ(FormatDecimal(1234.5), "1.234,50");
    EXPECT_EQ(FormatSize(1536), "1,50 KB");
}

TEST_F(LocaleFormat, TimesOfDay) {
    LocaleSettings settings;
    settings.clock24 = false;
    SetLocaleSettings(settings);
    EXPECT_EQ(FormatClockTime(0, 5), "12:05 AM");
    EXPECT_EQ(FormatClockTime(11, 59), "11:59 AM");
    EXPECT_EQ(FormatClockTime(12, 30), "12:30 PM");
    EXPECT_EQ(FormatClockTime(23, 59), "11:59 PM");

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
