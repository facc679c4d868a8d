#pragma once

#include "app/messages.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>

// MSG_ENCODE_DONE: wParam is the outcome (1 encoded completely, 0 failed or
// cancelled), the payload an owned copy of the source path.
using EncodeDoneEvent = PayloadEvent<QString>;
// MSG_ENCODE_PROGRESS: wParam the whole percentage, lParam the bytes of the
// source's sample data consumed so far.
using EncodeProgressEvent = PlainEvent;

// Both do nothing when the receiver is gone (or was never given).
void PostEncodeProgress(const QPointer<QObject>& window, int percent, std::uint64_t bytesDone);
void PostEncodeDone(const QPointer<QObject>& window, bool outcome, const QString& source);

// The bytes done as the receiver counts them: it keeps sizes in 32 bits, so
// the share of a larger source is given within that range (a 6 GB source
// half done reports 2 GB), which keeps rates and estimates consistent.
std::uint64_t ReportedProgressBytes(std::uint64_t bytesDone, std::uint64_t totalBytes);

// Tracks the last whole percentage posted, so a worker posts at most one
// message per percent.
class ProgressReporter {
public:
    ProgressReporter(QPointer<QObject> window, std::uint64_t totalBytes)
        : window(std::move(window)), totalBytes(totalBytes) {}

    // Posts when the whole percentage of `bytesDone` differs from the last one.
    void Report(std::uint64_t bytesDone);

private:
    QPointer<QObject> window;
    std::uint64_t totalBytes;
    int lastPercent = -1;
};
