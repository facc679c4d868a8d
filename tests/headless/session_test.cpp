#include "headless/session.h"
#include "program_fixture.h"

#include "queue/encode_scheduler.h"
#include "queue/wave_probe.h"
#include "support/app_sandbox.h"
#include "support/fake_encoder.h"
#include "support/wav_builder.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

using testsupport::FakeEncoder;
using testsupport::ReadBack;

class Headless : public testsupport::AppSandbox {
protected:
    void SetUp() override {
        AppSandbox::SetUp();
        status = std::tmpfile();
        messages = std::tmpfile();
        session = std::make_unique<HeadlessSession>(
            *app, MainController::Ports{fake, fake, ReadWaveFacts, nullptr, &clock},
            HeadlessOutput{OutputFormat::Text, false, status, messages, false});
        QObject::connect(session.get(), &HeadlessSession::Finished,
                         [this](int code) { exitCode = code; });
    }

    void TearDown() override {
        session.reset();
        std::fclose(status);
        std::fclose(messages);
        AppSandbox::TearDown();
    }

    // Lets the fake worker finish every file it is given.
    void RunToEnd() {
        for (int guard = 0; guard < 20 && exitCode < 0; ++guard) {
            if (fake.running) {
                fake.Finish(true);
            }
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }

    FakeEncoder fake;
    testsupport::ManualClock clock;
    std::FILE* status = nullptr;
    std::FILE* messages = nullptr;
    std::unique_ptr<HeadlessSession> session;
    int exitCode = -1;
};

// A file named twice is encoded once, one whose output exists counts as done
// at once, and low disk space is only a warning.
TEST_F(Headless, GivenFilesAreEncodedOnceAndEachGetsAStatusLine) {
    const QString a = MakeWav(QStringLiteral("a.wav"));
    const QString b = MakeWav(QStringLiteral("b.wav"));
    const QString done = MakeWav(QStringLiteral("done.wav"));
    MakeWav(QStringLiteral("unrelated.wav"));
    testsupport::WriteFile((outputDir + QStringLiteral("/done.MP3")).toStdString(),
                           {'I', 'D', '3'});
    session->Controller().Scheduler().freeSpace = [](const QString&) { return std::uint64_t{1}; };
    session->Start({a, b, done, a});
    EXPECT_TRUE(ReadBack(messages).startsWith(QStringLiteral("warning: There is not enough")));
    RunToEnd();
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(fake.starts.size(), 2u);
    const QStringList lines = ReadBack(status).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith(done + QStringLiteral("\tCompleted (output exists)\t")));
    EXPECT_TRUE(lines[1].startsWith(a + QStringLiteral("\tCompleted\t")));
    EXPECT_TRUE(lines[2].startsWith(b + QStringLiteral("\tCompleted\t")));
}

TEST_F(Headless, NothingToDoEndsAtOnce) {
    session->Start({sourceDir + QStringLiteral("/missing.wav")});
    RunToEnd();
    EXPECT_EQ(exitCode, 1);
    EXPECT_TRUE(fake.starts.empty());
}

TEST_F(Headless, CtrlCCancelsTheRunningFileAndItsLineSaysSo) {
    const QString a = MakeWav(QStringLiteral("a.wav"));
    fake.finishOnCancel = true;
    session->Start({a});
    ASSERT_TRUE(fake.running);
    session->Quit(true);
    EXPECT_EQ(exitCode, EXIT_INTERRUPTED);
    EXPECT_TRUE(ReadBack(status).startsWith(a + QStringLiteral("\tCancelled\t")));
}

} // namespace
