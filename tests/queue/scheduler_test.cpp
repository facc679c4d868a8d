#include "queue_fixture.h"

#include "app/encoder_settings.h"
#include "app/error_log.h"
#include "queue/batch_state.h"
#include "queue/encode_scheduler.h"
#include "queue/machine_port.h"
#include "queue/progress_display.h"
#include "queue/queue_commands.h"
#include "support/text_file.h"
#include "support/wav_builder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>

namespace queuetest {
namespace {

class Scheduler : public QueueTest {
protected:
    void SetUp() override {
        QueueTest::SetUp();
        batch.ownName = QStringLiteral("Mypc");
        progress = std::make_unique<ProgressDisplay>(model, view, batch, clock);
        scheduler = std::make_unique<EncodeScheduler>(EncodeScheduler::Parts{
            model, view, batch, *progress, *app, fake, fake, machines, clock, nullptr});
        scheduler->freeSpace = [this](const QString&) { return freeBytes; };
        scheduler->fileFinished = [this](const QueueEntry& entry, FileOutcome outcome) {
            outcomes.append(QStringLiteral("%1:%2").arg(entry.name.str()).arg(int(outcome)));
        };
        scheduler->batchEnded = [this] { ++batchesEnded; };
        fake.onDone = [this](bool ok, const QString& source) {
            scheduler->OnEncodeDone(ok, source);
        };
    }

    QueueEntry* Running() {
        for (int row = 0; row < model.RowCount(); ++row) {
            if (IsActiveStatus(model.EntryAt(row)->status)) {
                return model.EntryAt(row);
            }
        }
        return nullptr;
    }

    // Reset Status on `row` alone and Encode again.
    void ResetAndEncode(int row) {
        SelectOnly(row);
        ResetStatus(model, false, {});
        scheduler->OnEncode();
    }

    // The counter, remaining-time and current-file labels.
    QStringList Labels() const {
        return {view.Label(ID_COUNTER_LABEL), view.Label(ID_REMAINING_LABEL),
                view.Label(ID_CURRENT_FILE_LABEL)};
    }

    QStringList PartFiles() const {
        return QDir(outputDir).entryList({QStringLiteral("*.part")}, QDir::Files);
    }

    ManualClock clock;
    FakeEncoder fake;
    MachinePort machines;
    BatchState batch;
    std::unique_ptr<ProgressDisplay> progress;
    std::unique_ptr<EncodeScheduler> scheduler;
    std::uint64_t freeBytes = 0;
    QStringList outcomes;
    int batchesEnded = 0;
};

TEST_F(Scheduler, BatchRunsEveryFileInRowOrderShowsProgressAndEnds) {
    AdmitFiles({"one.wav", "two.wav", "three.wav"});
    model.Select(2);
    scheduler->OnEncode();
    ASSERT_EQ(fake.starts.size(), 1u);
    EXPECT_EQ(fake.starts[0].source, sourceDir + QStringLiteral("/one.wav"));
    // The engine writes beside the final name; the final name comes last.
    EXPECT_EQ(fake.starts[0].output, outputDir + QStringLiteral("/one.MP3.part"));
    EXPECT_EQ(fake.starts[0].priority, 1);
    QueueEntry* first = model.EntryAt(0);
    EXPECT_EQ(first->status, Encoding);
    EXPECT_EQ(first->machine.str(), QStringLiteral("Mypc"));
    EXPECT_EQ(first->outputPath.str(), outputDir + QStringLiteral("/one.MP3"));
    EXPECT_EQ(model.SelectedRows(), std::vector<int>{0});
    EXPECT_EQ(batch.shownEntry, first);
    EXPECT_TRUE(batch.IsBusy());
    EXPECT_EQ(
        (std::array{view.Enabled(ID_ENCODE), view.Enabled(ID_PAUSE), view.Enabled(ID_CANCEL)}),
        (std::array{false, true, true}));
    EXPECT_EQ(Labels(), QStringList({"Encoding File 1 of 3:", "00:00:00  (0%)", "one"}));
    EXPECT_EQ(view.Label(ID_RATIO_LABEL), QStringLiteral("1:1"));
    EXPECT_EQ(view.trayTips.front(), QStringLiteral("Encoding files"));

    // A second Encode while busy only disables the button.
    scheduler->OnEncode();
    EXPECT_EQ(fake.starts.size(), 1u);

    // Progress fills the entry, the labels, the tray and the minimised title.
    batch.workers[0].fileBytes = 40000000;
    fake.audioSeconds = 0;
    batch.workers[0].audioSeconds = 10.0;
    view.minimised = true;
    clock.now += 2500;
    progress->OnEncodeProgress(50, 20000000);
    EXPECT_EQ(first->percent, 50);
    EXPECT_EQ(
        (QStringList{first->remainingText.str(), first->ratioText.str(), first->elapsedText.str(),
                     first->totalText.str(), view.Label(ID_FILE_TIME_LABEL)}),
        (QStringList{"00:02", "0.50:1", "00:02", "00:04", "00:02 (0.50:1)"}));
    EXPECT_EQ(view.progress, 50);
    // More bytes reported than the queue holds still reads as at most 100%.
    EXPECT_EQ(view.title, QStringLiteral("Encoding: 100% Complete"));
    EXPECT_TRUE(view.trayTip.startsWith(QStringLiteral("Encoding files. Total Time Remaining: ")));
    EXPECT_EQ(view.trayTip.mid(38), batch.timeText);
    batch.totalBytes = 1000;
    batch.finishedBytes = 400;
    first->bytesDone = 20;
    first->rate = 1.0;
    progress->UpdateOverallProgress();
    EXPECT_EQ(view.title, QStringLiteral("Encoding: 42% Complete"));

    fake.Finish(true);
    EXPECT_EQ(first->status, Completed);
    EXPECT_TRUE(first->machine.isEmpty());
    ASSERT_EQ(fake.starts.size(), 2u);
    EXPECT_EQ(view.Label(ID_COUNTER_LABEL), QStringLiteral("Encoding File 2 of 3:"));
    // The ended file gives the title back.
    EXPECT_EQ(view.title, QStringLiteral("A Corvane MP3 Encoder"));
    EXPECT_EQ(view.progress, 0);
    fake.Finish(true);
    fake.Finish(true);
    EXPECT_EQ(fake.starts.size(), 3u);
    EXPECT_EQ(batchesEnded, 1);
    EXPECT_FALSE(batch.IsBusy());
    EXPECT_EQ(batch.localState, Idle);
    EXPECT_TRUE(view.Enabled(ID_ENCODE));
    EXPECT_EQ(Labels(), QStringList({"Encoding File:", "", ""}));
    EXPECT_EQ(view.title, QStringLiteral("A Corvane MP3 Encoder"));
    EXPECT_EQ(view.trayTip, QStringLiteral("Double-click on the icon to open the program"));
    EXPECT_EQ(outcomes, QStringList({"one:0", "two:0", "three:0"}));
    for (int row = 0; row < 3; ++row) {
        EXPECT_TRUE(QFile::exists(model.EntryAt(row)->path));
    }
}

TEST_F(Scheduler, FailedFileIsErrorAndNotRetriedHereUntilReset) {
    AdmitFiles({"bad.wav", "good.wav"});
    scheduler->OnEncode();
    fake.Finish(false);
    QueueEntry* bad = model.EntryAt(0);
    EXPECT_EQ(bad->status, Error);
    EXPECT_TRUE(bad->machine.isEmpty());
    EXPECT_EQ(bad->failedCount, 1);
    EXPECT_TRUE(HasFailedOn(*bad, QStringLiteral("MYPC")));
    EXPECT_FALSE(QFile::exists(outputDir + QStringLiteral("/bad.MP3")));
    EXPECT_TRUE(ErrorLog().contains(QStringLiteral("Error encoding %1").arg(bad->path.str())));
    EXPECT_TRUE(view.Enabled(ID_ERRORS));
    ASSERT_EQ(fake.starts.size(), 2u);
    fake.Finish(true);
    EXPECT_EQ(fake.starts.size(), 2u);
    EXPECT_FALSE(batch.IsBusy());

    // A new batch still skips it here; Reset Status makes it eligible.
    scheduler->OnEncode();
    EXPECT_EQ(fake.starts.size(), 2u);
    EXPECT_FALSE(batch.IsBusy());
    ResetAndEncode(0);
    ASSERT_EQ(fake.starts.size(), 3u);
    EXPECT_EQ(fake.starts[2].source, bad->path.str());
}

TEST_F(Scheduler, PausedTimeIsNotEncodingTimeAndAFileEndingAsPauseComesHoldsTheNext) {
    AdmitFiles({"a.wav", "b.wav"});
    scheduler->OnEncode();
    QueueEntry* entry = Running();
    SelectOnly(0);
    clock.now += 2000;
    scheduler->OnPause();
    EXPECT_EQ(entry->status, Paused);
    EXPECT_EQ(fake.pauses, 1);
    EXPECT_EQ(view.trayTip, QStringLiteral("Encoding Paused"));
    EXPECT_TRUE(view.pauseShowsResume);
    clock.now += 10000;
    scheduler->OnPause();
    EXPECT_EQ(entry->status, Encoding);
    EXPECT_EQ(fake.resumes, 1);
    EXPECT_FALSE(view.pauseShowsResume);
    clock.now += 2000;
    progress->OnEncodeProgress(50, 4000);
    EXPECT_DOUBLE_EQ(entry->rate, 1.0);
    EXPECT_EQ(entry->elapsedSeconds, 4u);
    EXPECT_DOUBLE_EQ(batch.localRate, 1.0);

    scheduler->OnPause();
    fake.Finish(true); // its completion was handled after the pause
    // The measured rate of this machine is kept (bytes per millisecond).
    EXPECT_DOUBLE_EQ(LoadThroughput(store, QStringLiteral("Mypc")), 1.0);
    QueueEntry* next = Running();
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->status, Paused);
    EXPECT_EQ(fake.pauses, 3);
    EXPECT_TRUE(view.pauseShowsResume);
    scheduler->OnPause(); // one click resumes
    EXPECT_EQ(next->status, Encoding);
    EXPECT_EQ(batch.localState, Encoding);
    EXPECT_EQ(fake.resumes, 2);
}

TEST_F(Scheduler, DiskSpaceQuestion) {
    AdmitFiles({"a.wav"});
    const std::uint64_t size = model.EntryAt(0)->size;
    EXPECT_EQ(EstimateNeededBytes(model, 0), size / 10);
    EXPECT_EQ(EstimateNeededBytes(model, 16000), size / 10);
    EXPECT_EQ(EstimateNeededBytes(model, 32000), size / 5);

    freeBytes = size / 20;
    view.answerOk = false;
    scheduler->OnEncode();
    EXPECT_EQ(view.questions.size(), 1);
    EXPECT_TRUE(view.questions[0].startsWith(QStringLiteral("There is not enough disk space")));
    EXPECT_FALSE(batch.IsBusy());
    EXPECT_TRUE(fake.starts.empty());

    // Unknown free space, a network output folder, or enough room: no question.
    freeBytes = 0;
    EXPECT_TRUE(scheduler->CheckDiskSpace());
    freeBytes = size / 20;
    app->settings.toDir = QStringLiteral("//server/share");
    EXPECT_TRUE(scheduler->CheckDiskSpace());
    app->settings.toDir = outputDir;
    freeBytes = size;
    EXPECT_TRUE(scheduler->CheckDiskSpace());
    EXPECT_GT(GetFreeDiskSpace(outputDir), 0u);

    // Auto-Encode's timer fires while the question is open: no second
    // question, and OK starts the batch once.
    freeBytes = 1;
    view.answerOk = true;
    int timerTicks = 0;
    view.whileAsking = [&] {
        if (timerTicks++ == 0) {
            scheduler->OnEncode();
        }
    };
    scheduler->OnEncode();
    EXPECT_EQ(view.questions.size(), 2);
    EXPECT_EQ(fake.starts.size(), 1u);
}

TEST_F(Scheduler, ClearAllDuringABatchKeepsTheRunningFile) {
    AdmitFiles({"a.wav", "b.wav", "c.wav"});
    scheduler->OnEncode();
    fake.Finish(true);
    model.EntryAt(2)->status = Error;
    ClearAll(model, [this] { scheduler->AfterQueueEdit(); });
    ASSERT_EQ(model.RowCount(), 1);
    EXPECT_EQ(model.Count(), 1);
    EXPECT_EQ(model.EntryAt(0)->name.str(), QStringLiteral("b"));
    EXPECT_EQ(model.SelectedRows(), std::vector<int>{0});
    EXPECT_EQ(view.Label(ID_COUNTER_LABEL), QStringLiteral("Encoding File 1 of 1:"));
    EXPECT_EQ(batch.totalBytes, model.EntryAt(0)->size);
    fake.Finish(true);
    EXPECT_FALSE(batch.IsBusy());
}

TEST_F(Scheduler, TwoSourcesOfOneNameNeverShareAnOutput) {
    const QString other = temp.filePath(QStringLiteral("other"));
    QDir().mkpath(other);
    AdmitFiles({"song.wav"});
    const QString second = other + QStringLiteral("/song.wav");
    ASSERT_TRUE(QFile::copy(model.EntryAt(0)->path, second));
    Admit(second);
    scheduler->OnEncode();
    fake.Finish(true);
    const QString output = outputDir + QStringLiteral("/song.MP3");
    EXPECT_EQ(model.EntryAt(1)->status, Error);
    EXPECT_EQ(fake.starts.size(), 1u);
    EXPECT_TRUE(ErrorLog().contains(second));
    EXPECT_TRUE(ErrorLog().contains(model.EntryAt(0)->path.str()));
    EXPECT_EQ(testsupport::ReadText(output), QByteArray("complete mp3 output"));

    // Encoding the same entry again still writes its own output.
    ResetAndEncode(0);
    EXPECT_EQ(fake.starts.size(), 2u);
}

// A partial output left by a crash is no existing output: the file is queued
// as not done and its encode replaces the leftover.
TEST_F(Scheduler, OutputTakesItsFinalNameOnlyWhenTaggedAndWhole) {
    app->settings.deleteWhenDone = 1;
    const QString output = outputDir + QStringLiteral("/song.MP3");
    ASSERT_TRUE(testsupport::WriteFile((output + ".part").toStdString(), {'h', 'a', 'l', 'f'}));
    AdmitFiles({"song.wav"});
    ASSERT_EQ(model.Count(), 1);
    EXPECT_EQ(model.EntryAt(0)->status, NotDone);
    const QString source = model.EntryAt(0)->path.str();
    QStringList seenAtTagTime;
    scheduler->writeTag = [&](QueueEntry& entry) {
        seenAtTagTime << entry.outputPath.str() << (QFile::exists(output) ? "final" : "no final")
                      << (QFile::exists(source) ? "source" : "no source");
    };
    int saves = 0;
    scheduler->queueSaved = [&] {
        ++saves;
        EXPECT_TRUE(QFile::exists(output));
        EXPECT_TRUE(QFile::exists(source)); // the source goes only after the save
    };
    scheduler->OnEncode();
    fake.WritePartialOutput();
    EXPECT_FALSE(QFile::exists(output));
    fake.Finish(true);
    EXPECT_EQ(seenAtTagTime, (QStringList{output + ".part", "no final", "source"}));
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(testsupport::ReadText(output), QByteArray("complete mp3 output"));
    EXPECT_FALSE(QFile::exists(output + ".part"));
    EXPECT_FALSE(QFile::exists(source));
    EXPECT_EQ(model.EntryAt(0)->status, Completed);
    EXPECT_EQ(model.EntryAt(0)->outputPath.str(), output);
}

// A failed encode keeps an earlier whole output; an output that cannot take
// its final name (a folder in the way) is an error. Either way the source stays.
TEST_F(Scheduler, FailureOrAnOutputThatCannotTakeItsNameKeepsTheSource) {
    app->settings.deleteWhenDone = 1;
    AdmitFiles({"song.wav", "tune.wav"});
    const QString song = outputDir + QStringLiteral("/song.MP3");
    ASSERT_TRUE(testsupport::WriteFile(song.toStdString(), {'o', 'l', 'd'}));
    ASSERT_TRUE(QDir().mkpath(outputDir + QStringLiteral("/tune.MP3/inside")));
    scheduler->OnEncode();
    fake.Finish(false);
    fake.Finish(true);
    EXPECT_EQ(outcomes, QStringList({"song:1", "tune:1"}));
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(model.EntryAt(row)->status, Error) << row;
        EXPECT_TRUE(QFile::exists(model.EntryAt(row)->path)) << row;
    }
    EXPECT_EQ(testsupport::ReadFile(song.toStdString()), (testsupport::Bytes{'o', 'l', 'd'}));
    EXPECT_TRUE(PartFiles().isEmpty());
    EXPECT_TRUE(ErrorLog().contains(QStringLiteral("Couldn't rename the finished file")));
}

// Three local workers: the first fake of the fixture and two more.
class SchedulerWorkers : public Scheduler {
protected:
    void SetUp() override {
        Scheduler::SetUp();
        for (FakeEncoder& worker : extra) {
            scheduler->AddWorker(worker, nullptr);
        }
        for (int i = 0; i < 3; ++i) {
            Worker(i).onDone = [this, i](bool ok, const QString& source) {
                scheduler->OnEncodeDone(ok, source, i);
                mostAtOnce = std::max(mostAtOnce, ActiveCount());
            };
        }
    }

    FakeEncoder& Worker(int i) { return i == 0 ? fake : extra[std::size_t(i - 1)]; }

    int ActiveCount() const {
        int active = 0;
        for (int row = 0; row < model.RowCount(); ++row) {
            active += IsActiveStatus(model.EntryAt(row)->status) ? 1 : 0;
        }
        return active;
    }

    QStringList Started() {
        QStringList sources;
        for (int i = 0; i < 3; ++i) {
            for (const FakeEncoder::Start& start : Worker(i).starts) {
                sources.append(QFileInfo(start.source).fileName());
            }
        }
        sources.sort();
        return sources;
    }

    QueueEntry* EntryNamed(const char* name) {
        return model.EntryAt(int(RowNames(model).indexOf(QLatin1String(name))));
    }

    std::array<FakeEncoder, 2> extra;
    int mostAtOnce = 0;
};

TEST_F(SchedulerWorkers, FilesAddedDuringTheBatchGoToIdleWorkersAtOnceButNotWhilePaused) {
    AdmitFiles({"a.wav"});
    scheduler->OnEncode();
    EXPECT_EQ(ActiveCount(), 1);
    AdmitFiles({"b.wav", "c.wav", "d.wav"});
    scheduler->AfterQueueEdit();
    EXPECT_EQ(ActiveCount(), 3);
    EXPECT_EQ(Started(), QStringList({"a.wav", "b.wav", "c.wav"}));

    Worker(1).Finish(true); // d takes the freed worker
    EXPECT_EQ(Started().size(), 4);
    SelectOnly(0);
    scheduler->OnPause();
    Worker(2).Finish(true); // ended just as the pause came
    AdmitFiles({"e.wav"});
    scheduler->AfterQueueEdit();
    EXPECT_EQ(Started().size(), 4) << "nothing new starts while paused";
    EXPECT_EQ(batchesEnded, 0);
}

TEST_F(SchedulerWorkers, PauseHoldsEveryWorkerAndCancelStopsThemAllWithoutPartialFiles) {
    AdmitFiles({"a.wav", "b.wav", "c.wav", "d.wav", "e.wav"});
    scheduler->OnEncode();
    for (int i = 0; i < 3; ++i) {
        Worker(i).WritePartialOutput();
    }
    SelectOnly(1);
    scheduler->OnPause();
    EXPECT_EQ(batch.localState, Paused);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Worker(i).pauses, 1) << i;
        EXPECT_EQ(EntryNamed(std::array{"a", "b", "c"}[i])->status, Paused) << i;
    }
    EXPECT_TRUE(view.pauseShowsResume);

    // Cancel lets the held workers go on so that they see it.
    scheduler->OnCancel();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Worker(i).resumes, 1) << i;
        EXPECT_TRUE(Worker(i).cancelled) << i;
    }
    for (int i = 0; i < 3; ++i) {
        Worker(i).Finish(false);
        EXPECT_EQ(batchesEnded, i == 2 ? 1 : 0) << i;
    }
    EXPECT_EQ(Started().size(), 3) << "no file starts after Cancel";
    EXPECT_FALSE(batch.IsBusy());
    for (int row = 0; row < model.RowCount(); ++row) {
        EXPECT_EQ(model.EntryAt(row)->status, NotDone) << row;
        EXPECT_TRUE(model.EntryAt(row)->machine.isEmpty()) << row;
        EXPECT_EQ(model.EntryAt(row)->percent, -1) << row;
    }
    EXPECT_TRUE(ErrorLog().isEmpty());
    EXPECT_TRUE(PartFiles().isEmpty());
    EXPECT_TRUE(QDir(outputDir).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(outcomes, QStringList({"a:2", "b:2", "c:2"}));
}

TEST_F(SchedulerWorkers, EachReportMovesItsOwnRowAndTheBatchBarCountsAllToOneHundredOnce) {
    AdmitFiles({"a.wav", "b.wav", "c.wav", "d.wav"});
    for (int i = 0; i < 3; ++i) {
        Worker(i).audioSeconds = 0.1;
    }
    scheduler->OnEncode();
    EXPECT_EQ(view.Label(ID_COUNTER_LABEL), QStringLiteral("Encoding File 3 of 4:"));
    const std::uint32_t size = EntryNamed("a")->size;
    auto batchPercent = [this] {
        const QString label = view.Label(ID_REMAINING_LABEL);
        const qsizetype open = label.lastIndexOf(u'(');
        return label.mid(open + 1, label.size() - open - 3).toInt();
    };

    const int untouched = EntryNamed("a")->percent;
    clock.now += 100;
    progress->OnEncodeProgress(50, size / 2, 1);
    EXPECT_EQ(
        (std::array{EntryNamed("a")->percent, EntryNamed("b")->percent, EntryNamed("c")->percent}),
        (std::array{untouched, 50, untouched}));
    EXPECT_EQ(batchPercent(), 12); // half of one file of four

    std::vector<int> seen{batchPercent()};
    auto report = [&](int worker, int percent) {
        clock.now += 100;
        progress->OnEncodeProgress(percent, std::uint32_t(std::uint64_t(size) * percent / 100),
                                   worker);
        seen.push_back(batchPercent());
    };
    report(0, 100);
    Worker(0).Finish(true); // d starts on the first worker
    report(2, 100);
    Worker(2).Finish(true);
    report(1, 100);
    Worker(1).Finish(true);
    report(0, 50);
    EXPECT_EQ(EntryNamed("d")->percent, 50);
    // The worker's clock restarted with d: 300 ms since it began, not 500.
    EXPECT_DOUBLE_EQ(EntryNamed("d")->rate, double(size / 2) / 300.0);
    report(0, 100);
    Worker(0).Finish(true);

    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 100), 1);
    EXPECT_EQ(seen.back(), 100);
    EXPECT_EQ(batchesEnded, 1);
    EXPECT_EQ(mostAtOnce, 3);
    EXPECT_EQ(Started(), QStringList({"a.wav", "b.wav", "c.wav", "d.wav"}));
    EXPECT_TRUE(PartFiles().isEmpty());
}

} // namespace
} // namespace queuetest
