#pragma once

#include "queue/admission.h"

#include <QString>
#include <functional>
#include <memory>
#include <set>

class QueueModel;

// The source directory as a watch folder: admits WAV files it has not
// examined before. A file that a process still holds open for writing is
// left for a later scan.
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
};
