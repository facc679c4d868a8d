#include "queue/queue_entry.h"

qsizetype LastPathSeparator(const QString& path) {
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
#ifdef Q_OS_WIN
        if (path[i] == u'\\' || path[i] == u'/') {
            return i;
        }
#else
        if (path[i] == u'/') {
            return i;
        }
#endif
    }
    return -1;
}

QString FileTitle(const QString& path) {
    QString name = path.mid(LastPathSeparator(path) + 1);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot >= 0) {
        name.truncate(dot);
    }
    return name;
}

void SetEntryPath(QueueEntry& entry, const QString& path) {
    entry.path = path;
    const qsizetype separator = LastPathSeparator(path);
    entry.directory = separator >= 0 ? path.left(separator) : QString();
    entry.name = FileTitle(path);
}

void RecordFailure(QueueEntry& entry, const QString& machineName) {
    if (entry.failedCount < 0 || entry.failedCount >= MAX_FAILED_MACHINES) {
        return;
    }
    entry.failedOn[static_cast<std::size_t>(entry.failedCount)] = machineName;
    ++entry.failedCount;
}

bool HasFailedOn(const QueueEntry& entry, const QString& machineName) {
    if (machineName.isEmpty()) {
        return false;
    }
    const int count = qBound(0, entry.failedCount, MAX_FAILED_MACHINES);
    const QString name = machineName.left(MACHINE_NAME_LENGTH);
    for (int i = 0; i < count; ++i) {
        if (entry.failedOn[static_cast<std::size_t>(i)].str().compare(name, Qt::CaseInsensitive) ==
            0) {
            return true;
        }
    }
    return false;
}

void ClearRunFigures(QueueEntry& entry) {
    entry.elapsedSeconds = 0;
    entry.totalSeconds = 0;
    entry.remainingSeconds = 0;
    entry.remainingHours = 0;
    entry.remainingMinutes = 0;
    entry.remainingSecs = 0;
    entry.elapsedText.clear();
    entry.totalText.clear();
    entry.remainingText.clear();
    entry.ratioText.clear();
}
