#include "ui/dialogs/stats_dlg.h"

#include "controller/main_controller.h"
#include "queue/queue_entry.h"
#include "queue/wave_probe.h"
#include "support/app_sandbox.h"
#include "support/fake_encoder.h"
#include "support/recording_view.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <gtest/gtest.h>

namespace {

// The window's part: the open dialog backs the view's stats questions.
class StatsView : public testsupport::RecordingView {
public:
    bool IsStatsOpenFor(const QueueEntry* entry) const override {
        return stats != nullptr && stats->IsShowingEntry(entry);
    }
    void RefreshStats() override {
        if (stats != nullptr) {
            stats->Refresh();
        }
    }
    CStatsDlg* stats = nullptr;
};

class StatsDialog : public testsupport::AppSandbox {
protected:
    void SetUp() override {
        AppSandbox::SetUp();
        controller = std::make_unique<MainController>(
            *app, view, MainController::Ports{fake, fake, ReadWaveFacts, nullptr, &clock});
    }
    void TearDown() override {
        view.stats = nullptr;
        controller.reset();
        AppSandbox::TearDown();
    }
    QString Text(const CStatsDlg& dialog, int id) const { return dialog.Field(id)->text(); }
    // A row of the queue as another part of the program would add it.
    QueueEntry* AddEntry(const char* path, const char* machine, int status, int percent) {
        auto owned = std::make_unique<QueueEntry>();
        SetEntryPath(*owned, QString::fromLatin1(path));
        owned->machine = QString::fromLatin1(machine);
        owned->status = status;
        owned->percent = percent;
        QueueEntry* entry = controller->Model().Append(std::move(owned));
        controller->Model().AddRowAtEnd(entry);
        return entry;
    }

    StatsView view;
    testsupport::FakeEncoder fake;
    testsupport::ManualClock clock;
    std::unique_ptr<MainController> controller;
};

TEST_F(StatsDialog, FollowsTheLocalEncodeLiveAndReads100AtTheEnd) {
    MakeWav("song.wav", 44100 * 4);
    controller->Startup();
    controller->OnEncode();
    QueueEntry* entry = controller->Model().EntryAt(0);
    ASSERT_NE(entry, nullptr);
    ASSERT_TRUE(CStatsDlg::CanShow(*entry));

    CStatsDlg dialog(*controller, nullptr);
    dialog.ShowEntry(entry);
    dialog.show();
    view.stats = &dialog;
    EXPECT_EQ(Text(dialog, 1004), entry->path.str());

    clock.now += 2000;
    fake.Progress(40, entry->size * 2 / 5);
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog.findChild<QLabel*>("1033")->text(), "40% Complete:");
    EXPECT_EQ(dialog.ProgressBar()->value(), 40);
    EXPECT_FALSE(Text(dialog, 1036).isEmpty());
    EXPECT_EQ(Text(dialog, 1037), entry->remainingText.str());
    EXPECT_EQ(Text(dialog, 1012), entry->ratioText.str());
    EXPECT_TRUE(Text(dialog, 1034).startsWith(entry->durationText.str() + " ("));

    fake.Finish(true);
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog.findChild<QLabel*>("1033")->text(), "100% Complete:");
    EXPECT_EQ(dialog.ProgressBar()->value(), 100);
    // It does not close itself.
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(StatsDialog, FollowsOnlyItsOwnMachinesEntryWhileItLives) {
    QueueEntry* local = AddEntry("/music/here.wav", "Kitchen", Encoding, 10);
    QueueEntry* remote = AddEntry("/music/there.wav", "Attic", Encoding, 70);

    CStatsDlg dialog(*controller, nullptr);
    dialog.ShowEntry(local);
    dialog.show();
    EXPECT_EQ(dialog.Machine(), "Kitchen");
    EXPECT_TRUE(dialog.IsShowingEntry(local));
    EXPECT_FALSE(dialog.IsShowingEntry(remote));

    dialog.Update(remote);
    EXPECT_EQ(dialog.Entry(), local);
    EXPECT_EQ(dialog.ProgressBar()->value(), 10);
    EXPECT_EQ(dialog.Field(1004)->text(), "/music/here.wav");

    // The same file handed to another machine is no longer followed.
    local->machine = QStringLiteral("Attic");
    EXPECT_FALSE(dialog.IsShowingEntry(local));
    // Machine names compare without regard to case.
    local->machine = QStringLiteral("KITCHEN");
    local->percent = 55;
    EXPECT_TRUE(dialog.IsShowingEntry(local));
    dialog.Update(local);
    EXPECT_EQ(dialog.ProgressBar()->value(), 55);

    // A freed entry is let go of, its last figures kept; no entry empties the texts.
    controller->Model().Free(local);
    EXPECT_EQ(dialog.Entry(), nullptr);
    EXPECT_FALSE(dialog.IsShowingEntry(local));
    dialog.Refresh();
    EXPECT_EQ(dialog.Field(1004)->text(), "/music/here.wav");
    EXPECT_EQ(dialog.ProgressBar()->value(), 55);
    dialog.Update(nullptr);
    EXPECT_TRUE(dialog.Field(1004)->text().isEmpty());
    EXPECT_TRUE(dialog.findChild<QLabel*>("1033")->text().isEmpty());
}

TEST(StatsDialogOpening, OnlyEncodingOrPausedEntriesHaveFigures) {
    QueueEntry entry;
    for (int status : {NotDone, Completed, Error, Idle, Encoding, Paused}) {
        entry.status = status;
        EXPECT_EQ(CStatsDlg::CanShow(entry), status == Encoding || status == Paused) << status;
    }
}

} // namespace
