#pragma once

#include "support/free_port.h"
#include "support/outside_tools.h"
#include "support/program_process.h"
#include "support/wav_builder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>
#include <vector>

namespace testsupport {

// All that was written to a temporary file so far.
inline QString ReadBack(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    QByteArray text;
    char buffer[512];
    for (std::size_t got = 0; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
        text.append(buffer, qsizetype(got));
    }
    return QString::fromUtf8(text);
}

// The objects of JSON output, one a line; a line that is not one fails the test.
inline std::vector<QJsonObject> JsonLines(const QByteArray& out) {
    std::vector<QJsonObject> objects;
    for (const QString& line : QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts)) {
        QJsonParseError error{};
        objects.push_back(QJsonDocument::fromJson(line.toUtf8(), &error).object());
        EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
    }
    return objects;
}

// The program on its own settings, away from the user's.
class HeadlessProgram : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        sourceDir = home.filePath(QStringLiteral("in"));
        outputDir = home.filePath(QStringLiteral("out"));
        WriteProgramSettings(ConfigFile(), sourceDir, outputDir, 1); // one file at a time
        environment = ProgramEnvironment(home.path());
        errorLog = QFileInfo(QString::fromUtf8(CORVANE_ENCODER))
                       .dir()
                       .filePath(QStringLiteral("error.log"));
        errorLogStart = QFileInfo(errorLog).size();
    }

    QString ConfigFile() const {
        return home.filePath(QStringLiteral("config/Brindlecap/Encoder.conf"));
    }

    QString MakeWav(const QString& name, std::uint32_t frames, const PcmFormat& format = {}) {
        const QString path = sourceDir + u'/' + name;
        testsupport::WriteFile(path.toStdString(), MakePcmWav(format, frames));
        return path;
    }

    QStringList MakeWavs(std::initializer_list<const char*> names, std::uint32_t frames) {
        QStringList paths;
        for (const char* name : names) {
            paths.append(MakeWav(QString::fromLatin1(name), frames));
        }
        return paths;
    }

    // A headless run also serves the network; each gets a free loopback port so
    // that runs in parallel do not fight over the default one.
    void Start(QStringList arguments) {
        if (arguments.contains(QStringLiteral("--headless"))) {
            const QStringList serving = testsupport::LoopbackServingOptions();
            for (qsizetype i = 0; i < serving.size(); ++i) {
                arguments.insert(1 + i, serving[i]);
            }
        }
        Launch(QString::fromUtf8(CORVANE_ENCODER), arguments);
    }

    // Any command in the program's environment and home, as `program`.
    void Launch(const QString& command, const QStringList& arguments) {
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(home.path());
        program.start(command, arguments);
        ASSERT_TRUE(program.waitForStarted());
    }

    // Start and wait for the end; false if it did not end in time.
    bool Run(const QStringList& arguments, int milliseconds) {
        Start(arguments);
        return program.waitForFinished(milliseconds);
    }

    // What this run added to the shared error log.
    QString NewErrors() const {
        QFile file(errorLog);
        if (!file.open(QIODevice::ReadOnly)) {
            return QString();
        }
        file.seek(errorLogStart);
        return QString::fromUtf8(file.readAll());
    }

    static QString Probe(const QString& mp3, const QString& entries) {
        const ToolRun probe = RunTool("ffprobe", {"-v", "error", "-show_entries", entries, "-of",
                                                  "default=noprint_wrappers=1", mp3});
        return probe.ok ? QString::fromUtf8(probe.out) : QString();
    }

    QTemporaryDir home;
    QString sourceDir;
    QString outputDir;
    QString errorLog;
    qint64 errorLogStart = 0;
    QProcessEnvironment environment;
    QProcess program;
};

} // namespace testsupport
