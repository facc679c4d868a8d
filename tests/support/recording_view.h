#pragma once

#include "queue/main_view.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

struct QueueEntry;

namespace testsupport {

// A MainView that remembers what the logic showed, for tests.
class RecordingView : public MainView {
public:
    void SetLabel(int id, const QString& text) override;
    void EnableButton(int id, bool enabled) override { buttons[id] = enabled; }
    bool IsButtonEnabled(int id) const override { return buttons.value(id, true); }
    void ShowPauseAsResume(bool resume) override { pauseShowsResume = resume; }
    void SetProgress(int percent) override { progress = percent; }
    void SetTitle(const QString& text) override { title = text; }
    bool IsMinimised() const override { return minimised; }
    void SetTrayTip(const QString& tip) override;
    bool AskOkCancel(const QString& text, const QString& title) override;
    void ShowInformation(const QString& text, const QString&) override { informations << text; }
    void ScrollRowIntoView(int row) override { scrolledTo.append(row); }
    int FirstVisibleRow() const override { return firstVisible; }
    int LastVisibleRow() const override { return lastVisible; }
    void RedrawCaptionLine() override {}
    bool IsStatsOpenFor(const QueueEntry* entry) const override {
        return statsEntry != nullptr && statsEntry == entry;
    }
    void RefreshStats() override {}

    QString Label(int id) const { return labels.value(id); }
    bool Enabled(int id) const { return IsButtonEnabled(id); }

    QMap<int, QString> labels;
    QMap<int, bool> buttons;
    QStringList labelLog; // "id=text" in order
    bool pauseShowsResume = false;
    int progress = 0;
    QString title;
    QString trayTip;
    QStringList trayTips;
    QStringList questions;
    bool answerOk = true;
    // Runs while a question is open, as the events of its own loop would.
    std::function<void()> whileAsking;
    QStringList informations;
    QList<int> scrolledTo;
    bool minimised = false;
    int firstVisible = 0;
    int lastVisible = 1000;
    const QueueEntry* statsEntry = nullptr;
};

} // namespace testsupport
