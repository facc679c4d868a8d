#include "queue/progress_math.h"

#include <QStringList>
#include <array>
#include <gtest/gtest.h>

namespace {

TEST(ProgressMath, TimeTextsAndRatios) {
    EXPECT_EQ((QStringList{FormatTimeText(0), FormatTimeText(59), FormatTimeText(3599),
                           FormatTimeText(3725)}),
              (QStringList{"00:00", "00:59", "59:59", "01:02:05"}));
    const TimeSplit split = SplitSeconds(3725);
    EXPECT_EQ((std::array{split.hours, split.minutes, split.seconds}), (std::array{1u, 2u, 5u}));
    EXPECT_EQ(FormatRatio(1.0 / 6.0), QStringLiteral("0.17:1"));
    EXPECT_EQ(FormatBatchTime(3661, 42), QStringLiteral("01:01:01  (42%)"));
    EXPECT_EQ(FormatBatchTime(0, 0), QStringLiteral("00:00:00  (0%)"));
}

TEST(ProgressMath, FileFigures) {
    // 40 000 000 bytes at 8000 bytes/ms, half done: 2.5 s left, shown as 2.
    FileFigures figures = ComputeFileFigures(2500, 20000000, 40000000, 0.0);
    EXPECT_EQ(figures.remainingSeconds, 2u);
    EXPECT_FALSE(figures.hasRatio);

    // 30 seconds of work for 3 minutes of sound.
    figures = ComputeFileFigures(15000, 15000000, 30000000, 180.0);
    EXPECT_TRUE(figures.hasRatio);
    EXPECT_EQ(FormatRatio(figures.ratio), QStringLiteral("0.17:1"));

    // Nothing to divide by: no figures.
    figures = ComputeFileFigures(0, 100, 1000, 1.0);
    EXPECT_EQ(figures.rate, 0.0);
    figures = ComputeFileFigures(100, 0, 1000, 1.0);
    EXPECT_EQ(figures.rate, 0.0);
    EXPECT_EQ(figures.remainingSeconds, 0u);
    // More consumed than the file holds never wraps around.
    figures = ComputeFileFigures(1000, 2000, 1000, 1.0);
    EXPECT_EQ(figures.remainingSeconds, 0u);
}

TEST(ProgressMath, BatchFigures) {
    // 176 400 bytes of a 1 764 000-byte batch done at 176.4 bytes/ms.
    BatchFigures figures = ComputeBatchFigures(1764000, 0, 176400, 176.4, 0);
    EXPECT_EQ(figures.percent, 10);
    EXPECT_TRUE(figures.hasRate);
    EXPECT_EQ(figures.remainingSeconds, 9u);
    EXPECT_EQ(FormatRatio(figures.ratio), QStringLiteral("1.00:1"));

    // The slowest running file bounds the batch.
    figures = ComputeBatchFigures(1000, 0, 500, 1000.0, 7);
    EXPECT_EQ(figures.remainingSeconds, 7u);
    EXPECT_EQ(figures.percent, 50);

    figures = ComputeBatchFigures(1000, 420, 0, 0.0, 0);
    EXPECT_EQ(figures.percent, 42);
    EXPECT_FALSE(figures.hasRate);

    figures = ComputeBatchFigures(0, 0, 0, 5.0, 0);
    EXPECT_EQ(figures.percent, 0);
    EXPECT_FALSE(figures.hasRatio);
    // Done bytes beyond the total (rows changed mid-batch) do not wrap.
    figures = ComputeBatchFigures(100, 90, 50, 1.0, 0);
    EXPECT_EQ(figures.remainingSeconds, 0u);
    EXPECT_EQ(figures.percent, 100);
}

} // namespace
