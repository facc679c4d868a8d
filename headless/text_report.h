#pragma once

#include "headless/report.h"

#include <QString>

// Tab-separated lines, one per named file; on a terminal also a status line
// redrawn in place while a file encodes.
class HeadlessTextReport : public HeadlessReport {
public:
    explicit HeadlessTextReport(const HeadlessOutput& output);

    void Admitted(const QueueEntry&) override {}
    void Rejected(const Rejection& rejection) override;
    void Started(const QueueEntry&) override {}
    void Progress(const ProgressSample& sample) override;
    void Finished(const QueueEntry& entry, ReportedOutcome outcome,
                  const QString& reason = QString()) override;
    void BatchFinished(const BatchCounts&, int) override { ClearStatusLine(); }
    void HandedOut(const QueueEntry& entry, const QString& machine) override;
    void ServerJobStarted(const QString& path) override;
    void Message(const QString& text) override;

private:
    void WriteLine(std::FILE* stream, const QString& line);
    void ClearStatusLine();
    int TerminalColumns() const;

    HeadlessOutput output;
    bool statusShown = false;
    QString shownText;
    qint64 lastDrawMs = -1;
};

// The status line's text for one sample.
QString FormatStatusLine(const ProgressSample& sample);
