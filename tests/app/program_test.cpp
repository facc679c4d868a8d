#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <signal.h>

namespace {

// An environment of its own: settings, runtime socket and display.
QProcessEnvironment IsolatedEnvironment(const QTemporaryDir& home, bool display) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    env.insert("XDG_RUNTIME_DIR", home.path());
    env.insert("XDG_DATA_HOME", home.filePath("data"));
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    if (display) {
        env.insert("QT_QPA_PLATFORM", "offscreen");
    }
    return env;
}

} // namespace

TEST(Program, WithoutDisplayItSaysSoAndFails) {
    QTemporaryDir home;
    QProcess program;
    program.setProcessEnvironment(IsolatedEnvironment(home, false));
    program.start(CORVANE_ENCODER, {});
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_NE(program.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(program.readAllStandardError()).trimmed(),
              "no display found; use --headless to encode without a window");
}

TEST(Program, StartsAndQuitsCleanlySavingSettings) {
    QTemporaryDir home;
    QProcess program;
    program.setProcessEnvironment(IsolatedEnvironment(home, true));
    program.start(CORVANE_ENCODER, {});
    ASSERT_TRUE(program.waitForStarted());
    // Give it time to come up, then ask it to quit as a desktop session would.
    EXPECT_FALSE(program.waitForFinished(1500));
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);

    const QString conf = home.filePath("config/Brindlecap/Encoder.conf");
    ASSERT_TRUE(QFile::exists(conf));
    QSettings saved(conf, QSettings::IniFormat);
    EXPECT_EQ(saved.value("Rename to MP3").toInt(), 1);
    EXPECT_EQ(saved.value("Columns").toInt(), 31);
    EXPECT_GE(saved.value("Window Width").toInt(), 510);
}

TEST(Program, ASecondStartHandsItsFilesToTheOpenWindowAndEnds) {
    QTemporaryDir home;
    const QString log = QFileInfo(QStringLiteral(CORVANE_ENCODER)).dir().filePath("error.log");
    const qint64 logStart = QFileInfo(log).size();
    QProcess first;
    first.setProcessEnvironment(IsolatedEnvironment(home, true));
    first.start(CORVANE_ENCODER, {});
    ASSERT_TRUE(first.waitForStarted());
    // Once its socket is there, a later start finds it (the lock covers the rest).
    for (QDeadlineTimer deadline(30000);
         !QFile::exists(home.filePath("corvane-encoder.sock")) && !deadline.hasExpired();) {
        first.waitForFinished(50);
    }

    // Relative to the second start's own folder, which the window does not share.
    QFile broken(home.filePath("handed over.wav"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("RIFF");
    broken.close();
    QProcess second;
    second.setProcessEnvironment(IsolatedEnvironment(home, true));
    second.setWorkingDirectory(home.path());
    second.start(CORVANE_ENCODER, {"handed over.wav"});
    if (!second.waitForFinished(30000)) {
        second.kill();
        first.kill();
        FAIL() << "the second start stayed";
    }
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();

    // The window examined it as a dropped file: this one is refused in its log.
    const QString refusal =
        QStringLiteral("File %1 was rejected").arg(home.filePath("handed over.wav"));
    QFile errors(log);
    bool refused = false;
    for (QDeadlineTimer deadline(30000); !refused && !deadline.hasExpired();) {
        first.waitForFinished(100);
        if (errors.open(QIODevice::ReadOnly)) {
            errors.seek(logStart);
            refused = QString::fromLocal8Bit(errors.readAll()).contains(refusal);
            errors.close();
        }
    }
    EXPECT_TRUE(refused);
    EXPECT_EQ(first.state(), QProcess::Running) << "only one window, still open";
    ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(10000));
}
