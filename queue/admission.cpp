#include "queue/admission.h"

#include "app/strings.h"
#include "app/trace.h"
#include "queue/queue_model.h"

#include <QFileInfo>
#include <limits>

namespace {

inline constexpr unsigned IDS_REJECTED = 33040;

QString Rejection(const QString& path) {
    return ResString(IDS_REJECTED).replace(QStringLiteral("%s"), path);
}

} // namespace

QueueEntry* AddNewFile(QueueModel& model, const QString& path, const AdmissionContext& context) {
    if (path.isEmpty()) {
        Trace("AddNewFile: File passed was null\n");
        return nullptr;
    }
    if (!model.QualifyFile(path)) {
        Trace("QualifyFile: File %s is already in the list\n", qPrintable(path));
        return nullptr;
    }
    // A cut path would name another file; such a path is refused whole.
    WaveFacts facts;
    if (path.size() > PATH_LENGTH || !context.probe || !context.probe(path, &facts)) {
        if (context.reportError) {
            context.reportError(Rejection(path));
        }
        Trace("QualifyFile: Couldn't get wave properties for file %s\n", qPrintable(path));
        return nullptr;
    }

    auto entry = std::make_unique<QueueEntry>();
    entry->percent = -1;
    SetEntryPath(*entry, path);
    const QString output = context.outputPathOf ? context.outputPathOf(path) : QString();
    entry->status = (!output.isEmpty() && QFileInfo::exists(output)) ? Completed : NotDone;
    const qint64 size = QFileInfo(path).size();
    entry->size = static_cast<std::uint32_t>(
        qBound<qint64>(0, size, std::numeric_limits<std::uint32_t>::max()));
    entry->durationSeconds =
        facts.durationSeconds > 0.0 ? static_cast<std::uint32_t>(facts.durationSeconds) : 0;
    entry->hours = facts.hours;
    entry->minutes = facts.minutes;
    entry->seconds = facts.seconds;
    entry->durationText = facts.durationText;
    entry->tag = facts.tag;
    return model.Append(std::move(entry));
}
