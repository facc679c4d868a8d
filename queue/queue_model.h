#pragma once

#include "queue/queue_entry.h"

#include <QMutex>
#include <QObject>
#include <memory>
#include <vector>

// The queue: the array that owns the entries in admission order, and the rows
// (display and encoding order) with their selection and focus. A list view
// observes it through the signals.
class QueueModel : public QObject {
    Q_OBJECT

public:
    explicit QueueModel(QObject* parent = nullptr);
    ~QueueModel() override;

    // The queue array.
    int Count() const { return static_cast<int>(entries.size()); }
    QueueEntry* EntryInArray(int index) const;
    // Takes ownership; the append is guarded by the queue lock.
    QueueEntry* Append(std::unique_ptr<QueueEntry> entry);
    // Frees an entry that no row shows any more.
    void Free(QueueEntry* entry);
    // False when an entry with this path (any case) is queued.
    bool QualifyFile(const QString& path) const;
    int CountNotDone() const;

    // The rows.
    int RowCount() const { return static_cast<int>(rows.size()); }
    QueueEntry* EntryAt(int row) const;
    int RowOf(const QueueEntry* entry) const;
    void AddRow(int row, QueueEntry* entry);
    void AddRowAtEnd(QueueEntry* entry) { AddRow(RowCount(), entry); }
    void DeleteRow(int row);
    // Rows for every entry of the array, in admission order.
    void Fill();
    // Reports a changed row to observers, clamping a bad status first.
    void UpdateRow(int row);
    // Replaces the row order (sorting); the selection follows the entries.
    void Reorder(const std::vector<QueueEntry*>& order);
    // First row whose entry has this path (any case); sets its status and,
    // when given, its machine (an empty one also resets percent to -1).
    int FindEntryByPath(const QString& path, int status, const QString* machine = nullptr);

    // Selection and focus.
    bool IsSelected(int row) const;
    void Select(int row, bool selected = true);
    void ClearSelection();
    void SelectAndFocus(int row);
    std::vector<int> SelectedRows() const;
    int FirstSelected() const;
    int LastSelected() const;
    int CountSelected() const;
    int FocusRow() const { return focusRow; }
    void SetFocusRow(int row);

    int sortKey = 0;

signals:
    void RowsChanged();
    void RowUpdated(int row);
    void SelectionChanged();
    // Emitted just before the entry is destroyed.
    void EntryFreed(QueueEntry* entry);

private:
    struct Row {
        QueueEntry* entry;
        bool selected;
    };

    std::vector<std::unique_ptr<QueueEntry>> entries;
    std::vector<Row> rows;
    int focusRow = -1;
    mutable QMutex queueLock;
};
