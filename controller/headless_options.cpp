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
        "       corvane-encoder --headless [--settings FILE] [-log] [FILE...]\n"
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
        "  --settings FILE  read and write the settings in FILE (INI format) instead\n"
        "                   of the user's settings.\n"
        "  -log             write a trace to debug.txt in the current directory.\n"
        "  --help           show this text.\n"
        "\n"
        "Failures are recorded in error.log in the program's directory.\n");
}
