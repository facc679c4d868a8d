#pragma once

#include <QDialog>
#include <QString>

class MainController;
class QueueModel;
class QLabel;
class QProgressBar;
struct QueueEntry;

// "Encoding Stats": the live figures of one file being encoded. It follows
// only the progress of the machine that encoded the file when it was opened,
// and keeps the last figures after the file is done.
class CStatsDlg : public QDialog {
    Q_OBJECT
public:
    CStatsDlg(MainController& controller, QWidget* parent);
    // On the queue alone (pictures of the dialog, tests).
    CStatsDlg(QueueModel& model, QWidget* parent);

    // Whether an entry in this state has figures to show (Encoding, Paused).
    static bool CanShow(const QueueEntry& entry);

    // Accepts only updates of entries encoded by this machine (any case).
    void SetMachine(const QString& machine) { machineFilter = machine; }
    QString Machine() const { return machineFilter; }
    // An update: an entry of another machine is ignored; otherwise (also
    // none) it becomes the one shown, and the controls follow while visible.
    void Update(const QueueEntry* entry);
    // Opens on an entry: takes its machine as the filter and shows it.
    void ShowEntry(const QueueEntry* entry);

    // True when `entry` is the one shown and still encoded by the machine.
    bool IsShowingEntry(const QueueEntry* entry) const;
    // Refills the controls from the entry shown, while visible.
    void Refresh();

    const QueueEntry* Entry() const { return shown; }
    QLabel* Field(int id) const;
    QProgressBar* ProgressBar() const { return bar; }

private:
    bool Accepts(const QueueEntry& entry) const;
    void FillControls();

    QueueModel& model;
    const QueueEntry* shown = nullptr;
    QString machineFilter;
    QProgressBar* bar;
    QLabel* percentLabel;
};
