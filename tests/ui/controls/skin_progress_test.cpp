#include "ui/controls/display_caps.h"
#include "ui/controls/skin_ids.h"
#include "ui/controls/skin_progress.h"

#include <QTest>
#include <gtest/gtest.h>
#include <tuple>

namespace {

const QColor TEAL(0, 127, 127);
const QColor YELLOW(255, 255, 0);

QImage Shot(CSkinProgress& bar) {
    return bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

// The cell sizes of each style show in the painting tests below.
TEST(ProgressRangeAndLayout, FractionRangeTextUnknownStylesAndTooSmallBars) {
    // An empty range (the last two) divides by nothing.
    EXPECT_EQ((std::vector{ProgressFraction(-5, 0, 100), ProgressFraction(130, 0, 100),
                           ProgressFraction(25, 0, 100), ProgressFraction(15, 10, 30),
                           ProgressFraction(5, 5, 5), ProgressFraction(6, 5, 5)}),
              (std::vector{0.0, 1.0, 0.25, 0.25, 0.0, 1.0}));

    CSkinProgress bar(2);
    bar.resize(200, 20);
    bar.SetRange(100, 0);
    EXPECT_EQ(std::pair(bar.Minimum(), bar.Maximum()), std::pair(0, 100));
    // A maximum of 0 counts as 100.
    bar.SetRange(0, 0);
    bar.SetPos(50);
    EXPECT_EQ(bar.PercentText(), QStringLiteral("50%"));
    EXPECT_EQ(bar.FilledCells(), bar.CellCount() / 2);

    bar.SetRange(0, 100);
    for (const auto& [pos, text, cells] : {std::tuple{-1, "0%", 0},
                                           {101, "100%", bar.CellCount()},
                                           {99, "99%", bar.CellCount() * 99 / 100}}) {
        bar.SetPos(pos);
        EXPECT_EQ(bar.PercentText(), text) << pos;
        EXPECT_EQ(bar.FilledCells(), cells) << pos;
    }

    // Any unknown style is the framed one.
    CSkinProgress unknown(7);
    EXPECT_EQ(unknown.Style(), 0);

    // The text takes the width of "100%"; the bar starts 2 pixels after it.
    bar.SetShowText(true);
    EXPECT_GT(bar.TextRect().width(), 0);
    EXPECT_EQ(bar.BarRect().left(), bar.TextRect().width() + 2);
    EXPECT_EQ(bar.CellCount(), (bar.BarRect().width() - 2) / 12);
    bar.SetShowText(false);
    EXPECT_EQ(bar.BarRect(), bar.rect());

    // Too small to hold a cell: no cells, no crash.
    CSkinProgress tiny(0);
    tiny.resize(3, 1);
    EXPECT_EQ(tiny.CellCount(), 0);
    tiny.SetPos(100);
    EXPECT_FALSE(tiny.grab().isNull());
    CSkinProgress low(2);
    low.resize(100, 4);
    EXPECT_EQ(low.CellCount(), 0);
    low.SetPos(100);
    EXPECT_FALSE(low.grab().isNull());
}

TEST(ProgressPainting, FlatCellsAreTealAndClipped) {
    QWidget parent;
    auto* bar = new CSkinProgress(2, 0, 0, 0, 0, &parent);
    bar->SetBackColour(QColor(198, 195, 198));
    bar->setGeometry(0, 0, 200, 20);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    bar->SetPos(50); // 8 of 16 cells
    QImage image = Shot(*bar);
    EXPECT_EQ(image.pixelColor(3, 2), TEAL);          // first cell starts at gap + margin
    EXPECT_EQ(image.pixelColor(12, 16), TEAL);        // 10 wide, 15 high
    EXPECT_NE(image.pixelColor(13, 5), TEAL);         // the gap
    EXPECT_EQ(image.pixelColor(15, 5), TEAL);         // second cell
    EXPECT_EQ(image.pixelColor(3 + 7 * 12, 5), TEAL); // eighth cell
    EXPECT_NE(image.pixelColor(3 + 8 * 12, 5), TEAL); // ninth is empty
    EXPECT_EQ(image.pixelColor(1, 10), QColor(198, 195, 198));
    EXPECT_EQ(image.pixelColor(0, 0), QColor(128, 128, 128));
    EXPECT_EQ(image.pixelColor(199, 19), QColor(Qt::white));

    bar->SetPos(100);
    image = Shot(*bar);
    // The last cell ends at the limit: bar right - gap - margin - 1.
    EXPECT_EQ(image.pixelColor(3 + 15 * 12 + 9, 5), TEAL);
    EXPECT_NE(image.pixelColor(196, 5), TEAL);
}

TEST(ProgressPainting, FramedCellsFillYellow) {
    QWidget parent;
    auto* bar = new CSkinProgress(0, 0, 0, 0, 0, &parent);
    bar->setGeometry(0, 0, 210, 20);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    bar->SetPos(100);
    QImage image = Shot(*bar);
    const int firstX = 5 + 4;                                      // margin + gap
    EXPECT_EQ(image.pixelColor(firstX, 4 + 5), QColor(Qt::black)); // left edge
    EXPECT_EQ(image.pixelColor(firstX + 5, 4 + 5), YELLOW);
    EXPECT_EQ(image.pixelColor(firstX + 12 * 15 + 5, 4 + 5), YELLOW);
    bar->SetPos(0);
    image = Shot(*bar);
    EXPECT_NE(image.pixelColor(firstX + 5, 4 + 5), YELLOW);
    EXPECT_EQ(image.pixelColor(0, 10), QColor(Qt::black));
}

TEST(ProgressPainting, PicturePairShowsWholeCells) {
    QWidget parent;
    auto* bar = new CSkinProgress(1, SKIN_PROGRESS_FULL, SKIN_PROGRESS_EMPTY, 0, 0, &parent);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    EXPECT_EQ(bar->size(), QSize(224, 20));
    EXPECT_EQ(bar->CellCount(), 18);
    EXPECT_EQ(bar->CellWidth(), 12);
    const QImage empty = Shot(*bar);
    bar->SetPos(50);
    const QImage half = Shot(*bar);
    // Nine cells of the full picture, centred at (4, 4).
    EXPECT_NE(half.pixel(4 + 6, 10), empty.pixel(4 + 6, 10));
    EXPECT_NE(half.pixel(4 + 9 * 12 - 6, 10), empty.pixel(4 + 9 * 12 - 6, 10));
    EXPECT_EQ(half.pixel(4 + 9 * 12 + 6, 10), empty.pixel(4 + 9 * 12 + 6, 10));

    CSkinProgress counted(1, SKIN_PROGRESS_FULL, SKIN_PROGRESS_EMPTY, 24, 0);
    EXPECT_EQ(counted.CellCount(), 9);
    CSkinProgress noPictures(1, SKIN_PROGRESS_FULL, 0, 0, 0);
    EXPECT_EQ(noPictures.CellCount(), 0);
}
