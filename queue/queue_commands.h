#pragma once

#include <functional>

class MainView;
class QueueModel;

// What a queue edit asks of the rest of the window afterwards: recompute the
// batch figures when encoding, and update the buttons.
using AfterQueueEdit = std::function<void()>;

// Removes one row and frees its entry; an active entry is refused with the
// message. True when it selected a new row because none stayed selected.
bool RemoveEntry(QueueModel& model, MainView& view, int row, bool redraw,
                 const AfterQueueEdit& afterEdit);
// The Remove command: every selected row, the message at most once.
void RemoveSelected(QueueModel& model, MainView& view, const AfterQueueEdit& afterEdit);
// Removes every entry that is not active.
void ClearAll(QueueModel& model, const AfterQueueEdit& afterEdit);
// Back to NotDone with no recorded failures, for the selected rows or all.
void ResetStatus(QueueModel& model, bool allRows, const AfterQueueEdit& afterEdit);
// Moves the first selected row one place; false when nothing moved.
bool MoveUp(QueueModel& model, MainView& view, int firstVisibleRow);
bool MoveDown(QueueModel& model, MainView& view, int lastVisibleRow);
// A header click on logical column `column` (1 to 5): sorts, and flips the
// direction when the same column is clicked again.
void SortByColumn(QueueModel& model, int column);
// The comparison of one sort key (its sign gives the direction).
int CompareEntries(const struct QueueEntry& a, const struct QueueEntry& b, int key);
