#pragma once

#include "queue/bounded_string.h"
#include "queue/queue_status.h"
#include "tags/id3_tag_record.h"

#include <QString>
#include <array>
#include <cstdint>

inline constexpr int PATH_LENGTH = 259;        // characters of a 260-byte path buffer
inline constexpr int MACHINE_NAME_LENGTH = 15; // characters of a 16-byte name
inline constexpr int FIGURE_TEXT_LENGTH = 63;  // characters of a 64-byte text
inline constexpr int MAX_FAILED_MACHINES = 64;

using PathText = BoundedString<PATH_LENGTH>;
using MachineName = BoundedString<MACHINE_NAME_LENGTH>;
using FigureText = BoundedString<FIGURE_TEXT_LENGTH>;

// One queued WAV file.
struct QueueEntry {
    PathText path;       // as received at admission
    PathText name;       // without directory and last extension
    PathText directory;  // before the last separator; empty without one
    PathText outputPath; // of the current or last local encode
    MachineName machine; // who encodes (or last encoded) it; empty when none
    std::uint32_t size = 0;
    int status = NotDone;
    std::array<MachineName, MAX_FAILED_MACHINES> failedOn{};
    int failedCount = 0;

    std::uint32_t durationSeconds = 0;
    std::uint32_t hours = 0;
    std::uint32_t minutes = 0;
    std::uint32_t seconds = 0;
    FigureText durationText;

    std::uint32_t elapsedSeconds = 0;
    FigureText elapsedText;
    std::uint32_t totalSeconds = 0;
    FigureText totalText;
    std::uint32_t remainingSeconds = 0;
    std::uint32_t remainingHours = 0;
    std::uint32_t remainingMinutes = 0;
    std::uint32_t remainingSecs = 0;
    FigureText remainingText;
    int percent = -1;
    double rate = 0.0;
    double ratio = 0.0;
    FigureText ratioText;
    std::uint32_t bytesDone = 0;
    ID3TagRecord tag; // written into the output after a success
};

// Position of the last directory separator of a path, or -1.
qsizetype LastPathSeparator(const QString& path);

// The file name without its directory and its last extension.
QString FileTitle(const QString& path);

// Fills path, directory and name (the file name cut at its last ".").
void SetEntryPath(QueueEntry& entry, const QString& path);

// Appends a machine name to failedOn unless 64 names are there already.
void RecordFailure(QueueEntry& entry, const QString& machineName);
// True when the name is not empty and one of the recorded failures (any case).
bool HasFailedOn(const QueueEntry& entry, const QString& machineName);

// Clears the figures that a new encode recomputes.
void ClearRunFigures(QueueEntry& entry);
