#include "engine_fixture.h"

#include "engines/encode_control.h"
#include "engines/encode_external.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

namespace {

class ExternalEncoderTest : public EngineTest {
protected:
    // A stand-in for the external program, written as a shell script.
    QString Script(const QString& body) {
        const QString path = Path("fake x3enc.sh");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(("#!/bin/sh\n" + body + "\n").toUtf8());
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    int LineCount(const QString& path) { return int(testsupport::ReadText(path).count('\n')); }

    // True once the process whose id the file holds is in the stopped state.
    static bool WaitUntilStopped(const QString& pidFile) {
        QDeadlineTimer patience(60000);
        while (!patience.hasExpired()) {
            QFile id(pidFile);
            if (id.open(QIODevice::ReadOnly)) {
                QFile stat(QStringLiteral("/proc/%1/stat").arg(id.readAll().trimmed()));
                // The state follows the parenthesised command name.
                if (stat.open(QIODevice::ReadOnly) && stat.readAll().contains(") T ")) {
                    return true;
                }
            }
            QThread::msleep(1);
        }
        return false;
    }
};

TEST_F(ExternalEncoderTest, MissingProgramIsReportedAndStartsNothing) {
    EXPECT_FALSE(control.StartExternal(&events, 1, QString(), "a.wav", "a.mp3", 128000));
    EXPECT_FALSE(control.StartExternal(&events, 1, Path("gone/x3enc"), "a.wav", "a.mp3", 128000));
    EXPECT_EQ(ErrorLog().count("Xing encoder couldn't be found."), 2);
    EXPECT_FALSE(control.IsWorkerRunning());
    EXPECT_FALSE(control.IsExternalEncoderRunning());
    events.Drain(100);
    EXPECT_TRUE(events.done.empty());
}

TEST_F(ExternalEncoderTest, PassesPathsWithSpacesIntactAndReportsTheOutcomeOnce) {
    const QString program = Script("printf '%s\\n' \"$@\" > \"$2\"");
    const QString source = Path("my song.wav");
    const QString destination = Path("out dir file.mp3");
    ASSERT_TRUE(control.StartExternal(&events, 1, program, source, destination, 64000));
    EXPECT_TRUE(control.IsExternalEncoderRunning());
    ASSERT_TRUE(events.WaitForDone());
    events.Drain();
    ASSERT_EQ(events.done.size(), 1u);
    EXPECT_EQ(events.done[0].outcome, 1);
    EXPECT_EQ(events.done[0].source, source);
    EXPECT_TRUE(events.progress.empty());
    EXPECT_FALSE(control.IsWorkerRunning());
    // The flag stays set until the next encode begins.
    EXPECT_TRUE(control.IsExternalEncoderRunning());

    QFile written(destination);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(written.readAll()), source + "\n" + destination + "\n-b\n64000\n");
    EXPECT_EQ(ErrorLog(), QString());

    // A non-zero exit code, and a zero exit code that leaves no output, fail naming the file.
    for (const char* body : {"exit 3", "exit 0", ": > \"$2\"; exit 0"}) {
        events.done.clear();
        const QString failed = Path(QString("source %1.wav").arg(body));
        ASSERT_TRUE(control.StartExternal(&events, 1, Script(body), failed, Path("o.mp3"), 128000));
        ASSERT_TRUE(events.WaitForDone()) << body;
        EXPECT_EQ(events.done[0].outcome, 0) << body;
        EXPECT_TRUE(ErrorLog().contains(failed)) << body;
    }
    EXPECT_TRUE(ErrorLog().contains("Error 3 - "));
}

TEST_F(ExternalEncoderTest, PauseStopsTheChildAndResumeContinuesIt) {
    const QString program =
        Script("echo $$ > \"$2.pid\"; i=0; while [ $i -lt 30 ]; do i=$((i+1));"
               " echo $i >> \"$2.ticks\"; sleep 0.02; done; echo done > \"$2\"");
    const QString destination = Path("a.mp3");
    ASSERT_TRUE(control.StartExternal(&events, 1, program, Path("a.wav"), destination, 128000));
    while (LineCount(destination + ".ticks") < 3) {
        QThread::msleep(5);
    }
    control.PauseEncode();
    EXPECT_TRUE(control.IsPaused());
    // Once the kernel shows the child stopped, no tick can land.
    ASSERT_TRUE(WaitUntilStopped(destination + ".pid"));
    const int frozen = LineCount(destination + ".ticks");
    QThread::msleep(300);
    EXPECT_EQ(LineCount(destination + ".ticks"), frozen);
    EXPECT_TRUE(events.done.empty());

    control.ResumeEncode();
    EXPECT_FALSE(control.IsPaused());
    ASSERT_TRUE(events.WaitForDone());
    EXPECT_EQ(events.done[0].outcome, 1);
    EXPECT_EQ(LineCount(destination + ".ticks"), 30);
}

TEST_F(ExternalEncoderTest, CancelWhilePausedStillEnds) {
    const QString program = Script("exec sleep 30");
    ASSERT_TRUE(control.StartExternal(&events, 1, program, Path("a.wav"), Path("a.mp3"), 128000));
    ASSERT_NO_FATAL_FAILURE(PauseCancelAndExpectTheEnd());
    // A second cancel after the end does nothing.
    control.CancelEncode();
    events.Drain(100);
    EXPECT_EQ(events.done.size(), 1u);
}

} // namespace
