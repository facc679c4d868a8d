#pragma once

#include "controller/main_controller.h"
#include "queue/main_view.h"
#include "ui/controls/caption_painter.h"
#include "ui/controls/tray_icon.h"
#include "ui/dialogs/network_command.h"
#include "ui/dialogs/network_dlg.h" // the open dialog is held by a guarded pointer
#include "ui/dialogs/options_dlg.h"
#include "ui/main_layout.h"
#include "ui/system_menu.h"

#include <QMap>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

class QueueJournal;

class CEncoderApp;
class CFileListCtrl;
class CMainFace;
class CSkinButton;
class CSkinProgress;
class ControllerRoles;
class EncoderCatalogue;
class QLabel;

// The program's window: the file list, the progress area and the skinned
// buttons over the controller, the tray icon, and the window's own caption.
class CEncoderDlg : public QWidget, public MainView, public OptionsColumnsHost {
    Q_OBJECT

public:
    // Without a tray shell the desktop's notification area is used.
    CEncoderDlg(CEncoderApp& app, const MainController::Ports& ports,
                const EncoderCatalogue* catalogue, std::unique_ptr<TrayShell> trayShell = nullptr,
                QWidget* parent = nullptr);
    ~CEncoderDlg() override;

    // The rest of window creation: columns, start-up scan and rows, labels,
    // tray icon, placement and, when asked, the network role.
    void Create(bool withNetwork = true);
    // Keeps the queue in a journal in this folder, so that it survives a
    // restart or a crash. Call before Create.
    void KeepJournalIn(const QString& directory) { journalDirectory = directory; }
    // Shows the window as the stored placement says.
    void ShowPlaced();

    MainController& Controller() { return *controller; }
    CFileListCtrl& FileList() { return *fileList; }
    CTrayIcon& Tray() { return *tray; }
    NetworkCommand& Network() { return networkCommand; }
    CSkinButton* Button(int id) const { return buttons.value(id, nullptr); }
    QLabel* Label(int id) const { return labels.value(id, nullptr); }
    CSkinProgress* ProgressBar() const { return progress; }
    const MainLayout& Layout() const { return layout; }
    bool IsHiddenInTray() const { return hiddenInTray; }

    // A command of a button, a menu or the tray.
    void OnCommand(int id);
    void OnAddFiles();
    // Dropped or given paths; paths longer than a path buffer are skipped.
    int AddPaths(const QStringList& paths);
    // Another start of the program: the window (and a dialog open in it)
    // comes forward and takes that start's files as a drop.
    void OnAnotherStart(const QStringList& files);
    void OnQuit();
    // Placement, column widths and every setting into the store.
    void SaveWindowState();
    // 1 encoding, 3 paused, 5 idle, for the tray menu.
    int QueryState() const;

    // Hooks for the dialogs that live elsewhere; an empty hook does nothing.
    std::function<void()> onErrors, onStats, onAbout, onHelp;
    std::function<bool(const QueueEntry*)> statsOpenFor;
    std::function<void()> refreshStats;
    // The file dialog of Add Files (tests put their own here).
    std::function<QStringList(QWidget* parent, const QString& caption, const QString& directory,
                              const QString& filter)>
        openFileNames;
    // Every message box of the window (tests put their own here).
    std::function<QMessageBox::StandardButton(QMessageBox::Icon icon, const QString& text,
                                              const QString& title,
                                              QMessageBox::StandardButtons buttons)>
        messageBox;

    // MainView.
    void SetLabel(int id, const QString& text) override;
    void EnableButton(int id, bool enabled) override;
    bool IsButtonEnabled(int id) const override;
    void ShowPauseAsResume(bool resume) override;
    void SetProgress(int percent) override;
    void SetTitle(const QString& title) override;
    bool IsMinimised() const override;
    void SetTrayTip(const QString& tip) override;
    bool AskOkCancel(const QString& text, const QString& title) override;
    void ShowInformation(const QString& text, const QString& title) override;
    void ScrollRowIntoView(int row) override;
    int FirstVisibleRow() const override;
    int LastVisibleRow() const override;
    void RedrawCaptionLine() override;
    bool IsStatsOpenFor(const QueueEntry* entry) const override;
    void RefreshStats() override;

    // OptionsColumnsHost.
    void StoreColumnWidths() override;
    void RebuildColumns() override;

signals:
    // Quit has run to its end; the program may leave its loop.
    void QuitFinished();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildControls();
    void BuildButtons();
    void ApplyAnchors();
    void ShowFromTray();
    void AfterQuit();
    void CheckTrayBack();
    QueueEntry* FocusedActiveEntry() const;

    CEncoderApp& app;
    const EncoderCatalogue* catalogue;
    MainLayout layout;
    CCaptionPainter captionPainter;
    CaptionPaintHandler captionHandler;
    CSystemMenu systemMenu;
    std::unique_ptr<MainController> controller;
    std::unique_ptr<QueueJournal> journal; // saves the queue before the controller goes
    QString journalDirectory;
    std::unique_ptr<ControllerRoles> roles;
    NetworkCommand networkCommand;
    std::unique_ptr<CTrayIcon> tray;

    CMainFace* face = nullptr;
    std::unique_ptr<CFileListCtrl> fileList; // goes before the controller's queue
    QMap<int, CSkinButton*> buttons;
    QMap<int, QLabel*> labels;
    CSkinProgress* progress = nullptr;
    QTimer trayWatch;
    bool trayWasAvailable = false;
    bool hiddenInTray = false;
    bool wasMinimised = false;
    bool quitting = false;
    bool quitDone = false;
    bool helpOpened = false;
};
