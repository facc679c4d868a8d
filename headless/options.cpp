#include "headless/options.h"

#include "app/encoder_settings.h"
#include "app/strings.h"

#include <algorithm>
#include <vector>

#ifndef CORVANE_VERSION
#define CORVANE_VERSION "0.0.0"
#endif

namespace {

using Scope = OptionScope;

QString Port(HeadlessOptions& options, const QString& value) {
    bool ok = false;
    const uint port = value.toUInt(&ok);
    if (!ok || port == 0 || port > 65535) {
        return QStringLiteral("--port needs a port number from 1 to 65535");
    }
    options.port = std::uint16_t(port);
    return QString();
}

QString Jobs(HeadlessOptions& options, const QString& value) {
    bool ok = false;
    const uint jobs = value.toUInt(&ok);
    if (!ok || jobs > uint(MAX_WORKERS)) {
        return QStringLiteral("--jobs needs a number from 0 (one per CPU core) to %1")
            .arg(MAX_WORKERS);
    }
    options.jobs = int(jobs);
    return QString();
}

QString Allow(HeadlessOptions& options, const QString& value) {
    options.allow = value;
    options.allowGiven = !value.isNull();
    return QString();
}

QString Json(HeadlessOptions& options, const QString&) {
    options.format = OutputFormat::Json;
    return QString();
}

const CommandLineOption OPTIONS[] = {
    {.name = "--headless",
     .help = "encode without a window, with the stored settings.\n"
             "Without FILEs: watch the source folder (\"From Dir\") as the window does, and "
             "encode new files when Auto Encode is on; Ctrl+C or SIGTERM stop it like Quit.\n"
             "With FILEs: encode those WAV files now and exit. One line per file named on "
             "standard output: file, outcome (Completed, Completed (output exists), Error, "
             "Cancelled or Rejected), encoding time, time ratio, and for a rejected file the "
             "reason, for a failed one its error-log sentence (tab-separated). On a terminal a "
             "status line shows the running file.\n"
             "With \"Client\" off this machine is a server: watching, or with --serve, it "
             "listens on port 5150 and hands files to the machines that log in, with one line "
             "per handed-out file on standard output: file, \"Handed out\", machine "
             "(tab-separated).",
     .flag = &HeadlessOptions::headless},
    {.name = "--json",
     .scope = Scope::HeadlessOnly,
     .help = "one JSON object per line instead of the text lines (events admitted, rejected, "
             "started, progress, finished, batch_finished, handed_out, server_job).",
     .apply = Json},
    {.name = "--quiet",
     .shortName = "-q",
     .scope = Scope::HeadlessOnly,
     .help = "print only failed, cancelled and rejected files, on standard error.",
     .flag = &HeadlessOptions::quiet},
    {.name = "--settings",
     .valueName = "FILE",
     .help = "read and write the settings in FILE (INI format) instead of the user's settings.",
     .text = &HeadlessOptions::settingsFile},
    {.name = "--bind",
     .valueName = "ADDRESS",
     .help = "bind every socket to this local IPv4 address.",
     .text = &HeadlessOptions::bindAddress},
    {.name = "--port",
     .valueName = "N",
     .help = "the server's port instead of 5150.",
     .apply = Port},
    {.name = "--jobs",
     .shortName = "-j",
     .valueName = "N",
     .scope = Scope::HeadlessOnly,
     .help = "encode up to N files at once on this machine (0: one per CPU core) instead of "
             "the \"Workers\" setting.",
     .apply = Jobs},
    {.name = "--format",
     .valueName = "\"ENCODER, FORMAT[, MODE]\"",
     .scope = Scope::HeadlessOnly,
     .help = "encode with this encoder and format in this run, the settings left as they are: "
             "\"lame, V2\", \"blade, 192\", \"lame, 128, joint\" (MODE joint or stereo).",
     .text = &HeadlessOptions::encoderFormat},
    {.name = "--list-formats",
     .help = "list every encoder and format as --format names them, then exit.",
     .flag = &HeadlessOptions::listFormats},
    {.name = "--serve",
     .scope = Scope::HeadlessOnly,
     .help = "with FILEs and \"Client\" off: listen for clients too (without it a run on named "
             "files opens no port).",
     .flag = &HeadlessOptions::serve},
    {.name = "--allow",
     .valueName = "LIST",
     .scope = Scope::HeadlessOnly,
     .help = "the machines that may log in (setting \"Allowed Machines\", stored): addresses "
             "and subnets such as \"192.168.1.0/24 10.0.0.7\"; \"\" for this machine's own "
             "subnets and loopback.",
     .apply = Allow},
    {.name = "--smb-conf",
     .valueName = "FILE",
     .help = "read this machine's shares from FILE (smb.conf format).",
     .text = &HeadlessOptions::smbConf},
    {.name = "--mountinfo",
     .valueName = "FILE",
     .help = "read its network mounts from FILE (mountinfo format).",
     .text = &HeadlessOptions::mountInfo},
    {.name = "--screenshot",
     .valueName = "DIR",
     .scope = Scope::WindowOnly,
     .help = "save pictures of the window and its dialogs as PNG files in DIR, then exit.",
     .text = &HeadlessOptions::screenshotDir},
    {.name = "-log",
     .anyCase = true,
     .inWords = true,
     .help = "write a trace to debug.txt in the current directory."},
    {.name = "--version",
     .help = "show the program's name and version.",
     .flag = &HeadlessOptions::version},
    {.name = "--help",
     .shortName = "-h",
     .help = "show this text.",
     .flag = &HeadlessOptions::help},
};

const ExitCodeMeaning EXIT_CODES[] = {
    {EXIT_ALL_ENCODED, "every file was encoded (or, watching, the program was stopped by SIGTERM)"},
    {EXIT_SOME_FAILED, "some file failed, was cancelled or was rejected"},
    {EXIT_BAD_COMMAND_LINE, "bad command line or unreadable settings file"},
    {EXIT_INTERRUPTED, "interrupted by Ctrl+C (the partial output is removed)"},
};

bool Matches(const QString& argument, const char* name, bool anyCase) {
    return name != nullptr &&
           argument.compare(QLatin1String(name),
                            anyCase ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0;
}

const CommandLineOption* FindOption(const QString& argument) {
    for (const CommandLineOption& option : OPTIONS) {
        if ((option.inWords &&
             argument.contains(QLatin1String(option.name),
                               option.anyCase ? Qt::CaseInsensitive : Qt::CaseSensitive)) ||
            Matches(argument, option.name, option.anyCase) ||
            Matches(argument, option.shortName, option.anyCase)) {
            return &option;
        }
    }
    return nullptr;
}

// `value` is null when the option takes none, or when it is missing.
QString Apply(const CommandLineOption& option, HeadlessOptions& options, const QString& value) {
    if (option.apply != nullptr) {
        const QString problem = option.apply(options, value);
        if (!problem.isEmpty() || option.valueName == nullptr || !value.isNull()) {
            return problem;
        }
    }
    if (option.valueName != nullptr && value.isNull()) {
        return QStringLiteral("%1 needs a value").arg(QLatin1String(option.name));
    }
    if (option.flag != nullptr) {
        options.*option.flag = true;
    }
    if (option.text != nullptr) {
        options.*option.text = value;
    }
    return QString();
}

// Options given where they mean nothing.
QString ScopeProblem(const HeadlessOptions& options,
                     const std::vector<const CommandLineOption*>& given) {
    for (const CommandLineOption* option : given) {
        if (!options.headless && option->scope == OptionScope::HeadlessOnly) {
            return QStringLiteral("%1 is given only with --headless")
                .arg(QLatin1String(option->name));
        }
        if (options.headless && option->scope == OptionScope::WindowOnly) {
            return QStringLiteral("%1 needs the window; leave out --headless")
                .arg(QLatin1String(option->name));
        }
    }
    return QString();
}

// `text` wrapped at 79 columns, every line indented by `indent` blanks but
// the first, which carries on after what stands before it at column `from`.
QString Wrapped(const QString& text, qsizetype indent, qsizetype from) {
    constexpr qsizetype WIDTH = 79;
    QString out;
    qsizetype column = from;
    for (const QString& word : text.split(u' ', Qt::SkipEmptyParts)) {
        if (column > indent && column + 1 + word.size() > WIDTH) {
            out += u'\n' + QString(indent, u' ');
            column = indent;
        } else if (column > indent) {
            out += u' ';
            ++column;
        }
        out += word;
        column += word.size();
    }
    return out;
}

QString Label(const CommandLineOption& option) {
    const QString value =
        option.valueName != nullptr ? QStringLiteral(" ") + QLatin1String(option.valueName) : "";
    QString label = QLatin1String(option.name) + value;
    if (option.shortName != nullptr) {
        label += QStringLiteral(", ") + QLatin1String(option.shortName) + value;
    }
    return label;
}

QString ScopeNote(OptionScope scope) {
    switch (scope) {
    case OptionScope::HeadlessOnly:
        return QStringLiteral("with --headless: ");
    case OptionScope::WindowOnly:
        return QStringLiteral("without --headless: ");
    case OptionScope::Both:
        break;
    }
    return QString();
}

} // namespace

std::span<const CommandLineOption> CommandLineOptions() {
    return OPTIONS;
}

QString OptionHelp(const CommandLineOption& option) {
    return ScopeNote(option.scope) + QString::fromUtf8(option.help);
}

std::span<const ExitCodeMeaning> ExitCodeMeanings() {
    return EXIT_CODES;
}

QStringList UsageForms() {
    return {QStringLiteral("corvane-encoder [OPTION...] [FILE...]"),
            QStringLiteral("corvane-encoder --headless [OPTION...] [FILE...]"),
            QStringLiteral("corvane-encoder --help | --version")};
}

HeadlessOptions ParseCommandLine(const QStringList& arguments) {
    HeadlessOptions options;
    std::vector<const CommandLineOption*> given;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const CommandLineOption* option = optionsEnded ? nullptr : FindOption(argument);
        if (option == nullptr) {
            if (!optionsEnded && argument == QStringLiteral("--")) {
                optionsEnded = true;
            } else if (!optionsEnded && argument.startsWith(u'-') && argument.size() > 1) {
                options.error = QStringLiteral("unknown option %1").arg(argument);
                return options;
            } else {
                options.files.append(argument);
            }
            continue;
        }
        QString value;
        if (option->valueName != nullptr && i + 1 < arguments.size()) {
            value = arguments[++i];
            if (value.isNull()) {
                value = QLatin1String("");
            }
        }
        options.error = Apply(*option, options, value);
        if (!options.error.isEmpty()) {
            return options;
        }
        given.push_back(option);
    }
    if (options.help || options.version || options.listFormats) {
        return options;
    }
    options.error = ScopeProblem(options, given);
    if (options.error.isEmpty() && options.quiet && options.format == OutputFormat::Json) {
        options.error = QStringLiteral("--quiet and --json exclude each other");
    }
    return options;
}

QString HeadlessUsage() {
    QString usage;
    const QStringList forms = UsageForms();
    for (qsizetype i = 0; i < forms.size(); ++i) {
        usage +=
            (i == 0 ? QStringLiteral("Usage: ") : QStringLiteral("       ")) + forms[i] + u'\n';
    }
    usage +=
        QStringLiteral("\nWithout --headless the program opens its window and queues the FILEs\n"
                       "(in the window already open, when there is one).\n\n");

    // The texts start in one column, past the longest label that fits.
    constexpr qsizetype MAX_LABEL = 20;
    qsizetype labelWidth = 0;
    for (const CommandLineOption& option : OPTIONS) {
        labelWidth = std::max(labelWidth, std::min(Label(option).size(), MAX_LABEL));
    }
    const qsizetype column = 2 + labelWidth + 2;
    for (const CommandLineOption& option : OPTIONS) {
        const QString label = QStringLiteral("  ") + Label(option);
        usage += label;
        qsizetype from = label.size();
        if (from + 1 >= column) {
            usage += u'\n';
            from = 0;
        }
        for (const QString& paragraph : OptionHelp(option).split(u'\n')) {
            usage += QString(column - from, u' ') + Wrapped(paragraph, column, column) + u'\n';
            from = 0;
        }
    }

    usage += QStringLiteral("\nExit codes:\n");
    for (const ExitCodeMeaning& exit : EXIT_CODES) {
        const QString code = QStringLiteral("  %1").arg(exit.code, -5);
        usage += code + Wrapped(QString::fromUtf8(exit.meaning), code.size(), code.size()) + u'\n';
    }
    usage += u'\n' +
             Wrapped(QStringLiteral("Failures are recorded in error.log in the program's "
                                    "folder, or in ~/.local/share/Brindlecap/Encoder/ "
                                    "when that folder is not writable."),
                     0, 0) +
             u'\n';
    return usage;
}

QString VersionLine() {
    return QStringLiteral("corvane-encoder (%1) %2\n")
        .arg(ResString(IDS_APP_TITLE), QStringLiteral(CORVANE_VERSION));
}
