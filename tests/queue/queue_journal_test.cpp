#include "queue_fixture.h"

#include "app/error_log.h"
#include "queue/queue_journal.h"
#include "queue/queue_journal_format.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace queuetest {
namespace {

class Journal : public QueueTest {
protected:
    QString JournalPath() const { return temp.filePath(QStringLiteral("queue.journal")); }

    QByteArray JournalText() const {
        QFile file(JournalPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void WriteJournal(const QByteArray& text) {
        QFile file(JournalPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

    QStringList FilesBeside() const {
        return QDir(temp.path()).entryList({QStringLiteral("queue.journal*")}, QDir::Files);
    }
};

TEST_F(Journal, QueueComesBackInRowOrderWithStatusFailuresAndTag) {
    for (const char* name : {"a.wav", "b.wav", "c.wav", "d.wav"}) {
        Admit(MakeWav(QString::fromLatin1(name)));
    }
    {
        QueueJournal journal(model, JournalPath());
        model.EntryAt(0)->status = Completed;
        model.EntryAt(1)->status = Encoding;
        model.EntryAt(1)->machine = QStringLiteral("Mypc");
        model.EntryAt(2)->status = Error;
        RecordFailure(*model.EntryAt(2), QStringLiteral("Mypc"));
        RecordFailure(*model.EntryAt(2), QStringLiteral("Other"));
        model.EntryAt(3)->status = Paused;
        model.EntryAt(3)->tag.title = "T\xe9tel";
        model.EntryAt(3)->tag.genre = "(17)";
        model.Reorder({model.EntryAt(3), model.EntryAt(0), model.EntryAt(1), model.EntryAt(2)});
        QCoreApplication::processEvents();
        EXPECT_FALSE(JournalText().isEmpty());
    }

    QueueModel restored;
    QueueJournal journal(restored, JournalPath());
    ASSERT_EQ(journal.Restore(), 4);
    ASSERT_EQ(restored.RowCount(), 4);
    EXPECT_EQ(restored.EntryAt(0)->name.str(), QStringLiteral("d"));
    EXPECT_EQ(restored.EntryAt(0)->status, NotDone); // was paused
    EXPECT_EQ(restored.EntryAt(0)->tag.title.str(), std::string("T\xe9tel"));
    EXPECT_EQ(restored.EntryAt(0)->tag.genre.str(), std::string("(17)"));
    EXPECT_EQ(restored.EntryAt(1)->status, Completed);
    EXPECT_EQ(restored.EntryAt(2)->status, NotDone); // was encoding
    EXPECT_TRUE(restored.EntryAt(2)->machine.isEmpty());
    EXPECT_EQ(restored.EntryAt(3)->status, Error);
    EXPECT_TRUE(HasFailedOn(*restored.EntryAt(3), QStringLiteral("other")));
    EXPECT_EQ(restored.EntryAt(3)->failedCount, 2);
    const QueueEntry& original = *model.EntryAt(1);
    EXPECT_EQ(restored.EntryAt(1)->path.str(), original.path.str());
    EXPECT_EQ(restored.EntryAt(1)->directory.str(), original.directory.str());
    EXPECT_EQ(restored.EntryAt(1)->size, original.size);
    EXPECT_EQ(restored.EntryAt(1)->durationText.str(), original.durationText.str());
    EXPECT_TRUE(ErrorLog().isEmpty());
}

TEST_F(Journal, EveryChangeReachesTheFileWithNothingLeftBeside) {
    QueueJournal journal(model, JournalPath());
    Admit(MakeWav(QStringLiteral("a.wav")));
    QCoreApplication::processEvents();
    ASSERT_TRUE(ParseQueueJournal(JournalText()).has_value());
    EXPECT_EQ(ParseQueueJournal(JournalText())->size(), 1u);
    model.EntryAt(0)->status = Completed;
    model.UpdateRow(0);
    // Saved on demand too (before a source is deleted).
    EXPECT_TRUE(journal.Save());
    EXPECT_EQ(ParseQueueJournal(JournalText())->at(0)->status, Completed);
    model.DeleteRow(0);
    QCoreApplication::processEvents();
    EXPECT_TRUE(ParseQueueJournal(JournalText())->empty());
    EXPECT_EQ(FilesBeside(), QStringList{"queue.journal"});
}

TEST_F(Journal, DamagedJournalIsSetAsideWithOneSentenceAndTheQueueStartsEmpty) {
    Admit(MakeWav(QStringLiteral("a.wav")));
    Admit(MakeWav(QStringLiteral("b.wav")));
    const QByteArray whole = SerializeQueue(model);
    const std::vector<QByteArray> damaged = {
        whole.left(whole.size() / 2),                                        // cut short
        QByteArray(64, '\0'),                                                // zeros after a crash
        QByteArray("{\"journal\":\"queue\",\"version\":99,\"entries\":[]}"), // foreign
        QByteArray(whole).replace("\"status\":0", "\"status\":7"),           // out of range
        QByteArray(whole).replace("\"size\":", "\"size\":-"),                // negative size
    };
    for (const QByteArray& text : damaged) {
        QFile::remove(GetErrorLogPath());
        for (const QString& name : FilesBeside()) {
            QFile::remove(temp.filePath(name));
        }
        WriteJournal(text);
        QueueModel restored;
        QueueJournal journal(restored, JournalPath());
        EXPECT_EQ(journal.Restore(), 0) << text.constData();
        EXPECT_EQ(restored.RowCount(), 0);
        const QStringList files = FilesBeside();
        ASSERT_EQ(files.size(), 1) << files.join(' ').toStdString();
        EXPECT_TRUE(files[0].startsWith("queue.journal.damaged-"));
        QFile aside(temp.filePath(files[0]));
        ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
        EXPECT_EQ(aside.readAll(), text); // kept as it was, for whoever looks
        EXPECT_EQ(ErrorLog().count(QStringLiteral("queue journal")), 1) << ErrorLog().toStdString();
    }
}

TEST_F(Journal, RestoreSkipsQueuedPathsAndThoseRefused) {
    Admit(MakeWav(QStringLiteral("a.wav")));
    Admit(MakeWav(QStringLiteral("b.wav")));
    WriteJournal(SerializeQueue(model));
    QueueModel restored;
    QueueJournal journal(restored, JournalPath());
    restored.Append(std::make_unique<QueueEntry>(*model.EntryAt(0)));
    EXPECT_EQ(journal.Restore([](QueueEntry& entry) { return entry.name.str() != "b"; }), 0);
    EXPECT_EQ(restored.Count(), 1);
}

} // namespace
} // namespace queuetest
