#include "controller/catalogue_codec.h"
#include "controller/main_controller.h"

#include "app/encoder_app.h"
#include "app/encoder_settings.h"
#include "app/error_log.h"
#include "app/messages.h"
#include "app/program_directory.h"
#include "queue/encode_scheduler.h"
#include "queue/machine_name.h"
#include "queue/watch_folder.h"
#include "queue/wave_probe.h"
#include "support/fake_encoder.h"
#include "support/memory_settings_store.h"
#include "support/recording_view.h"
#include "support/wav_builder.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using testsupport::FakeEncoder;

class Controller : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp.isValid());
        sourceDir = temp.filePath(QStringLiteral("in"));
        outputDir = temp.filePath(QStringLiteral("out"));
        QDir().mkpath(sourceDir);
        QDir().mkpath(outputDir);
        SetProgramDirectory(temp.path());
        app = std::make_unique<CEncoderApp>(store);
        app->programDirectory = ProgramDirectory();
        app->settings.fromDir = sourceDir;
        app->settings.toDir = outputDir;
    }

    void TearDown() override {
        controller.reset();
        QFile::remove(GetErrorLogPath());
    }

    MainController& Make() {
        controller = std::make_unique<MainController>(
            *app, view, MainController::Ports{fake, fake, ReadWaveFacts, nullptr, &clock});
        return *controller;
    }

    QString MakeWav(const QString& directory, const QString& name) {
        const QString path = directory + u'/' + name;
        testsupport::WriteFile(path.toStdString(),
                               testsupport::MakePcmWav(testsupport::PcmFormat{}, 4410));
        return path;
    }

    static void Deliver() { QCoreApplication::sendPostedEvents(); }

    static void RunFor(int milliseconds) {
        QEventLoop loop;
        QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
        loop.exec();
    }

    QTemporaryDir temp;
    QString sourceDir;
    QString outputDir;
    testsupport::MemorySettingsStore store;
    std::unique_ptr<CEncoderApp> app;
    testsupport::RecordingView view;
    FakeEncoder fake;
    testsupport::ManualClock clock;
    std::unique_ptr<MainController> controller;
};

TEST_F(Controller, StartupScansTheSourceFolderAndShowsTheChoices) {
    MakeWav(sourceDir, QStringLiteral("b.wav"));
    MakeWav(sourceDir, QStringLiteral("a.wav"));
    const QString ownName = CapitalizeName(ComputerName());
    SaveThroughput(store, ownName.isEmpty() ? QStringLiteral("Unknown") : ownName, 2.5);
    MainController& c = Make();
    c.Startup();
    EXPECT_EQ(c.Model().Count(), 2);
    EXPECT_EQ(c.Model().RowCount(), 2);
    EXPECT_EQ(c.Model().SelectedRows(), std::vector<int>{0});
    EXPECT_EQ(view.Label(ID_SOURCE_DIR_LABEL), sourceDir);
    EXPECT_EQ(view.Label(ID_OUTPUT_DIR_LABEL), outputDir);
    // A first start settles on the preferred encoder at 128 kbit/s.
    EXPECT_EQ(view.Label(ID_CODEC_LABEL), QStringLiteral("Codec: 128 kBit/s with LAME Encoder"));
    EXPECT_EQ(app->settings.manufacturerId, 9997u);
    EXPECT_EQ(app->settings.bytesPerSec, 16000u);
    EXPECT_FALSE(view.Enabled(ID_PAUSE));
    EXPECT_FALSE(view.Enabled(ID_CANCEL));
    EXPECT_FALSE(view.Enabled(ID_ERRORS));
    EXPECT_TRUE(view.Enabled(ID_ENCODE));
    EXPECT_EQ(view.Label(ID_COUNTER_LABEL), QStringLiteral("Encoding File:"));
    EXPECT_FALSE(c.Batch().ownName.isEmpty());
    EXPECT_DOUBLE_EQ(c.Batch().localRate, 2.5);
    EXPECT_TRUE(c.WatchTimer().isActive());
    EXPECT_EQ(c.WatchTimer().interval(), 30000);

    // The first rejected file enables the Errors button at once.
    EXPECT_EQ(c.AddFiles({sourceDir + QStringLiteral("/missing.wav")}), 0);
    EXPECT_TRUE(view.Enabled(ID_ERRORS));
}

TEST(MachineNames, CapitalizedLikeTheServerDoes) {
    EXPECT_EQ(CapitalizeName(QStringLiteral("MYPC")), QStringLiteral("Mypc"));
    EXPECT_EQ(CapitalizeName(QStringLiteral("PC2SERVER")), QStringLiteral("Pc2Server"));
    EXPECT_EQ(CapitalizeName(QStringLiteral("my-BOX")), QStringLiteral("my-Box"));
    EXPECT_LE(ComputerName().size(), 15);
    EXPECT_FALSE(ComputerName().contains(u'.'));
}

TEST_F(Controller, WorkerEventsDriveTheBatch) {
    MainController& c = Make();
    c.Startup();
    c.AddFiles(
        {MakeWav(sourceDir, QStringLiteral("a.wav")), MakeWav(sourceDir, QStringLiteral("b.wav"))});
    c.OnEncode();
    ASSERT_EQ(fake.starts.size(), 1u);
    EXPECT_EQ(fake.receiver, &c);
    clock.now += 1000;
    fake.Progress(50, 500);
    Deliver();
    const QueueEntry* first = c.Model().EntryAt(0);
    EXPECT_EQ(first->percent, 50);
    EXPECT_DOUBLE_EQ(first->rate, 0.5);
    fake.Finish(true);
    Deliver();
    EXPECT_EQ(first->status, Completed);
    ASSERT_EQ(fake.starts.size(), 2u);
    fake.Finish(false);
    Deliver();
    EXPECT_EQ(c.Model().EntryAt(1)->status, Error);
    EXPECT_FALSE(c.Batch().IsBusy());
    EXPECT_TRUE(view.Enabled(ID_ERRORS));

    // An error relayed while no server listens is simply dropped.
    PostEvent<PayloadEvent<QString>>(&c, MSG_ERROR_RELAY, 0, std::make_unique<QString>("x"));
    Deliver();
}

TEST_F(Controller, WatchTickAdmitsNewFilesAndStartsAutoEncode) {
    MainController& c = Make();
    c.Startup();
    EXPECT_EQ(c.Model().Count(), 0);
    MakeWav(sourceDir, QStringLiteral("new.WAV"));
    c.OnWatchTimer();
    EXPECT_EQ(c.Model().RowCount(), 1);
    EXPECT_TRUE(fake.starts.empty());

    app->settings.autoEncode = 1;
    MakeWav(sourceDir, QStringLiteral("newer.wav"));
    {
        QFile writer(sourceDir + QStringLiteral("/growing.wav"));
        ASSERT_TRUE(writer.open(QIODevice::WriteOnly));
        c.OnWatchTimer();
        EXPECT_EQ(c.Model().RowCount(), 2);
        EXPECT_EQ(fake.starts.size(), 1u);
    }
    // Written out now: the next tick takes it into the running batch.
    MakeWav(sourceDir, QStringLiteral("growing.wav"));
    c.OnWatchTimer();
    EXPECT_EQ(c.Model().RowCount(), 3);
    EXPECT_EQ(view.Label(ID_COUNTER_LABEL), QStringLiteral("Encoding File 1 of 3:"));
    EXPECT_EQ(fake.starts.size(), 1u);
}

TEST_F(Controller, OptionsRescanANewFolderAndApplyThePriority) {
    MainController& c = Make();
    c.Startup();
    const QString other = temp.filePath(QStringLiteral("other"));
    QDir().mkpath(other);
    MakeWav(other, QStringLiteral("x.wav"));
    MakeWav(sourceDir, QStringLiteral("y.wav"));
    c.OnWatchTimer();
    const QString oldSource = app->SourceDirectory();
    app->settings.fromDir = other;
    c.AfterOptions(oldSource, app->settings.priority);
    EXPECT_EQ(c.Model().RowCount(), 2);
    EXPECT_EQ(view.Label(ID_SOURCE_DIR_LABEL), other);

    c.OnEncode();
    app->settings.priority = 3;
    c.AfterOptions(app->SourceDirectory(), 1);
    EXPECT_EQ(fake.priorities, std::vector<int>{3});
}

TEST_F(Controller, QuitCancelsTheRunningFileAndWaitsForIt) {
    MainController& c = Make();
    c.Startup();
    c.AddFiles(
        {MakeWav(sourceDir, QStringLiteral("a.wav")), MakeWav(sourceDir, QStringLiteral("b.wav"))});
    c.OnEncode();
    fake.WritePartialOutput();
    c.Model().ClearSelection();
    c.Model().Select(0);
    c.OnPause();
    fake.finishOnCancel = true;
    bool quit = false;
    QObject::connect(&c, &MainController::QuitRequested, [&quit] { quit = true; });
    c.Quit();
    EXPECT_TRUE(quit);
    EXPECT_TRUE(fake.cancelled);
    EXPECT_EQ(fake.resumes, 1);
    EXPECT_FALSE(c.Batch().quitPending);
    EXPECT_EQ(c.Model().EntryAt(0)->status, NotDone);
    EXPECT_FALSE(QFile::exists(outputDir + QStringLiteral("/a.MP3")));
    EXPECT_EQ(fake.starts.size(), 1u);
    EXPECT_FALSE(c.WatchTimer().isActive());
}

TEST_F(Controller, HoldingUpMovesTheRowToTheTopAndStops) {
    MainController& c = Make();
    c.Startup();
    c.AddFiles({MakeWav(sourceDir, QStringLiteral("a.wav")),
                MakeWav(sourceDir, QStringLiteral("b.wav")),
                MakeWav(sourceDir, QStringLiteral("c.wav"))});
    c.Model().ClearSelection();
    c.Model().Select(2);
    PostEvent<PlainEvent>(&c, MSG_UP_PRESSED);
    Deliver();
    // The first move happens at once.
    EXPECT_EQ(c.Model().EntryAt(1)->name.str(), QStringLiteral("c"));
    RunFor(800);
    EXPECT_EQ(c.Model().EntryAt(0)->name.str(), QStringLiteral("c"));
    PostEvent<PlainEvent>(&c, MSG_UP_RELEASED);
    Deliver();

    PostEvent<PlainEvent>(&c, MSG_DOWN_PRESSED);
    Deliver();
    PostEvent<PlainEvent>(&c, MSG_DOWN_RELEASED);
    Deliver();
    RunFor(700);
    EXPECT_EQ(c.Model().EntryAt(1)->name.str(), QStringLiteral("c"));
}

} // namespace

namespace {

TEST(CodecText, NamesFormatThenEncoder) {
    EXPECT_EQ(FormatCodecText(QStringLiteral("128 kBit/s, 44,100, Stereo  16 KB/s"),
                              QStringLiteral("LAME Encoder")),
              QStringLiteral("Codec: 128 kBit/s, 44,100, Stereo  16 KB/s with LAME Encoder"));
    // A "%s" inside the format text is text, not a place for the name.
    EXPECT_EQ(FormatCodecText(QStringLiteral("odd %s"), QStringLiteral("X")),
              QStringLiteral("Codec: odd %s with X"));
}

} // namespace
