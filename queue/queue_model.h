#pragma once

#include "queue/queue_entry.h"
#include "queue/row_tree.h"

#include <QHash>
#include <QMutex>
#include <QObject>
#include <array>
#include <functional>
#include <list>
#include <memory>
#include <unordered_map>
#include <vector>

// The queue: the array that owns the entries in admission order, and the rows
// (display and encoding order) with their selection and focus. A list view
// observes it through the signals. Every step on one file costs O(1) or
// O(log n) in the queue's length: entries are found by path in a hash, rows
// live in a balanced tree, and the batch sums are kept as statuses change.
// A status change counts once the row is refreshed (UpdateRow or Refresh).
class QueueModel : public QObject {
    Q_OBJECT

public:
    explicit QueueModel(QObject* parent = nullptr);
    ~QueueModel() override;

    // The queue array.
    int Count() const { return static_cast<int>(entries.size()); }
    // Every entry in admission order.
    std::vector<QueueEntry*> ArrayEntries() const;
    // Takes ownership; the append is guarded by the queue lock.
    QueueEntry* Append(std::unique_ptr<QueueEntry> entry);
    // Frees an entry, deleting its row first if it has one.
    void Free(QueueEntry* entry);
    // Frees several, their rows going in runs of neighbours.
    void FreeEntries(const std::vector<QueueEntry*>& doomed);
    // False when an entry with this path (any case) is queued.
    bool QualifyFile(const QString& path) const { return FindEntry(path) == nullptr; }
    // The queued entry with this path (any case), or null.
    QueueEntry* FindEntry(const QString& path) const;
    int CountNotDone() const { return countByStatus[NotDone]; }
    // Entries of the array with this status, and the sum of their sizes.
    int CountWithStatus(int status) const;
    std::uint64_t BytesWithStatus(int status) const;
    std::uint64_t TotalBytes() const { return totalBytes; }

    // The rows.
    int RowCount() const { return rows.Size(); }
    QueueEntry* EntryAt(int row) const { return rows.At(row); }
    int RowOf(const QueueEntry* entry) const { return rows.RowOf(entry); }
    // Every row's entry, in row order.
    std::vector<QueueEntry*> RowEntries() const { return rows.Entries(); }
    void AddRow(int row, QueueEntry* entry);
    void AddRowAtEnd(QueueEntry* entry) { AddRow(RowCount(), entry); }
    // Rows for several entries at once, from `row` on.
    void AddRows(int row, const std::vector<QueueEntry*>& added);
    void DeleteRow(int row);
    // Moves one row so that it ends up at `to`; the selection stays with it.
    void MoveRow(int from, int to);
    // Rows for every entry of the array, in admission order.
    void Fill();
    // Reports a changed row to observers, clamping a bad status first.
    void UpdateRow(int row);
    // Counts an entry's changed status (also one without a row).
    void Refresh(QueueEntry* entry);
    // Replaces the row order (sorting); the selection follows the entries.
    void Reorder(const std::vector<QueueEntry*>& order);
    // The row of the entry with this path (any case); sets its status and,
    // when given, its machine (an empty one also resets percent to -1).
    int FindEntryByPath(const QString& path, int status, const QString* machine = nullptr);

    // Waiting rows: those the local scheduler may start. The test decides
    // (by default Not Done or Error); it is applied when a row is refreshed,
    // so the caller checks the entry it gets and refreshes a stale one.
    void SetWaitingTest(std::function<bool(const QueueEntry&)> test);
    bool IsWaiting(const QueueEntry& entry) const;
    int NextWaitingRow(int from = 0) const { return rows.NextWith(RowFlag::Waiting, from); }
    // Rows whose entry is active (Encoding or Paused), in order.
    std::vector<int> ActiveRows() const { return rows.RowsWith(RowFlag::Active); }
    int FirstActiveRow() const { return rows.NextWith(RowFlag::Active, 0); }

    // Selection and focus.
    bool IsSelected(int row) const { return rows.Flag(row, RowFlag::Selected); }
    void Select(int row, bool selected = true);
    void ClearSelection();
    void SelectAndFocus(int row);
    std::vector<int> SelectedRows() const { return rows.RowsWith(RowFlag::Selected); }
    int FirstSelected() const { return rows.NextWith(RowFlag::Selected, 0); }
    int LastSelected() const { return rows.LastWith(RowFlag::Selected); }
    int CountSelected() const { return rows.Count(RowFlag::Selected); }
    int FocusRow() const { return focusRow; }
    void SetFocusRow(int row);

    int sortKey = 0;

signals:
    // Before and after rows first..last appear or go, as a list model needs them.
    void RowsAboutToBeInserted(int first, int last);
    void RowsInserted(int first, int last);
    void RowsAboutToBeRemoved(int first, int last);
    void RowsRemoved(int first, int last);
    // `to` is the row's place after the move.
    void RowAboutToMove(int from, int to);
    void RowMoved(int from, int to);
    void RowsAboutToBeReordered();
    void RowsReordered();
    // After any of the above.
    void RowsChanged();
    void RowUpdated(int row);
    void SelectionChanged();
    // Emitted just before the entry is destroyed.
    void EntryFreed(QueueEntry* entry);

private:
    struct Counted {
        std::list<std::unique_ptr<QueueEntry>>::iterator owner;
        int status = NotDone;
        std::uint32_t size = 0;
    };
    static QString PathKey(const QString& path) { return path.toCaseFolded(); }
    void Recount(QueueEntry* entry);
    // Deletes rows first..last; true when one of them was selected.
    bool EraseRows(int first, int last);
    void MarkRow(const QueueEntry& entry);

    std::list<std::unique_ptr<QueueEntry>> entries;
    std::unordered_map<const QueueEntry*, Counted> counted;
    QHash<QString, QueueEntry*> byPath;
    std::array<int, Idle + 1> countByStatus{};
    std::array<std::uint64_t, Idle + 1> bytesByStatus{};
    std::uint64_t totalBytes = 0;
    RowTree rows;
    std::function<bool(const QueueEntry&)> waitingTest;
    int focusRow = -1;
    mutable QMutex queueLock;
};
