#include "engines/output_part.h"
#include "support/text_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using testsupport::ReadText;
using testsupport::WriteText;

class OutputPart : public testing::Test {
protected:
    QTemporaryDir dir;
    QString final = dir.filePath(QStringLiteral("song.MP3"));
};

TEST_F(OutputPart, CommitReplacesAnEarlierOutputWholeAndDiscardRemovesOnlyThePart) {
    EXPECT_EQ(PartPathOf(final), final + QStringLiteral(".part"));
    EXPECT_TRUE(PartPathOf(QString()).isEmpty());
    EXPECT_TRUE(IsPartPath(QStringLiteral("/x/a.MP3.PART")));
    EXPECT_FALSE(IsPartPath(QStringLiteral("/x/a.MP3")));

    ASSERT_TRUE(WriteText(final, "earlier"));
    ASSERT_TRUE(WriteText(PartPathOf(final), "half"));
    DiscardPart(final);
    EXPECT_FALSE(QFile::exists(PartPathOf(final)));
    EXPECT_EQ(ReadText(final), QByteArray("earlier"));
    DiscardPart(final); // nothing left to remove: no harm
    DiscardPart(QString());

    // Without a temporary file the commit fails and touches nothing.
    long error = 0;
    EXPECT_FALSE(CommitPart(final, &error));
    EXPECT_NE(error, 0);
    EXPECT_EQ(ReadText(final), QByteArray("earlier"));
    EXPECT_FALSE(CommitPart(QString(), &error));

    ASSERT_TRUE(WriteText(PartPathOf(final), "new and whole"));
    ASSERT_TRUE(CommitPart(final, &error));
    EXPECT_EQ(ReadText(final), QByteArray("new and whole"));
    EXPECT_FALSE(QFile::exists(PartPathOf(final)));
}

} // namespace
