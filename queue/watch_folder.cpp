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
    pending.reset();
}

bool WatchFolder::HasSeen(const QString& name) const {
    return seenFiles && seenFiles->count(name) != 0;
}

int WatchFolder::CheckForNewFiles(const QString& directory, bool showRows,
                                  const AdmissionContext& context, int limit) {
    Trace("CheckForNewFiles: Checking...\n");
    if (!seenFiles) {
        seenFiles = std::make_unique<std::set<QString>>();
    }
    auto scan = std::make_unique<Scan>();
    scan->directory = directory;
    scan->showRows = showRows;
    if (showRows) {
        scan->selected = std::max(model.FirstSelected(), 0);
    }
    scan->base = directory;
    if (!scan->base.endsWith(u'/')) {
        scan->base += u'/';
    }
    const QDir dir(directory);
    // The pattern ignores case, as the file systems it was made for do.
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden, QDir::Unsorted)) {
        if (!name.endsWith(QStringLiteral(".wav"), Qt::CaseInsensitive)) {
            continue;
        }
        if (seenFiles->count(name) != 0) {
            Trace("CheckForNewFiles: Already checked file %s/%s\n", qPrintable(directory),
                  qPrintable(name));
            continue;
        }
        scan->names.append(name);
    }
    if (!scan->names.isEmpty()) {
        scan->beingWritten = FilesOpenForWriting(directory);
    }
    pending = std::move(scan);
    return ContinueCheck(context, limit);
}

int WatchFolder::ContinueCheck(const AdmissionContext& context, int limit) {
    if (!pending || !seenFiles) {
        return 0;
    }
    Scan& scan = *pending;
    const qsizetype end =
        limit > 0 ? std::min(scan.names.size(), scan.next + limit) : scan.names.size();
    int added = 0;
    int admitted = 0;
    for (; scan.next < end; ++scan.next) {
        const QString& name = scan.names[scan.next];
        const QString fullPath = scan.base + name;
        Trace("CheckForNewFiles: Checking file %s\n", qPrintable(fullPath));
        QFile probe(fullPath);
        if (scan.beingWritten.contains(QFileInfo(fullPath).canonicalFilePath()) ||
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
            scan.sizes[name] = size;
            continue;
        }
        seenFiles->insert(name);
        QueueEntry* entry = AddNewFile(model, fullPath, context);
        if (entry != nullptr) {
            ++admitted;
        }
        if (entry != nullptr && scan.showRows) {
            Trace("CheckForNewFiles: Adding the file to the listbox\n");
            model.AddRowAtEnd(entry);
            ++added;
        } else {
            Trace("CheckForNewFiles: file was not added to the list box. set selected = %d\n",
                  scan.showRows ? 1 : 0);
        }
    }
    const int selected = scan.selected;
    if (scan.next >= scan.names.size()) {
        unseenSizes = std::move(scan.sizes);
        pending.reset();
        Trace("CheckForNewFiles: Done checking for files\n");
    }
    if (added > 0) {
        if (model.RowCount() > 0) {
            model.ClearSelection();
            model.SelectAndFocus(selected);
        }
        if (afterRowsAdded) {
            afterRowsAdded();
        }
    }
    return admitted;
}
