#include "ui/controls/display_caps.h"
#include "ui/controls/fonts.h"
#include "ui/controls/skin_progress.h"

#include <gtest/gtest.h>
#include <tuple>

TEST(DisplayCaps, DepthAndDotsPerInchDecideTheDisplay) {
    const struct {
        int bits, planes, dpi;
        bool large;
        double scale;
        bool fits, palette;
    } cases[] = {{32, 1, 96, false, 1.0, true, false},      {32, 1, 120, true, 1.25, true, false},
                 {32, 1, 97, true, 97 / 96.0, true, false}, {32, 1, 144, true, 1.5, false, false},
                 {32, 1, 72, false, 0.75, true, false},     {8, 1, 96, false, 1.0, true, true},
                 {4, 2, 96, false, 1.0, true, true},        {16, 1, 96, false, 1.0, true, false},
                 {4, 1, 96, false, 1.0, true, false}};
    for (const auto& c : cases) {
        const DisplayCaps caps = ComputeDisplayCaps(c.bits, c.planes, c.dpi);
        EXPECT_EQ(caps.largeFonts, c.large) << c.bits << "x" << c.planes << " " << c.dpi;
        EXPECT_DOUBLE_EQ(caps.scaleFactor, c.scale) << c.dpi;
        EXPECT_EQ(DisplayFitsSkin(caps), c.fits) << c.dpi;
        EXPECT_EQ(caps.paletteDisplay, c.palette) << c.bits << "x" << c.planes;
        EXPECT_EQ(caps.bitsPerPixel, c.bits * c.planes);
    }
}

TEST(DisplayCaps, MeasuredFactsAreStoredForTheProcess) {
    int bits = 0, dpi = 0;
    bool palette = true, largeFonts = true;
    const bool fits = GetDisplayCaps(&bits, &palette, &largeFonts, &dpi);
    const DisplayCaps& stored = CurrentDisplayCaps();
    EXPECT_EQ(std::tuple(stored.bitsPerPixel, stored.paletteDisplay, stored.largeFonts),
              std::tuple(bits, palette, largeFonts));
    EXPECT_EQ(stored.dotsPerInch, dpi);
    EXPECT_EQ(fits, dpi > 0 && dpi <= 120);
    EXPECT_EQ(GetDisplayCaps(nullptr, nullptr, nullptr, nullptr), fits);
}

TEST(DisplayCaps, FontHeightsTruncateTowardsZeroAndSharedFontsAreMadeOnce) {
    EXPECT_EQ((std::vector{FontHeightForPoints(8, 96), FontHeightForPoints(9, 96),
                           FontHeightForPoints(8.5, 96), FontHeightForPoints(8, 120),
                           FontHeightForPoints(24, 144)}),
              (std::vector{-10, -12, -11, -13, -48}));

    SetDisplayCaps(ComputeDisplayCaps(32, 1, 96));
    EXPECT_EQ(PointsToHeight(8), -10);
    EXPECT_EQ(PointsToHeight(9), -12);
    SetDisplayCaps(ComputeDisplayCaps(32, 1, 120));
    EXPECT_EQ(PointsToHeight(9), -15);
    SetDisplayCaps(ComputeDisplayCaps(32, 1, 96));

    // The shared font table is bounded, and each font is made at its first request.
    EXPECT_EQ(GetSharedFont(-1), nullptr);
    EXPECT_EQ(GetSharedFont(SHARED_FONT_COUNT), nullptr);

    const QFont* title = GetSharedFont(12);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title, GetSharedFont(12));
    EXPECT_EQ(std::pair(title->pixelSize(), title->weight()), std::pair(16, QFont::Bold));

    const QFont* small = GetSharedFont(7);
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(std::pair(small->pixelSize(), small->weight()), std::pair(11, QFont::Normal));

    // Created at the first request: a later change of display does not resize it.
    SetDisplayCaps(ComputeDisplayCaps(32, 1, 144));
    EXPECT_EQ(std::pair(GetSharedFont(12)->pixelSize(), GetSharedFont(16)->pixelSize()),
              std::pair(16, 48));
    SetDisplayCaps(ComputeDisplayCaps(32, 1, 96));

    for (int i = 0; i < SHARED_FONT_COUNT; ++i) {
        ASSERT_NE(GetSharedFont(i), nullptr) << i;
    }
}
