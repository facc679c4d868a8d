#include "net/done_check.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

TEST(DoneCheck, OnlyAWholeLookingOutputCounts) {
    QTemporaryDir dir;
    const QString output = dir.filePath("a.MP3");
    EXPECT_FALSE(OutputLooksComplete(output, 10)); // never written
    Write(output, QByteArray());
    EXPECT_FALSE(OutputLooksComplete(output, 0)); // empty
    Write(output, QByteArray(4999, 'm'));
    EXPECT_FALSE(OutputLooksComplete(output, 10)); // too short for ten seconds
    Write(output, QByteArray(5000, 'm'));
    EXPECT_TRUE(OutputLooksComplete(output, 10));
    EXPECT_FALSE(OutputLooksComplete(dir.path(), 0)); // a folder is no output
}
