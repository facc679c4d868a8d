#pragma once

#include "headless/options.h"

#include <QString>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>

struct QueueEntry;

// A refusal at admission, as the error log worded it.
struct Rejection {
    QString path;
    QString reason;  // the sentence's cause, e.g. "it is not a valid wave file"
    QString message; // the whole sentence
};

// Milliseconds of a clock that never goes back; tests step one by hand.
using MonotonicClock = std::function<qint64()>;
qint64 SteadyMilliseconds();

// Where and how a run without a window reports.
struct HeadlessOutput {
    OutputFormat format = OutputFormat::Text;
    bool quiet = false;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    bool terminal = false;                     // `out` is a terminal: keep a live status line there
    MonotonicClock clock = SteadyMilliseconds; // paces redraws and progress lines
};

// How one named file ended, as reported.
enum class ReportedOutcome { Completed, Existing, Failed, Cancelled };

// A running file and the batch, sampled a few times a second.
struct ProgressSample {
    QString path;
    int percent = 0;
    int running = 1; // files running on this machine, this one included
    int batchPercent = 0;
    int fileNumber = 0;
    int fileCount = 0;
    std::uint32_t elapsedSeconds = 0; // of the file
    QString elapsedText;
    std::uint32_t fileRemainingSeconds = 0;
    std::uint32_t remainingSeconds = 0; // of the batch
    QString remainingText;
    double ratio = 0.0; // of the file; 0 until it is measured
    QString ratioText;
};

struct BatchCounts {
    int files = 0;
    int completed = 0;
    int failed = 0;
    int cancelled = 0;
    int rejected = 0;
};

// The events of a run, written in one of the output formats.
class HeadlessReport {
public:
    virtual ~HeadlessReport() = default;

    virtual void Admitted(const QueueEntry& entry) = 0;
    virtual void Rejected(const Rejection& rejection) = 0;
    virtual void Started(const QueueEntry& entry) = 0;
    // Called a few times a second for each file encoding here; each format
    // thins it out.
    virtual void Progress(const ProgressSample& sample) = 0;
    // `reason`: for a failed file, the error-log sentence that says why.
    virtual void Finished(const QueueEntry& entry, ReportedOutcome outcome,
                          const QString& reason = QString()) = 0;
    // exitCode < 0: the program goes on (a batch of the watch folder ended).
    virtual void BatchFinished(const BatchCounts& counts, int exitCode) = 0;
    // The server gave a file to another machine.
    virtual void HandedOut(const QueueEntry& entry, const QString& machine) = 0;
    // This machine, as a client, took a file from its server.
    virtual void ServerJobStarted(const QString& path) = 0;
    // A warning or a notice for the user, on standard error; none when quiet.
    virtual void Message(const QString& text) = 0;
};

std::unique_ptr<HeadlessReport> MakeHeadlessReport(const HeadlessOutput& output);
