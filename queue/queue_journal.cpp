#include "queue/queue_journal.h"

#include "app/error_log.h"
#include "app/trace.h"
#include "queue/queue_journal_format.h"
#include "queue/queue_model.h"

#include <QDateTime>
#include <QFile>
#include <QSaveFile>
#include <QTimer>

namespace {

// Far larger than any real queue; a bigger file is not read into memory.
inline constexpr qint64 MAX_JOURNAL_BYTES = 64LL * 1024 * 1024;

} // namespace

QueueJournal::QueueJournal(QueueModel& model, QString path, QObject* parent)
    : QObject(parent), model(model), path(std::move(path)) {
    connect(&model, &QueueModel::RowsChanged, this, &QueueJournal::ScheduleSave);
    connect(&model, &QueueModel::RowUpdated, this, &QueueJournal::ScheduleSave);
}

QueueJournal::~QueueJournal() {
    if (!removed) {
        Save();
    }
}

int QueueJournal::Restore(const std::function<bool(QueueEntry&)>& keep) {
    QFile file(path);
    if (!file.exists()) {
        return 0;
    }
    if (!file.open(QIODevice::ReadOnly) || file.size() > MAX_JOURNAL_BYTES) {
        SetAside();
        return 0;
    }
    auto entries = ParseQueueJournal(file.readAll());
    file.close();
    if (!entries) {
        SetAside();
        return 0;
    }
    int restored = 0;
    for (std::unique_ptr<QueueEntry>& entry : *entries) {
        if (!model.QualifyFile(entry->path) || (keep && !keep(*entry))) {
            continue;
        }
        model.AddRowAtEnd(model.Append(std::move(entry)));
        ++restored;
    }
    Trace("QueueJournal: %d entries restored from %s\n", restored, qPrintable(path));
    return restored;
}

void QueueJournal::SetAside() {
    const QString aside =
        path + QStringLiteral(".damaged-") +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss-zzz"));
    const bool moved = QFile::rename(path, aside);
    AddError(moved ? QStringLiteral("The queue journal %1 could not be read; it was set aside as "
                                    "%2 and the queue starts empty.")
                         .arg(path, aside)
                   : QStringLiteral("The queue journal %1 could not be read and could not be set "
                                    "aside; the queue starts empty.")
                         .arg(path));
    if (!moved) {
        // Writing over it would lose what it held; keep it and stop journalling.
        removed = true;
    }
}

void QueueJournal::ScheduleSave() {
    if (savePending || removed) {
        return;
    }
    savePending = true;
    QTimer::singleShot(0, this, [this] { Save(); });
}

bool QueueJournal::Save() {
    savePending = false;
    if (removed) {
        return false;
    }
    const QByteArray text = SerializeQueue(model);
    if (text == lastSaved) {
        return true;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        Trace("QueueJournal: couldn't write %s: %s\n", qPrintable(path),
              qPrintable(file.errorString()));
        return false;
    }
    lastSaved = text;
    return true;
}

void QueueJournal::Remove() {
    removed = true;
    QFile::remove(path);
}
