#include "program_fixture.h"

#include <QRegularExpression>
#include <algorithm>
#include <map>
#include <signal.h>
#include <vector>

namespace {

using testsupport::HeadlessProgram;

constexpr const char* ERASE = "\r\033[K";

QString ShellQuoted(const QString& text) {
    return u'\'' + QString(text).replace(u'\'', QStringLiteral("'\\''")) + u'\'';
}

TEST_F(HeadlessProgram, OnATerminalTheStatusLineRisesAndIsClearedBeforeEachFileLine) {
    const QString longFile = MakeWav(QStringLiteral("long.wav"), 44100 * 120);
    const QString shortFile = MakeWav(QStringLiteral("short.wav"), 44100);
    // script(1) gives the program a pseudo-terminal and passes its exit code on.
    QStringList command{"exec", CORVANE_ENCODER, "--headless", "--bind", "127.0.0.1", "--port"};
    command << QString::number(testsupport::FreePort()) << longFile << shortFile;
    std::transform(command.begin() + 1, command.end(), command.begin() + 1, ShellQuoted);
    program.setStandardInputFile(QProcess::nullDevice());
    Launch("script", {"-qefc", "stty cols 200; " + command.join(u' '), "/dev/null"});
    ASSERT_TRUE(program.waitForFinished(120000));
    EXPECT_EQ(program.exitCode(), 0);
    // The terminal turns each line feed into a carriage return and a line feed.
    const QString out =
        QString::fromUtf8(program.readAllStandardOutput()).replace(QStringLiteral("\r\n"), "\n");

    // Every redraw starts by erasing the line; collect the first file's percentages.
    static const QRegularExpression STATUS(
        QStringLiteral("^\\[1/2\\] long\\.wav  (\\d+)%  batch \\d+%  elapsed \\d\\d:\\d\\d"));
    std::vector<int> percents;
    for (const QString& part : out.split(ERASE)) {
        const QRegularExpressionMatch match = STATUS.match(part);
        if (match.hasMatch()) {
            percents.push_back(match.captured(1).toInt());
        }
    }
    ASSERT_GE(percents.size(), 2u) << out.toStdString();
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_GT(percents.back(), percents.front());
    EXPECT_LE(percents.back(), 100);

    // What stays visible of each line (after its last erase) is the file line alone.
    const QStringList lines = out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << out.toStdString();
    EXPECT_TRUE(lines[0].section(ERASE, -1).startsWith(longFile + QStringLiteral("\tCompleted\t")));
    EXPECT_TRUE(
        lines[1].section(ERASE, -1).startsWith(shortFile + QStringLiteral("\tCompleted\t")));
    // After the last line nothing more is drawn.
    EXPECT_TRUE(out.endsWith(u'\n'));
}

TEST_F(HeadlessProgram, ExitCodes) {
    const QString source = MakeWav(QStringLiteral("a.wav"), 44100);
    // The trace switch is found in any case, even inside a longer word, and
    // is never taken for a file (the spellings are the command line test's).
    ASSERT_TRUE(Run({"--headless", "-LOGGING", source}, 60000));
    EXPECT_EQ(program.exitCode(), 0);
    const QByteArray out = program.readAllStandardOutput();
    EXPECT_EQ(QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts).size(), 1);
    EXPECT_FALSE(out.contains('\r')) << "not a terminal: no redraws, just the lines";
    EXPECT_TRUE(QFile::remove(home.filePath(QStringLiteral("debug.txt"))));

    ASSERT_TRUE(Run({"--headless", "--quiet", source}, 60000));
    EXPECT_EQ(program.exitCode(), 0) << "all encoded";
    EXPECT_EQ(program.readAllStandardOutput() + program.readAllStandardError(), QByteArray())
        << "quiet, and nothing went wrong";
    EXPECT_FALSE(QFile::exists(home.filePath(QStringLiteral("debug.txt")))) << "no trace asked";

    // A service stopped by systemd has not failed, so it is not restarted.
    Start({"--headless"});
    program.setReadChannel(QProcess::StandardError);
    ASSERT_TRUE(program.waitForReadyRead(10000)) << "no word that it is watching";
    program.setReadChannel(QProcess::StandardOutput);
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << "watching, stopped by SIGTERM";

    // Bad command lines, in either mode, without waiting for a display; then
    // --version and --help.
    const QString notIni = home.filePath(QStringLiteral("settings-dir"));
    QDir().mkpath(notIni);
    const QString usage = QStringLiteral("Usage: corvane-encoder");
    const QString unreadable = QStringLiteral("cannot read the settings file");
    const struct {
        QStringList arguments;
        int code;
        QStringList said; // on standard output when the code is 0, else on standard error
    } runs[] = {
        {{"--frobnicate"}, 2, {usage}},
        {{"--headless", "--frobnicate"}, 2, {usage}},
        {{"--headless", "--settings", notIni, source}, 2, {unreadable}},
        {{"--settings", notIni}, 2, {unreadable}},
        {{"--version"}, 0, {"corvane-encoder "}},
        {{"--help"}, 0, {"--headless", "--settings", "--jobs", "130"}},
    };
    for (const auto& [arguments, code, said] : runs) {
        const std::string label = arguments.join(u' ').toStdString();
        ASSERT_TRUE(Run(arguments, 10000)) << label;
        EXPECT_EQ(program.exitCode(), code) << label;
        const QString out = QString::fromUtf8(program.readAllStandardOutput());
        const QString err = QString::fromUtf8(program.readAllStandardError());
        EXPECT_TRUE(code == 0 || out.isEmpty()) << label;
        for (const QString& word : said) {
            EXPECT_TRUE((code == 0 ? out : err).contains(word))
                << label << ": " << word.toStdString();
        }
    }
}

TEST_F(HeadlessProgram, AReaderThatGoesAwayDoesNotCutTheEncodeShort) {
    const QString source = MakeWav(QStringLiteral("a.wav"), 44100 * 20);
    const QString other = MakeWav(QStringLiteral("b.wav"), 44100);
    // head leaves after the first line; the program's later writes find no reader.
    Launch("bash",
           {"-c", "set -o pipefail; \"$0\" --headless --json \"$1\" \"$2\" | head -n 1 >/dev/null",
            QString::fromUtf8(CORVANE_ENCODER), source, other});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitCode(), 0) << "141 is death by SIGPIPE";
    EXPECT_GT(QFileInfo(outputDir + QStringLiteral("/a.MP3")).size(), 0);
    EXPECT_GT(QFileInfo(outputDir + QStringLiteral("/b.MP3")).size(), 0);
}

// Several files at once: --jobs overrides the one worker of the fixture's settings.
using HeadlessJobs = HeadlessProgram;

// The events of a --json run, and how many files ran at once at most.
struct JobEvents {
    std::map<QString, std::vector<QJsonObject>> byFile;
    QJsonObject batch;
    int batchEvents = 0;
    int mostAtOnce = 0;
};

JobEvents ReadJobEvents(const QByteArray& out) {
    JobEvents events;
    int running = 0;
    for (const QJsonObject& event : testsupport::JsonLines(out)) {
        const QString kind = event["event"].toString();
        if (kind == QStringLiteral("started")) {
            events.mostAtOnce = std::max(events.mostAtOnce, ++running);
        } else if (kind == QStringLiteral("finished") && running > 0) {
            --running;
        } else if (kind == QStringLiteral("batch_finished")) {
            events.batch = event;
            ++events.batchEvents;
        }
        if (kind != QStringLiteral("progress") && event.contains("file")) {
            events.byFile[event["file"].toString()].push_back(event);
        }
    }
    return events;
}

QStringList Kinds(const std::vector<QJsonObject>& events) {
    QStringList kinds;
    for (const QJsonObject& event : events) {
        kinds.append(event["event"].toString());
    }
    return kinds;
}

// Each kind of encoder runs three files at once; every named file gets its events once, a
// clash that fails and a rejected file stop no other, and the batch adds it all up.
TEST_F(HeadlessJobs, EveryKindOfEncoderRunsThreeAtOnceAndAFailureStopsNoOther) {
    constexpr double SECONDS = 10;
    const QStringList files = MakeWavs({"a.wav", "b.wav", "c.wav", "d.wav"}, 44100 * SECONDS);
    // A second source of the first one's name meets its output and fails.
    QDir().mkpath(sourceDir + QStringLiteral("/again"));
    const QString clash = MakeWav(QStringLiteral("again/a.wav"), 44100);
    const QString rejected = sourceDir + QStringLiteral("/broken.wav");
    testsupport::WriteFile(rejected.toStdString(), {'R', 'I', 'F', 'F', 0, 0});
    // 0: the preferred encoder (a codec of the compression manager); then the
    // two libraries and the external encoder.
    for (const int encoder : {0, 9997, 9998, 9999}) {
        SCOPED_TRACE(encoder);
        QDir(outputDir).removeRecursively();
        QDir().mkpath(outputDir);
        testsupport::WriteProgramSettings(ConfigFile(), sourceDir, outputDir, 1,
                                          {{"Manufacturer ID", encoder}, {"Product ID", encoder}});
        ASSERT_TRUE(Run(QStringList{"--headless", "--json", "--jobs", "3"} + files +
                            QStringList{clash, rejected},
                        120000));
        EXPECT_EQ(program.exitCode(), 1) << "one file failed";

        JobEvents events = ReadJobEvents(program.readAllStandardOutput());
        EXPECT_EQ(events.mostAtOnce, 3);
        for (const QString& file : files) {
            const std::vector<QJsonObject>& own = events.byFile[file];
            ASSERT_EQ(Kinds(own), QStringList({"admitted", "started", "finished"}))
                << file.toStdString();
            EXPECT_EQ(own.front()["duration"].toInt(), int(SECONDS));
            EXPECT_EQ(own.back()["outcome"].toString(), QStringLiteral("completed"));
            EXPECT_TRUE(own.back()["time"].isString());
            const QString mp3 = own.back()["output"].toString();
            EXPECT_EQ(mp3, outputDir + u'/' + QFileInfo(file).completeBaseName() + ".MP3");
            const double seconds =
                Probe(mp3, QStringLiteral("format=duration")).section(u'=', 1).trimmed().toDouble();
            // The source's length, give or take the encoder's delay and last frame.
            EXPECT_NEAR(seconds, SECONDS, 2 * 1152.0 / 44100.0) << mp3.toStdString();
        }
        const std::vector<QJsonObject>& failed = events.byFile[clash];
        ASSERT_GE(failed.size(), 2u);
        EXPECT_EQ((std::vector{failed.front()["event"], failed.back()["outcome"],
                               failed.back()["output"]}),
                  (std::vector<QJsonValue>{"admitted", "failed", QJsonValue::Null}));
        const std::vector<QJsonObject>& refused = events.byFile[rejected];
        ASSERT_EQ(refused.size(), 1u);
        EXPECT_EQ(refused[0]["event"].toString(), QStringLiteral("rejected"));
        EXPECT_EQ(refused[0]["reason"].toString(), QStringLiteral("it is not a valid wave file"));
        EXPECT_TRUE(NewErrors().contains(refused[0]["message"].toString()));

        EXPECT_EQ(events.batchEvents, 1);
        const QJsonObject& b = events.batch;
        EXPECT_EQ(
            (std::vector{b["files"], b["completed"], b["failed"], b["rejected"], b["exit_code"]}),
            (std::vector<QJsonValue>{6, 4, 1, 1, 1}));
        EXPECT_TRUE(QDir(outputDir).entryList({QStringLiteral("*.part")}, QDir::Files).isEmpty());
    }
    for (const QString& file : files + QStringList{clash}) {
        EXPECT_TRUE(QFile::exists(file)) << "sources stay without Delete When Done";
    }
}

// Ctrl+C, or the SIGTERM of a desktop session, stops every worker and leaves
// no partial output; the settings are saved on the way out.
TEST_F(HeadlessJobs, ASignalStopsEveryWorkerAndLeavesNoPartialOutput) {
    const QStringList files = MakeWavs({"a.wav", "b.wav", "c.wav", "d.wav"}, 44100 * 180);
    for (const auto& [signal, code] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 1}}) {
        Start(QStringList{"--headless", "--json", "--jobs", "3"} + files);
        QByteArray out;
        for (int i = 0; i < 600 && out.count("\"event\":\"started\"") < 3; ++i) {
            program.waitForReadyRead(50);
            out += program.readAllStandardOutput();
        }
        ASSERT_EQ(out.count("\"event\":\"started\""), 3) << "three files never ran at once";
        ::kill(static_cast<pid_t>(program.processId()), signal);
        ASSERT_TRUE(program.waitForFinished(60000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), code) << signal;
        out += program.readAllStandardOutput();
        EXPECT_TRUE(QDir(outputDir).isEmpty(QDir::Files | QDir::Hidden)) << "partial output left";
        const JobEvents events = ReadJobEvents(out);
        for (const QString& file : files) {
            EXPECT_TRUE(QFile::exists(file));
            const auto found = events.byFile.find(file);
            ASSERT_NE(found, events.byFile.end()) << file.toStdString();
            ASSERT_EQ(Kinds(found->second).count("finished"), 1) << file.toStdString();
            EXPECT_EQ(found->second.back()["outcome"].toString(), QStringLiteral("cancelled"));
        }
    }
    const QSettings saved(ConfigFile(), QSettings::IniFormat);
    EXPECT_EQ(saved.value(QStringLiteral("Columns")).toInt(), 31);
    EXPECT_NE(saved.value(QStringLiteral("Manufacturer ID")).toUInt(), 0u);
    EXPECT_EQ(saved.value(QStringLiteral("BytesPerSec")).toUInt(), 16000u);
}

} // namespace
