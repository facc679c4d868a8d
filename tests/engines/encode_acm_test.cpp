#include "../platform/acm_fake_drivers.h"
#include "engine_fixture.h"

#include "engines/catalogue.h"
#include "engines/encode_acm.h"
#include "engines/encode_control.h"
#include "engines/encode_start.h"
#include "platform/acm.h"

#include <QThread>
#include <algorithm>
#include <cstring>

using testsupport::Bytes;
using testsupport::PcmFormat;

namespace {

using fakeacm::Behaviour;
using fakeacm::FakeFormat;

struct Chunk {
    std::string id;
    Bytes contents;
};

std::uint32_t U32(const Bytes& bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           std::uint32_t(bytes[at + 3]) << 24;
}

// The top-level chunks of a RIFF WAVE file, or nothing when its sizes do not
// add up to the file.
std::vector<Chunk> Chunks(const Bytes& file) {
    std::vector<Chunk> chunks;
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 ||
        U32(file, 4) != file.size() - 8 || std::memcmp(file.data() + 8, "WAVE", 4) != 0) {
        return chunks;
    }
    std::size_t at = 12;
    while (at + 8 <= file.size()) {
        const std::uint32_t size = U32(file, at + 4);
        if (at + 8 + size > file.size()) {
            return {};
        }
        chunks.push_back({std::string(file.begin() + at, file.begin() + at + 4),
                          Bytes(file.begin() + at + 8, file.begin() + at + 8 + size)});
        at += 8 + size + (size & 1);
    }
    return chunks;
}

std::vector<std::string> Ids(const std::vector<Chunk>& chunks) {
    std::vector<std::string> ids;
    for (const Chunk& chunk : chunks) {
        ids.push_back(chunk.id);
    }
    return ids;
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
    const auto chunks = Chunks(Output("out.wav"));
    ASSERT_EQ(Ids(chunks), (std::vector<std::string>{"DISP", "plst", "fmt ", "fact", "data"}));
    EXPECT_EQ(chunks[0].contents, disp);
    EXPECT_EQ(chunks[1].contents, plst);
    EXPECT_EQ(chunks[2].contents, FakeFormat().Serialize());
    EXPECT_EQ(U32(chunks[3].contents, 0), 100000u);
    EXPECT_EQ(chunks[4].contents, pcm);

    // Posted before each chunk is read: 0 % first, no 100 %.
    ASSERT_EQ(events.progress.size(), 3u);
    EXPECT_EQ(events.progress[0].percent, 0);
    EXPECT_EQ(events.progress[0].bytes, 0);
    EXPECT_EQ(events.progress[1].bytes, 176400);
    EXPECT_EQ(events.progress[2].percent, static_cast<int>(352800.0 / 400000 * 100));
    EXPECT_EQ(ErrorLog(), QString());
}

TEST_F(AcmEngineTest, CodecsThatHoldInputOrOutputBackLoseNothing) {
    const PcmFormat format{22050, 1, 16};
    const Bytes pcm = testsupport::MakePcm(format, 60001);
    const QString source = Write("in.wav", testsupport::WavBuilder().Fmt(format).Data(pcm).Build());
    for (const Behaviour behaviour : {Behaviour::KeepsInputBack, Behaviour::SilentUntilEnd}) {
        Install(behaviour);
        EXPECT_EQ(Encode(source, Path("out.wav")).outcome, 1);
        const auto chunks = Chunks(Output("out.wav"));
        ASSERT_EQ(chunks.size(), 3u);
        EXPECT_EQ(chunks[2].contents, pcm) << static_cast<int>(behaviour);
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
        const auto chunks = Chunks(Output("out.wav"));
        ASSERT_EQ(Ids(chunks), (std::vector<std::string>{"fmt ", "fact", "data"}));
        EXPECT_EQ(U32(chunks[1].contents, 0), frames);
        ASSERT_EQ(chunks[2].contents.size(), pcm.size());
        int worst = 0;
        for (std::size_t i = 0; i + 1 < pcm.size(); i += 2) {
            const auto in = static_cast<std::int16_t>(pcm[i] | pcm[i + 1] << 8);
            const auto out =
                static_cast<std::int16_t>(chunks[2].contents[i] | chunks[2].contents[i + 1] << 8);
            worst = std::max(worst, std::abs(in - out));
        }
        EXPECT_LE(worst, 2) << static_cast<int>(behaviour);
        // Progress counts the file's own bytes (8 a frame), not the converted ones (4).
        const qintptr firstStep = behaviour == Behaviour::PassThrough ? 44100 : 22050;
        ASSERT_GE(events.progress.size(), 2u);
        EXPECT_EQ(events.progress[1].bytes, 8 * firstStep);
    }
    EXPECT_EQ(ErrorLog(), QString());
}

TEST_F(AcmEngineTest, EmptySourceGivesEmptyDataAndSuccess) {
    Install(Behaviour::PassThrough);
    const QString source = Write("empty.wav", testsupport::WavBuilder().Fmt({}).Data({}).Build());
    EXPECT_EQ(Encode(source, Path("out.wav")).outcome, 1);
    const auto chunks = Chunks(Output("out.wav"));
    ASSERT_EQ(Ids(chunks), (std::vector<std::string>{"fmt ", "fact", "data"}));
    EXPECT_EQ(U32(chunks[1].contents, 0), 0u);
    EXPECT_TRUE(chunks[2].contents.empty());
    EXPECT_TRUE(events.progress.empty());
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
    const auto chunks = Chunks(Output("paused.wav"));
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[2].contents, pcm);

    ASSERT_EQ(Start(source, Path("cancelled.wav")), 1);
    while (events.progress.size() < 2) {
        QCoreApplication::processEvents();
    }
    control.PauseEncode();
    control.CancelEncode();
    ASSERT_TRUE(events.WaitForDone(5000));
    events.Drain();
    ASSERT_EQ(events.done.size(), 1u);
    EXPECT_EQ(events.done[0].outcome, 0);
    EXPECT_TRUE(control.IsEncodeCancelled());
    const Bytes partial = Output("cancelled.wav");
    ASSERT_GT(partial.size(), 12u);
    EXPECT_EQ(U32(partial, 4), 0u);
    EXPECT_FALSE(ErrorLog().contains("acmStreamConvert"));
}

} // namespace
