#include "ui/controls/display_caps.h"
#include "ui/controls/fonts.h"
#include "ui/controls/skin_progress.h"

#include <gtest/gtest.h>

TEST(DisplayCaps, DotsPerInchDecideLayoutAndScale) {
    const DisplayCaps normal = ComputeDisplayCaps(32, 1, 96);
    EXPECT_FALSE(normal.largeFonts);
    EXPECT_DOUBLE_EQ(normal.scaleFactor, 1.0);
    EXPECT_TRUE(DisplayFitsSkin(normal));

    const DisplayCaps large = ComputeDisplayCaps(32, 1, 120);
    EXPECT_TRUE(large.largeFonts);
    EXPECT_DOUBLE_EQ(large.scaleFactor, 1.25);
    EXPECT_TRUE(DisplayFitsSkin(large));

    EXPECT_TRUE(ComputeDisplayCaps(32, 1, 97).largeFonts);
    EXPECT_FALSE(DisplayFitsSkin(ComputeDisplayCaps(32, 1, 144)));
    EXPECT_TRUE(DisplayFitsSkin(ComputeDisplayCaps(32, 1, 72)));
}

TEST(DisplayCaps, PaletteDisplayOnlyAtExactlyEightBits) {
    EXPECT_TRUE(ComputeDisplayCaps(8, 1, 96).paletteDisplay);
    EXPECT_TRUE(ComputeDisplayCaps(4, 2, 96).paletteDisplay);
    EXPECT_EQ(ComputeDisplayCaps(4, 2, 96).bitsPerPixel, 8);
    EXPECT_FALSE(ComputeDisplayCaps(16, 1, 96).paletteDisplay);
    EXPECT_FALSE(ComputeDisplayCaps(4, 1, 96).paletteDisplay);
}

TEST(DisplayCaps, MeasuredFactsAreStoredForTheProcess) {
    int bits = 0;
    bool palette = true;
    bool largeFonts = true;
    int dpi = 0;
    const bool fits = GetDisplayCaps(&bits, &palette, &largeFonts, &dpi);
    const DisplayCaps& stored = CurrentDisplayCaps();
    EXPECT_EQ(stored.bitsPerPixel, bits);
    EXPECT_EQ(stored.paletteDisplay, palette);
    EXPECT_EQ(stored.largeFonts, largeFonts);
    EXPECT_EQ(stored.dotsPerInch, dpi);
    EXPECT_GT(dpi, 0);
    EXPECT_EQ(fits, dpi <= 120);
    EXPECT_TRUE(GetDisplayCaps(nullptr, nullptr, nullptr, nullptr) == fits);
}

TEST(DisplayCaps, FontHeightsTruncateTowardsZero) {
    EXPECT_EQ(FontHeightForPoints(8, 96), -10);
    EXPECT_EQ(FontHeightForPoints(9, 96), -12);
    EXPECT_EQ(FontHeightForPoints(8.5, 96), -11);
    EXPECT_EQ(FontHeightForPoints(8, 120), -13);
    EXPECT_EQ(FontHeightForPoints(24, 144), -48);

    SetDisplayCaps(ComputeDisplayCaps(32, 1, 96));
    EXPECT_EQ(PointsToHeight(8), -10);
    EXPECT_EQ(PointsToHeight(9), -12);
    SetDisplayCaps(ComputeDisplayCaps(32, 1, 120));
    EXPECT_EQ(PointsToHeight(9), -15);
    SetDisplayCaps(ComputeDisplayCaps(32, 1, 96));
}

TEST(SharedFonts, TableIsCreatedOnceAndBounded) {
    SetDisplayCaps(ComputeDisplayCaps(32, 1, 96));
    EXPECT_EQ(GetSharedFont(-1), nullptr);
    EXPECT_EQ(GetSharedFont(SHARED_FONT_COUNT), nullptr);

    const QFont* title = GetSharedFont(12);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title, GetSharedFont(12));
    EXPECT_EQ(title->pixelSize(), 16);
    EXPECT_EQ(title->weight(), QFont::Bold);

    const QFont* small = GetSharedFont(7);
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(small->pixelSize(), 11);
    EXPECT_EQ(small->weight(), QFont::Normal);

    // Created at the first request: a later change of display does not resize it.
    SetDisplayCaps(ComputeDisplayCaps(32, 1, 144));
    EXPECT_EQ(GetSharedFont(12)->pixelSize(), 16);
    EXPECT_EQ(GetSharedFont(16)->pixelSize(), 48);
    SetDisplayCaps(ComputeDisplayCaps(32, 1, 96));

    for (int i = 0; i < SHARED_FONT_COUNT; ++i) {
        ASSERT_NE(GetSharedFont(i), nullptr) << i;
    }
    EXPECT_STREQ(SharedFontDescription(3)->face, "Courier New");
    EXPECT_EQ(SharedFontDescription(15)->points, 16);
}
