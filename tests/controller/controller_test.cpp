#include "controller/catalogue_codec.h"
#include "controller/main_controller.h"
#include "engines/catalogue.h"
#include "engines/catalogue_sources.h"

#include "app/encoder_settings.h"
#include "app/error_log.h"
#include "app/messages.h"
#include "queue/encode_scheduler.h"
#include "queue/machine_name.h"
#include "queue/watch_folder.h"
#include "queue/wave_probe.h"
#include "support/app_sandbox.h"
#include "support/fake_encoder.h"
#include "support/recording_view.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <vector>

namespace {

using testsupport::FakeEncoder;

class Controller : public testsupport::AppSandbox {
protected:
    void TearDown() override {
        controller.reset();
        AppSandbox::TearDown();
    }

    MainController& Make(std::vector<EncodePort*> moreWorkers = {}) {
        controller = std::make_unique<MainController>(
            *app, view,
            MainController::Ports{fake, fake, ReadWaveFacts, nullptr, &clock,
                                  std::move(moreWorkers)});
        return *controller;
    }

    static void Deliver() { QCoreApplication::sendPostedEvents(); }

    testsupport::RecordingView view;
    FakeEncoder fake;
    testsupport::ManualClock clock;
    std::unique_ptr<MainController> controller;
};

TEST_F(Controller, StartupScansTheSourceFolderAndShowsTheChoices) {
    MakeWav(QStringLiteral("b.wav"));
    MakeWav(QStringLiteral("a.wav"));
    const QString ownName = CapitalizeName(ComputerName());
    SaveThroughput(store, ownName.isEmpty() ? QStringLiteral("Unknown") : ownName, 2.5);
    MainController& c = Make();
    c.Startup();
    EXPECT_EQ(std::tuple(c.Model().Count(), c.Model().RowCount(), c.Model().SelectedRows()),
              std::tuple(2, 2, std::vector<int>{0}));
    EXPECT_EQ(view.Label(ID_SOURCE_DIR_LABEL), sourceDir);
    EXPECT_EQ(view.Label(ID_OUTPUT_DIR_LABEL), outputDir);
    // A first start settles on the preferred encoder at 128 kbit/s.
    EXPECT_EQ(view.Label(ID_CODEC_LABEL), QStringLiteral("Codec: 128 kBit/s with LAME Encoder"));
    EXPECT_EQ(std::pair(app->settings.manufacturerId, app->settings.bytesPerSec),
              std::pair(9997u, 16000u));
    EXPECT_EQ(std::tuple(view.Enabled(ID_PAUSE), view.Enabled(ID_CANCEL), view.Enabled(ID_ERRORS),
                         view.Enabled(ID_ENCODE)),
              std::tuple(false, false, false, true));
    EXPECT_EQ(view.Label(ID_COUNTER_LABEL), QStringLiteral("Encoding File:"));
    EXPECT_FALSE(c.Batch().ownName.isEmpty());
    EXPECT_DOUBLE_EQ(c.Batch().localRate, 2.5);
    EXPECT_EQ(std::pair(c.WatchTimer().isActive(), c.WatchTimer().interval()),
              std::pair(true, 30000));

    // The first rejected file enables the Errors button at once.
    EXPECT_EQ(c.AddFiles({sourceDir + QStringLiteral("/missing.wav")}), 0);
    EXPECT_TRUE(view.Enabled(ID_ERRORS));
}

TEST_F(Controller, AMissingSavedEncoderIsSaidOnceAndTheFirstLibraryStandsIn) {
    CatalogueSources sources;
    sources.isLibraryAvailable = [](int) { return true; };
    sources.externalEncoderFolder = [] { return std::optional<QString>(); };
    EncoderCatalogue catalogue;
    ASSERT_GE(catalogue.Build(sources), 3) << "codecs come before the two libraries";
    const int blade = catalogue.DriverCount() - 2;
    ASSERT_EQ(catalogue.Driver(blade)->manufacturerId, BLADE_DRIVER_ID);
    CatalogueCodec codec(catalogue);
    app->settings.manufacturerId = 4242;
    controller = std::make_unique<MainController>(
        *app, view, MainController::Ports{fake, codec, ReadWaveFacts, nullptr, &clock});
    controller->Startup(false);
    controller->AfterOptions(app->SourceDirectory(), app->settings.priority);
    EXPECT_TRUE(view.Label(ID_CODEC_LABEL)
                    .endsWith("with Blade's MP3 Encoder (the saved encoder is missing)"));
    EXPECT_EQ(ErrorLog().count("The saved encoder (manufacturer 4242, product 0) is not "
                               "available; files are encoded with Blade's MP3 Encoder instead."),
              1);
    EXPECT_EQ(app->settings.manufacturerId, 4242u) << "kept for when it is back";

    controller->AddFiles({MakeWav(QStringLiteral("a.wav"))});
    controller->OnEncode();
    ASSERT_EQ(fake.starts.size(), 1u);
    EXPECT_EQ(fake.starts[0].driver, blade);
}

TEST(MachineNames, CapitalizedLikeTheServerDoes) {
    EXPECT_EQ(CapitalizeName(QStringLiteral("MYPC")), QStringLiteral("Mypc"));
    EXPECT_EQ(CapitalizeName(QStringLiteral("PC2SERVER")), QStringLiteral("Pc2Server"));
    EXPECT_EQ(CapitalizeName(QStringLiteral("my-BOX")), QStringLiteral("my-Box"));
    EXPECT_LE(ComputerName().size(), 15);
    EXPECT_FALSE(ComputerName().contains(u'.'));
}

// Hundreds of files from Add Files or a From Dir go in in steps: the first
// step at once, the rest on later turns of the event loop, none lost or twice.
TEST_F(Controller, LongListsAndFoldersFillInSteps) {
    MainController& c = Make();
    c.Startup(false);
    const QString many = temp.filePath(QStringLiteral("many"));
    QDir().mkpath(many);
    QStringList paths;
    for (int i = 0; i < 600; ++i) {
        paths.append(MakeWav(QStringLiteral("%1.wav").arg(i), 441, many));
    }
    const auto settle = [&c] {
        for (int turn = 0; turn < 100 && c.Model().RowCount() < 600; ++turn) {
            QCoreApplication::processEvents();
        }
    };
    paths.append(paths.front());
    const int now = c.AddFiles(paths);
    EXPECT_GT(now, 0);
    EXPECT_LT(now, 600);
    settle();
    EXPECT_EQ(c.Model().RowCount(), 600);
    c.OnClearAll();
    app->settings.fromDir = many;
    c.AfterOptions(sourceDir, app->settings.priority);
    EXPECT_LT(c.Model().RowCount(), 600);
    settle();
    EXPECT_EQ(c.Model().RowCount(), 600);
    EXPECT_FALSE(c.Watch().MoreToCheck());
}

TEST_F(Controller, WatchTickAdmitsNewFilesAndStartsAutoEncode) {
    MainController& c = Make();
    c.Startup();
    EXPECT_EQ(c.Model().Count(), 0);
    MakeWav(QStringLiteral("new.WAV"));
    c.OnWatchTimer();
    EXPECT_EQ(c.Model().RowCount(), 1);
    EXPECT_TRUE(fake.starts.empty());

    app->settings.autoEncode = 1;
    MakeWav(QStringLiteral("newer.wav"));
    {
        QFile writer(sourceDir + QStringLiteral("/growing.wav"));
        ASSERT_TRUE(writer.open(QIODevice::WriteOnly));
        c.OnWatchTimer();
        EXPECT_EQ(c.Model().RowCount(), 2);
        EXPECT_EQ(fake.starts.size(), 1u);
    }
    // Written out now: the next tick takes it into the running batch.
    MakeWav(QStringLiteral("growing.wav"));
    c.OnWatchTimer();
    EXPECT_EQ(c.Model().RowCount(), 3);
    EXPECT_EQ(view.Label(ID_COUNTER_LABEL), QStringLiteral("Encoding File 1 of 3:"));
    EXPECT_EQ(fake.starts.size(), 1u);
    // Cancel stops this machine's batch.
    c.OnCancel();
    EXPECT_TRUE(fake.cancelled);
}

TEST_F(Controller, EachWorkerReportsForItsOwnFileAndQuitWaitsForAll) {
    FakeEncoder second;
    MainController& c = Make({&second});
    c.Startup();
    c.AddFiles({MakeWav(QStringLiteral("a.wav")), MakeWav(QStringLiteral("b.wav")),
                MakeWav(QStringLiteral("c.wav"))});
    c.OnEncode();
    ASSERT_EQ(fake.starts.size(), 1u);
    ASSERT_EQ(second.starts.size(), 1u);
    EXPECT_EQ(fake.receiver, &c);
    EXPECT_NE(second.receiver, fake.receiver);
    const QueueEntry* a = c.Model().EntryAt(0);
    const QueueEntry* b = c.Model().EntryAt(1);
    const int untouched = a->percent;
    clock.now += 1000;
    second.Progress(40, 400);
    Deliver();
    EXPECT_EQ(b->percent, 40);
    EXPECT_DOUBLE_EQ(b->rate, 0.4);
    EXPECT_EQ(a->percent, untouched);

    second.Finish(true);
    Deliver();
    EXPECT_EQ(b->status, Completed);
    ASSERT_EQ(second.starts.size(), 2u);
    EXPECT_EQ(second.starts.back().source, sourceDir + QStringLiteral("/c.wav"));
    second.Finish(false);
    Deliver();
    EXPECT_EQ(c.Model().EntryAt(2)->status, Error);
    EXPECT_TRUE(view.Enabled(ID_ERRORS));
    // An error relayed while no server listens is simply dropped.
    PostEvent<PayloadEvent<QString>>(&c, MSG_ERROR_RELAY, 0, std::make_unique<QString>("x"));
    Deliver();
    // Reset Status hands the file to the idle worker at once, and the buttons follow.
    c.Model().ClearSelection();
    c.Model().Select(1);
    view.buttons[ID_REMOVE] = false;
    c.OnResetStatus(false);
    ASSERT_EQ(second.starts.size(), 3u);
    EXPECT_EQ(second.starts.back().source, sourceDir + QStringLiteral("/b.wav"));
    EXPECT_TRUE(view.Enabled(ID_REMOVE));

    app->settings.priority = 2;
    c.AfterOptions(app->SourceDirectory(), 1);
    EXPECT_EQ(fake.priorities, std::vector<int>{2});
    EXPECT_EQ(second.priorities, std::vector<int>{2});

    fake.WritePartialOutput();
    second.WritePartialOutput();
    fake.finishOnCancel = true;
    second.finishOnCancel = true;
    // A paused file is resumed to be cancelled.
    c.Model().ClearSelection();
    c.Model().Select(0);
    c.OnPause();
    bool quit = false;
    QObject::connect(&c, &MainController::QuitRequested, [&quit] { quit = true; });
    c.Quit();
    EXPECT_TRUE(quit);
    EXPECT_EQ(std::tuple(fake.cancelled, second.cancelled, fake.resumes),
              std::tuple(true, true, 1));
    EXPECT_EQ(fake.starts.size(), 1u) << "nothing starts after a quit";
    EXPECT_EQ(std::tuple(c.WatchTimer().isActive(), c.Batch().quitPending, c.Batch().IsBusy()),
              std::tuple(false, false, false));
    EXPECT_EQ(std::pair(a->status, b->status), std::pair(int(NotDone), int(NotDone)));
    EXPECT_EQ(QDir(outputDir).entryList(QDir::Files), QStringList{"b.MP3"});
}

// The label's usual form is checked where the controller shows it.
TEST(CodecText, APercentSInTheFormatIsText) {
    EXPECT_EQ(FormatCodecText(QStringLiteral("odd %s"), QStringLiteral("X")),
              QStringLiteral("Codec: odd %s with X"));
}

// A client takes a job only for exactly the encoder and format it names; the
// nearest stand-in that the stored choice would get is no match.
TEST(CodecText, FindCodecWantsTheExactEncoderAndFormat) {
    CatalogueSources sources;
    sources.isLibraryAvailable = [](int library) { return library == 1; };
    sources.externalEncoderFolder = [] { return std::optional<QString>(); };
    EncoderCatalogue catalogue;
    ASSERT_GE(catalogue.Build(sources), 1);
    const int last = catalogue.DriverCount() - 1; // the library comes after the codecs
    std::uint32_t manufacturer = 0;
    std::uint32_t product = 0;
    catalogue.DriverIds(last, manufacturer, product);
    CatalogueCodec codec(catalogue);
    int driver = -1;
    int format = -1;
    ASSERT_TRUE(codec.FindCodec(manufacturer, product, 2, 16000, &driver, &format));
    EXPECT_EQ(driver, last);
    std::pair<std::uint32_t, std::uint32_t> facts; // channels, bytes per second
    catalogue.FormatFacts(driver, format, facts.first, facts.second);
    EXPECT_EQ(facts, std::pair(2u, 16000u));
    EXPECT_FALSE(codec.FindCodec(manufacturer, product, 2, 16001, &driver, &format));
    EXPECT_FALSE(codec.FindCodec(manufacturer, product, 7, 16000, &driver, &format));
    EXPECT_FALSE(codec.FindCodec(manufacturer + 100, product, 2, 16000, &driver, &format));
    // With no encoder at all there is nothing to describe.
    EncoderCatalogue none;
    EXPECT_EQ(
        CatalogueCodec(none).DescribeCodec(&manufacturer, &product, &facts.first, &facts.second),
        QString());
}

} // namespace
