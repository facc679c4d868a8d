#include "support/program_process.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Its own settings, runtime socket and data; a display only when asked for.
QProcessEnvironment IsolatedEnvironment(const QTemporaryDir& home, bool display) {
    QProcessEnvironment env = testsupport::ProgramEnvironment(home.path());
    if (display) {
        env.insert("QT_QPA_PLATFORM", "offscreen");
    }
    return env;
}

// Leaves a socket file behind as a killed instance would.
bool MakeStaleSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.toLocal8Bit().constData(), sizeof address.sun_path - 1);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

bool Answers(const QString& socketPath) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    return socket.waitForConnected(1000);
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

// The window takes over the socket a killed instance left. A second start
// hands its files, whatever their names hold, to the open window (which
// examines them as dropped ones: these are refused in its log) and ends;
// SIGTERM then quits the window as a desktop session would.
TEST(Program, TakesASecondStartsFilesAndQuitsCleanlySavingSettings) {
    QTemporaryDir home;
    const QString socket = home.filePath("corvane-encoder.sock");
    ASSERT_TRUE(MakeStaleSocket(socket));
    const qsizetype logStart = testsupport::ReadProgramErrorLog(CORVANE_ENCODER).size();
    QProcess program;
    program.setProcessEnvironment(IsolatedEnvironment(home, true));
    program.start(CORVANE_ENCODER, {});
    ASSERT_TRUE(program.waitForStarted());
    for (QDeadlineTimer deadline(30000); !Answers(socket) && !deadline.hasExpired();) {
        program.waitForFinished(50);
    }
    const QStringList names = {"handed over.wav", "\u0152uvre %20&.wav"};
    for (const QString& name : names) {
        QFile broken(home.filePath(name));
        ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
        broken.write("RIFF");
    }
    QProcess second;
    second.setProcessEnvironment(IsolatedEnvironment(home, true));
    second.setWorkingDirectory(home.path()); // the window's is another
    second.start(CORVANE_ENCODER, names);
    if (!second.waitForFinished(30000)) {
        second.kill();
        program.kill();
        FAIL() << "the second start stayed";
    }
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    int refused = 0;
    for (QDeadlineTimer deadline(30000); refused < 2 && !deadline.hasExpired();) {
        program.waitForFinished(100);
        const QString added = testsupport::ReadProgramErrorLog(CORVANE_ENCODER).mid(logStart);
        refused = 0;
        for (const QString& name : names) {
            refused += added.contains("File " + home.filePath(name) + " was rejected");
        }
    }
    EXPECT_EQ(refused, 2);

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
