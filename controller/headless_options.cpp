#include "controller/headless_options.h"

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
        } else if (argument.compare(QStringLiteral("-log"), Qt::CaseInsensitive) == 0) {
            continue;
        } else if (argument == QStringLiteral("--settings")) {
            if (i + 1 >= arguments.size()) {
                options.error = QStringLiteral("--settings needs a file name");
                return options;
            }
            options.settingsFile = arguments[++i];
        } else if (argument == QStringLiteral("--bind")) {
            if (i + 1 >= arguments.size()) {
                options.error = QStringLiteral("--bind needs an IPv4 address");
                return options;
            }
            options.bindAddress = arguments[++i];
        } else if (argument == QStringLiteral("--port")) {
            bool ok = false;
            const uint port = i + 1 < arguments.size() ? arguments[++i].toUInt(&ok) : 0;
            if (!ok || port == 0 || port > 65535) {
                options.error = QStringLiteral("--port needs a port number from 1 to 65535");
                return options;
            }
            options.port = std::uint16_t(port);
        } else if (argument.startsWith(u'-') && argument.size() > 1) {
            options.error = QStringLiteral("unknown option %1").arg(argument);
            return options;
        } else {
            options.files.append(argument);
        }
    }
    if (!options.headless && !options.files.isEmpty()) {
        options.error = QStringLiteral("files to encode are given only with --headless");
    }
    return options;
}

QString HeadlessUsage() {
    return QStringLiteral(
        "Usage: corvane-encoder [-log]\n"
        "       corvane-encoder --headless [--settings FILE] [--bind ADDRESS] [--port N]\n"
        "                       [-log] [FILE...]\n"
        "\n"
        "Without options the program opens its window.\n"
        "\n"
        "  --headless       encode without a window, with the stored settings.\n"
        "                   Without FILEs: watch the source folder (\"From Dir\") as the\n"
        "                   window does, and encode new files when Auto Encode is on;\n"
        "                   Ctrl+C or SIGTERM stop it like Quit.\n"
        "                   With FILEs: encode those WAV files now and exit; the exit\n"
        "                   code is 0 when every file was encoded, 1 otherwise.\n"
        "                   One line per finished file on standard output:\n"
        "                   file, outcome, encoding time, time ratio (tab-separated).\n"
        "                   With \"Client\" off this machine is a server: it listens\n"
        "                   on port 5150 and hands files to the machines that log\n"
        "                   in, with one line per handed-out file on standard\n"
        "                   output: file, \"Handed out\", machine (tab-separated).\n"
        "  --settings FILE  read and write the settings in FILE (INI format) instead\n"
        "                   of the user's settings.\n"
        "  --bind ADDRESS   bind every socket to this local IPv4 address.\n"
        "  --port N         the server's port instead of 5150.\n"
        "  -log             write a trace to debug.txt in the current directory.\n"
        "  --help           show this text.\n"
        "\n"
        "Failures are recorded in error.log in the program's directory.\n");
}
