#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

class QueueModel;
struct QueueEntry;

// Keeps the queue on disk so that a restart after a crash or a kill resumes
// it. Every change of the model is written out (coalesced to one write per
// turn of the event loop) through a temporary file and a rename, so the file
// on disk is always a whole journal, old or new.
class QueueJournal : public QObject {
    Q_OBJECT

public:
    QueueJournal(QueueModel& model, QString path, QObject* parent = nullptr);
    ~QueueJournal() override;

    // Appends the journal's entries to the queue (rows at the end), skipping
    // paths already queued and those `keep` refuses. A damaged journal is
    // renamed aside with one error-log sentence and nothing is restored.
    // Returns the number of entries restored.
    int Restore(const std::function<bool(QueueEntry&)>& keep = {});
    // Writes the queue now if it changed since the last write.
    bool Save();
    // Deletes the journal (the queue it held is finished with).
    void Remove();
    const QString& Path() const { return path; }

private:
    void ScheduleSave();
    void SetAside();

    QueueModel& model;
    QString path;
    QByteArray lastSaved;
    bool savePending = false;
    bool removed = false;
};
