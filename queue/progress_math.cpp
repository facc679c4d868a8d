#include "queue/progress_math.h"

#include "app/strings.h"

#include <cmath>
#include <limits>

namespace {

inline constexpr unsigned IDS_BATCH_TIME = 33022;

// Whole seconds of a non-negative figure, saturating instead of overflowing.
std::uint32_t WholeSeconds(double value) {
    if (!(value > 0.0)) {
        return 0;
    }
    if (value >= static_cast<double>(std::numeric_limits<std::uint32_t>::max())) {
        return std::numeric_limits<std::uint32_t>::max();
    }
    return static_cast<std::uint32_t>(value);
}

} // namespace

TimeSplit SplitSeconds(std::uint32_t total) {
    TimeSplit split;
    split.hours = total / 3600;
    const std::uint32_t rest = total - 3600 * split.hours;
    split.minutes = rest / 60;
    split.seconds = rest - 60 * split.minutes;
    return split;
}

QString FormatTimeText(std::uint32_t seconds) {
    const TimeSplit split = SplitSeconds(seconds);
    if (split.hours != 0) {
        return QString::asprintf("%02u:%02u:%02u", split.hours, split.minutes, split.seconds);
    }
    return QString::asprintf("%02u:%02u", split.minutes, split.seconds);
}

QString FormatRatio(double ratio) {
    return QString::asprintf("%.02f:1", ratio);
}

QString FormatBatchTime(std::uint32_t seconds, int percent) {
    const TimeSplit split = SplitSeconds(seconds);
    return QString::asprintf(FindResString(IDS_BATCH_TIME), static_cast<int>(split.hours),
                             static_cast<int>(split.minutes), static_cast<int>(split.seconds),
                             percent);
}

FileFigures ComputeFileFigures(std::uint32_t elapsedMillis, std::uint32_t bytesDone,
                               std::uint32_t fileBytes, double audioSeconds) {
    FileFigures figures;
    if (elapsedMillis == 0) {
        return figures;
    }
    figures.rate = static_cast<double>(bytesDone) / static_cast<double>(elapsedMillis);
    if (figures.rate == 0.0) {
        return figures;
    }
    const double left = fileBytes > bytesDone ? static_cast<double>(fileBytes - bytesDone) : 0.0;
    figures.remainingSeconds = WholeSeconds(left / figures.rate * 0.001);
    if (audioSeconds > 0.0) {
        const std::uint32_t wholeFile = WholeSeconds(fileBytes / figures.rate * 0.001);
        figures.ratio = wholeFile / audioSeconds;
        figures.hasRatio = true;
    }
    figures.elapsedSeconds = elapsedMillis / 1000;
    figures.totalSeconds = figures.elapsedSeconds + figures.remainingSeconds;
    return figures;
}

BatchFigures ComputeBatchFigures(std::uint64_t totalBytes, std::uint64_t finishedBytes,
                                 std::uint64_t inProgress, double sumRate,
                                 std::uint32_t maxRemaining) {
    BatchFigures figures;
    const std::uint64_t done = finishedBytes + inProgress;
    if (totalBytes != 0) {
        const double percent = static_cast<double>(done) / static_cast<double>(totalBytes) * 100.0;
        figures.percent = static_cast<int>(std::min(percent, 100.0));
    }
    if (sumRate == 0.0) {
        return figures;
    }
    figures.hasRate = true;
    // Rows removed or added mid-batch can make the done bytes exceed the total.
    const double left = totalBytes > done ? static_cast<double>(totalBytes - done) : 0.0;
    figures.remainingSeconds = std::max(WholeSeconds(left / sumRate * 0.001), maxRemaining);
    if (totalBytes != 0) {
        figures.ratio = (static_cast<double>(totalBytes) / sumRate * 0.001) /
                        (static_cast<double>(totalBytes) / CD_BYTES_PER_SECOND);
        figures.hasRatio = true;
    }
    return figures;
}
