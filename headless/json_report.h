#pragma once

#include "headless/report.h"

#include <QJsonValue>
#include <QString>
#include <map>
#include <utility>
#include <vector>

// One JSON object per line on standard output; field names are part of the
// program's interface (see the README) and do not change.
class HeadlessJsonReport : public HeadlessReport {
public:
    explicit HeadlessJsonReport(const HeadlessOutput& output);

    void Admitted(const QueueEntry& entry) override;
    void Rejected(const Rejection& rejection) override;
    void Started(const QueueEntry& entry) override;
    void Progress(const ProgressSample& sample) override;
    void Finished(const QueueEntry& entry, ReportedOutcome outcome,
                  const QString& reason = QString()) override;
    void BatchFinished(const BatchCounts& counts, int exitCode) override;
    void HandedOut(const QueueEntry& entry, const QString& machine) override;
    void ServerJobStarted(const QString& path) override;
    void Message(const QString& text) override;

private:
    using Fields = std::vector<std::pair<const char*, QJsonValue>>;
    void Write(const char* event, const Fields& fields);

    HeadlessOutput output;
    // When each running file's progress was last written.
    std::map<QString, qint64> lastProgress; // when each file last reported
};

// One event as its line of text (without the line feed); fields keep their order.
QByteArray JsonEventLine(const char* event,
                         const std::vector<std::pair<const char*, QJsonValue>>& fields);
