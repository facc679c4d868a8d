#include <QFile>
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
