#include "ui/encoder_dlg.h"

#include "app/encoder_app.h"
#include "app/messages.h"
#include "app/strings.h"
#include "app/window_placement.h"
#include "controller/queue_keeping.h"
#include "net/server_role.h"
#include "queue/encode_scheduler.h"
#include "queue/queue_journal.h"
#include "queue/queue_model.h"
#include "ui/controller_roles.h"
#include "ui/controls/display_caps.h"
#include "ui/controls/fonts.h"
#include "ui/controls/skin_button.h"
#include "ui/controls/skin_ids.h"
#include "ui/controls/skin_progress.h"
#include "ui/controls/tray_icon.h"
#include "ui/dialogs/id3_tag_command.h"
#include "ui/dialogs/options_command.h"
#include "ui/file_list_ctrl.h"
#include "ui/file_list_model.h"
#include "ui/main_face.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMimeData>
#include <QScreen>
#include <QShortcut>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

namespace {

constexpr int TRAY_WATCH_MS = 2000;
const QString PROGRESS_TEXT = QStringLiteral("Progress Bar This!");
constexpr int FLAT_CELLS = 2; // the progress bar's style
const QString WAVE_FILTER = QStringLiteral("Wave Files (*.wav)");
// Apart from the headless run's journal: both may run at once.
const QString WINDOW_JOURNAL = QStringLiteral("window.journal");

} // namespace

CEncoderDlg::CEncoderDlg(CEncoderApp& app, const MainController::Ports& ports,
                         const EncoderCatalogue* catalogue, std::unique_ptr<TrayShell> trayShell,
                         QWidget* parent)
    : QWidget(parent), app(app), catalogue(catalogue),
      controller(std::make_unique<MainController>(app, *this, ports)),
      roles(std::make_unique<ControllerRoles>(*controller)), networkCommand(app.settings, *roles),
      tray(std::make_unique<CTrayIcon>(IDR_TRAY, std::move(trayShell))) {
    setObjectName(QStringLiteral("CEncoderDlg"));
    captionPainter.Install(this, MSG_PAINT_CAPTION);
    systemMenu.HookWindow(this);
    systemMenu.onAbout = [this] { OnCommand(ID_ABOUT_COMMAND); };
    setAcceptDrops(true);
    setWindowIcon(LoadSkinIcon(SKIN_APP_ICON));
    setWindowTitle(ResString(IDS_APP_TITLE));
    QPalette grey = palette();
    grey.setColor(QPalette::Window, WINDOW_GREY);
    setPalette(grey);
    setAutoFillBackground(true);

    const QMargins margins = contentsMargins();
    const DisplayCaps& caps = CurrentDisplayCaps();
    layout =
        MakeMainLayout(caps.largeFonts, caps.scaleFactor,
                       QSize(margins.left() + margins.right(), margins.top() + margins.bottom()));
    BuildControls();
    setMinimumSize(layout.minimumWindow);
    resize(layout.windowSize);

    openFileNames = [](QWidget* owner, const QString& caption, const QString& directory,
                       const QString& filter) {
        return QFileDialog::getOpenFileNames(owner, caption, directory, filter);
    };
    messageBox = [this](QMessageBox::Icon icon, const QString& text, const QString& title,
                        QMessageBox::StandardButtons choices) {
        QMessageBox box(icon, title, text, choices, this);
        return static_cast<QMessageBox::StandardButton>(box.exec());
    };

    tray->SetNotificationWnd(this, MSG_TRAY_NOTIFY);
    connect(tray.get(), &CTrayIcon::Command, this,
            [this](unsigned id) { OnCommand(static_cast<int>(id)); });
    connect(controller.get(), &MainController::QuitRequested, this, [this] { AfterQuit(); });
    controller->Server().machinesChanged = [this] { networkCommand.RefreshOpenDialog(); };

    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [this] {
        helpOpened = true;
        if (onHelp) {
            onHelp();
        }
    });
    trayWatch.setInterval(TRAY_WATCH_MS);
    connect(&trayWatch, &QTimer::timeout, this, [this] { CheckTrayBack(); });
}

CEncoderDlg::~CEncoderDlg() {
    controller->Server().machinesChanged = nullptr;
    controller->Scheduler().queueSaved = nullptr;
    if (tray) {
        tray->SetIcon(0u);
    }
}

void CEncoderDlg::BuildControls() {
    const DisplayCaps& caps = CurrentDisplayCaps();
    face = new CMainFace(layout.largeFonts, layout.scale, this);
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(face);
    face->installEventFilter(this);

    const QFont labelFont = MakeDisplayFont(QStringLiteral("MS Sans Serif"), 8, 400);
    for (const TemplateControl& control : layout.controls) {
        if (control.kind == ControlKind::Label || control.kind == ControlKind::Value) {
            auto* label = new QLabel(face);
            label->setObjectName(QString::number(control.id));
            label->setFont(labelFont);
            label->setText(control.text != nullptr ? QString::fromLatin1(control.text) : QString());
            label->setTextFormat(Qt::PlainText);
            if (control.id == ID_FILE_TIME_LABEL || control.id == ID_MACHINES_LABEL) {
                label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            }
            label->setGeometry(control.rect);
            labels.insert(control.id, label);
        }
    }
    labels.value(ID_MACHINES_LABEL)->hide();

    progress = new CSkinProgress(FLAT_CELLS, 0, 0, 0, 0, face);
    progress->setObjectName(QString::number(ID_PROGRESS_BAR));
    progress->setWindowTitle(PROGRESS_TEXT);
    progress->SetRange(0, 100);
    progress->SetBackColour(WINDOW_GREY);
    progress->setGeometry(layout.Find(ID_PROGRESS_BAR)->rect);

    fileList = std::make_unique<CFileListCtrl>(controller->Model(), face);
    fileList->SetDefaultWidths(layout.columnWidths);
    fileList->setGeometry(layout.Find(ID_FILE_LIST)->rect);
    fileList->SetFullRowSel(true);
    connect(fileList.get(), &CFileListCtrl::Command, this, [this](int id) { OnCommand(id); });
    connect(fileList.get(), &CFileListCtrl::RowStateChanged, this,
            [this] { controller->OnRowStateChanged(); });
    connect(fileList.get(), &CFileListCtrl::HeaderClicked, this,
            [this](int column) { controller->OnHeaderClicked(column); });
    BuildButtons();
    Q_UNUSED(caps);
    ApplyAnchors();
}

void CEncoderDlg::BuildButtons() {
    for (const SkinButtonSet& set : MAIN_WINDOW_BUTTONS) {
        if (buttons.contains(set.controlId)) {
            continue; // the Resume pictures belong to the Pause button
        }
        const bool imageOnly = set.caption[0] == '\0';
        auto* button = new CSkinButton(QString::fromLatin1(set.caption), face);
        button->setObjectName(QString::number(set.controlId));
        StyleMainWindowButton(*button, imageOnly);
        button->SetPictureScale(layout.scale);
        button->SetBitmaps(set.Normal(), set.Pressed(), set.Disabled(), set.Focused());
        button->setGeometry(layout.Find(set.controlId)->rect);
        buttons.insert(set.controlId, button);
        const int id = set.controlId;
        if (id == ID_UP) {
            button->SetNotify(controller.get(),
                              {MSG_UP_RELEASED, MSG_UP_PRESSED, 0, MSG_UP_RELEASED, 0});
        } else if (id == ID_DOWN) {
            button->SetNotify(controller.get(),
                              {MSG_DOWN_RELEASED, MSG_DOWN_PRESSED, 0, MSG_DOWN_RELEASED, 0});
        } else {
            connect(button, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
        }
    }
}

void CEncoderDlg::ApplyAnchors() {
    const QSize size = face->size();
    std::vector<QRect> row;
    std::vector<int> rowIds;
    for (const TemplateControl& control : layout.controls) {
        if (control.kind == ControlKind::Button) {
            row.push_back(control.rect);
            rowIds.push_back(control.id);
            continue;
        }
        const QRect rect = AnchoredRect(control.rect, control.anchors, layout.faceSize, size);
        if (control.id == ID_FILE_LIST) {
            fileList->setGeometry(rect);
            face->SetListRect(rect);
        } else if (control.id == ID_PROGRESS_BAR) {
            progress->setGeometry(rect);
        } else if (QLabel* label = labels.value(control.id)) {
            label->setGeometry(rect);
        } else if (CSkinButton* button = buttons.value(control.id)) {
            button->setGeometry(rect);
        }
    }
    const int top = AnchoredRect(row.front(), ANCHOR_BOTTOM, layout.faceSize, size).top();
    const std::vector<QRect> placed =
        CentredButtonRow(row, layout.buttonGap, layout.buttonMargin, size.width(), top);
    for (std::size_t i = 0; i < placed.size(); ++i) {
        CSkinButton* button = buttons.value(rowIds[i]);
        button->setGeometry(placed[i]);
        button->ResetBackground();
        if (rowIds[i] == ID_ENCODE) {
            face->SetEncodeRect(placed[i]);
        }
    }
    for (CSkinButton* button : buttons) {
        button->ResetBackground();
    }
    progress->ResetBackground();
    face->SetShowGrip(!isMaximized());
    update();
}

void CEncoderDlg::Create(bool withNetwork) {
    tray->SetIcon(IDR_TRAY);
    trayWasAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    trayWatch.start();
    fileList->BuildColumns(app.settings.columns, app.settings.colWidth);
    if (!journalDirectory.isEmpty()) {
        journal = KeepQueueInJournal(*controller, QDir(journalDirectory).filePath(WINDOW_JOURNAL));
    }
    controller->Startup();

    const QSize screenSize = screen() != nullptr ? screen()->availableSize() : QSize(1024, 768);
    const WindowPlacement placement = PlaceWindow(screenSize, layout.windowSize, app.settings);
    QRect normal = placement.normal;
    normal.setSize(normal.size().expandedTo(layout.minimumWindow));
    setGeometry(normal);
    if (placement.maximised) {
        setWindowState(windowState() | Qt::WindowMaximized);
    }

    if (withNetwork) {
        controller->StartNetwork();
        if (controller->Sockets() == nullptr) {
            buttons.value(ID_NETWORK)->hide();
        }
    }
}

void CEncoderDlg::ShowPlaced() {
    if (windowState() & Qt::WindowMaximized) {
        showMaximized();
    } else {
        show();
    }
}

bool CEncoderDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == face && event->type() == QEvent::Resize) {
        ApplyAnchors();
    }
    return QWidget::eventFilter(watched, event);
}

bool CEncoderDlg::event(QEvent* event) {
    const int type = static_cast<int>(event->type());
    if (captionHandler.HandleEvent(event, MSG_PAINT_CAPTION)) {
        return true;
    }
    if (type == MSG_TRAY_NOTIFY) {
        if (auto* notify = dynamic_cast<PlainEvent*>(event)) {
            tray->OnTrayNotification(static_cast<unsigned>(notify->WParam()),
                                     static_cast<int>(notify->LParam()));
        }
        return true;
    }
    if (type == MSG_QUERY_STATE) {
        if (auto* query = dynamic_cast<StateQueryEvent*>(event)) {
            query->result = QueryState();
        }
        return true;
    }
    return QWidget::event(event);
}

int CEncoderDlg::QueryState() const {
    // What the window's Pause button acts on, so the tray's items agree with it.
    const EncodeScheduler::PauseActivity activity = controller->Scheduler().CurrentActivity();
    if (activity.paused) {
        return TRAY_STATE_PAUSED;
    }
    return activity.encoding ? TRAY_STATE_ENCODING : TRAY_STATE_IDLE;
}

QueueEntry* CEncoderDlg::FocusedActiveEntry() const {
    QueueEntry* entry = controller->Model().EntryAt(controller->Model().FocusRow());
    return entry != nullptr && IsActiveStatus(entry->status) ? entry : nullptr;
}

void CEncoderDlg::OnCommand(int id) {
    switch (id) {
    case ID_ENCODE:
        controller->OnEncode();
        break;
    case ID_QUIT:
    case ID_TRAY_UNLOAD:
        OnQuit();
        break;
    case ID_OPTIONS:
        RunOptionsDialog(this, app, catalogue, *controller, this);
        break;
    case ID_PAUSE:
    case ID_TRAY_PAUSE:
        controller->OnPause();
        break;
    case ID_REMOVE:
    case ID_DELETE_FROM_LIST:
        controller->OnRemove();
        break;
    case ID_ADD_FILES:
        OnAddFiles();
        break;
    case ID_CANCEL:
    case ID_TRAY_CANCEL:
        controller->OnCancel();
        break;
    case ID_CLEAR_ALL:
        controller->OnClearAll();
        break;
    case ID_NETWORK:
        networkCommand.OnNetwork(this);
        break;
    case ID_ERRORS:
        if (onErrors) {
            onErrors();
        }
        controller->AfterErrorsDialog();
        break;
    case ID_TRAY_SHOW:
        ShowFromTray();
        break;
    case ID_RESET_STATUS:
        controller->OnResetStatus(false);
        break;
    case ID_RESET_ALL:
        controller->OnResetStatus(true);
        break;
    case ID_MORE_INFO:
        if (FocusedActiveEntry() != nullptr && onStats) {
            onStats();
        }
        break;
    case ID_ID3_TAG_INFO:
        OnID3TagInfo(this, controller->Model(), app, *this);
        break;
    case ID_ABOUT_COMMAND:
        if (onAbout) {
            onAbout();
        }
        break;
    default:
        break;
    }
}

void CEncoderDlg::OnAddFiles() {
    const QStringList chosen = openFileNames(this, QString(), app.SourceDirectory(), WAVE_FILTER);
    if (!chosen.isEmpty()) {
        controller->AddFiles(chosen);
    }
}

int CEncoderDlg::AddPaths(const QStringList& paths) {
    QStringList fitting;
    for (const QString& path : paths) {
        if (!path.isEmpty() && path.size() <= PATH_LENGTH) {
            fitting.append(path);
        }
    }
    return fitting.isEmpty() ? 0 : controller->AddFiles(fitting);
}

void CEncoderDlg::OnAnotherStart(const QStringList& files) {
    if (quitting) {
        return;
    }
    ShowFromTray();
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
    AddPaths(files);
}

void CEncoderDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void CEncoderDlg::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths.append(url.toLocalFile());
        }
    }
    event->acceptProposedAction();
    AddPaths(paths);
}

void CEncoderDlg::OnQuit() {
    if (quitting) {
        return;
    }
    quitting = true;
    controller->Quit();
}

void CEncoderDlg::AfterQuit() {
    trayWatch.stop();
    SaveWindowState();
    tray->SetIcon(0u);
    quitDone = true;
    emit QuitFinished();
}

void CEncoderDlg::SaveWindowState() {
    const QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    EncoderSettings& settings = app.settings;
    settings.windowLeft = normal.left();
    settings.windowTop = normal.top();
    settings.windowWidth = normal.width();
    settings.windowHeight = normal.height();
    settings.windowState = isMaximized() ? WINDOW_STATE_MAXIMISED : 0;
    StoreColumnWidths();
    app.SaveSettings();
}

void CEncoderDlg::closeEvent(QCloseEvent* event) {
    // Closing is Quit; the program ends when Quit has run (leaving the
    // loop closes the windows, which is then allowed).
    if (quitDone) {
        event->accept();
        return;
    }
    event->ignore();
    OnQuit();
}

void CEncoderDlg::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) {
        return;
    }
    if (isMinimized()) {
        wasMinimised = true;
        // Hidden without an icon to come back by, the window would be lost.
        if (app.settings.minimizeToTray != 0 && tray->IsShown()) {
            hiddenInTray = true;
            QTimer::singleShot(0, this, [this] {
                if (hiddenInTray) {
                    hide();
                }
            });
        }
        return;
    }
    if (wasMinimised) {
        wasMinimised = false;
        setWindowTitle(ResString(IDS_APP_TITLE));
    }
    face->SetShowGrip(!isMaximized());
}

void CEncoderDlg::ShowFromTray() {
    hiddenInTray = false;
    showNormal();
    raise();
    activateWindow();
    setWindowTitle(ResString(IDS_APP_TITLE));
}

void CEncoderDlg::CheckTrayBack() {
    // A tray that comes back (the panel restarted) gets the icon again.
    const bool available = QSystemTrayIcon::isSystemTrayAvailable();
    if (available && !trayWasAvailable) {
        tray->SetIcon(0u);
        tray->SetIcon(IDR_TRAY);
    }
    trayWasAvailable = available;
}

void CEncoderDlg::SetLabel(int id, const QString& text) {
    if (QLabel* label = labels.value(id)) {
        label->setText(text);
        // Hidden until the network first reports its status.
        if (id == ID_MACHINES_LABEL) {
            label->show();
        }
    }
}

void CEncoderDlg::EnableButton(int id, bool enabled) {
    if (CSkinButton* button = buttons.value(id)) {
        button->setEnabled(enabled);
    }
}

bool CEncoderDlg::IsButtonEnabled(int id) const {
    const CSkinButton* button = buttons.value(id);
    return button != nullptr && button->isEnabled();
}

void CEncoderDlg::ShowPauseAsResume(bool resume) {
    CSkinButton* button = buttons.value(ID_PAUSE);
    if (button == nullptr) {
        return;
    }
    for (const SkinButtonSet& set : MAIN_WINDOW_BUTTONS) {
        const bool isResume = QString::fromLatin1(set.caption) == QStringLiteral("&Resume");
        if (set.controlId == ID_PAUSE && isResume == resume) {
            button->setText(QString::fromLatin1(set.caption));
            button->SetCaption(QString::fromLatin1(set.caption));
            button->SetBitmaps(set.Normal(), set.Pressed(), set.Disabled(), set.Focused());
        }
    }
    button->update();
}

void CEncoderDlg::SetProgress(int percent) {
    progress->SetPos(percent);
}

void CEncoderDlg::SetTitle(const QString& title) {
    setWindowTitle(title);
}

bool CEncoderDlg::IsMinimised() const {
    return isMinimized() || hiddenInTray;
}

void CEncoderDlg::SetTrayTip(const QString& tip) {
    if (tray) {
        tray->SetTip(tip);
    }
}

bool CEncoderDlg::AskOkCancel(const QString& text, const QString& title) {
    return messageBox(QMessageBox::Question, text, title, QMessageBox::Ok | QMessageBox::Cancel) ==
           QMessageBox::Ok;
}

void CEncoderDlg::ShowInformation(const QString& text, const QString& title) {
    messageBox(QMessageBox::Information, text, title, QMessageBox::Ok);
}

void CEncoderDlg::ScrollRowIntoView(int row) {
    if (fileList && row >= 0 && row < fileList->Model().rowCount()) {
        fileList->scrollTo(fileList->Model().index(row, 0));
    }
}

int CEncoderDlg::FirstVisibleRow() const {
    return fileList ? fileList->FirstFullyVisibleRow() : 0;
}

int CEncoderDlg::LastVisibleRow() const {
    return fileList ? fileList->LastFullyVisibleRow() : 0;
}

void CEncoderDlg::RedrawCaptionLine() {
    update(CCaptionPainter::GetCaptionRect(this).adjusted(0, 0, 0, 2));
}

bool CEncoderDlg::IsStatsOpenFor(const QueueEntry* entry) const {
    return statsOpenFor ? statsOpenFor(entry) : false;
}

void CEncoderDlg::RefreshStats() {
    if (refreshStats) {
        refreshStats();
    }
}

void CEncoderDlg::StoreColumnWidths() {
    if (fileList) {
        fileList->GetColumnWidths(app.settings.colWidth);
    }
}

void CEncoderDlg::RebuildColumns() {
    fileList->BuildColumns(app.settings.columns, app.settings.colWidth);
    fileList->viewport()->update();
}
