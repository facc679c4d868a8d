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

// A second start hands its file to the open window (which examines it as a
// dropped one: this one is refused in its log) and ends; SIGTERM then quits
// the window as a desktop session would.
TEST(Program, TakesASecondStartsFilesAndQuitsCleanlySavingSettings) {
    QTemporaryDir home;
    const QString log = QFileInfo(QStringLiteral(CORVANE_ENCODER)).dir().filePath("error.log");
    const qint64 logStart = QFileInfo(log).size();
    QProcess program;
    program.setProcessEnvironment(IsolatedEnvironment(home, true));
    program.start(CORVANE_ENCODER, {});
    ASSERT_TRUE(program.waitForStarted());
    // Once its socket is there, a later start finds it (a lock covers the rest).
    for (QDeadlineTimer deadline(30000);
         !QFile::exists(home.filePath("corvane-encoder.sock")) && !deadline.hasExpired();) {
        program.waitForFinished(50);
    }
    QFile broken(home.filePath("handed over.wav"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("RIFF");
    broken.close();
    QProcess second;
    second.setProcessEnvironment(IsolatedEnvironment(home, true));
    second.setWorkingDirectory(home.path()); // the window's is another
    second.start(CORVANE_ENCODER, {"handed over.wav"});
    if (!second.waitForFinished(30000)) {
        second.kill();
        program.kill();
        FAIL() << "the second start stayed";
    }
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    const QString refusal = "File " + home.filePath("handed over.wav") + " was rejected";
    QFile errors(log);
    bool refused = false;
    for (QDeadlineTimer deadline(30000); !refused && !deadline.hasExpired();) {
        program.waitForFinished(100);
        if (errors.open(QIODevice::ReadOnly) && errors.seek(logStart)) {
            refused = QString::fromLocal8Bit(errors.readAll()).contains(refusal);
        }
        errors.close();
    }
    EXPECT_TRUE(refused);

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
