#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <span>

// How a run without a window reports on standard output.
enum class OutputFormat { Text, Json };

// The command line of a run: the window, or --headless with its options.
struct HeadlessOptions {
    bool headless = false;
    bool help = false;
    bool version = false;
    bool quiet = false;                       // only errors, on standard error
    OutputFormat format = OutputFormat::Text; // --json: one object per line
    QString settingsFile;                     // --settings FILE: an INI file instead of the user's
    QString screenshotDir;                    // --screenshot DIR: pictures of the window
    QStringList files;                        // files to encode now; empty: watch the source folder
    QString error;                            // not empty: the command line is wrong
    // --bind ADDRESS: the local address of every socket; --port N: the server's port.
    QString bindAddress;
    std::uint16_t port = 5150;
    // --smb-conf FILE, --mountinfo FILE: the share and mount tables that
    // network paths are resolved from, instead of the system's.
    QString smbConf;
    QString mountInfo;
    // --jobs N: files encoded at once here in this run (0 one per CPU core);
    // -1: the "Workers" setting.
    int jobs = -1;
    // --format "ENCODER, FORMAT[, MODE]": the encoder for this run, the
    // settings left as they are; --list-formats: the formats there are.
    QString encoderFormat;
    bool listFormats = false;
    // --serve: a run on named files listens for clients too (a server only).
    bool serve = false;
    // --allow LIST: the "Allowed Machines" setting, stored like the others.
    QString allow;
    bool allowGiven = false;
};

// Where an option means something.
enum class OptionScope { Both, HeadlessOnly, WindowOnly };

// One option of the command line. The parser, --help, the manual page and the
// shell completion are all made from the table of these, so an option is
// added by one entry there. At most one of `flag`, `text` and `apply` is set.
struct CommandLineOption {
    const char* name = nullptr;      // "--jobs"
    const char* shortName = nullptr; // "-j"
    // The value's name in the texts when the option takes the next argument:
    // FILE and DIR are completed as file and folder names.
    const char* valueName = nullptr;
    OptionScope scope = OptionScope::Both;
    bool anyCase = false; // the name matches in capitals too
    bool inWords = false; // ... and inside any longer argument ("x-LOGGING")
    // Sentences of --help and the manual; '\n' starts a new paragraph.
    const char* help = "";
    bool HeadlessOptions::*flag = nullptr;    // a switch that sets this
    QString HeadlessOptions::*text = nullptr; // the value is kept as it is here
    // Takes the value (null when it is missing); returns the problem, empty when fine.
    QString (*apply)(HeadlessOptions& options, const QString& value) = nullptr;
};

// Every option, in the order --help lists them.
std::span<const CommandLineOption> CommandLineOptions();
// Its text as --help and the manual show it: where it applies, then `help`.
QString OptionHelp(const CommandLineOption& option);

// Exit codes of the program.
inline constexpr int EXIT_ALL_ENCODED = 0;
inline constexpr int EXIT_SOME_FAILED = 1;
inline constexpr int EXIT_BAD_COMMAND_LINE = 2;
inline constexpr int EXIT_INTERRUPTED = 130;

struct ExitCodeMeaning {
    int code;
    const char* meaning;
};
std::span<const ExitCodeMeaning> ExitCodeMeanings();

// The forms of the command, without "Usage: ".
QStringList UsageForms();

// `arguments` includes the program name. An argument holding "-log" anywhere
// (any case) is the trace switch, not a file; after "--" only files follow.
HeadlessOptions ParseCommandLine(const QStringList& arguments);

QString HeadlessUsage();
// Program name and version, one line with its line feed.
QString VersionLine();
