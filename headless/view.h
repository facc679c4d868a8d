#pragma once

#include "queue/main_view.h"

#include <QMap>
#include <functional>

// The main window of a run without one: messages go to `print` (standard
// error), a question is answered with OK after printing it, everything else
// is kept only as far as the logic reads it back.
class HeadlessView : public MainView {
public:
    using Printer = std::function<void(const QString& line)>;
    explicit HeadlessView(Printer print) : print(std::move(print)) {}

    // The network status is the one label worth a line (when it changes).
    void SetLabel(int id, const QString& text) override;
    void EnableButton(int id, bool enabled) override { buttons[id] = enabled; }
    bool IsButtonEnabled(int id) const override { return buttons.value(id, true); }
    void ShowPauseAsResume(bool) override {}
    void SetProgress(int) override {}
    void SetTitle(const QString&) override {}
    bool IsMinimised() const override { return false; }
    void SetTrayTip(const QString&) override {}
    bool AskOkCancel(const QString& text, const QString& title) override;
    void ShowInformation(const QString& text, const QString& title) override;
    void ScrollRowIntoView(int) override {}
    int FirstVisibleRow() const override { return 0; }
    int LastVisibleRow() const override { return 0; }
    void RedrawCaptionLine() override {}
    bool IsStatsOpenFor(const QueueEntry*) const override { return false; }
    void RefreshStats() override {}

private:
    Printer print;
    QMap<int, bool> buttons;
    QString networkStatus;
};
