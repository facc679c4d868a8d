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

TEST(SingleInstance, StaleSocketDoesNotBlockAndLiveOneIsKept) {
    QTemporaryDir dir;
    const QString socket = dir.filePath("instance.sock");
    ASSERT_TRUE(MakeStaleSocket(socket));
    ASSERT_TRUE(QFile::exists(socket));

    SingleInstance first(socket);
    EXPECT_TRUE(first.ActivateExistingInstance()) << "a dead instance's socket is reclaimed";

    // A live instance is never replaced: a later start defers to it and hands
    // over its files, whatever their names hold.
    const QStringList files = {"/music/a b.wav", "/music/Œuvre %20&.wav", "/music/c.wav"};
    QProcess second;
    second.start(SINGLE_INSTANCE_PROBE, QStringList{socket} + files);
    bool activated = false;
    QObject::connect(&first, &SingleInstance::ActivationRequested,
                     [&](const QStringList& handed) { activated = handed == files; });
    for (int i = 0; i < 400 && !(activated && second.state() == QProcess::NotRunning); ++i) {
        second.waitForFinished(25);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 25);
    }
    EXPECT_EQ(second.state(), QProcess::NotRunning);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(second.readAllStandardOutput()).trimmed(), "second");
    EXPECT_TRUE(activated);
}
