#pragma once

#include <QString>
#include <cstdint>

inline constexpr double CD_BYTES_PER_SECOND = 176400.0;

struct TimeSplit {
    std::uint32_t hours = 0;
    std::uint32_t minutes = 0;
    std::uint32_t seconds = 0;
};

TimeSplit SplitSeconds(std::uint32_t total);
// "%02d:%02d:%02d" with hours, else "%02d:%02d".
QString FormatTimeText(std::uint32_t seconds);
// "%.02f:1".
QString FormatRatio(double ratio);

// Figures of one file from one progress report.
struct FileFigures {
    double rate = 0.0; // bytes per millisecond; 0: nothing measurable
    std::uint32_t remainingSeconds = 0;
    double ratio = 0.0; // 0 when the playing time is unknown
    bool hasRatio = false;
    std::uint32_t elapsedSeconds = 0;
    std::uint32_t totalSeconds = 0;
};

// elapsedMillis excludes paused time and must not be 0.
FileFigures ComputeFileFigures(std::uint32_t elapsedMillis, std::uint32_t bytesDone,
                               std::uint32_t fileBytes, double audioSeconds);

// Figures of the whole batch.
struct BatchFigures {
    int percent = 0;
    bool hasRate = false; // false: leave the texts as they are
    std::uint32_t remainingSeconds = 0;
    double ratio = 0.0;
    bool hasRatio = false;
};

BatchFigures ComputeBatchFigures(std::uint64_t totalBytes, std::uint64_t finishedBytes,
                                 std::uint64_t inProgress, double sumRate,
                                 std::uint32_t maxRemaining);

// The batch remaining text "%02d:%02d:%02d  (%d%%)" (always with hours).
QString FormatBatchTime(std::uint32_t seconds, int percent);
