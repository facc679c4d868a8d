#include "queue_fixture.h"

#include "queue/open_for_writing.h"
#include "queue/queue_commands.h"
#include "queue/watch_folder.h"

#include "support/wav_builder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <functional>
#include <unistd.h>

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
    const QString junk = MakeJunk(QStringLiteral("junk.wav"));
    int edits = 0;
    watch.afterRowsAdded = [&edits] { ++edits; };
    // Both upper-case names are seen; the second is a duplicate path to the
    // queue, said nothing of. An invalid file is said once.
    EXPECT_EQ(Scan(), 2);
    ASSERT_EQ(reported.size(), 1);
    EXPECT_TRUE(reported[0].contains(junk));
    EXPECT_EQ(model.RowCount(), 2);
    EXPECT_EQ(edits, 1);
    EXPECT_EQ(model.SelectedRows(), std::vector<int>{0});
    EXPECT_TRUE(watch.HasSeen(QStringLiteral("TWO.WAV")));
    EXPECT_TRUE(watch.HasSeen(QStringLiteral("two.wav")));
    EXPECT_FALSE(watch.HasSeen(QStringLiteral("Two.wav")));

    // Nothing new: nothing admitted, no edit reported.
    EXPECT_EQ(Scan(), 0);
    EXPECT_EQ(edits, 1);
    EXPECT_EQ(reported.size(), 1);

    // A removed file stays seen, even when a new file of that name appears.
    ClearAll(model, {});
    EXPECT_EQ(model.Count(), 0);
    MakeWav(QStringLiteral("one.wav"), 100);
    EXPECT_EQ(Scan(), 0);
    // A new folder (and back) forgets what was seen.
    watch.ResetSeenFiles(true);
    EXPECT_EQ(Scan(), 2);
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
    // Held open for reading only, it is fine; a startup scan fills only the array.
    QFile reader(path);
    ASSERT_TRUE(reader.open(QIODevice::ReadOnly));
    EXPECT_EQ(Scan(false), 1);
    EXPECT_EQ(model.Count(), 1);
    EXPECT_EQ(model.RowCount(), 0);
}

// Effective user id for a scope: the scan then sees /proc as that user does.
class AsUser {
public:
    explicit AsUser(uid_t uid) { ok = seteuid(uid) == 0; }
    ~AsUser() {
        if (ok && seteuid(0) != 0) {
            ADD_FAILURE() << "could not become root again";
        }
    }
    bool ok = false;
};

// Half a WAV whose header already gives its full length; the rest comes when
// `finish` runs. It is neither reported nor marked seen while half written,
// nor while its size still moves, and is admitted once whole and stable.
class HalfWritten : public Watch {
protected:
    void SetUp() override {
        Watch::SetUp();
        whole = testsupport::MakePcmWav(testsupport::PcmFormat{}, 44100);
        path = sourceDir + QStringLiteral("/copied.wav");
        half = testsupport::Bytes(whole.begin(), whole.begin() + long(whole.size() / 2));
    }
    void Check(const std::function<void()>& finish, uid_t scanner = 0) {
        {
            AsUser as(scanner);
            EXPECT_EQ(Scan(), 0);
            EXPECT_EQ(Scan(), 0);
        }
        EXPECT_FALSE(watch.HasSeen(QStringLiteral("copied.wav")));
        EXPECT_TRUE(reported.isEmpty()) << reported.join(' ').toStdString();
        finish();
        AsUser as(scanner);
        EXPECT_EQ(Scan(), 0) << "its size changed since the last scan";
        EXPECT_EQ(Scan(), 1);
        EXPECT_TRUE(reported.isEmpty()) << reported.join(' ').toStdString();
    }
    testsupport::Bytes whole;
    testsupport::Bytes half;
    QString path;
};

TEST_F(HalfWritten, WriterThatClosesBetweenWrites) {
    ASSERT_TRUE(testsupport::WriteFile(path.toStdString(), half));
    Check([this] { ASSERT_TRUE(testsupport::WriteFile(path.toStdString(), whole)); });
}

// The writer runs as another user, so this program cannot see its open file
// in /proc: only the file itself tells that it is unfinished.
TEST_F(HalfWritten, WriterUnderAnotherUserIdHoldingItOpen) {
    if (geteuid() != 0 || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty()) {
        GTEST_SKIP() << "needs root and setpriv to run the writer and the scan as two other "
                        "users (CI runs it)";
    }
    const QString rest = temp.filePath(QStringLiteral("rest.bin"));
    ASSERT_TRUE(testsupport::WriteFile(
        rest.toStdString(), testsupport::Bytes(whole.begin() + long(half.size()), whole.end())));
    const QString first = temp.filePath(QStringLiteral("first.bin"));
    ASSERT_TRUE(testsupport::WriteFile(first.toStdString(), half));
    for (const QString& folder : {temp.path(), sourceDir}) {
        QFile::setPermissions(folder, QFileDevice::Permissions(0x7777));
    }
    QProcess writer;
    writer.start(QStringLiteral("setpriv"),
                 {"--reuid=65533", "--regid=65533", "--clear-groups", "sh", "-c",
                  "exec 3>\"$0\"; cat \"$1\" >&3; echo half; read go; cat \"$2\" >&3", path, first,
                  rest});
    ASSERT_TRUE(writer.waitForReadyRead(30000)) << "the writer did not start";
    Check(
        [&writer] {
            writer.write("go\n");
            ASSERT_TRUE(writer.waitForFinished(30000));
            ASSERT_EQ(writer.exitCode(), 0);
        },
        65534);
}

} // namespace
} // namespace queuetest
