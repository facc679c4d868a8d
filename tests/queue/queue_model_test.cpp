#include "queue_fixture.h"

#include "queue/queue_commands.h"
#include "queue/row_tree.h"

#include <QFile>
#include <algorithm>
#include <map>
#include <random>

namespace queuetest {
namespace {

using Queue = QueueTest;

TEST_F(Queue, AdmissionFillsTheEntryAndRefusesDuplicatesAndInvalidFiles) {
    const QString path = MakeWav(QStringLiteral("Artist - Song.live.wav"), 44100);
    QueueEntry* entry = Admit(path);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ((QStringList{entry->path.str(), entry->name.str(), entry->directory.str()}),
              (QStringList{path, "Artist - Song.live", sourceDir}));
    EXPECT_EQ(entry->status, NotDone);
    EXPECT_EQ(entry->percent, -1);
    EXPECT_EQ(entry->size, QFile(path).size());
    EXPECT_EQ(entry->durationSeconds, 1u);

    // The same path in other letter case is a duplicate, silently.
    EXPECT_EQ(Admit(path.toUpper()), nullptr);
    EXPECT_TRUE(reported.isEmpty());

    const QString junk = MakeJunk(QStringLiteral("junk.wav"));
    EXPECT_EQ(Admit(junk), nullptr);
    ASSERT_EQ(reported.size(), 1);
    EXPECT_EQ(
        reported[0],
        QStringLiteral("File %1 was rejected because it is not a valid wave file.").arg(junk));
    EXPECT_TRUE(ErrorLog().contains(reported[0]));

    EXPECT_EQ(Admit(QString()), nullptr);
    // A path longer than its field would name another file once cut.
    EXPECT_EQ(Admit(sourceDir + u'/' + QString(300, u'x') + QStringLiteral(".wav")), nullptr);
    EXPECT_EQ(model.Count(), 1);

    // Dots in the folder are no extension.
    QueueEntry bare;
    SetEntryPath(bare, QStringLiteral("/x/y.z/noext"));
    EXPECT_EQ((QStringList{bare.name.str(), bare.directory.str()}),
              QStringList({"noext", "/x/y.z"}));
    SetEntryPath(bare, QStringLiteral("plain.wav"));
    EXPECT_EQ((QStringList{bare.name.str(), bare.directory.str()}), QStringList({"plain", ""}));
}

TEST_F(Queue, RemoveRefusesActiveRowsOnceAndMovesTheSelection) {
    AdmitFiles({"a.wav", "b.wav", "c.wav", "d.wav"});
    int edits = 0;
    const AfterQueueEdit count = [&edits] { ++edits; };

    // Only the encoding row selected: the message, nothing removed.
    model.EntryAt(2)->status = Encoding;
    model.Select(2);
    RemoveSelected(model, view, count);
    const QString refusal = QStringLiteral("You can't remove the file while it is encoding.");
    EXPECT_EQ(view.informations, QStringList{refusal});
    EXPECT_EQ(model.RowCount(), 4);

    // Rows 1 and 2 with row 2 encoding: row 1 goes, then the message once.
    SelectOnly(1);
    model.Select(2);
    RemoveSelected(model, view, count);
    EXPECT_EQ(view.informations, QStringList({refusal, refusal}));
    ASSERT_EQ(model.RowCount(), 3);
    EXPECT_EQ(model.EntryAt(1)->name.str(), QStringLiteral("c"));
    EXPECT_EQ(model.Count(), 3);

    // Removing the last selected row selects the row that took its place.
    SelectOnly(0);
    RemoveSelected(model, view, count);
    EXPECT_EQ(model.RowCount(), 2);
    EXPECT_EQ(model.SelectedRows(), std::vector<int>{0});
    EXPECT_EQ(model.FocusRow(), 0);
    EXPECT_EQ(edits, 1);

    // Removing the last row selects the new last row.
    model.EntryAt(0)->status = NotDone;
    SelectOnly(1);
    RemoveSelected(model, view, count);
    EXPECT_EQ(model.SelectedRows(), std::vector<int>{0});
}

// The machines a file failed on are bounded and compare without case; Reset
// Status clears them.
TEST_F(Queue, ResetStatusLeavesActiveEntriesAloneAndFailuresAreBounded) {
    AdmitFiles({"a.wav", "b.wav", "c.wav"});
    model.EntryAt(0)->status = Completed;
    QueueEntry& failed = *model.EntryAt(1);
    failed.status = Error;
    for (int i = 0; i < 70; ++i) {
        RecordFailure(failed, QStringLiteral("Machine%1").arg(i));
    }
    EXPECT_EQ(failed.failedCount, 64);
    EXPECT_TRUE(HasFailedOn(failed, QStringLiteral("MACHINE63")));
    EXPECT_FALSE(HasFailedOn(failed, QStringLiteral("Machine64")));
    EXPECT_FALSE(HasFailedOn(failed, QString()));
    model.EntryAt(2)->status = Encoding;
    model.Select(0);
    ResetStatus(model, false, {});
    EXPECT_EQ(model.EntryAt(0)->status, NotDone);
    EXPECT_EQ(model.EntryAt(1)->status, Error);
    ResetStatus(model, true, {});
    EXPECT_EQ(model.EntryAt(1)->status, NotDone);
    EXPECT_EQ(model.EntryAt(1)->failedCount, 0);
    EXPECT_EQ(model.EntryAt(2)->status, Encoding);
}

TEST_F(Queue, UpAndDownMoveRowsButNotTheArray) {
    AdmitFiles({"a.wav", "b.wav", "c.wav"});
    model.Select(2);
    view.firstVisible = 1;
    EXPECT_TRUE(MoveUp(model, view, view.firstVisible));
    EXPECT_TRUE(view.scrolledTo.isEmpty());
    EXPECT_TRUE(MoveUp(model, view, view.firstVisible));
    EXPECT_EQ(view.scrolledTo, QList<int>{0});
    EXPECT_FALSE(MoveUp(model, view, view.firstVisible));
    EXPECT_EQ(model.EntryAt(0)->name.str(), QStringLiteral("c"));
    EXPECT_EQ(model.SelectedRows(), std::vector<int>{0});
    EXPECT_EQ(model.ArrayEntries()[0]->name.str(), QStringLiteral("a"));

    EXPECT_TRUE(MoveDown(model, view, 0));
    EXPECT_EQ(view.scrolledTo.back(), 1);
    EXPECT_TRUE(MoveDown(model, view, 5));
    EXPECT_FALSE(MoveDown(model, view, 5));
    EXPECT_EQ(model.EntryAt(2)->name.str(), QStringLiteral("c"));
    model.ClearSelection();
    EXPECT_FALSE(MoveUp(model, view, 0));
}

TEST_F(Queue, HeaderClicksSortAndFlipDirection) {
    Admit(MakeWav(QStringLiteral("b.wav"), 300));
    Admit(MakeWav(QStringLiteral("A.wav"), 100));
    Admit(MakeWav(QStringLiteral("c.wav"), 200));
    auto names = [this] { return RowNames(model).join(u','); };
    model.Select(1); // "A" stays selected wherever it goes
    SortByColumn(model, 3);
    EXPECT_EQ(names(), QStringLiteral("A,c,b"));
    SortByColumn(model, 3);
    EXPECT_EQ(model.sortKey, -3);
    EXPECT_EQ(names(), QStringLiteral("b,c,A"));
    EXPECT_EQ(model.SelectedRows(), std::vector<int>{2});
    SortByColumn(model, 1);
    EXPECT_EQ(names(), QStringLiteral("A,b,c"));

    // Equal status falls back to the name; the machine ignores case.
    model.EntryAt(0)->status = Error;
    SortByColumn(model, 4);
    EXPECT_EQ(names(), QStringLiteral("b,c,A"));
    model.EntryAt(0)->machine = QStringLiteral("zed");
    model.EntryAt(1)->machine = QStringLiteral("Alpha");
    SortByColumn(model, 5);
    EXPECT_EQ(names(), QStringLiteral("A,c,b"));
}

TEST_F(Queue, FindEntryByPathSetsStatusAndMachine) {
    const QString path = MakeWav(QStringLiteral("a.wav"));
    QueueEntry* entry = Admit(path);
    entry->percent = 40;
    entry->machine = QStringLiteral("Mypc");
    EXPECT_EQ(model.FindEntryByPath(path.toUpper(), Completed), 0);
    EXPECT_EQ(entry->machine.str(), QStringLiteral("Mypc"));
    const QString none;
    EXPECT_EQ(model.FindEntryByPath(path, NotDone, &none), 0);
    EXPECT_TRUE(entry->machine.isEmpty());
    EXPECT_EQ(entry->percent, -1);
    EXPECT_EQ(model.FindEntryByPath(QStringLiteral("/nowhere.wav"), Error), -1);

    // A status out of range reads as Not Done when the row is refreshed.
    entry->status = 7;
    model.UpdateRow(0);
    EXPECT_EQ(entry->status, NotDone);
}

// The row tree against a plain vector, over random inserts, removals, moves,
// flags and reorders.
TEST(RowTree, AgreesWithAPlainListThroughRandomEdits) {
    std::mt19937 random(29);
    std::vector<QueueEntry> pool(400);
    std::vector<QueueEntry*> free;
    for (QueueEntry& entry : pool) {
        free.push_back(&entry);
    }
    RowTree tree;
    std::vector<QueueEntry*> rows;
    std::map<const QueueEntry*, bool> flagged;
    const auto pick = [&random](int size) { return int(random() % unsigned(size)); };
    for (int step = 0; step < 4000; ++step) {
        const int action = pick(10);
        if ((action < 4 || rows.empty()) && !free.empty()) {
            const int row = pick(int(rows.size()) + 1);
            rows.insert(rows.begin() + row, free.back());
            tree.Insert(row, free.back());
            free.pop_back();
        } else if (action < 6 && !rows.empty()) {
            const int row = pick(int(rows.size()));
            free.push_back(rows[std::size_t(row)]);
            flagged.erase(rows[std::size_t(row)]);
            rows.erase(rows.begin() + row);
            tree.Erase(row);
        } else if (action < 8 && !rows.empty()) {
            const int row = pick(int(rows.size()));
            const bool on = pick(2) == 0;
            flagged[rows[std::size_t(row)]] = on;
            tree.SetFlag(row, RowFlag::Waiting, on);
        } else if (action == 8 && !rows.empty()) {
            std::shuffle(rows.begin(), rows.end(), random);
            tree.Rebuild(rows);
        } else if (!rows.empty()) {
            const int row = pick(int(rows.size()));
            QueueEntry* moved = rows[std::size_t(row)];
            const int to = pick(int(rows.size()));
            rows.erase(rows.begin() + row);
            rows.insert(rows.begin() + to, moved);
            tree.Erase(row);
            tree.Insert(to, moved);
            tree.SetFlag(to, RowFlag::Waiting, flagged[moved]);
        }
        ASSERT_EQ(tree.Size(), int(rows.size()));
        std::vector<int> expected;
        for (int row = 0; row < int(rows.size()); ++row) {
            if (flagged[rows[std::size_t(row)]]) {
                expected.push_back(row);
            }
        }
        ASSERT_EQ(tree.RowsWith(RowFlag::Waiting), expected) << "step " << step;
        ASSERT_EQ(tree.LastWith(RowFlag::Waiting), expected.empty() ? -1 : expected.back());
        if (!rows.empty()) {
            const int row = pick(int(rows.size()));
            ASSERT_EQ(tree.At(row), rows[std::size_t(row)]);
            ASSERT_EQ(tree.RowOf(rows[std::size_t(row)]), row);
            const auto next = std::lower_bound(expected.begin(), expected.end(), row);
            ASSERT_EQ(tree.NextWith(RowFlag::Waiting, row), next == expected.end() ? -1 : *next);
        }
    }
    EXPECT_EQ(tree.Entries(), rows);
}

} // namespace
} // namespace queuetest
