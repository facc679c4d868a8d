#include "headless/run_without_window.h"

#include "app/encoder_app.h"
#include "app/quit_signals.h"
#include "app/settings_store.h"
#include "app/trace.h"
#include "controller/engine_ports.h"
#include "controller/network_environment.h"
#include "headless/format_choice.h"
#include "headless/options.h"
#include "headless/session.h"
#include "net/allow_list.h"
#include "net/unc_tables.h"
#include "queue/encode_scheduler.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

// A quiet run keeps standard error for our own problems: the framework's
// warnings (threads, file watchers, paths) go to the trace instead.
void QuietMessageHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::fprintf(stderr, "corvane-encoder: %s\n", qPrintable(message));
        return;
    }
    Trace("Qt: %s\n", qPrintable(message));
}

QStringList ArgumentsOf(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    return arguments;
}

int BadCommandLine(const QString& problem) {
    std::fprintf(stderr, "corvane-encoder: %s\n%s", qPrintable(problem),
                 qPrintable(HeadlessUsage()));
    return EXIT_BAD_COMMAND_LINE;
}

// A settings file that exists must be one we can read; a missing one is
// created with the defaults on the way out.
QString SettingsFileProblem(const QString& path) {
    const QFileInfo info(path);
    if (info.exists() && (info.isDir() || !info.isReadable())) {
        return QStringLiteral("cannot read the settings file %1").arg(path);
    }
    if (info.exists() && QSettings(path, QSettings::IniFormat).status() != QSettings::NoError) {
        return QStringLiteral("the settings file %1 is not in INI format").arg(path);
    }
    return QString();
}

// Redrawing in place needs a terminal that understands the erase sequence.
bool OutputIsTerminal() {
    const char* term = std::getenv("TERM");
    return ::isatty(STDOUT_FILENO) == 1 && (term == nullptr || std::strcmp(term, "dumb") != 0);
}

// The program without a window; the command line has been checked.
int RunHeadless(int argc, char** argv) {
    // A reader that goes away (`| head`) must not kill a half-written encode:
    // the report's writes fail quietly and the batch goes on.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication qtApp(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Brindlecap"));
    QCoreApplication::setApplicationName(QStringLiteral("Encoder"));

    const HeadlessOptions options = ParseCommandLine(QCoreApplication::arguments());
    if (!options.error.isEmpty()) {
        return BadCommandLine(options.error);
    }
    std::unique_ptr<SettingsStore> store = OpenSettings(options.settingsFile);
    CEncoderApp app(*store);
    app.Start(QCoreApplication::arguments());

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
    HeadlessOutput output;
    output.format = options.format;
    output.quiet = options.quiet;
    if (options.quiet) {
        qInstallMessageHandler(QuietMessageHandler);
    }
    output.terminal = OutputIsTerminal();
    std::unique_ptr<EnginePorts> engines = MakeEnginePorts(app);
    if (options.listFormats) {
        for (const QString& line : ListFormatChoices(*engines->Catalogue())) {
            std::printf("%s\n", qPrintable(line));
        }
        return EXIT_ALL_ENCODED;
    }
    // This run's encoder; the stored choice is written back as it was.
    const EncoderSettings stored = app.settings;
    if (!options.encoderFormat.isEmpty()) {
        QString problem;
        const std::optional<FormatChoice> choice =
            ParseFormatChoice(*engines->Catalogue(), options.encoderFormat, &problem);
        if (!choice) {
            std::fprintf(stderr, "corvane-encoder: %s\n", qPrintable(problem));
            return EXIT_BAD_COMMAND_LINE;
        }
        choice->ApplyTo(app.settings);
    }
    HeadlessSession session(
        app, ControllerPorts(*engines, ResolveWorkerCount(app.settings.workers, options.jobs)),
        output);
    session.Controller().Scheduler().writeTag = engines->TagWriter();
    session.KeepJournalIn(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    QObject::connect(&session, &HeadlessSession::Finished, &qtApp,
                     [](int code) { QCoreApplication::exit(code); });
    InstallQuitSignalHandlers([&session] { session.Quit(LastQuitSignal() == SIGINT); });
    if (options.allowGiven) {
        app.settings.allowedMachines = options.allow.left(ALLOWED_MACHINES_LENGTH);
    }
    // A run on named files is a local tool: it opens a port only when asked.
    const bool network = options.files.isEmpty() || app.settings.client != 0 || options.serve;
    if (!network) {
        Trace("RunHeadless: a run on files without --serve does not listen\n");
    } else if (!session.StartNetwork(NetworkSetup{options.bindAddress, options.port})) {
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
    if (files.isEmpty() && !options.quiet) {
        std::fprintf(stderr, "corvane-encoder: watching %s (Auto Encode %s); Ctrl+C stops\n",
                     qPrintable(app.SourceDirectory()),
                     app.settings.autoEncode != 0 ? "on" : "off");
    }
    QTimer::singleShot(0, &session, [&session, files] { session.Start(files); });
    const int code = QCoreApplication::exec();
    if (!options.encoderFormat.isEmpty()) {
        FormatChoice{stored.manufacturerId, stored.productId, stored.channels, stored.bytesPerSec,
                     stored.stereoMode}
            .ApplyTo(app.settings);
    }
    app.SaveSettings();
    return code;
}

} // namespace

int RunWithoutWindow(int argc, char** argv) {
    const HeadlessOptions options = ParseCommandLine(ArgumentsOf(argc, argv));
    if (!options.error.isEmpty()) {
        return BadCommandLine(options.error);
    }
    AllowList allowed;
    if (QString entry; options.allowGiven && !AllowList::Parse(options.allow, allowed, &entry)) {
        return BadCommandLine(
            QStringLiteral("--allow: %1 is not an IPv4 address or subnet").arg(entry));
    }
    if (options.help) {
        std::fputs(qPrintable(HeadlessUsage()), stdout);
        return EXIT_ALL_ENCODED;
    }
    if (options.version) {
        std::fputs(qPrintable(VersionLine()), stdout);
        return EXIT_ALL_ENCODED;
    }
    // Checked for the window too: it would otherwise start on defaults and
    // write them over a file it could not read.
    if (!options.settingsFile.isEmpty()) {
        const QString problem = SettingsFileProblem(options.settingsFile);
        if (!problem.isEmpty()) {
            std::fprintf(stderr, "corvane-encoder: %s\n", qPrintable(problem));
            return EXIT_BAD_COMMAND_LINE;
        }
    }
    if (options.headless || options.listFormats) {
        return RunHeadless(argc, argv);
    }
    return -1;
}
