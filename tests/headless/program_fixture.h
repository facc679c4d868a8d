#pragma once

#include "support/free_port.h"
#include "support/program_process.h"
#include "support/wav_builder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

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

    QString MakeWav(const QString& name, std::uint32_t frames) {
        const QString path = sourceDir + u'/' + name;
        testsupport::WriteFile(path.toStdString(), MakePcmWav(PcmFormat{}, frames));
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
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(home.path());
        program.start(QString::fromUtf8(CORVANE_ENCODER), arguments);
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
        QProcess probe;
        probe.start(QStringLiteral("ffprobe"), {"-v", "error", "-show_entries", entries, "-of",
                                                "default=noprint_wrappers=1", mp3});
        probe.waitForFinished(30000);
        return probe.exitCode() == 0 ? QString::fromUtf8(probe.readAllStandardOutput()) : QString();
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
