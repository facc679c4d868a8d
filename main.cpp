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

#include <QApplication>
#include <QScreen>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

namespace {

// Size of the main window as laid out by its template.
constexpr QSize TEMPLATE_SIZE(662, 457);

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
    LoadEncoderLibraries();
    app.LoadSettings();
    Trace("InitInstance: program directory %s\n", qPrintable(app.programDirectory));

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
}
