#include "net/done_check.h"
#include "net_test_support.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(DoneCheck, OnlyAWholeLookingOutputCounts) {
    QTemporaryDir dir;
    const QString output = dir.filePath("a.MP3");
    EXPECT_FALSE(OutputLooksComplete(output, 10)); // never written
    ASSERT_TRUE(nettest::WriteText(output, QByteArray()));
    EXPECT_FALSE(OutputLooksComplete(output, 0)); // empty
    ASSERT_TRUE(nettest::WriteText(output, QByteArray(4999, 'm')));
    EXPECT_FALSE(OutputLooksComplete(output, 10)); // too short for ten seconds
    ASSERT_TRUE(nettest::WriteText(output, QByteArray(5000, 'm')));
    EXPECT_TRUE(OutputLooksComplete(output, 10));
    EXPECT_FALSE(OutputLooksComplete(dir.path(), 0)); // a folder is no output
}
