#include "engine_fixture.h"

#include "engines/catalogue.h"
#include "engines/encode_control.h"
#include "engines/encode_start.h"

#include <QThread>
#include <array>
#include <atomic>
#include <cstring>
#include <tuple>

using testsupport::Bytes;
using testsupport::PcmFormat;

namespace {

// A library that "encodes" by copying its input, so the output shows exactly
// which bytes were taken, plus failures on request.
struct FakeLibrary {
    BE_CONFIG config{};
    BE_ERR initResult = BE_ERR_SUCCESSFUL;
    BE_ERR deinitResult = BE_ERR_SUCCESSFUL;
    int failAtChunk = -1;
    int delayMs = 0;
    std::uint32_t samplesPerChunk = 2304;
    std::atomic<int> inits{0}, chunks{0}, deinits{0}, closes{0};
} fake;

BE_ERR FakeInit(PBE_CONFIG config, uint32_t* samples, uint32_t* outputBytes, HBE_STREAM* stream) {
    ++fake.inits;
    fake.config = *config;
    *samples = fake.samplesPerChunk;
    *outputBytes = fake.samplesPerChunk * 2;
    *stream = 42;
    return fake.initResult;
}

BE_ERR FakeEncode(HBE_STREAM, uint32_t count, const int16_t* samples, uint8_t* output,
                  uint32_t* outputBytes) {
    if (fake.chunks++ == fake.failAtChunk) {
        return BE_ERR_BUFFER_TOO_SMALL;
    }
    QThread::msleep(fake.delayMs);
    std::memcpy(output, samples, count * 2);
    *outputBytes = count * 2;
    return BE_ERR_SUCCESSFUL;
}

BE_ERR FakeDeinit(HBE_STREAM, uint8_t* output, uint32_t* outputBytes) {
    ++fake.deinits;
    std::memcpy(output, "END!", 4);
    *outputBytes = 4;
    return fake.deinitResult;
}

BE_ERR FakeClose(HBE_STREAM) {
    ++fake.closes;
    return BE_ERR_SUCCESSFUL;
}

const EncoderEntryPoints FAKE_ENTRY{FakeInit, FakeEncode, FakeDeinit, FakeClose};

// How often each entry point was called: init, encode, deinit, close.
std::array<int, 4> Calls() {
    return {fake.inits, fake.chunks, fake.deinits, fake.closes};
}

Bytes WithEnd(Bytes pcm) {
    pcm.insert(pcm.end(), {'E', 'N', 'D', '!'});
    return pcm;
}

class LibraryEngineTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        fake.config = BE_CONFIG{};
        fake.initResult = fake.deinitResult = BE_ERR_SUCCESSFUL;
        fake.failAtChunk = -1;
        fake.delayMs = 0;
        fake.samplesPerChunk = 2304;
        fake.inits = fake.chunks = fake.deinits = fake.closes = 0;
        target.driverId = LAME_DRIVER_ID;
        target.format = WAVEFORMATEX::Pcm(2, 44100, 16);
        target.format.nAvgBytesPerSec = 16000;
        target.library = &FAKE_ENTRY;
    }

    double seconds = 0;
};

TEST_F(LibraryEngineTest, EncodesEveryByteOnceAtTheSourcesOwnRate) {
    const PcmFormat format{22050, 2, 16};
    const Bytes pcm =
        testsupport::MakePcm(format, 2500); // 10000 bytes: two full chunks and 784 bytes
    // The word "data" inside an earlier chunk must not be taken for the samples.
    const std::string note = "metadata: data";
    const QString source = Write("in.wav", testsupport::WavBuilder()
                                               .Fmt(format)
                                               .List("INFO", Bytes(note.begin(), note.end()))
                                               .Data(pcm)
                                               .Build());
    // Blade's library gets the five-function interface's plain configuration.
    target.driverId = BLADE_DRIVER_ID;
    const auto done = Encode(source, Path("out.mp3"), &seconds);
    EXPECT_EQ(done.outcome, 1);
    EXPECT_EQ(done.source, source);
    EXPECT_EQ(testsupport::ReadFile(Path("out.mp3").toStdString()), WithEnd(pcm));
    EXPECT_NEAR(seconds, 2500.0 / 22050, 1e-9);

    const BE_MP3_CONFIG& mp3 = fake.config.format.mp3;
    EXPECT_EQ(std::tuple(fake.config.dwConfig, mp3.dwSampleRate, mp3.byMode, mp3.wBitrate),
              std::tuple(BE_CONFIG_MP3, 22050u, BE_MP3_MODE_STEREO, 128));
    EXPECT_EQ(Calls(), (std::array{1, 3, 1, 1}));

    // One message per whole percent, rising, the first after the first chunk.
    ASSERT_FALSE(events.progress.empty());
    EXPECT_EQ(events.progress.front(), (EngineEvents::Progress{46, 4608}));
    EXPECT_EQ(events.progress.back(), (EngineEvents::Progress{100, 10000}));
    for (std::size_t i = 1; i < events.progress.size(); ++i) {
        EXPECT_GT(events.progress[i].percent, events.progress[i - 1].percent);
    }
    EXPECT_FALSE(control.IsWorkerRunning());

    // The LAME library gets its own form: the stereo mode and the VBR preset,
    // and no Info frame from a library that cannot write it.
    target.driverId = LAME_DRIVER_ID;
    target.vbrQuality = 2;
    target.jointStereo = true;
    EXPECT_EQ(Encode(source, Path("lame.mp3")).outcome, 1);
    const BE_LAME_CONFIG& lame = fake.config.format.lhv1;
    EXPECT_EQ(std::tuple(fake.config.dwConfig, lame.dwSampleRate, lame.nMode, lame.bEnableVBR,
                         lame.nVBRQuality, lame.bWriteVBRHeader),
              std::tuple(BE_CONFIG_LAME, 22050u, BE_MP3_MODE_JSTEREO, 1u, 2, 0u));
}

TEST_F(LibraryEngineTest, SourcesTheLibraryCannotTakeFailWithOneSentence) {
    struct Case {
        PcmFormat format;
        const char* name;
    };
    // Widths that no converter reads are refused before the library is asked.
    for (const Case& c : {Case{{44100, 2, 20}, "twenty.wav"}, Case{{44100, 1, 12}, "twelve.wav"}}) {
        const QString source = WriteWav(c.name, c.format, 4410);
        EXPECT_EQ(Encode(source, Path("x.mp3")).outcome, 0) << c.name;
        EXPECT_EQ(ErrorLog().count(source), 1) << c.name;
        EXPECT_TRUE(ErrorLog().contains(
            QString("its %1-bit integer samples cannot be converted").arg(c.format.bitsPerSample)))
            << c.name;
    }
    EXPECT_EQ(fake.inits.load(), 0);

    // A rate the library refuses.
    fake.initResult = BE_ERR_INVALID_FORMAT_PARAMETERS;
    const QString odd = WriteWav("odd rate.wav", {96000, 2, 16}, 9600);
    EXPECT_EQ(Encode(odd, Path("odd.mp3")).outcome, 0);
    EXPECT_TRUE(ErrorLog().contains(
        QString("Error 2 - Couldn't open encode stream for source file (%1).").arg(odd)));
    EXPECT_EQ(fake.closes.load(), 0);
}

TEST_F(LibraryEngineTest, LibraryFailuresEndTheEncodeAndCloseTheStream) {
    const QString source = WriteWav("in.wav", {}, 10000);
    fake.failAtChunk = 1;
    EXPECT_EQ(Encode(source, Path("a.mp3")).outcome, 0);
    EXPECT_TRUE(ErrorLog().contains(
        QString("Error 5 - Couldn't encode chunk with Blade Encoder (%1).").arg(source)));
    EXPECT_EQ(Calls(), (std::array{1, 2, 0, 1}));

    fake.failAtChunk = -1;
    fake.deinitResult = BE_ERR_INVALID_HANDLE;
    EXPECT_EQ(Encode(source, Path("b.mp3")).outcome, 0);
    EXPECT_TRUE(ErrorLog().contains(
        QString("Error 4 - Couldn't close encode stream for source file (%1).").arg(source)));
    EXPECT_EQ(fake.closes.load(), 2);
}

TEST_F(LibraryEngineTest, FileProblemsAreReportedWithTheirPaths) {
    const QString source = WriteWav("in.wav", {}, 1000);
    const QString nowhere = Path("missing/out.mp3");
    EXPECT_EQ(Encode(source, nowhere).outcome, 0);
    EXPECT_TRUE(ErrorLog().contains(
        QString("Error 2 - Couldn't open the destination file (%1) for reading.").arg(nowhere)));

    // An empty data chunk makes no MP3, and says why.
    const QString empty = Write("empty.wav", testsupport::WavBuilder().Fmt({}).Data({}).Build());
    EXPECT_EQ(Encode(empty, Path("e.mp3")).outcome, 0);
    EXPECT_TRUE(ErrorLog().contains(empty));
    EXPECT_TRUE(events.progress.empty());
}

TEST_F(LibraryEngineTest, StartRefusalsPostNothing) {
    const QString source = WriteWav("in.wav", {}, 1000);
    control.CancelEncode();
    const QString bogus = Write("bogus.wav", Bytes(100, 'x'));
    EXPECT_EQ(Start(bogus, Path("o.mp3")), 0);
    EXPECT_TRUE(ErrorLog().contains(QString("Couldn't get wave properties for %1").arg(bogus)));
    // The earlier cancel is cleared only by an encode that starts.
    EXPECT_TRUE(control.IsEncodeCancelled());

    target.library = nullptr;
    EXPECT_EQ(Start(source, Path("o.mp3")), 0);
    EXPECT_TRUE(
        ErrorLog().contains(QString("LAME Encoder is not active for source file %1").arg(source)));
    target.driverId = BLADE_DRIVER_ID;
    EXPECT_EQ(Start(source, Path("o.mp3")), 0);
    EXPECT_TRUE(
        ErrorLog().contains(QString("Blade Encoder is not active for source file %1").arg(source)));
    events.Drain(100);
    EXPECT_TRUE(events.done.empty());
    EXPECT_FALSE(control.IsWorkerRunning());
}

TEST_F(LibraryEngineTest, PauseLosesAndRepeatsNothingAndCancelWhilePausedEnds) {
    fake.delayMs = 1;
    const PcmFormat format;
    const Bytes pcm = testsupport::MakePcm(format, 200000);
    const QString source = Write("p.wav", testsupport::WavBuilder().Fmt(format).Data(pcm).Build());
    ASSERT_EQ(Start(source, Path("p.mp3")), 1);
    while (fake.chunks.load() < 5) {
        QThread::msleep(1);
    }
    control.PauseEncode();
    const int held = fake.chunks.load();
    QThread::msleep(150);
    // Only the chunk underway when the pause came may still end.
    EXPECT_LE(fake.chunks.load(), held + 1);
    control.ResumeEncode();
    ASSERT_TRUE(events.WaitForDone());
    EXPECT_EQ(events.done[0].outcome, 1);
    EXPECT_EQ(testsupport::ReadFile(Path("p.mp3").toStdString()), WithEnd(pcm));

    // Cancelled mid-stream: after chunks of this encode, not the last one's.
    const int before = fake.chunks.load();
    ASSERT_EQ(Start(source, Path("q.mp3")), 1);
    while (fake.chunks.load() < before + 5) {
        QThread::msleep(1);
    }
    ASSERT_NO_FATAL_FAILURE(PauseCancelAndExpectTheEnd());
    // Closed without finishing the stream.
    EXPECT_EQ(fake.deinits.load(), 1);
    EXPECT_EQ(fake.closes.load(), 2);
    // The cancel lasts until the next encode begins.
    EXPECT_EQ(Encode(source, Path("r.mp3")).outcome, 1);
    EXPECT_FALSE(control.IsEncodeCancelled());
}

} // namespace
