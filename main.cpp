#include "app/encoder_app.h"
#include "app/quit_signals.h"
#include "app/settings_store.h"
#include "app/single_instance.h"
#include "controller/engine_ports.h"
#include "controller/network_environment.h"
#include "headless/options.h"
#include "headless/run_without_window.h"
#include "queue/encode_scheduler.h"
#include "ui/encoder_dlg.h"
#include "ui/window_dialogs.h"
#include "ui/window_screenshots.h"

#include <QApplication>
#include <QFileInfo>
#include <QSessionManager>
#include <QStandardPaths>
#include <cstdio>
#include <cstdlib>

namespace {

// The program's window over the real encoders until Quit has run; `files`
// (absolute) are added as if dropped on it.
int RunWindow(CEncoderApp& app, SingleInstance& instance, const QStringList& files) {
    UncTablesFromEnvironment();
    std::unique_ptr<EnginePorts> engines = MakeEnginePorts(app);
    CEncoderDlg window(app, ControllerPorts(*engines, ResolveWorkerCount(app.settings.workers)),
                       engines->Catalogue());
    window.Controller().Scheduler().writeTag = engines->TagWriter();
    ConnectWindowDialogs(window, app);
    window.KeepJournalIn(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    window.Create();
    window.AddPaths(files);
    QObject::connect(&instance, &SingleInstance::ActivationRequested, &window,
                     [&window](const QStringList& handed) { window.OnAnotherStart(handed); });
    QObject::connect(&window, &CEncoderDlg::QuitFinished, qApp, [] { QApplication::quit(); });
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.SaveWindowState(); });
    InstallQuitSignalHandlers([&window] { window.OnQuit(); });
    window.ShowPlaced();
    return QApplication::exec();
}

bool HasDisplay() {
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char** argv) {
    // The terminal front end takes the run when the command line asks for it.
    if (const int code = RunWithoutWindow(argc, argv); code >= 0) {
        return code;
    }
    if (!HasDisplay()) {
        std::fprintf(stderr, "no display found; use --headless to encode without a window\n");
        return 2;
    }
    QApplication qtApp(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Brindlecap"));
    QApplication::setApplicationName(QStringLiteral("Encoder"));
    // The window hides in the tray and dialogs come and go: only Quit ends the run.
    QApplication::setQuitOnLastWindowClosed(false);
    const HeadlessOptions options = ParseCommandLine(QApplication::arguments());
    if (!options.screenshotDir.isEmpty()) {
        return WriteWindowScreenshots(options.screenshotDir) ? 0 : 1;
    }

    // Made absolute here: the running instance has a working directory of its own.
    QStringList files;
    for (const QString& file : options.files) {
        files.append(QFileInfo(file).absoluteFilePath());
    }
    SingleInstance instance;
    if (!instance.ActivateExistingInstance(files)) {
        return 0;
    }

    std::unique_ptr<SettingsStore> store = OpenSettings(options.settingsFile);
    CEncoderApp app(*store);
    app.Start(QApplication::arguments());
    return RunWindow(app, instance, files);
}
