#include "headless/json_report.h"

#include "queue/queue_entry.h"
#include "tags/tag_text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr qint64 PROGRESS_PERIOD_MS = 1000;

// QJsonDocument only writes whole arrays and objects: write a one-element
// array and take the element, so escaping stays Qt's.
QByteArray ValueText(const QJsonValue& value) {
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

QJsonValue TextOrNull(const QString& text) {
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

const char* OutcomeName(ReportedOutcome outcome) {
    switch (outcome) {
    case ReportedOutcome::Completed:
    case ReportedOutcome::Existing:
        return "completed";
    case ReportedOutcome::Failed:
        return "failed";
    case ReportedOutcome::Cancelled:
        return "cancelled";
    }
    return "";
}

} // namespace

QByteArray JsonEventLine(const char* event,
                         const std::vector<std::pair<const char*, QJsonValue>>& fields) {
    QByteArray line = "{\"event\":" + ValueText(QString::fromLatin1(event));
    for (const auto& [name, value] : fields) {
        line += ",\"" + QByteArray(name) + "\":" + ValueText(value);
    }
    line += '}';
    return line;
}

HeadlessJsonReport::HeadlessJsonReport(const HeadlessOutput& output) : output(output) {}

void HeadlessJsonReport::Admitted(const QueueEntry& entry) {
    // The file's own tags, when it carries any.
    QJsonValue tag;
    if (entry.tag != ID3TagRecord()) {
        tag = QJsonObject{
            {"title", TagText(entry.tag.title)}, {"artist", TagText(entry.tag.artist)},
            {"album", TagText(entry.tag.album)}, {"year", TagText(entry.tag.year)},
            {"genre", TagText(entry.tag.genre)}, {"comment", TagText(entry.tag.comment)},
            {"track", TagText(entry.tag.track)}};
    }
    Write("admitted", {{"file", entry.path.str()},
                       {"size", static_cast<qint64>(entry.size)},
                       {"duration", static_cast<qint64>(entry.durationSeconds)},
                       {"tag", tag}});
}

void HeadlessJsonReport::Rejected(const Rejection& rejection) {
    Write("rejected",
          {{"file", rejection.path}, {"reason", rejection.reason}, {"message", rejection.message}});
}

void HeadlessJsonReport::Message(const QString& text) {
    // Standard output stays pure JSON.
    std::fprintf(output.err, "%s\n", text.toLocal8Bit().constData());
    std::fflush(output.err);
}

void HeadlessJsonReport::HandedOut(const QueueEntry& entry, const QString& machine) {
    Write("handed_out", {{"file", entry.path.str()}, {"machine", machine}});
}

void HeadlessJsonReport::ServerJobStarted(const QString& path) {
    Write("server_job", {{"file", path}});
}

void HeadlessJsonReport::Started(const QueueEntry& entry) {
    lastProgress.erase(entry.path.str());
    Write("started", {{"file", entry.path.str()}, {"output", entry.outputPath.str()}});
}

void HeadlessJsonReport::Progress(const ProgressSample& sample) {
    const qint64 now = output.clock();
    const auto last = lastProgress.find(sample.path);
    if (last != lastProgress.end() && now - last->second < PROGRESS_PERIOD_MS) {
        return;
    }
    lastProgress[sample.path] = now;
    Write("progress", {{"file", sample.path},
                       {"percent", sample.percent},
                       {"batch_percent", sample.batchPercent},
                       {"elapsed", static_cast<qint64>(sample.elapsedSeconds)},
                       {"remaining", static_cast<qint64>(sample.fileRemainingSeconds)},
                       {"batch_remaining", static_cast<qint64>(sample.remainingSeconds)},
                       {"ratio", sample.ratioText.isEmpty() ? QJsonValue(QJsonValue::Null)
                                                            : QJsonValue(sample.ratio)}});
}

void HeadlessJsonReport::Finished(const QueueEntry& entry, ReportedOutcome outcome,
                                  const QString& reason) {
    const bool completed =
        outcome == ReportedOutcome::Completed || outcome == ReportedOutcome::Existing;
    const bool measured = outcome == ReportedOutcome::Completed && !entry.ratioText.isEmpty();
    lastProgress.erase(entry.path.str());
    Write("finished", {{"file", entry.path.str()},
                       {"outcome", QString::fromLatin1(OutcomeName(outcome))},
                       {"existing", outcome == ReportedOutcome::Existing},
                       {"seconds", static_cast<qint64>(entry.elapsedSeconds)},
                       {"time", entry.elapsedText.isEmpty() ? QStringLiteral("00:00")
                                                            : entry.elapsedText.str()},
                       {"ratio", measured ? QJsonValue(entry.ratio) : QJsonValue(QJsonValue::Null)},
                       {"output", completed ? TextOrNull(entry.outputPath.str()) : QJsonValue()},
                       {"message", TextOrNull(reason)}});
}

void HeadlessJsonReport::BatchFinished(const BatchCounts& counts, int exitCode) {
    Fields fields{{"files", counts.files},
                  {"completed", counts.completed},
                  {"failed", counts.failed},
                  {"cancelled", counts.cancelled},
                  {"rejected", counts.rejected}};
    if (exitCode >= 0) {
        fields.emplace_back("exit_code", exitCode);
    }
    Write("batch_finished", fields);
}

void HeadlessJsonReport::Write(const char* event, const Fields& fields) {
    const QByteArray line = JsonEventLine(event, fields) + '\n';
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), output.out);
    std::fflush(output.out);
}
