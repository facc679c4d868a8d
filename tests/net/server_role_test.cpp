#include "server_fixture.h"

#include "app/strings.h"
#include "net/net_records.h"
#include "net/protocol.h"
#include "net/unc_tables.h"
#include "queue/main_view.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// The suite is named after the role it tests.
class ServerRole : public nettest::ServerTest {
protected:
    void AddWavs(std::initializer_list<const char*> names) {
        for (const char* name : names) {
            ASSERT_NE(AddWav(QString::fromLatin1(name)), nullptr);
        }
    }
    QString Path(const char* name) const { return sourceDir + u'/' + QString::fromLatin1(name); }
    QString Out(const char* name) const { return outputDir + u'/' + QString::fromLatin1(name); }
    QueueEntry* Row(int row) const { return model.EntryAt(row); }
};

// The machines take a file each in turn, this one included; its other
// workers take what the machines leave, and a freed one takes the next while
// a client still holds its file. A machine whose file is cancelled comes back
// last.
TEST_F(ServerRole, FastestMachinesTakeFilesInTurnThisOnesWorkersIncluded) {
    testsupport::FakeEncoder second;
    scheduler->AddWorker(second, &receiver);
    second.onDone = [this](bool ok, const QString& source) {
        scheduler->OnEncodeDone(ok, source, 1);
    };
    AddWavs({"one.wav", "two.wav", "three.wav", "four.wav", "five.wav"});
    // Logged in slowest first, so the order comes from the rates, not the slots.
    nettest::FakeClient& slow = Rated("SLOW", "127.0.0.3", 3.0);
    nettest::FakeClient& fast = Rated("FAST", "127.0.0.2", 5.0);
    EXPECT_EQ(view.Label(ID_MACHINES_LABEL), QStringLiteral("2 Machines Logged In"));
    EXPECT_DOUBLE_EQ(server->Machines().At(SlotOf("Fast")).rate, 5.0);

    scheduler->OnEncode();
    EXPECT_EQ(std::tuple(Row(0)->machine.str(), Row(0)->status, Row(0)->outputPath.str(),
                         Row(2)->machine.str(), Row(4)->status),
              std::tuple("Fast", int(Encoding), Out("one.MP3"), "Slow", int(NotDone)));
    ASSERT_EQ(fake.starts.size(), 1u);
    EXPECT_EQ(fake.starts[0].source, Path("two.wav"));
    ASSERT_EQ(second.starts.size(), 1u);
    EXPECT_EQ(second.starts[0].source, Path("four.wav"));
    EXPECT_EQ(handedOut, QStringList({"one:Fast", "three:Slow"}));

    ASSERT_TRUE(Pump([&] { return fast.jobs.size() == 1 && slow.jobs.size() == 1; }));
    EXPECT_EQ(fast.questions.size(), 1u);
    const EncodeJob& job = fast.jobs[0];
    EXPECT_EQ(job.source, QStringLiteral("\\\\SRV\\MUSIC\\in\\one.wav"));
    EXPECT_EQ(job.destination, QStringLiteral("\\\\SRV\\MUSIC\\out\\one.MP3"));
    EXPECT_EQ(job.size, Row(0)->size);
    EXPECT_EQ(job.bytesPerSec, app->settings.bytesPerSec);
    EXPECT_EQ(slow.jobs[0].source, QStringLiteral("\\\\SRV\\MUSIC\\in\\three.wav"));

    second.Finish(true);
    ASSERT_EQ(second.starts.size(), 2u);
    EXPECT_EQ(second.starts[1].source, Path("five.wav"));
    EXPECT_EQ(fake.starts.size(), 1u);
    EXPECT_EQ(std::pair(Row(3)->status, handedOut.size()), std::pair(int(Completed), qsizetype(2)));

    // Fast's file cancelled here: the machine is taken out of the batch.
    model.ClearSelection();
    model.Select(0);
    scheduler->OnCancel();
    const int slot = SlotOf("Fast");
    EXPECT_FALSE(server->Machines().At(slot).enabled);
    ASSERT_TRUE(Pump([&] { return fast.Count(NET_CANCEL) == 1; }));
    fast.Send(NET_CANCEL); // the client's answer when its encode has stopped
    ASSERT_TRUE(Pump([&] { return Row(0)->status == NotDone; }));
    EXPECT_TRUE(Row(0)->machine.isEmpty());
    // Its mark set again (the Network dialog): last in the order until it logs in anew.
    server->Machines().At(slot).enabled = true;
    const std::vector<int> order = server->Machines().BuildMachineOrder("Mypc", batch.localRate);
    EXPECT_EQ(order, (std::vector<int>{LOCAL_MACHINE, SlotOf("Slow"), slot}));
    EXPECT_DOUBLE_EQ(server->Machines().At(slot).rate, 0.0);
}

// Every client refuses the first file, so this machine takes it. Then, with
// the folders no longer shared, no machine is asked: that is said once for
// the pass and this machine encodes.
TEST_F(ServerRole, RefusalsAndAnUnsharedFolderPassTheFileOn) {
    server->SetWaitLimits(300, 30000);
    AddWavs({"one.wav", "two.wav", "three.wav"});
    nettest::FakeClient& busy = Rated("BUSY", "127.0.0.2", 7.0, CANENCODE_BUSY);
    Rated("NOCODEC", "127.0.0.3", 6.0, CANENCODE_NOCODEC);
    Rated("MUTE", "127.0.0.4", 5.0, -1);

    scheduler->OnEncode();
    // Every client refused "one", so this machine took it; the order was used up.
    ASSERT_EQ(fake.starts.size(), 1u);
    EXPECT_EQ(fake.starts[0].source, Path("one.wav"));
    EXPECT_EQ(Row(1)->status, NotDone);
    EXPECT_TRUE(busy.jobs.empty());
    const QString log = ErrorLog();
    EXPECT_TRUE(log.contains("\\Nocodec does not have the required codec installed to encode "
                             "files."))
        << qPrintable(log);
    EXPECT_FALSE(log.contains("Busy"));
    EXPECT_FALSE(log.contains("Mute")); // no answer is passed over silently

    UncTables none = CurrentUncTables();
    none.smbConfPath = temp.path() + "/missing.conf";
    SetUncTables(none);
    const std::size_t asked = busy.questions.size();
    fake.Finish(true);
    EXPECT_EQ(ErrorLog().count(ResString(33032)), 1);
    EXPECT_EQ(busy.questions.size(), asked);
    ASSERT_EQ(fake.starts.size(), 2u);
    EXPECT_EQ(fake.starts[1].source, Path("two.wav"));
}

TEST_F(ServerRole, ErrorFileThatFailedEverywhereWaitsAndTheRowsBelowGoOn) {
    AddWavs({"one.wav", "two.wav"});
    Row(0)->status = Error;
    for (const char* machine : {"Fast", "Slow", "Mypc"}) {
        RecordFailure(*Row(0), machine);
    }
    nettest::FakeClient& fast = Rated("FAST", "127.0.0.2", 5.0);
    nettest::FakeClient& slow = Rated("SLOW", "127.0.0.3", 3.0);

    scheduler->OnEncode();
    ASSERT_EQ(fast.questions.size(), 1u);
    EXPECT_TRUE(fast.questions[0].source.endsWith("two.wav"));
    EXPECT_EQ(std::tuple(Row(0)->status, Row(1)->machine.str(), slow.questions.size(),
                         fake.starts.size(), batch.IsBusy()),
              std::tuple(int(Error), "Fast", 0u, 0u, true));
}

TEST_F(ServerRole, AFileWhoseOutputWouldReplaceAQueuedSourceGoesToNoMachine) {
    app->settings.renameToMp3 = 0;
    AddWavs({"one.wav"});
    ASSERT_NE(AddWav(QStringLiteral("one.wav"), 44100, outputDir), nullptr);
    nettest::FakeClient& fast = Rated("FAST", "127.0.0.2", 5.0);

    scheduler->OnEncode();
    Settle();
    for (const EncodeJob& question : fast.questions) {
        EXPECT_FALSE(question.source.endsWith("\\in\\one.wav"));
    }
    EXPECT_EQ(Row(0)->status, Error);
    EXPECT_TRUE(ErrorLog().contains("would replace the queued file " + Out("one.wav")))
        << qPrintable(ErrorLog());
}

TEST_F(ServerRole, LogInNamesAreCapitalisedAndTakenOncePerConnection) {
    app->settings.deleteWhenDone = 1;
    AddWavs({"one.wav"});
    nettest::FakeClient& big = Rated("BIGPC", "127.0.0.2", 2.5);
    const int slot = SlotOf("Bigpc");
    EXPECT_EQ(server->ClientName(slot), QStringLiteral("Bigpc"));
    EXPECT_EQ(view.Label(ID_MACHINES_LABEL), QStringLiteral("1 Machine Logged In"));

    // The same name again, or another one, on the same connection changes
    // nothing, not even a cleared mark.
    app->SaveThroughput("Bigpc", 9.0);
    server->Machines().At(slot).enabled = false;
    big.SendHeartbeat("BIGPC");
    big.SendHeartbeat("OTHER");
    // Nor does a report from a machine that holds no file.
    big.Send(NET_DONE);
    big.Send(NET_FAILED);
    Settle();
    EXPECT_EQ(Row(0)->status, NotDone);
    EXPECT_TRUE(QFile::exists(Path("one.wav")));
    EXPECT_TRUE(outcomes.isEmpty());
    EXPECT_TRUE(big.questions.empty()); // no batch: nothing is handed out
    const auto& machine = server->Machines().At(slot);
    EXPECT_EQ(std::tuple(server->ClientName(slot), machine.rate, machine.enabled,
                         server->Machines().CountMachines()),
              std::tuple("Bigpc", 2.5, false, 1));

    // A second machine of that name, or one named like this computer, is refused.
    nettest::FakeClient twin("bigpc", "127.0.0.3");
    ASSERT_TRUE(twin.Connect(port));
    nettest::FakeClient mirror("MYPC", "127.0.0.4");
    ASSERT_TRUE(mirror.Connect(port));
    ASSERT_TRUE(Pump([&] { return !twin.Connected() && !mirror.Connected(); }));
    EXPECT_EQ(server->Machines().CountMachines(), 1);
    EXPECT_TRUE(ErrorLog().contains("bigpc was refused"));
    EXPECT_TRUE(ErrorLog().contains("MYPC was refused"));
    // Each is told which name clashed before its connection ends.
    EXPECT_EQ(twin.errors, QStringList{"Another machine named bigpc is logged in to the server "
                                       "Mypc, so this one was refused. Give each machine a host "
                                       "name of its own."});
    ASSERT_EQ(mirror.errors.size(), 1);
    EXPECT_TRUE(mirror.errors[0].startsWith("MYPC is the name of the server itself"));

    big.Abort();
    ASSERT_TRUE(Pump([&] { return server->Machines().CountMachines() == 0; }));
    EXPECT_EQ(view.Label(ID_MACHINES_LABEL), QStringLiteral("No machines logged in"));
    // Gone, its name is free again.
    Client("bigpc", "127.0.0.3");
}

// A client's progress, pause and finished file count; then a relayed error,
// a done without output and one with too little each fail the file on that
// machine only, with the source kept.
TEST_F(ServerRole, ClientJobsRunWithProgressAndPauseAndFailuresCostNoSource) {
    app->settings.deleteWhenDone = 1;
    AddWavs({"one.wav", "two.wav", "three.wav", "four.wav", "five.wav"});
    nettest::FakeClient& fast = Rated("FAST", "127.0.0.2", 5.0);
    int tagged = 0;
    scheduler->writeTag = [&](QueueEntry&) { ++tagged; };
    scheduler->OnEncode(); // one: Fast, two: here
    ASSERT_TRUE(Pump([&] { return fast.jobs.size() == 1; }));

    fast.SendProgress(50, 7.5);
    ASSERT_TRUE(Pump([&] { return Row(0)->percent == 50; }));
    EXPECT_DOUBLE_EQ(Row(0)->rate, 7.5);
    fast.Send(NET_PAUSE);
    ASSERT_TRUE(Pump([&] { return Row(0)->status == Paused; }));
    fast.Send(NET_RESUME);
    ASSERT_TRUE(Pump([&] { return Row(0)->status == Encoding; }));

    // The server's own Pause reaches the client that encodes the selected row.
    model.ClearSelection();
    model.Select(0);
    scheduler->OnPause();
    EXPECT_EQ(Row(0)->status, Paused);
    ASSERT_TRUE(Pump([&] { return fast.Count(NET_PAUSE) == 1; }));

    fast.FinishJob(4000);
    ASSERT_TRUE(Pump([&] { return Row(0)->status == Completed; }));
    EXPECT_EQ(std::tuple(QFile::exists(Path("one.wav")), Row(0)->machine.str(),
                         app->LoadThroughput("Fast"), tagged),
              std::tuple(false, "", 7.5, 1));

    ASSERT_TRUE(Pump([&] { return fast.jobs.size() == 2; }));
    EXPECT_TRUE(fast.jobs[1].source.endsWith("three.wav"));
    fast.Send(NET_ERROR, WriteErrorText("Could not read the source file."));
    ASSERT_TRUE(Pump([&] { return Row(2)->status == Error; }));
    EXPECT_TRUE(ErrorLog().contains("Fast: Could not read the source file."))
        << qPrintable(ErrorLog());
    ASSERT_TRUE(Pump([&] { return fast.jobs.size() == 3; }));
    fast.Send(NET_DONE); // no output at all
    ASSERT_TRUE(Pump([&] { return Row(3)->status == Error; }));
    // Next it writes a few bytes for a second of sound.
    ASSERT_TRUE(Pump([&] { return fast.jobs.size() == 4; }));
    fast.FinishJob(10);
    ASSERT_TRUE(Pump([&] { return Row(4)->status == Error; }));
    EXPECT_FALSE(QFile::exists(Out("five.MP3")));
    for (const int row : {2, 3, 4}) {
        EXPECT_TRUE(HasFailedOn(*Row(row), "Fast")) << row;
        EXPECT_TRUE(QFile::exists(Row(row)->path.str())) << row;
    }
    EXPECT_EQ(ErrorLog().count("Fast reported file"), 2) << qPrintable(ErrorLog());
    EXPECT_TRUE(batch.IsBusy()); // this machine still encodes "two"

    // A second report of a job finds no file and does nothing.
    fast.Send(NET_DONE);
    Settle();
    EXPECT_EQ(outcomes, QStringList({"one:0", "three:1", "four:1", "five:1"}));
    EXPECT_EQ(fast.questions.size(), 4u); // not offered its failed files again
    fake.Finish(true);                    // this machine retries them
    ASSERT_EQ(fake.starts.size(), 2u);
    EXPECT_EQ(fake.starts[1].source, Path("three.wav"));
    EXPECT_EQ(outcomes.last(), QStringLiteral("two:0"));
}

TEST_F(ServerRole, AnAnswerCountsOnlyForItsQuestionAndAMissingOneOnlyForAWhile) {
    server->SetWaitLimits(300, 30000, 1500);
    AddWavs({"one.wav", "two.wav", "three.wav", "four.wav", "five.wav"});
    nettest::FakeClient& late = Rated("SLOWPOKE", "127.0.0.2", 5.0);
    late.answers = {{CANENCODE_OK, 600}, {CANENCODE_BUSY, 0}, {-1, 0}};

    scheduler->OnEncode(); // no answer in time: this machine takes "one"
    // While it owes that answer it is asked nothing, so its late "yes" can
    // be taken for no other question.
    fake.Finish(true);
    Settle(500);
    EXPECT_EQ(std::tuple(late.questions.size(), late.jobs.size()), std::tuple(1u, 0u));
    fake.Finish(true); // answered at last: asked again, and its "busy" counts
    EXPECT_EQ(late.questions.size(), 2u);
    // A question never answered keeps it out only until the limit.
    fake.Finish(true);
    EXPECT_EQ(late.questions.size(), 3u);
    ASSERT_EQ(fake.starts.size(), 4u);
    QElapsedTimer owed;
    owed.start();
    Pump([&] { return owed.elapsed() > 1600; }, 3000);
    fake.Finish(true);
    ASSERT_TRUE(Pump([&] { return late.jobs.size() == 1; }));
    EXPECT_TRUE(late.jobs[0].source.endsWith("five.wav"));
}

TEST_F(ServerRole, PassAskedForDuringAnAnswerWaitRunsAfterIt) {
    app->SaveThroughput("Slow", 3.0);
    AddWavs({"one.wav", "two.wav", "three.wav"});
    nettest::FakeClient& fast = Rated("FAST", "127.0.0.2", 5.0);
    fast.defaultAnswer.delayMs = 300;
    nettest::FakeClient slow("SLOW", "127.0.0.3");
    ASSERT_TRUE(slow.Connect(port, false));
    Settle(50);
    // Logs in while the server waits for Fast's answer.
    QTimer::singleShot(100, &slow, [&] { slow.SendHeartbeat("SLOW"); });

    scheduler->OnEncode();
    ASSERT_TRUE(Pump([&] { return slow.jobs.size() == 1; }));
    EXPECT_EQ(std::tuple(fast.questions.size(), fast.jobs.size()), std::tuple(1u, 1u));
    EXPECT_TRUE(fast.jobs[0].source.endsWith("one.wav"));
    EXPECT_TRUE(slow.jobs[0].source.endsWith("three.wav"));
    ASSERT_EQ(fake.starts.size(), 1u);
    EXPECT_EQ(fake.starts[0].source, Path("two.wav"));
}

// A client cut off mid-file loses its partial output, and the file goes to the
// next machine, not to this one while the user's cleared mark says so. Only
// the output of the machine holding the file is then taken.
// With no other machine left, this one takes the file back although it had
// nothing to do when the batch began.
TEST_F(ServerRole, TheFileOfTheOnlyClientComesBackHereWhenItDrops) {
    AddWavs({"one.wav"});
    nettest::FakeClient& fast = Rated("FAST", "127.0.0.2", 5.0);
    scheduler->OnEncode();
    ASSERT_TRUE(Pump([&] { return fast.jobs.size() == 1; }));
    fast.Abort();
    ASSERT_TRUE(Pump([&] { return fake.starts.size() == 1; }));
}

TEST_F(ServerRole, AClientThatDropsLosesItsFileAndItsOutputToTheNextMachine) {
    AddWavs({"one.wav", "two.wav", "three.wav"});
    nettest::FakeClient& fast = Rated("FAST", "127.0.0.2", 5.0);
    nettest::FakeClient& slow = Rated("SLOW", "127.0.0.3", 4.5); // before this machine
    scheduler->OnEncode(); // one: Fast, two: Slow, three: here
    ASSERT_TRUE(Pump([&] { return fast.jobs.size() == 1 && slow.jobs.size() == 1; }));
    // The Network dialog takes this machine out of the batch.
    batch.allowLocalStart = false;
    batch.localMarkCleared = true;
    fake.Finish(true);
    slow.FinishJob(4000);
    ASSERT_TRUE(Pump([&] { return Row(1)->status == Completed; }));

    ASSERT_TRUE(nettest::WriteText(fast.PartPath(), "partial"));
    fast.Abort();
    ASSERT_TRUE(Pump([&] { return slow.jobs.size() == 2; }));
    EXPECT_TRUE(slow.jobs[1].source.endsWith("one.wav"));
    EXPECT_EQ(std::tuple(fake.starts.size(), batch.allowLocalStart, QFile::exists(fast.PartPath()),
                         QFile::exists(Out("one.MP3"))),
              std::tuple(1u, false, false, false));
    // Fast goes on writing.
    ASSERT_TRUE(nettest::WriteText(fast.PartPath(), QByteArray(9000, 'F')));
    EXPECT_NE(fast.PartPath(), slow.PartPath());

    slow.FinishJob(5000);
    ASSERT_TRUE(Pump([&] { return Row(0)->status == Completed; }));
    QFile output(Out("one.MP3"));
    ASSERT_TRUE(output.open(QIODevice::ReadOnly));
    EXPECT_EQ(output.readAll(), QByteArray(5000, '\x55'));
    EXPECT_FALSE(QFile::exists(slow.PartPath()));
    EXPECT_TRUE(QFile::exists(fast.PartPath())) << "the late writer's own to remove";

    // A machine that renames for itself (an older client) is still believed.
    AddWavs({"four.wav"});
    scheduler->OnEncode();
    ASSERT_TRUE(Pump([&] { return slow.jobs.size() == 3; }));
    slow.FinishJob(5000, false);
    ASSERT_TRUE(Pump([&] { return Row(3)->status == Completed; }));
}

} // namespace
