#include "queue_fixture.h"

#include "app/error_log.h"
#include "queue/queue_commands.h"
#include "queue/queue_journal.h"
#include "support/text_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace queuetest {
namespace {

class Journal : public QueueTest {
protected:
    QString JournalPath() const { return temp.filePath(QStringLiteral("queue.journal")); }

    void WriteJournal(const QByteArray& bytes) {
        ASSERT_TRUE(testsupport::WriteText(JournalPath(), bytes));
    }

    QByteArray ReadJournal() const { return testsupport::ReadText(JournalPath()); }

    QStringList FilesBeside() const {
        return QDir(temp.path()).entryList({QStringLiteral("queue.journal*")}, QDir::Files);
    }

    // A whole journal of two files, closed.
    QByteArray TwoFileJournal() {
        QueueModel queue;
        for (const char* name : {"a.wav", "b.wav"}) {
            AddNewFile(queue, MakeWav(QString::fromLatin1(name)), Context());
        }
        queue.Fill();
        { QueueJournal journal(queue, JournalPath()); }
        const QByteArray bytes = ReadJournal();
        QFile::remove(JournalPath());
        return bytes;
    }

    // Queues `count` entries named by their number, without files behind them.
    static void AddNumbered(QueueModel& queue, int count) {
        for (int i = 0; i < count; ++i) {
            auto entry = std::make_unique<QueueEntry>();
            SetEntryPath(*entry, QStringLiteral("/music/%1.wav").arg(i, 5, 10, QChar('0')));
            queue.AddRowAtEnd(queue.Append(std::move(entry)));
        }
    }

    QStringList RestoredNames(int expected) {
        QueueModel restored;
        QueueJournal journal(restored, JournalPath());
        EXPECT_EQ(journal.Restore(), expected);
        return RowNames(restored);
    }
};

TEST_F(Journal, QueueComesBackInRowOrderWithStatusFailuresAndTag) {
    AdmitFiles({"a.wav", "b.wav", "c.wav", "d.wav", "e.wav"});
    {
        QueueJournal journal(model, JournalPath());
        ASSERT_TRUE(journal.IsOpen());
        model.EntryAt(0)->status = Completed;
        model.EntryAt(1)->status = Encoding;
        model.EntryAt(1)->machine = QStringLiteral("Mypc");
        model.EntryAt(2)->status = Error;
        RecordFailure(*model.EntryAt(2), QStringLiteral("Mypc"));
        RecordFailure(*model.EntryAt(2), QStringLiteral("Other"));
        model.EntryAt(3)->status = Paused;
        model.EntryAt(3)->tag.title = "T\xe9tel";
        model.EntryAt(3)->tag.genre = "(17)";
        model.EntryAt(3)->tag.track = "3/12";
        for (int row = 0; row < 4; ++row) {
            model.UpdateRow(row);
        }
        model.Reorder({model.EntryAt(3), model.EntryAt(0), model.EntryAt(1), model.EntryAt(2),
                       model.EntryAt(4)});
        QCoreApplication::processEvents();
        // Moves and a removal after the sort reach the file too.
        model.MoveRow(4, 1);
        model.MoveRow(1, 2);
        RemoveEntry(model, view, 1, false, {});
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(FilesBeside(), QStringList{"queue.journal"}); // the log folded in at close

    QueueModel restored;
    QueueJournal journal(restored, JournalPath());
    ASSERT_EQ(journal.Restore(), 4);
    ASSERT_EQ(RowNames(restored), (QStringList{"d", "e", "b", "c"}));
    EXPECT_EQ(restored.EntryAt(0)->status, NotDone); // was paused
    EXPECT_EQ(restored.EntryAt(0)->tag, model.EntryAt(0)->tag);
    EXPECT_EQ(restored.EntryAt(2)->status, NotDone); // was encoding
    EXPECT_TRUE(restored.EntryAt(2)->machine.isEmpty());
    EXPECT_EQ(restored.EntryAt(3)->status, Error);
    EXPECT_TRUE(HasFailedOn(*restored.EntryAt(3), QStringLiteral("other")));
    EXPECT_EQ(restored.EntryAt(3)->failedCount, 2);
    const auto facts = [](const QueueEntry& e) {
        return QStringList{e.path.str(), e.directory.str(), QString::number(e.size),
                           e.durationText.str()};
    };
    EXPECT_EQ(facts(*restored.EntryAt(2)), facts(*model.EntryAt(2)));
    EXPECT_TRUE(ErrorLog().isEmpty());
}

TEST_F(Journal, AChangeWritesOnlyTheRowsItTouches) {
    QueueJournal journal(model, JournalPath());
    AddNumbered(model, 300);
    ASSERT_TRUE(journal.Save());
    const qint64 afterAdmission = journal.RowsWritten();
    EXPECT_EQ(afterAdmission, 300);
    model.EntryAt(150)->status = Completed;
    model.UpdateRow(150);
    // Progress figures are not kept: a refresh that changes only them writes nothing.
    model.EntryAt(151)->percent = 40;
    model.UpdateRow(151);
    model.MoveRow(10, 11);
    ASSERT_TRUE(journal.Save());
    EXPECT_EQ(journal.RowsWritten() - afterAdmission, 3);
    model.DeleteRow(0);
    ASSERT_TRUE(journal.Save());
    EXPECT_EQ(journal.RowsWritten() - afterAdmission, 4);
}

TEST_F(Journal, DamagedJournalIsSetAsideWithOneSentenceAndTheQueueStartsEmpty) {
    const QByteArray whole = TwoFileJournal();
    ASSERT_TRUE(whole.startsWith("SQLite format 3"));
    // The journal's bytes after `sql` ran on it.
    const auto edited = [this](const QByteArray& start, const char* sql) {
        WriteJournal(start);
        sqlite3* db = nullptr;
        sqlite3_open(JournalPath().toUtf8().constData(), &db);
        sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
        sqlite3_close(db);
        return ReadJournal();
    };
    const QByteArray outOfRange = edited(whole, "UPDATE entries SET status = 7 WHERE id = 1");
    const QByteArray foreign = edited(QByteArray(), "CREATE TABLE notes(text)");
    const std::vector<QByteArray> damaged = {
        whole.left(whole.size() / 2),                        // cut short
        whole.left(100),                                     // cut inside the header page
        QByteArray(8192, '\0'),                              // zeros after a crash
        QByteArray("not a database at all\n").repeated(200), // another file
        QByteArray("{\"journal\":\"queue\",\"version\":99,\"entries\":[]}"), // foreign JSON
        QByteArray("{\"journal\":\"queue\",\"version\":1,\"entries\":["),    // cut short
        QByteArray(R"({"journal":"queue","version":1,"entries":[{"path":"/a.wav","outputPath":"",)"
                   R"("durationText":"","size":-1}]})"), // a size out of range
        outOfRange,
        foreign,
    };
    for (std::size_t i = 0; i < damaged.size(); ++i) {
        QFile::remove(GetErrorLogPath());
        for (const QString& name : FilesBeside()) {
            QFile::remove(temp.filePath(name));
        }
        WriteJournal(damaged[i]);
        QueueModel restored;
        QueueJournal journal(restored, JournalPath());
        EXPECT_EQ(journal.Restore(), 0) << i;
        EXPECT_EQ(restored.RowCount(), 0);
        EXPECT_TRUE(journal.IsOpen()) << i; // a fresh journal in its place
        const QStringList aside = FilesBeside().filter(QStringLiteral(".damaged-"));
        ASSERT_EQ(aside.size(), 1) << i << FilesBeside().join(' ').toStdString();
        QFile kept(temp.filePath(aside[0]));
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), damaged[i]) << i; // as it was, for whoever looks
        EXPECT_EQ(ErrorLog().count(QStringLiteral("queue journal")), 1) << ErrorLog().toStdString();
    }
}

TEST_F(Journal, EarlierJsonJournalIsMovedInOnceAndKeptBeside) {
    const QString a = MakeWav(QStringLiteral("a.wav"));
    const QString b = MakeWav(QStringLiteral("b.wav"));
    const QString entry = QStringLiteral(
        R"({"path":"%1","outputPath":"","size":100,"status":%2,"failedOn":[%3],)"
        R"("durationSeconds":0,"hours":0,"minutes":0,"seconds":0,"durationText":"00:00",)"
        R"("tag":{"title":"T","artist":"","album":"","year":"","genre":"","comment":""}})");
    WriteJournal(QStringLiteral(R"({"journal":"queue","version":1,"entries":[%1,%2]})")
                     .arg(entry.arg(b, QStringLiteral("4"), QStringLiteral("\"Other\"")),
                          entry.arg(a, QStringLiteral("1"), QString()))
                     .toUtf8());
    EXPECT_EQ(RestoredNames(2), (QStringList{"b", "a"}));
    const QStringList files = FilesBeside();
    ASSERT_EQ(files.size(), 2) << files.join(' ').toStdString();
    EXPECT_TRUE(files[1].startsWith(QStringLiteral("queue.journal.json-")));
    EXPECT_EQ(RestoredNames(2), (QStringList{"b", "a"})); // now from the database
    EXPECT_TRUE(ErrorLog().isEmpty());
}

// A second program on the journal is refused clearly while the first keeps
// working; a restore skips queued paths and those refused.
TEST_F(Journal, SecondProgramIsRefusedAndRestoreSkipsQueuedPathsAndThoseRefused) {
    AdmitFiles({"a.wav", "b.wav", "c.wav"});
    {
        QueueJournal first(model, JournalPath());
        ASSERT_TRUE(first.IsOpen());
        QueueModel other;
        QueueJournal second(other, JournalPath());
        EXPECT_FALSE(second.IsOpen());
        EXPECT_EQ(second.Restore(), 0);
        EXPECT_TRUE(ErrorLog().contains(QStringLiteral("is in use by another program")));
        model.EntryAt(0)->status = Completed;
        model.UpdateRow(0);
        EXPECT_TRUE(first.Save());
    }
    QueueModel restored;
    restored.Append(std::make_unique<QueueEntry>(*model.EntryAt(0)));
    {
        QueueJournal journal(restored, JournalPath());
        EXPECT_EQ(journal.Restore([](QueueEntry& entry) { return entry.name.str() != "b"; }), 1);
        EXPECT_EQ(restored.Count(), 2);
    }
    // What was refused is gone from the journal too.
    EXPECT_EQ(RestoredNames(1), QStringList{"c"});
}

// A journal process killed in the middle of a transaction: the kernel stops it
// at the first log write past a size limit, so the kill lands inside the
// commit every time. The next start finds the state before that transaction.
TEST_F(Journal, KilledDuringATransactionComesBackAsBeforeIt) {
    constexpr int ROWS = 5000;
    const auto runKilled = [this](bool admitFirst) {
        const pid_t child = fork();
        if (child == 0) {
            QueueModel queue;
            QueueJournal journal(queue, JournalPath());
            if (journal.Restore() == 0) {
                AddNumbered(queue, ROWS);
            }
            if (!admitFirst) {
                journal.Save();
                SortByColumn(queue, 1); // the order they are in
                journal.Save();
                SortByColumn(queue, 1); // the other way round: every row moves
            }
            const rlimit noCore{0, 0};
            const rlimit logLimit{64 * 1024, 64 * 1024};
            setrlimit(RLIMIT_CORE, &noCore);
            setrlimit(RLIMIT_FSIZE, &logLimit);
            journal.Save();
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ;
    };
    // Killed while admitting: nothing of it.
    ASSERT_TRUE(runKilled(true));
    EXPECT_TRUE(RestoredNames(0).isEmpty());
    // Killed while sorting an admitted queue: every row, in the order before the sort.
    ASSERT_TRUE(runKilled(false));
    const QStringList names = RestoredNames(ROWS);
    ASSERT_EQ(names.size(), ROWS);
    EXPECT_EQ(names.front(), QStringLiteral("00000"));
    EXPECT_EQ(names.back(), QStringLiteral("04999"));
    EXPECT_TRUE(ErrorLog().isEmpty()) << ErrorLog().toStdString();
}

} // namespace
} // namespace queuetest
