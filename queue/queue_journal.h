#pragma once

#include "queue/sqlite_handle.h"

#include <QObject>
#include <QString>
#include <functional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class QueueModel;
struct QueueEntry;

// Keeps the queue on disk so that a restart after a crash or a kill resumes
// it: an SQLite database in WAL mode with one table row per queue row. A
// change writes only the rows it touched, in one transaction at the end of
// the event loop's turn (or at once through Save), so its cost does not grow
// with the queue. The database is held exclusively: a second program on the
// same journal is refused. A journal in the earlier JSON form is moved into
// the database once and kept beside it.
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
    // Writes what changed now; false when it could not be written.
    bool Save();
    // Deletes the journal (the queue it held is finished with).
    void Remove();
    const QString& Path() const { return path; }
    // False when the queue is not being kept (the journal could not be opened).
    bool IsOpen() const { return db != nullptr; }
    // Table rows written or deleted since the journal was opened.
    qint64 RowsWritten() const { return rowsWritten; }
    // Bytes of database pages written since the journal was opened.
    qint64 BytesWritten() const { return bytesWritten; }

private:
    struct Kept {
        qint64 id = 0;
        qint64 position = 0;
        bool written = false;
        qint64 writtenPosition = 0;
        std::size_t writtenPrint = 0;
    };

    void Open();
    // A journal of the earlier JSON form at `path` becomes a database; false
    // when it was damaged (and set aside).
    bool ImportJson();
    bool CreateFrom(const QString& target, const std::vector<const QueueEntry*>& entries);
    // 0 when the database at `path` is ours and whole; else the failure.
    enum class OpenResult { Ready, Damaged, InUse, Failed };
    OpenResult OpenDatabase();
    void SetAside();
    void Close();

    void Watch();
    void OnInserted(int first, int last);
    void OnAboutToRemove(int first, int last);
    void OnMoved(int from, int to);
    void OnReordered();
    void MarkDirty(const QueueEntry* entry);
    void Renumber();
    qint64 PositionOf(int row) const;
    void ScheduleSave();
    void ReportWriteFailure(const QString& reason);

    QueueModel& model;
    QString path;
    SqliteDatabase db;
    SqliteStatement writeRow;
    SqliteStatement updateRow;
    SqliteStatement movePosition;
    SqliteStatement deleteRow;
    std::unordered_map<const QueueEntry*, Kept> kept;
    std::unordered_set<const QueueEntry*> dirty;
    std::vector<qint64> deleted;
    qint64 nextId = 1;
    qint64 rowsWritten = 0;
    qint64 bytesWritten = 0;
    qint64 pageSize = 4096;
    bool restoring = false;
    bool savePending = false;
    bool writeFailed = false;
};
