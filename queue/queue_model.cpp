#include "queue/queue_model.h"

#include <QMutexLocker>
#include <algorithm>
#include <functional>
#include <unordered_set>

QueueModel::QueueModel(QObject* parent) : QObject(parent) {}

QueueModel::~QueueModel() = default;

std::vector<QueueEntry*> QueueModel::ArrayEntries() const {
    std::vector<QueueEntry*> all;
    all.reserve(entries.size());
    for (const auto& entry : entries) {
        all.push_back(entry.get());
    }
    return all;
}

QueueEntry* QueueModel::Append(std::unique_ptr<QueueEntry> entry) {
    QueueEntry* added = entry.get();
    {
        QMutexLocker lock(&queueLock);
        entries.push_back(std::move(entry));
    }
    Counted& count = counted[added];
    count.owner = std::prev(entries.end());
    count.status = ClampStatus(added->status);
    count.size = added->size;
    ++countByStatus[std::size_t(count.status)];
    bytesByStatus[std::size_t(count.status)] += count.size;
    totalBytes += count.size;
    byPath.insert(PathKey(added->path.str()), added);
    return added;
}

void QueueModel::Free(QueueEntry* entry) {
    const int row = RowOf(entry);
    if (row >= 0) {
        DeleteRow(row);
    }
    const auto found = counted.find(entry);
    if (found == counted.end()) {
        return;
    }
    emit EntryFreed(entry);
    const Counted count = found->second;
    --countByStatus[std::size_t(count.status)];
    bytesByStatus[std::size_t(count.status)] -= count.size;
    totalBytes -= count.size;
    const QString key = PathKey(entry->path.str());
    if (byPath.value(key) == entry) {
        byPath.remove(key);
    }
    counted.erase(found);
    QMutexLocker lock(&queueLock);
    entries.erase(count.owner);
}

QueueEntry* QueueModel::FindEntry(const QString& path) const {
    return byPath.value(PathKey(path), nullptr);
}

int QueueModel::CountWithStatus(int status) const {
    return (status < NotDone || status > Idle) ? 0 : countByStatus[std::size_t(status)];
}

std::uint64_t QueueModel::BytesWithStatus(int status) const {
    return (status < NotDone || status > Idle) ? 0 : bytesByStatus[std::size_t(status)];
}

void QueueModel::Recount(QueueEntry* entry) {
    const auto found = counted.find(entry);
    if (found != counted.end()) {
        Counted& count = found->second;
        --countByStatus[std::size_t(count.status)];
        bytesByStatus[std::size_t(count.status)] -= count.size;
        totalBytes -= count.size;
        count.status = ClampStatus(entry->status);
        count.size = entry->size;
        ++countByStatus[std::size_t(count.status)];
        bytesByStatus[std::size_t(count.status)] += count.size;
        totalBytes += count.size;
    }
    MarkRow(*entry);
}

void QueueModel::MarkRow(const QueueEntry& entry) {
    rows.SetFlag(&entry, RowFlag::Waiting, IsWaiting(entry));
    rows.SetFlag(&entry, RowFlag::Active, IsActiveStatus(entry.status));
}

void QueueModel::SetWaitingTest(std::function<bool(const QueueEntry&)> test) {
    waitingTest = std::move(test);
    for (QueueEntry* entry : rows.Entries()) {
        MarkRow(*entry);
    }
}

bool QueueModel::IsWaiting(const QueueEntry& entry) const {
    if (waitingTest) {
        return waitingTest(entry);
    }
    return entry.status == NotDone || entry.status == Error;
}

void QueueModel::AddRow(int row, QueueEntry* entry) {
    AddRows(row, {entry});
}

void QueueModel::AddRows(int row, const std::vector<QueueEntry*>& added) {
    std::vector<QueueEntry*> fresh;
    std::unordered_set<const QueueEntry*> taken;
    for (QueueEntry* entry : added) {
        if (entry != nullptr && !rows.Contains(entry) && taken.insert(entry).second) {
            fresh.push_back(entry);
        }
    }
    if (fresh.empty()) {
        return;
    }
    row = std::clamp(row, 0, RowCount());
    const int last = row + int(fresh.size()) - 1;
    emit RowsAboutToBeInserted(row, last);
    for (std::size_t i = 0; i < fresh.size(); ++i) {
        rows.Insert(row + int(i), fresh[i]);
        MarkRow(*fresh[i]);
    }
    if (focusRow >= row) {
        focusRow += int(fresh.size());
    }
    emit RowsInserted(row, last);
    emit RowsChanged();
}

bool QueueModel::EraseRows(int first, int last) {
    emit RowsAboutToBeRemoved(first, last);
    bool wasSelected = false;
    for (int row = last; row >= first; --row) {
        wasSelected = wasSelected || IsSelected(row);
        rows.Erase(row);
    }
    const int count = last - first + 1;
    if (focusRow >= first && focusRow <= last) {
        focusRow = -1;
    } else if (focusRow > last) {
        focusRow -= count;
    }
    emit RowsRemoved(first, last);
    return wasSelected;
}

void QueueModel::DeleteRow(int row) {
    if (row < 0 || row >= RowCount()) {
        return;
    }
    const bool wasSelected = EraseRows(row, row);
    emit RowsChanged();
    if (wasSelected) {
        emit SelectionChanged();
    }
}

void QueueModel::FreeEntries(const std::vector<QueueEntry*>& doomed) {
    std::vector<int> doomedRows;
    for (const QueueEntry* entry : doomed) {
        if (const int row = RowOf(entry); row >= 0) {
            doomedRows.push_back(row);
        }
    }
    // From the bottom up, so the rows of the runs still ahead stay put.
    std::sort(doomedRows.begin(), doomedRows.end(), std::greater<>());
    bool wasSelected = false;
    for (std::size_t i = 0; i < doomedRows.size();) {
        std::size_t j = i + 1;
        while (j < doomedRows.size() && doomedRows[j] == doomedRows[j - 1] - 1) {
            ++j;
        }
        wasSelected = EraseRows(doomedRows[j - 1], doomedRows[i]) || wasSelected;
        i = j;
    }
    if (!doomedRows.empty()) {
        emit RowsChanged();
    }
    if (wasSelected) {
        emit SelectionChanged();
    }
    for (QueueEntry* entry : doomed) {
        Free(entry);
    }
}

void QueueModel::MoveRow(int from, int to) {
    if (from < 0 || from >= RowCount() || to < 0 || to >= RowCount() || from == to) {
        return;
    }
    emit RowAboutToMove(from, to);
    QueueEntry* entry = rows.At(from);
    const bool selected = IsSelected(from);
    rows.Erase(from);
    rows.Insert(to, entry);
    rows.SetFlag(to, RowFlag::Selected, selected);
    MarkRow(*entry);
    if (focusRow == from) {
        focusRow = to;
    } else if (from < focusRow && focusRow <= to) {
        --focusRow;
    } else if (to <= focusRow && focusRow < from) {
        ++focusRow;
    }
    emit RowMoved(from, to);
    emit RowsChanged();
}

void QueueModel::Fill() {
    std::vector<QueueEntry*> missing;
    for (const auto& entry : entries) {
        if (!rows.Contains(entry.get())) {
            missing.push_back(entry.get());
        }
    }
    for (int row : SelectedRows()) {
        rows.SetFlag(row, RowFlag::Selected, false);
    }
    focusRow = -1;
    AddRows(RowCount(), missing);
    const std::vector<QueueEntry*> admission = ArrayEntries();
    if (rows.Entries() != admission) {
        Reorder(admission);
    }
}

void QueueModel::UpdateRow(int row) {
    QueueEntry* entry = EntryAt(row);
    if (entry == nullptr) {
        return;
    }
    entry->status = ClampStatus(entry->status);
    Recount(entry);
    emit RowUpdated(row);
}

void QueueModel::Refresh(QueueEntry* entry) {
    const int row = RowOf(entry);
    if (row >= 0) {
        UpdateRow(row);
    } else if (entry != nullptr) {
        entry->status = ClampStatus(entry->status);
        Recount(entry);
    }
}

void QueueModel::Reorder(const std::vector<QueueEntry*>& order) {
    const QueueEntry* focused = EntryAt(focusRow);
    emit RowsAboutToBeReordered();
    rows.Rebuild(order);
    focusRow = RowOf(focused);
    emit RowsReordered();
    emit RowsChanged();
}

int QueueModel::FindEntryByPath(const QString& path, int status, const QString* machine) {
    QueueEntry* entry = FindEntry(path);
    const int row = RowOf(entry);
    if (row < 0) {
        return -1;
    }
    entry->status = status;
    if (machine != nullptr) {
        entry->machine = *machine;
        if (machine->isEmpty()) {
            entry->percent = -1;
        }
    }
    UpdateRow(row);
    return row;
}

void QueueModel::Select(int row, bool selected) {
    if (rows.SetFlag(row, RowFlag::Selected, selected)) {
        emit SelectionChanged();
    }
}

void QueueModel::ClearSelection() {
    const std::vector<int> selected = SelectedRows();
    for (int row : selected) {
        rows.SetFlag(row, RowFlag::Selected, false);
    }
    if (!selected.empty()) {
        emit SelectionChanged();
    }
}

void QueueModel::SelectAndFocus(int row) {
    if (row < 0 || row >= RowCount()) {
        return;
    }
    rows.SetFlag(row, RowFlag::Selected, true);
    focusRow = row;
    emit SelectionChanged();
}

void QueueModel::SetFocusRow(int row) {
    focusRow = (row >= 0 && row < RowCount()) ? row : -1;
    emit SelectionChanged();
}
