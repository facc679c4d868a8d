#include "queue/queue_commands.h"

#include "app/strings.h"
#include "queue/main_view.h"
#include "queue/queue_model.h"

#include <algorithm>

namespace {

inline constexpr unsigned IDS_CANNOT_REMOVE = 33021;

void ShowCannotRemove(MainView& view) {
    view.ShowInformation(ResString(IDS_CANNOT_REMOVE), ResString(IDS_APP_TITLE));
}

void Notify(const AfterQueueEdit& afterEdit) {
    if (afterEdit) {
        afterEdit();
    }
}

int CompareText(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive);
}

int Sign(int value) {
    return (value > 0) - (value < 0);
}

} // namespace

bool RemoveEntry(QueueModel& model, MainView& view, int row, bool redraw,
                 const AfterQueueEdit& afterEdit) {
    QueueEntry* entry = model.EntryAt(row);
    if (entry == nullptr) {
        return false;
    }
    if (IsActiveStatus(entry->status)) {
        ShowCannotRemove(view);
        return false;
    }
    model.DeleteRow(row);
    bool moved = false;
    if (model.RowCount() > 0) {
        row = std::min(row, model.RowCount() - 1);
        if (model.CountSelected() == 0) {
            model.SelectAndFocus(row);
            moved = true;
        }
    }
    model.Free(entry);
    if (redraw) {
        Notify(afterEdit);
    }
    return moved;
}

void RemoveSelected(QueueModel& model, MainView& view, const AfterQueueEdit& afterEdit) {
    const QueueEntry* lastSelected = model.EntryAt(model.LastSelected());
    for (;;) {
        const int row = model.FirstSelected();
        QueueEntry* entry = model.EntryAt(row);
        if (entry == nullptr) {
            return;
        }
        if (IsActiveStatus(entry->status)) {
            ShowCannotRemove(view);
            return;
        }
        if (RemoveEntry(model, view, row, entry == lastSelected, afterEdit)) {
            return;
        }
    }
}

void ClearAll(QueueModel& model, const AfterQueueEdit& afterEdit) {
    std::vector<QueueEntry*> doomed;
    for (QueueEntry* entry : model.ArrayEntries()) {
        if (!IsActiveStatus(entry->status)) {
            doomed.push_back(entry);
        }
    }
    model.FreeEntries(doomed);
    if (model.RowCount() > 0) {
        model.ClearSelection();
        model.SelectAndFocus(0);
    }
    Notify(afterEdit);
}

void ResetStatus(QueueModel& model, bool allRows, const AfterQueueEdit& afterEdit) {
    for (int row = 0; row < model.RowCount(); ++row) {
        QueueEntry* entry = model.EntryAt(row);
        if ((!allRows && !model.IsSelected(row)) || IsActiveStatus(entry->status)) {
            continue;
        }
        entry->status = NotDone;
        entry->failedCount = 0;
        model.UpdateRow(row);
    }
    Notify(afterEdit);
}

bool MoveUp(QueueModel& model, MainView& view, int firstVisibleRow) {
    const int row = model.FirstSelected();
    if (row <= 0) {
        return false;
    }
    model.MoveRow(row, row - 1);
    model.SelectAndFocus(row - 1);
    if (row - 1 < firstVisibleRow) {
        view.ScrollRowIntoView(row - 1);
    }
    return true;
}

bool MoveDown(QueueModel& model, MainView& view, int lastVisibleRow) {
    const int row = model.FirstSelected();
    if (row < 0 || row >= model.RowCount() - 1) {
        return false;
    }
    model.MoveRow(row, row + 1);
    model.SelectAndFocus(row + 1);
    if (row + 1 > lastVisibleRow) {
        view.ScrollRowIntoView(row + 1);
    }
    return true;
}

int CompareEntries(const QueueEntry& a, const QueueEntry& b, int key) {
    int result = 0;
    switch (key < 0 ? -key : key) {
    case 1:
        result = CompareText(a.name, b.name);
        break;
    case 2:
        result = CompareText(a.directory, b.directory);
        if (result == 0) {
            result = CompareText(a.name, b.name);
        }
        break;
    case 3:
        result = (a.size > b.size) - (a.size < b.size);
        break;
    case 4:
        result = (a.status > b.status) - (a.status < b.status);
        if (result == 0) {
            result = CompareText(a.name, b.name);
        }
        break;
    case 5:
        result = CompareText(a.machine, b.machine);
        if (result == 0) {
            result = CompareText(a.name, b.name);
        }
        break;
    default:
        break;
    }
    return key < 0 ? -Sign(result) : Sign(result);
}

void SortByColumn(QueueModel& model, int column) {
    if (column < 1 || column > 5) {
        return;
    }
    model.sortKey = (model.sortKey == column) ? -column : column;
    std::vector<QueueEntry*> order = model.RowEntries();
    const int key = model.sortKey;
    std::stable_sort(order.begin(), order.end(), [key](const QueueEntry* a, const QueueEntry* b) {
        return CompareEntries(*a, *b, key) < 0;
    });
    model.Reorder(order);
}
