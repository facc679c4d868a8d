#pragma once

#include "support/free_port.h"
#include "support/wav_builder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTcpServer>
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
        QDir().mkpath(sourceDir);
        QDir().mkpath(outputDir);
        QSettings settings(ConfigFile(), QSettings::IniFormat);
        settings.setValue(QStringLiteral("From Dir"), sourceDir);
        settings.setValue(QStringLiteral("To Dir"), outputDir);
        // One file at a time, as these tests expect.
        settings.setValue(QStringLiteral("Workers"), 1);
        settings.sync();
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           home.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
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
