#include "app/encoder_app.h"
#include "app/encoder_settings.h"
#include "app/error_log.h"
#include "app/program_directory.h"
#include "controller/engine_ports.h"
#include "controller/main_controller.h"
#include "queue/encode_scheduler.h"
#include "support/memory_settings_store.h"
#include "support/recording_view.h"
#include "support/wav_builder.h"

#include "support/app_sandbox.h"
#include "support/outside_tools.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// The controller on the real catalogue, worker, wave reader and tag writer.
class EndToEnd : public testsupport::AppSandbox {
protected:
    void SetUp() override {
        AppSandbox::SetUp();
        app->settings.manufacturerId = 9997; // the library on libmp3lame
        app->settings.productId = 9997;
        engines = MakeEnginePorts(*app);
        controller = std::make_unique<MainController>(
            *app, view,
            MainController::Ports{engines->Encoder(), engines->Codec(), engines->Probe(), nullptr,
                                  nullptr});
        controller->Scheduler().writeTag = engines->TagWriter();
        controller->Scheduler().batchEnded = [this] { loop.quit(); };
        controller->Startup(false);
    }

    void TearDown() override {
        controller.reset();
        engines.reset();
        AppSandbox::TearDown();
    }

    // A second of audio unless said otherwise.
    QString MakeWav(const QString& name, std::uint32_t frames = 44100) {
        return AppSandbox::MakeWav(name, frames);
    }

    // Encodes the queue and runs the event loop until the batch has ended
    // (or a minute has passed).
    void RunBatch() {
        controller->OnEncode();
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        limit.start(60000);
        if (controller->Batch().IsBusy()) {
            loop.exec();
        }
        ASSERT_FALSE(controller->Batch().IsBusy()) << "the batch did not end";
    }

    static QString Tags(const QString& file) {
        return QString::fromUtf8(
            RunTool("ffprobe", {"-v", "error", "-show_entries", "format_tags=artist,title", "-of",
                                "default=noprint_wrappers=1", file})
                .out);
    }

    testsupport::RecordingView view;
    std::unique_ptr<EnginePorts> engines;
    std::unique_ptr<MainController> controller;
    QEventLoop loop;
};

// With "Rename to MP3" off, a file of the source folder would be encoded
// onto a file of the same name queued from the output folder: refused, and
// the queued source stays as it was.
TEST_F(EndToEnd, OutputIsNeverRenamedOverAQueuedSource) {
    app->settings.renameToMp3 = 0;
    const QString queued = AppSandbox::MakeWav(QStringLiteral("x.wav"), 4410, outputDir);
    const testsupport::Bytes before = testsupport::ReadFile(queued.toStdString());
    const QString fromSource = MakeWav(QStringLiteral("x.wav"));
    ASSERT_EQ(controller->AddFiles({queued, fromSource}), 2);
    // Its output seems to exist already (it is the queued file); a reset asks for it anyway.
    EXPECT_EQ(controller->Model().EntryAt(1)->status, Completed);
    controller->OnResetStatus(true);
    RunBatch();
    EXPECT_EQ(testsupport::ReadFile(queued.toStdString()), before);
    EXPECT_TRUE(QFile::exists(outputDir + QStringLiteral("/x.MP3")));
    EXPECT_EQ(controller->Model().EntryAt(1)->status, Error);
    EXPECT_TRUE(
        ErrorLog().contains(QStringLiteral("File %1 was not encoded because its output file "
                                           "would replace the queued file %2.")
                                .arg(fromSource, queued)));
    EXPECT_TRUE(QDir(outputDir).entryList({QStringLiteral("*.part")}, QDir::Files).isEmpty());
}

TEST_F(EndToEnd, BatchWithEveryAfterEncodeAction) {
    app->settings.deleteWhenDone = 1;
    app->settings.removeFromQueue = 1;
    app->settings.renameToMp3 = 0; // different folders: the name stays
    const QStringList sources = {MakeWav(QStringLiteral("Band - First.wav")),
                                 MakeWav(QStringLiteral("Band - Second.wav")),
                                 MakeWav(QStringLiteral("Solo.wav"))};
    ASSERT_EQ(controller->AddFiles(sources), 3);
    RunBatch();

    EXPECT_EQ(controller->Model().Count(), 0);
    EXPECT_EQ(controller->Batch().removedCount, 3);
    EXPECT_TRUE(view.labelLog.contains(QStringLiteral("1029=Encoding File 3 of 3:")));
    for (const QString& source : sources) {
        EXPECT_FALSE(QFile::exists(source)) << source.toStdString();
    }
    const QString first = outputDir + QStringLiteral("/Band - First.wav");
    ASSERT_TRUE(QFile::exists(first));
    const QString tags = Tags(first);
    EXPECT_TRUE(tags.contains(QStringLiteral("TAG:artist=Band"))) << tags.toStdString();
    EXPECT_TRUE(tags.contains(QStringLiteral("TAG:title=First"))) << tags.toStdString();
    EXPECT_TRUE(
        Tags(outputDir + QStringLiteral("/Solo.wav")).contains(QStringLiteral("TAG:title=Solo")));
    EXPECT_GT(LoadThroughput(store, controller->Batch().ownName), 0.0);
    EXPECT_FALSE(QFile::exists(GetErrorLogPath()));
}

TEST_F(EndToEnd, EqualFoldersStillGetMp3NamesAndAFileThatCannotStartFails) {
    app->settings.renameToMp3 = 0;
    app->settings.toDir = sourceDir;
    const QString kept = MakeWav(QStringLiteral("kept.wav"));
    const QString vanished = MakeWav(QStringLiteral("vanished.wav"));
    ASSERT_EQ(controller->AddFiles({vanished, kept}), 2);
    QFile::remove(vanished);
    RunBatch();

    const QueueEntry* failed = controller->Model().EntryAt(0);
    EXPECT_EQ(failed->status, Error);
    EXPECT_EQ(failed->failedCount, 1);
    EXPECT_TRUE(ErrorLog().contains("Failed to encode file " + vanished));
    EXPECT_EQ(controller->Model().EntryAt(1)->status, Completed);
    EXPECT_TRUE(QFile::exists(sourceDir + QStringLiteral("/kept.MP3")));
    EXPECT_TRUE(QFile::exists(kept));
    EXPECT_TRUE(view.Enabled(ID_ERRORS));
}

} // namespace
