#include "headless/options.h"

#include "app/encoder_settings.h"
#include "app/strings.h"

#ifndef CORVANE_VERSION
#define CORVANE_VERSION "0.0.0"
#endif

namespace {

// An option that takes the next argument as its value; false when it is missing.
bool TakeValue(const QStringList& arguments, qsizetype& i, QString& value,
               HeadlessOptions& options) {
    if (i + 1 >= arguments.size()) {
        options.error = QStringLiteral("%1 needs a value").arg(arguments[i]);
        return false;
    }
    value = arguments[++i];
    return true;
}

// Options that only mean something without a window.
QString HeadlessOnlyProblem(const HeadlessOptions& options) {
    if (!options.files.isEmpty()) {
        return QStringLiteral("files to encode are given only with --headless");
    }
    if (options.format == OutputFormat::Json) {
        return QStringLiteral("--json is given only with --headless");
    }
    if (options.quiet) {
        return QStringLiteral("--quiet is given only with --headless");
    }
    if (options.jobs >= 0) {
        return QStringLiteral("--jobs is given only with --headless");
    }
    return QString();
}

} // namespace

HeadlessOptions ParseCommandLine(const QStringList& arguments) {
    HeadlessOptions options;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (optionsEnded) {
            options.files.append(argument);
        } else if (argument == QStringLiteral("--")) {
            optionsEnded = true;
        } else if (argument == QStringLiteral("--headless")) {
            options.headless = true;
        } else if (argument == QStringLiteral("--help") || argument == QStringLiteral("-h")) {
            options.help = true;
        } else if (argument == QStringLiteral("--version")) {
            options.version = true;
        } else if (argument == QStringLiteral("--json")) {
            options.format = OutputFormat::Json;
        } else if (argument == QStringLiteral("--quiet") || argument == QStringLiteral("-q")) {
            options.quiet = true;
        } else if (argument.compare(QStringLiteral("-log"), Qt::CaseInsensitive) == 0) {
            continue;
        } else if (argument == QStringLiteral("--settings")) {
            if (!TakeValue(arguments, i, options.settingsFile, options)) {
                return options;
            }
        } else if (argument == QStringLiteral("--screenshot")) {
            if (!TakeValue(arguments, i, options.screenshotDir, options)) {
                return options;
            }
        } else if (argument == QStringLiteral("--bind")) {
            if (!TakeValue(arguments, i, options.bindAddress, options)) {
                return options;
            }
        } else if (argument == QStringLiteral("--smb-conf") ||
                   argument == QStringLiteral("--mountinfo")) {
            if (i + 1 >= arguments.size()) {
                options.error = QStringLiteral("%1 needs a file name").arg(argument);
                return options;
            }
            (argument == QStringLiteral("--smb-conf") ? options.smbConf : options.mountInfo) =
                arguments[++i];
        } else if (argument == QStringLiteral("--port")) {
            bool ok = false;
            const uint port = i + 1 < arguments.size() ? arguments[++i].toUInt(&ok) : 0;
            if (!ok || port == 0 || port > 65535) {
                options.error = QStringLiteral("--port needs a port number from 1 to 65535");
                return options;
            }
            options.port = std::uint16_t(port);
        } else if (argument == QStringLiteral("--jobs") || argument == QStringLiteral("-j")) {
            bool ok = false;
            const uint jobs = i + 1 < arguments.size() ? arguments[++i].toUInt(&ok) : 0;
            if (!ok || jobs > uint(MAX_WORKERS)) {
                options.error =
                    QStringLiteral("--jobs needs a number from 0 (one per CPU core) to %1")
                        .arg(MAX_WORKERS);
                return options;
            }
            options.jobs = int(jobs);
        } else if (argument.startsWith(u'-') && argument.size() > 1) {
            options.error = QStringLiteral("unknown option %1").arg(argument);
            return options;
        } else {
            options.files.append(argument);
        }
    }
    if (options.help || options.version) {
        return options;
    }
    if (!options.headless) {
        options.error = HeadlessOnlyProblem(options);
    } else if (!options.screenshotDir.isEmpty()) {
        options.error = QStringLiteral("--screenshot needs the window; leave out --headless");
    } else if (options.quiet && options.format == OutputFormat::Json) {
        options.error = QStringLiteral("--quiet and --json exclude each other");
    }
    return options;
}

QString HeadlessUsage() {
    return QStringLiteral(
        "Usage: corvane-encoder [-log] [--settings FILE]\n"
        "       corvane-encoder --headless [--json | --quiet] [--settings FILE]\n"
        "                       [--bind ADDRESS] [--port N] [--jobs N] [-log] [FILE...]\n"
        "       corvane-encoder --help | --version\n"
        "\n"
        "Without options the program opens its window.\n"
        "\n"
        "  --headless       encode without a window, with the stored settings.\n"
        "                   Without FILEs: watch the source folder (\"From Dir\") as the\n"
        "                   window does, and encode new files when Auto Encode is on;\n"
        "                   Ctrl+C or SIGTERM stop it like Quit.\n"
        "                   With FILEs: encode those WAV files now and exit.\n"
        "                   One line per file named on standard output: file, outcome\n"
        "                   (Completed, Error, Cancelled or Rejected), encoding time,\n"
        "                   time ratio, and for a rejected file the reason\n"
        "                   (tab-separated). On a terminal a status line shows the\n"
        "                   running file.\n"
        "                   With \"Client\" off this machine is a server: it listens\n"
        "                   on port 5150 and hands files to the machines that log\n"
        "                   in, with one line per handed-out file on standard\n"
        "                   output: file, \"Handed out\", machine (tab-separated).\n"
        "  --json           with --headless: one JSON object per line instead (events\n"
        "                   admitted, rejected, started, progress, finished,\n"
        "                   batch_finished; see the README).\n"
        "  --quiet, -q      with --headless: print only failed, cancelled and rejected\n"
        "                   files, on standard error.\n"
        "  --settings FILE  read and write the settings in FILE (INI format) instead\n"
        "                   of the user's settings.\n"
        "  --bind ADDRESS   bind every socket to this local IPv4 address.\n"
        "  --port N         the server's port instead of 5150.\n"
        "  --jobs N, -j N   encode up to N files at once on this machine (0: one per\n"
        "                   CPU core) instead of the \"Workers\" setting.\n"
        "  --smb-conf FILE  read this machine's shares from FILE (smb.conf format).\n"
        "  --mountinfo FILE read its network mounts from FILE (mountinfo format).\n"
        "  -log             write a trace to debug.txt in the current directory.\n"
        "  --version        show the program's name and version.\n"
        "  --help, -h       show this text.\n"
        "\n"
        "Exit codes:\n"
        "  0    every file was encoded (or, watching, the program was stopped by SIGTERM)\n"
        "  1    some file failed, was cancelled or was rejected\n"
        "  2    bad command line or unreadable settings file\n"
        "  130  interrupted by Ctrl+C (the partial output is removed)\n"
        "\n"
        "Failures are recorded in error.log in the program's directory.\n");
}

QString VersionLine() {
    return QStringLiteral("corvane-encoder (%1) %2\n")
        .arg(ResString(IDS_APP_TITLE), QStringLiteral(CORVANE_VERSION));
}
