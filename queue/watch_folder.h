#pragma once

#include "queue/admission.h"

#include <QSet>
#include <QString>
#include <QStringList>
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
    // With a limit, at most that many new files are examined now and the
    // rest by ContinueCheck (a folder of thousands fills in steps). Returns
    // the number of files admitted.
    int CheckForNewFiles(const QString& directory, bool showRows, const AdmissionContext& context,
                         int limit = 0);
    bool MoreToCheck() const { return pending != nullptr; }
    int ContinueCheck(const AdmissionContext& context, int limit = 0);
    void ResetSeenFiles(bool recreate);
    bool HasSeen(const QString& name) const;

    // After rows were added: buttons, and the batch figures when encoding.
    std::function<void()> afterRowsAdded;

private:
    // A scan under way: the new names it found and how far it got.
    struct Scan {
        QString directory;
        QString base;
        bool showRows = false;
        int selected = 0;
        QStringList names;
        qsizetype next = 0;
        QSet<QString> beingWritten;
        std::map<QString, qint64> sizes;
    };

    QueueModel& model;
    std::unique_ptr<Scan> pending;
    // Names only, compared exactly (case matters).
    std::unique_ptr<std::set<QString>> seenFiles;
    // Sizes at the last scan of the files not examined yet.
    std::map<QString, qint64> unseenSizes;
};
