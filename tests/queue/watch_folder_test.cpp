#include "queue_fixture.h"

#include "queue/open_for_writing.h"
#include "queue/queue_commands.h"
#include "queue/watch_folder.h"

#include <QDir>
#include <QFile>

namespace queuetest {
namespace {

class Watch : public QueueTest {
protected:
    int Scan(bool showRows = true) {
        return watch.CheckForNewFiles(sourceDir, showRows, Context());
    }
    WatchFolder watch{model};
};

TEST_F(Watch, NewWavFilesOfAnyCaseAreAdmittedOnce) {
    MakeWav(QStringLiteral("one.wav"));
    MakeWav(QStringLiteral("TWO.WAV"));
    MakeWav(QStringLiteral("two.wav"));
    MakeJunk(QStringLiteral("notes.txt"));
    int edits = 0;
    watch.afterRowsAdded = [&edits] { ++edits; };
    // Both upper-case names are seen; the second is a duplicate path to the queue.
    EXPECT_EQ(Scan(), 2);
    EXPECT_EQ(model.RowCount(), 2);
    EXPECT_EQ(edits, 1);
    EXPECT_EQ(model.SelectedRows(), std::vector<int>{0});
    EXPECT_TRUE(watch.HasSeen(QStringLiteral("TWO.WAV")));
    EXPECT_TRUE(watch.HasSeen(QStringLiteral("two.wav")));
    EXPECT_FALSE(watch.HasSeen(QStringLiteral("Two.wav")));

    // Nothing new: nothing admitted, no edit reported.
    EXPECT_EQ(Scan(), 0);
    EXPECT_EQ(edits, 1);

    // A removed file stays seen, even when a new file of that name appears.
    ClearAll(model, {});
    EXPECT_EQ(model.Count(), 0);
    MakeWav(QStringLiteral("one.wav"), 100);
    EXPECT_EQ(Scan(), 0);
    // A new folder (and back) forgets what was seen.
    watch.ResetSeenFiles(true);
    EXPECT_EQ(Scan(), 2);
}

TEST_F(Watch, StartupScanFillsOnlyTheArray) {
    MakeWav(QStringLiteral("a.wav"));
    EXPECT_EQ(Scan(false), 1);
    EXPECT_EQ(model.Count(), 1);
    EXPECT_EQ(model.RowCount(), 0);
}

TEST_F(Watch, InvalidFilesAreReportedOnceAndDuplicatesSilently) {
    const QString junk = MakeJunk(QStringLiteral("junk.wav"));
    const QString added = MakeWav(QStringLiteral("added.wav"));
    ASSERT_NE(Admit(added), nullptr);
    EXPECT_EQ(Scan(), 0);
    EXPECT_EQ(reported.size(), 1);
    EXPECT_TRUE(reported[0].contains(junk));
    EXPECT_TRUE(watch.HasSeen(QStringLiteral("added.wav")));
    EXPECT_EQ(Scan(), 0);
    EXPECT_EQ(reported.size(), 1);
    EXPECT_EQ(model.Count(), 1);
}

TEST_F(Watch, FileStillBeingWrittenWaitsForTheWriter) {
    const QString path = MakeWav(QStringLiteral("growing.wav"));
    {
        QFile writer(path);
        ASSERT_TRUE(writer.open(QIODevice::Append));
        EXPECT_TRUE(FilesOpenForWriting(sourceDir).contains(QFileInfo(path).canonicalFilePath()));
        EXPECT_EQ(Scan(), 0);
        EXPECT_FALSE(watch.HasSeen(QStringLiteral("growing.wav")));
    }
    EXPECT_EQ(watch.CheckForNewFiles(temp.filePath(QStringLiteral("gone")), true, Context()), 0);
    // Held open for reading only, it is fine.
    QFile reader(path);
    ASSERT_TRUE(reader.open(QIODevice::ReadOnly));
    EXPECT_EQ(Scan(), 1);
}

} // namespace
} // namespace queuetest
