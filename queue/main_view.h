#pragma once

#include <QString>

// Control ids of the main window that the logic writes to.
inline constexpr int ID_ENCODE = 1;
inline constexpr int ID_QUIT = 2;
inline constexpr int ID_OPTIONS = 5;
inline constexpr int ID_PAUSE = 6;
inline constexpr int ID_REMOVE = 7;
inline constexpr int ID_ADD_FILES = 8;
inline constexpr int ID_CANCEL = 9;
inline constexpr int ID_CLEAR_ALL = 10;
inline constexpr int ID_NETWORK = 12;
inline constexpr int ID_ERRORS = 13;
inline constexpr int ID_DOWN = 1006;
inline constexpr int ID_UP = 1007;

inline constexpr int ID_PROGRESS_BAR = 1002;
inline constexpr int ID_OUTPUT_DIR_LABEL = 1003;
inline constexpr int ID_CURRENT_FILE_LABEL = 1004;
inline constexpr int ID_CODEC_LABEL = 1008;
inline constexpr int ID_SOURCE_DIR_LABEL = 1009;
inline constexpr int ID_FILE_TIME_LABEL = 1010;
inline constexpr int ID_REMAINING_LABEL = 1011;
inline constexpr int ID_RATIO_LABEL = 1012;
inline constexpr int ID_MACHINES_LABEL = 1013;
inline constexpr int ID_COUNTER_LABEL = 1029;

struct QueueEntry;

// The passive main window as the logic sees it. The file list itself observes
// the queue model; this interface carries everything else on the screen.
class MainView {
public:
    virtual ~MainView() = default;

    virtual void SetLabel(int id, const QString& text) = 0;
    virtual void EnableButton(int id, bool enabled) = 0;
    virtual bool IsButtonEnabled(int id) const = 0;
    // Pause images and "Pause", or Resume images and "Resume".
    virtual void ShowPauseAsResume(bool resume) = 0;
    virtual void SetProgress(int percent) = 0;
    virtual void SetTitle(const QString& title) = 0;
    virtual bool IsMinimised() const = 0;
    virtual void SetTrayTip(const QString& tip) = 0;
    // An OK/Cancel question with the question icon; true for OK.
    virtual bool AskOkCancel(const QString& text, const QString& title) = 0;
    virtual void ShowInformation(const QString& text, const QString& title) = 0;
    virtual void ScrollRowIntoView(int row) = 0;
    // The rows the list shows fully at the moment.
    virtual int FirstVisibleRow() const = 0;
    virtual int LastVisibleRow() const = 0;
    virtual void RedrawCaptionLine() = 0;
    // The Encoding Stats dialog, when one is open, shows this entry.
    virtual bool IsStatsOpenFor(const QueueEntry* entry) const = 0;
    virtual void RefreshStats() = 0;
};
