#include "controller/headless_main.h"

#include "app/encoder_app.h"
#include "app/locale_format.h"
#include "app/quit_signals.h"
#include "app/settings_store.h"
#include "app/trace.h"
#include "controller/engine_ports.h"
#include "controller/headless_options.h"
#include "controller/headless_session.h"
#include "controller/network_environment.h"
#include "net/unc_tables.h"
#include "queue/encode_scheduler.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

int RunHeadless(int argc, char** argv) {
    QCoreApplication qtApp(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Brindlecap"));
    QCoreApplication::setApplicationName(QStringLiteral("Encoder"));

    const HeadlessOptions options = ParseCommandLine(QCoreApplication::arguments());
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "corvane-encoder: %s\n%s", qPrintable(options.error),
                     qPrintable(HeadlessUsage()));
        return 2;
    }
    if (options.help) {
        std::fputs(qPrintable(HeadlessUsage()), stdout);
        return 0;
    }

    std::unique_ptr<SettingsStore> store =
        options.settingsFile.isEmpty() ? OpenSettingsKey() : OpenSettingsFile(options.settingsFile);
    CEncoderApp app(*store);
    app.ReadCommandLine(QCoreApplication::arguments());
    app.InitProgramDirectory();
    LoadLocaleSettings();
    app.LoadSettings();
    Trace("RunHeadless: program directory %s\n", qPrintable(app.programDirectory));

    // The command line's tables win over the environment's.
    UncTablesFromEnvironment();
    if (!options.smbConf.isEmpty() || !options.mountInfo.isEmpty()) {
        UncTables tables;
        if (!options.smbConf.isEmpty()) {
            tables.smbConfPath = options.smbConf;
            tables.usershareDir = QString();
        }
        if (!options.mountInfo.isEmpty()) {
            tables.mountInfoPath = options.mountInfo;
        }
        SetUncTables(tables);
    }
    std::unique_ptr<EnginePorts> engines = MakeEnginePorts(app);
    HeadlessSession session(app, MainController::Ports{engines->Encoder(), engines->Codec(),
                                                       engines->Probe(), nullptr, nullptr});
    session.Controller().Scheduler().writeTag = engines->TagWriter();
    QObject::connect(&session, &HeadlessSession::Finished, &qtApp,
                     [](int code) { QCoreApplication::exit(code); });
    InstallQuitSignalHandlers([&session] { session.Quit(); });
    if (!session.StartNetwork(NetworkSetup{options.bindAddress, options.port})) {
        if (app.settings.client != 0) {
            std::fprintf(stderr, "corvane-encoder: no network; encoding here only\n");
        } else {
            std::fprintf(stderr, "corvane-encoder: cannot listen on port %d; encoding here only\n",
                         int(options.port));
        }
    } else if (app.settings.client != 0) {
        std::fprintf(stderr, "corvane-encoder: client of %s; Ctrl+C stops\n",
                     qPrintable(app.settings.serverIp));
    }

    QStringList files;
    for (const QString& file : options.files) {
        files.append(QFileInfo(file).absoluteFilePath());
    }
    if (files.isEmpty()) {
        std::fprintf(stderr, "corvane-encoder: watching %s (Auto Encode %s); Ctrl+C stops\n",
                     qPrintable(app.SourceDirectory()),
                     app.settings.autoEncode != 0 ? "on" : "off");
    }
    QTimer::singleShot(0, &session, [&session, files] { session.Start(files); });
    const int code = QCoreApplication::exec();
    app.SaveSettings();
    return code;
}
