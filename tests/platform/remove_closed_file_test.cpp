#include "platform/remove_closed_file.h"

#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

int calls = 0;
int busyCalls = 0;

// A share that still holds the file for its first `busyCalls` attempts.
int UnlinkOnceReleased(const char* path) {
    if (++calls <= busyCalls) {
        errno = EBUSY;
        return -1;
    }
    return ::unlink(path);
}

} // namespace

TEST(RemoveClosedFile, WaitsOutAShareThatStillHoldsTheFileAndNothingElse) {
    QTemporaryDir folder;
    const QByteArray path = QFile::encodeName(folder.filePath(QStringLiteral("lkj.lkj")));
    QFile(QString::fromUtf8(path)).open(QIODevice::WriteOnly);

    calls = 0;
    busyCalls = 2;
    EXPECT_EQ(RemoveClosedFile(path, UnlinkOnceReleased), 0);
    EXPECT_EQ(calls, 3);
    EXPECT_FALSE(QFile::exists(QString::fromUtf8(path)));
    EXPECT_EQ(RemoveClosedFile(path), 0) << "already gone";

    // Held for good: given up with the share's answer; other refusals at once.
    calls = 0;
    busyCalls = 1000;
    EXPECT_EQ(RemoveClosedFile(path, UnlinkOnceReleased), EBUSY);
    EXPECT_LT(calls, 1000);
    EXPECT_EQ(RemoveClosedFile(QFile::encodeName(folder.path()), ::unlink), EISDIR);
}
