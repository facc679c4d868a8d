#include "app/encoder_app.h"
#include "app/locale_format.h"
#include "app/quit_signals.h"
#include "app/settings_store.h"
#include "app/single_instance.h"
#include "app/strings.h"
#include "app/trace.h"
#include "app/window_placement.h"
#include "engines/library_binding.h"

#ifdef CORVANE_HAVE_CONTROLLER
#include "controller/headless_main.h"
#include "controller/headless_options.h"
#endif
#if defined(CORVANE_HAVE_UI) && defined(CORVANE_HAVE_CONTROLLER)
#include "controller/engine_ports.h"
#include "controller/network_environment.h"
#include "queue/encode_scheduler.h"
#include "ui/encoder_dlg.h"
#include "ui/window_dialogs.h"
#include "ui/window_screenshots.h"
#include <QFileInfo>
#include <QSessionManager>
#include <QStandardPaths>
#define CORVANE_WINDOW 1
#endif

#include <QApplication>
#include <QScreen>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

namespace {

// Size of the main window as laid out by its template.
constexpr QSize TEMPLATE_SIZE(662, 457);

#ifdef CORVANE_WINDOW
// The program's window over the real encoders until Quit has run.
int RunWindow(CEncoderApp& app, SingleInstance& instance, const QStringList& files) {
    UncTablesFromEnvironment();
    std::unique_ptr<EnginePorts> engines = MakeEnginePorts(app);
    CEncoderDlg window(app, ControllerPorts(*engines, ResolveWorkerCount(app.settings.workers)),
                       engines->Catalogue());
    window.Controller().Scheduler().writeTag = engines->TagWriter();
    ConnectWindowDialogs(window, app);
    window.KeepJournalIn(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    window.Create();
    QStringList absolute;
    for (const QString& file : files) {
        absolute.append(QFileInfo(file).absoluteFilePath());
    }
    window.AddPaths(absolute);
    QObject::connect(&instance, &SingleInstance::ActivationRequested, &window,
                     [&window] { window.OnCommand(ID_TRAY_SHOW); });
    QObject::connect(&window, &CEncoderDlg::QuitFinished, qApp, [] { QApplication::quit(); });
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.SaveWindowState(); });
    InstallQuitSignalHandlers([&window] { window.OnQuit(); });
    window.ShowPlaced();
    return QApplication::exec();
}
#endif

bool HasDisplay() {
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char** argv) {
#ifdef CORVANE_HAVE_CONTROLLER
    if (const int code = RunWithoutWindow(argc, argv); code >= 0) {
        return code;
    }
#endif
    if (!HasDisplay()) {
        std::fprintf(stderr, "no display found; use --headless to encode without a window\n");
        return 2;
    }
    QApplication qtApp(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Brindlecap"));
    QApplication::setApplicationName(QStringLiteral("Encoder"));
#ifdef CORVANE_WINDOW
    // The window hides in the tray and dialogs come and go: only Quit ends the run.
    QApplication::setQuitOnLastWindowClosed(false);
    const HeadlessOptions options = ParseCommandLine(QApplication::arguments());
    if (!options.screenshotDir.isEmpty()) {
        return WriteWindowScreenshots(options.screenshotDir) ? 0 : 1;
    }
#endif

    SingleInstance instance;
    if (!instance.ActivateExistingInstance()) {
        return 0;
    }

#ifdef CORVANE_HAVE_CONTROLLER
    const QString settingsFile = ParseCommandLine(QApplication::arguments()).settingsFile;
#else
    const QString settingsFile;
#endif
    std::unique_ptr<SettingsStore> store =
        settingsFile.isEmpty() ? OpenSettingsKey() : OpenSettingsFile(settingsFile);
    CEncoderApp app(*store);
    app.ReadCommandLine(QApplication::arguments());
    app.InitProgramDirectory();
    LoadLocaleSettings();
    app.LoadSettings();
    Trace("InitInstance: program directory %s\n", qPrintable(app.programDirectory));
#ifdef CORVANE_WINDOW
    const int windowResult = RunWindow(app, instance, options.files);
    return windowResult;
#else
    LoadEncoderLibraries();

    QWidget window;
    window.setWindowTitle(ResString(IDS_APP_TITLE));
    const QSize screen = window.screen() ? window.screen()->size() : QSize(1024, 768);
    const WindowPlacement placement = PlaceWindow(screen, TEMPLATE_SIZE, app.settings);
    window.setGeometry(placement.normal);
    QObject::connect(&instance, &SingleInstance::ActivationRequested, &window, [&window] {
        window.showNormal();
        window.raise();
        window.activateWindow();
    });
    if (placement.maximised) {
        window.showMaximized();
    } else {
        window.show();
    }
    InstallQuitSignalHandlers([] { QApplication::quit(); });
    const int result = QApplication::exec();

    const QRect normal = window.normalGeometry();
    app.settings.windowLeft = normal.left();
    app.settings.windowTop = normal.top();
    app.settings.windowWidth = normal.width();
    app.settings.windowHeight = normal.height();
    app.settings.windowState = window.isMaximized() ? WINDOW_STATE_MAXIMISED : 0;
    app.SaveSettings();
    UnloadEncoderLibraries();
    return result;
#endif
}
