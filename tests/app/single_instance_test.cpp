#include "app/single_instance.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QString ReadLine(QProcess& process) {
    if (!process.canReadLine()) {
        process.waitForReadyRead(10000);
    }
    return QString::fromUtf8(process.readLine()).trimmed();
}

// Leaves a socket file behind as a killed instance would.
bool MakeStaleSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray bytes = path.toLocal8Bit();
    std::strncpy(address.sun_path, bytes.constData(), sizeof address.sun_path - 1);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

} // namespace

TEST(SingleInstance, SecondProcessHandsOverAndEnds) {
    QTemporaryDir dir;
    const QString socket = dir.filePath("instance.sock");

    QProcess first;
    first.start(SINGLE_INSTANCE_PROBE, {socket});
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_EQ(ReadLine(first), "first");

    // Its files go along, whatever their names hold.
    const QStringList files = {"/music/a b.wav", "/music/Œuvre %20&.wav", "/music/c.wav"};
    QProcess second;
    second.start(SINGLE_INSTANCE_PROBE, QStringList{socket} + files);
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(second.readAllStandardOutput()).trimmed(), "second");

    // The first instance was asked to come forward with them.
    EXPECT_EQ(ReadLine(first), "activated");
    for (const QString& file : files) {
        EXPECT_EQ(ReadLine(first), file);
    }
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitCode(), 0);
}

TEST(SingleInstance, StaleSocketDoesNotBlockAndLiveOneIsKept) {
    QTemporaryDir dir;
    const QString socket = dir.filePath("instance.sock");
    ASSERT_TRUE(MakeStaleSocket(socket));
    ASSERT_TRUE(QFile::exists(socket));

    SingleInstance first(socket);
    EXPECT_TRUE(first.ActivateExistingInstance()) << "a dead instance's socket is reclaimed";

    // A live instance is never replaced: a later start defers to it.
    QProcess second;
    second.start(SINGLE_INSTANCE_PROBE, {socket});
    bool activated = false;
    QObject::connect(&first, &SingleInstance::ActivationRequested,
                     [&activated] { activated = true; });
    for (int i = 0; i < 400 && !(activated && second.state() == QProcess::NotRunning); ++i) {
        second.waitForFinished(25);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 25);
    }
    EXPECT_EQ(second.state(), QProcess::NotRunning);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(second.readAllStandardOutput()).trimmed(), "second");
    EXPECT_TRUE(activated);
}
