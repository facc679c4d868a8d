#include "queue/watch_folder.h"

#include "app/trace.h"
#include "queue/open_for_writing.h"
#include "queue/queue_model.h"
#include "queue/wave_completeness.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

WatchFolder::WatchFolder(QueueModel& model)
    : model(model), seenFiles(std::make_unique<std::set<QString>>()) {}

void WatchFolder::ResetSeenFiles(bool recreate) {
    seenFiles = recreate ? std::make_unique<std::set<QString>>() : nullptr;
    unseenSizes.clear();
}

bool WatchFolder::HasSeen(const QString& name) const {
    return seenFiles && seenFiles->count(name) != 0;
}

int WatchFolder::CheckForNewFiles(const QString& directory, bool showRows,
                                  const AdmissionContext& context) {
    Trace("CheckForNewFiles: Checking...\n");
    if (!seenFiles) {
        seenFiles = std::make_unique<std::set<QString>>();
    }
    int selected = 0;
    if (showRows) {
        selected = std::max(model.FirstSelected(), 0);
    }
    QString base = directory;
    if (!base.endsWith(u'/')) {
        base += u'/';
    }
    const QDir dir(directory);
    // The pattern ignores case, as the file systems it was made for do.
    QStringList wavNames;
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden, QDir::Unsorted)) {
        if (name.endsWith(QStringLiteral(".wav"), Qt::CaseInsensitive)) {
            wavNames.append(name);
        }
    }
    const QSet<QString> beingWritten =
        wavNames.isEmpty() ? QSet<QString>() : FilesOpenForWriting(directory);

    int added = 0;
    int admitted = 0;
    std::map<QString, qint64> sizes;
    for (const QString& name : wavNames) {
        if (seenFiles->count(name) != 0) {
            Trace("CheckForNewFiles: Already checked file %s/%s\n", qPrintable(directory),
                  qPrintable(name));
            continue;
        }
        const QString fullPath = base + name;
        Trace("CheckForNewFiles: Checking file %s\n", qPrintable(fullPath));
        QFile probe(fullPath);
        if (beingWritten.contains(QFileInfo(fullPath).canonicalFilePath()) ||
            !probe.open(QIODevice::ReadOnly)) {
            Trace("CheckForNewFiles: Couldn't open the file for read access\n");
            continue;
        }
        probe.close();
        const qint64 size = QFileInfo(fullPath).size();
        const auto before = unseenSizes.find(name);
        const bool grew = before != unseenSizes.end() && before->second != size;
        if (grew || !LooksWholeWave(fullPath)) {
            Trace("CheckForNewFiles: %s is still being written\n", qPrintable(fullPath));
            sizes[name] = size;
            continue;
        }
        seenFiles->insert(name);
        QueueEntry* entry = AddNewFile(model, fullPath, context);
        if (entry != nullptr) {
            ++admitted;
        }
        if (entry != nullptr && showRows) {
            Trace("CheckForNewFiles: Adding the file to the listbox\n");
            model.AddRowAtEnd(entry);
            ++added;
        } else {
            Trace("CheckForNewFiles: file was not added to the list box. set selected = %d\n",
                  showRows ? 1 : 0);
        }
    }
    unseenSizes = std::move(sizes);
    if (added > 0) {
        if (model.RowCount() > 0) {
            model.ClearSelection();
            model.SelectAndFocus(selected);
        }
        if (afterRowsAdded) {
            afterRowsAdded();
        }
    }
    Trace("CheckForNewFiles: Done checking for files\n");
    return admitted;
}
