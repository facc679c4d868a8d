#include "../platform/acm_fake_drivers.h"
#include "engine_fixture.h"

#include "engines/catalogue.h"
#include "engines/encode_acm.h"
#include "engines/encode_control.h"
#include "engines/encode_start.h"
#include "platform/acm.h"

#include <QThread>
#include <algorithm>

using testsupport::Bytes;
using testsupport::PcmFormat;

namespace {

using fakeacm::Behaviour;
using fakeacm::FakeFormat;

// What the codec leaves: the source's other chunks, the target's format, the
// source's frame count and the converted samples.
Bytes Expected(std::uint32_t frames, const Bytes& data,
               testsupport::WavBuilder before = testsupport::WavBuilder()) {
    return before.FmtRecord(FakeFormat().Serialize()).Fact(frames).Data(data).Build();
}

class AcmEngineTest : public EngineTest {
protected:
    void TearDown() override {
        if (driverId != 0) {
            acmDriverRemove(driverId, 0);
        }
    }

    void Install(Behaviour behaviour, int delayMs = 0) {
        if (driverId != 0) {
            acmDriverRemove(driverId, 0);
        }
        driver = std::make_shared<fakeacm::Driver>(behaviour);
        driver->anySource = true;
        driver->delayMs = delayMs;
        driverId = fakeacm::Install(driver);
        ASSERT_NE(driverId, HACMDRIVERID{});
        target.driverId = driverId;
        target.format = FakeFormat();
    }

    Bytes Output(const QString& name) const {
        return testsupport::ReadFile(Path(name).toStdString());
    }

    HACMDRIVERID driverId = 0;
    std::shared_ptr<fakeacm::Driver> driver;
};

TEST_F(AcmEngineTest, WritesTheWaveLayoutAroundEveryConvertedByte) {
    Install(Behaviour::PassThrough);
    const PcmFormat format;
    const Bytes pcm = testsupport::MakePcm(format, 100000); // 2.27 s: two whole seconds and a rest
    const Bytes disp{1, 0, 0, 0, 'h', 'i', '!'};
    const Bytes plst{0, 0, 0, 0};
    const QString source = Write("in.wav", testsupport::WavBuilder()
                                               .Chunk("DISP", disp)
                                               .Fmt(format)
                                               .List("INFO", Bytes{'I', 'N', 'A', 'M'})
                                               .Chunk("plst", plst)
                                               .Data(pcm)
                                               .Build());
    EXPECT_EQ(Encode(source, Path("out.wav")).outcome, 1);
    EXPECT_EQ(events.done[0].source, source);
    EXPECT_EQ(
        Output("out.wav"),
        Expected(100000, pcm, testsupport::WavBuilder().Chunk("DISP", disp).Chunk("plst", plst)));

    // Posted before each chunk is read: 0 % first, no 100 %.
    EXPECT_EQ(events.progress,
              (std::vector<EngineEvents::Progress>{{0, 0}, {44, 176400}, {88, 352800}}));

    // An empty source still makes a whole file, with no progress to tell.
    const QString empty = Write("empty.wav", testsupport::WavBuilder().Fmt({}).Data({}).Build());
    EXPECT_EQ(Encode(empty, Path("empty out.wav")).outcome, 1);
    EXPECT_EQ(Output("empty out.wav"), Expected(0, {}));
    EXPECT_TRUE(events.progress.empty());
    EXPECT_EQ(ErrorLog(), QString());
}

TEST_F(AcmEngineTest, CodecsThatHoldInputOrOutputBackLoseNothing) {
    const PcmFormat format{22050, 1, 16};
    const Bytes pcm = testsupport::MakePcm(format, 60001);
    const QString source = Write("in.wav", testsupport::WavBuilder().Fmt(format).Data(pcm).Build());
    for (const Behaviour behaviour : {Behaviour::KeepsInputBack, Behaviour::SilentUntilEnd}) {
        Install(behaviour);
        EXPECT_EQ(Encode(source, Path("out.wav")).outcome, 1);
        EXPECT_EQ(Output("out.wav"), Expected(60001, pcm)) << static_cast<int>(behaviour);
    }
}

TEST_F(AcmEngineTest, ASourceTheCodecCannotTakeIsConvertedWithNothingLostOrRepeated) {
    // 32-bit samples holding 16-bit values: the converted stream is the 16-bit
    // stream give or take the dither.
    const PcmFormat narrow;
    const PcmFormat wide{44100, 2, 32};
    const std::uint32_t frames = 100000;
    const Bytes pcm = testsupport::MakePcm(narrow, frames);
    Bytes widePcm;
    for (std::size_t i = 0; i + 1 < pcm.size(); i += 2) {
        widePcm.insert(widePcm.end(), {0, 0, pcm[i], pcm[i + 1]});
    }
    const QString source =
        Write("wide.wav", testsupport::WavBuilder().Fmt(wide).Data(widePcm).Build());
    for (const Behaviour behaviour : {Behaviour::PassThrough, Behaviour::KeepsInputBack}) {
        Install(behaviour);
        driver->anySource = false;
        ASSERT_EQ(Encode(source, Path("out.wav")).outcome, 1) << ErrorLog().toStdString();
        const Bytes out = Output("out.wav");
        const Bytes expected = Expected(frames, pcm);
        ASSERT_EQ(out.size(), expected.size());
        const std::size_t data = out.size() - pcm.size();
        EXPECT_TRUE(std::equal(out.begin(), out.begin() + long(data), expected.begin()));
        int worst = 0;
        for (std::size_t i = 0; i + 1 < pcm.size(); i += 2) {
            const auto in = static_cast<std::int16_t>(pcm[i] | pcm[i + 1] << 8);
            const auto converted =
                static_cast<std::int16_t>(out[data + i] | out[data + i + 1] << 8);
            worst = std::max(worst, std::abs(in - converted));
        }
        EXPECT_LE(worst, 2) << static_cast<int>(behaviour);
        // Progress counts the file's own bytes (8 a frame), not the converted ones (4).
        const qintptr firstStep = behaviour == Behaviour::PassThrough ? 44100 : 22050;
        ASSERT_GE(events.progress.size(), 2u);
        EXPECT_EQ(events.progress[1].bytes, 8 * firstStep);
    }
    EXPECT_EQ(ErrorLog(), QString());
}

TEST_F(AcmEngineTest, FailuresAreReportedOnce) {
    const QString source = WriteWav("in.wav", {}, 1000);
    Install(Behaviour::Refuses);
    EXPECT_EQ(Encode(source, Path("refused.wav")).outcome, 0);
    EXPECT_EQ(ErrorLog().count("The ACM Codec cannot convert the wave file. It is probably in an "
                               "incompatible format."),
              1);
    EXPECT_FALSE(ErrorLog().contains("Couldn't open ACM stream"));
    EXPECT_FALSE(QFile::exists(Path("refused.wav")));

    Install(Behaviour::PassThrough);
    const QString nowhere = Path("missing/out.wav");
    EXPECT_EQ(Encode(source, nowhere).outcome, 0);
    EXPECT_TRUE(ErrorLog().contains(
        QString("Error 2 - Couldn't open the destination file (%1) for reading.").arg(nowhere)));
}

TEST_F(AcmEngineTest, CancelLeavesSizesUnfinishedAndPauseChangesNothing) {
    Install(Behaviour::PassThrough, 20);
    const PcmFormat format{8000, 1, 16};
    const Bytes pcm = testsupport::MakePcm(format, 8000 * 30);
    const QString source = Write("in.wav", testsupport::WavBuilder().Fmt(format).Data(pcm).Build());

    ASSERT_EQ(Start(source, Path("paused.wav")), 1);
    while (events.progress.size() < 3) {
        QCoreApplication::processEvents();
    }
    control.PauseEncode();
    QCoreApplication::processEvents();
    const std::size_t held = events.progress.size();
    QThread::msleep(150);
    QCoreApplication::processEvents();
    // Only the report of the step underway when the pause came may still arrive.
    EXPECT_LE(events.progress.size(), held + 1);
    control.ResumeEncode();
    ASSERT_TRUE(events.WaitForDone());
    EXPECT_EQ(events.done[0].outcome, 1);
    EXPECT_EQ(Output("paused.wav"), Expected(8000 * 30, pcm));

    ASSERT_EQ(Start(source, Path("cancelled.wav")), 1);
    while (events.progress.size() < 2) {
        QCoreApplication::processEvents();
    }
    ASSERT_NO_FATAL_FAILURE(PauseCancelAndExpectTheEnd());
    const Bytes partial = Output("cancelled.wav");
    ASSERT_GT(partial.size(), 12u);
    EXPECT_EQ(Bytes(partial.begin() + 4, partial.begin() + 8), Bytes(4, 0)); // RIFF size
}

} // namespace
