#include "queue/queue_model.h"

#include <QMutexLocker>
#include <algorithm>

QueueModel::QueueModel(QObject* parent) : QObject(parent) {}

QueueModel::~QueueModel() = default;

QueueEntry* QueueModel::EntryInArray(int index) const {
    if (index < 0 || index >= Count()) {
        return nullptr;
    }
    return entries[static_cast<std::size_t>(index)].get();
}

QueueEntry* QueueModel::Append(std::unique_ptr<QueueEntry> entry) {
    QMutexLocker lock(&queueLock);
    entries.push_back(std::move(entry));
    return entries.back().get();
}

void QueueModel::Free(QueueEntry* entry) {
    const int row = RowOf(entry);
    if (row >= 0) {
        DeleteRow(row);
    }
    emit EntryFreed(entry);
    QMutexLocker lock(&queueLock);
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [entry](const auto& owned) { return owned.get() == entry; });
    if (found != entries.end()) {
        entries.erase(found);
    }
}

bool QueueModel::QualifyFile(const QString& path) const {
    return std::none_of(entries.begin(), entries.end(), [&path](const auto& entry) {
        return entry->path.str().compare(path, Qt::CaseInsensitive) == 0;
    });
}

int QueueModel::CountNotDone() const {
    return static_cast<int>(std::count_if(entries.begin(), entries.end(), [](const auto& entry) {
        return entry->status == NotDone;
    }));
}

QueueEntry* QueueModel::EntryAt(int row) const {
    if (row < 0 || row >= RowCount()) {
        return nullptr;
    }
    return rows[static_cast<std::size_t>(row)].entry;
}

int QueueModel::RowOf(const QueueEntry* entry) const {
    for (int row = 0; row < RowCount(); ++row) {
        if (rows[static_cast<std::size_t>(row)].entry == entry) {
            return row;
        }
    }
    return -1;
}

void QueueModel::AddRow(int row, QueueEntry* entry) {
    row = std::clamp(row, 0, RowCount());
    rows.insert(rows.begin() + row, Row{entry, false});
    if (focusRow >= row) {
        ++focusRow;
    }
    emit RowsChanged();
}

void QueueModel::DeleteRow(int row) {
    if (row < 0 || row >= RowCount()) {
        return;
    }
    const bool wasSelected = rows[static_cast<std::size_t>(row)].selected;
    rows.erase(rows.begin() + row);
    if (focusRow == row) {
        focusRow = -1;
    } else if (focusRow > row) {
        --focusRow;
    }
    emit RowsChanged();
    if (wasSelected) {
        emit SelectionChanged();
    }
}

void QueueModel::Fill() {
    rows.clear();
    for (const auto& entry : entries) {
        rows.push_back(Row{entry.get(), false});
    }
    focusRow = -1;
    emit RowsChanged();
}

void QueueModel::UpdateRow(int row) {
    QueueEntry* entry = EntryAt(row);
    if (entry == nullptr) {
        return;
    }
    entry->status = ClampStatus(entry->status);
    emit RowUpdated(row);
}

void QueueModel::Reorder(const std::vector<QueueEntry*>& order) {
    const QueueEntry* focused = EntryAt(focusRow);
    std::vector<Row> reordered;
    reordered.reserve(order.size());
    for (QueueEntry* entry : order) {
        const int old = RowOf(entry);
        reordered.push_back(Row{entry, old >= 0 && rows[static_cast<std::size_t>(old)].selected});
    }
    rows = std::move(reordered);
    focusRow = RowOf(focused);
    emit RowsChanged();
}

int QueueModel::FindEntryByPath(const QString& path, int status, const QString* machine) {
    for (int row = 0; row < RowCount(); ++row) {
        QueueEntry* entry = EntryAt(row);
        if (entry->path.str().compare(path, Qt::CaseInsensitive) != 0) {
            continue;
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
    return -1;
}

bool QueueModel::IsSelected(int row) const {
    return row >= 0 && row < RowCount() && rows[static_cast<std::size_t>(row)].selected;
}

void QueueModel::Select(int row, bool selected) {
    if (row < 0 || row >= RowCount() || rows[static_cast<std::size_t>(row)].selected == selected) {
        return;
    }
    rows[static_cast<std::size_t>(row)].selected = selected;
    emit SelectionChanged();
}

void QueueModel::ClearSelection() {
    bool changed = false;
    for (Row& row : rows) {
        changed = changed || row.selected;
        row.selected = false;
    }
    if (changed) {
        emit SelectionChanged();
    }
}

void QueueModel::SelectAndFocus(int row) {
    if (row < 0 || row >= RowCount()) {
        return;
    }
    rows[static_cast<std::size_t>(row)].selected = true;
    focusRow = row;
    emit SelectionChanged();
}

std::vector<int> QueueModel::SelectedRows() const {
    std::vector<int> selected;
    for (int row = 0; row < RowCount(); ++row) {
        if (rows[static_cast<std::size_t>(row)].selected) {
            selected.push_back(row);
        }
    }
    return selected;
}

int QueueModel::FirstSelected() const {
    const std::vector<int> selected = SelectedRows();
    return selected.empty() ? -1 : selected.front();
}

int QueueModel::LastSelected() const {
    const std::vector<int> selected = SelectedRows();
    return selected.empty() ? -1 : selected.back();
}

int QueueModel::CountSelected() const {
    return static_cast<int>(SelectedRows().size());
}

void QueueModel::SetFocusRow(int row) {
    focusRow = (row >= 0 && row < RowCount()) ? row : -1;
    emit SelectionChanged();
}
