#pragma once

#include "queue/admission.h"

#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <set>

class QueueModel;

// The source directory as a watch folder: admits WAV files it has not
// examined before. A file still being written is left for a later scan and
// not marked as examined: one that this user's processes hold open for
// writing, one whose chunks run past its end, and one whose size changed
// since the last scan (a writer under another user, on another machine, or
// one that closes and reopens it).
class WatchFolder {
public:
    explicit WatchFolder(QueueModel& model);

    // Scans `directory`; with showRows the admitted files also get rows.
    // Returns the number of files admitted.
    int CheckForNewFiles(const QString& directory, bool showRows, const AdmissionContext& context);
    void ResetSeenFiles(bool recreate);
    bool HasSeen(const QString& name) const;

    // After rows were added: buttons, and the batch figures when encoding.
    std::function<void()> afterRowsAdded;

private:
    QueueModel& model;
    // Names only, compared exactly (case matters).
    std::unique_ptr<std::set<QString>> seenFiles;
    // Sizes at the last scan of the files not examined yet.
    std::map<QString, qint64> unseenSizes;
};
