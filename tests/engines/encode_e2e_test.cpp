#include "engine_events.h"
#include "library_engine_fixture.h"

#include "engines/catalogue.h"
#include "engines/encode_control.h"
#include "engines/encode_start.h"
#include "engines/library_binding.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>
#include <cstdlib>

using testsupport::Bytes;
using testsupport::PcmFormat;

namespace {

// Without a gapless tag, decoders keep the encoder's start-up delay (under one
// 1152-sample frame) and the padding of the last frame.
constexpr qint64 FRAME_SAMPLES = 1152;

class EndToEndTest : public LibraryEngineTest {
protected:
    EncodeTarget LibraryTarget(int library, std::uint32_t kbits) const {
        EncodeTarget target;
        target.driverId = library == BLADE_LIBRARY ? BLADE_DRIVER_ID : LAME_DRIVER_ID;
        target.format = WAVEFORMATEX::Pcm(2, 44100, 16);
        target.format.nAvgBytesPerSec = kbits * 1000 / 8;
        target.library = EncoderLibraryEntryPoints(library);
        return target;
    }

    EngineEvents::Done Encode(const EncodeTarget& target, const QString& source,
                              const QString& destination) {
        EngineEvents events;
        EXPECT_EQ(
            StartEncode(control, &events, PRIORITY_NORMAL, source, destination, target, nullptr),
            1);
        EXPECT_TRUE(events.WaitForDone(60000));
        events.Drain(20);
        EXPECT_EQ(events.done.size(), 1u);
        for (std::size_t i = 1; i < events.progress.size(); ++i) {
            EXPECT_GT(events.progress[i].percent, events.progress[i - 1].percent);
            EXPECT_GT(events.progress[i].bytes, events.progress[i - 1].bytes);
        }
        return events.done.empty() ? EngineEvents::Done{-1, {}} : events.done[0];
    }

    void ExpectDecodesTo(const QString& path, const PcmFormat& format, std::uint32_t frames) {
        const Decoded decoded = DecodeAudio(path);
        ASSERT_GE(decoded.frames, 0) << path.toStdString();
        EXPECT_EQ(decoded.rate, static_cast<int>(format.sampleRate));
        EXPECT_EQ(decoded.channels, format.channels);
        EXPECT_GE(decoded.frames, qint64(frames)) << path.toStdString();
        EXPECT_LE(decoded.frames, qint64(frames) + 2 * FRAME_SAMPLES) << path.toStdString();
    }

    EncodeControl control;
};

TEST_F(EndToEndTest, PausedLibraryEncodeWritesTheSameStream) {
    const PcmFormat format;
    const QString source = WriteWav("long.wav", format, 441000);
    const EncodeTarget target = LibraryTarget(LAME_LIBRARY, 128);
    ASSERT_EQ(Encode(target, source, Path("plain.mp3")).outcome, 1);

    EngineEvents events;
    ASSERT_EQ(
        StartEncode(control, &events, PRIORITY_LOW, source, Path("paused.mp3"), target, nullptr),
        1);
    // Paused at points the encoder reports, so a fast machine pauses mid-stream too.
    for (const int percent : {10, 40, 70}) {
        if (events.WaitForProgress(percent)) {
            control.PauseEncode();
            QThread::msleep(40);
            control.ResumeEncode();
        }
    }
    ASSERT_TRUE(events.WaitForDone(60000));
    EXPECT_EQ(events.done[0].outcome, 1);
    EXPECT_EQ(testsupport::ReadFile(Path("paused.mp3").toStdString()),
              testsupport::ReadFile(Path("plain.mp3").toStdString()));
}

TEST_F(EndToEndTest, ExternalEncoderStopsOnCancel) {
    EncodeTarget target;
    target.driverId = XING_DRIVER_ID;
    target.format = WAVEFORMATEX::Pcm(2, 44100, 16);
    target.format.nAvgBytesPerSec = 16000;
    target.externalProgram = BinDirectory() + "/x3enc";
    const PcmFormat format{44100, 2, 16};
    const QString longSource = WriteWav("long.wav", format, 44100 * 120);
    EngineEvents events;
    ASSERT_EQ(StartEncode(control, &events, PRIORITY_NORMAL, longSource, Path("long.mp3"), target,
                          nullptr),
              1);
    // Cancelled once the child has written something, whatever the machine's speed.
    QDeadlineTimer patience(60000);
    while (QFileInfo(Path("long.mp3")).size() == 0 && events.done.empty() &&
           !patience.hasExpired()) {
        events.Drain(5);
    }
    control.PauseEncode();
    control.CancelEncode();
    ASSERT_TRUE(events.WaitForDone(10000));
    events.Drain();
    ASSERT_EQ(events.done.size(), 1u);
    EXPECT_EQ(events.done[0].outcome, 0);
    EXPECT_TRUE(control.IsEncodeCancelled());
    EXPECT_EQ(ErrorLog(), QString());
}

TEST_F(EndToEndTest, CatalogueStartsEncodesByIndexAndChecksThem) {
    EncoderCatalogue catalogue;
    CatalogueSources sources;
    sources.isLibraryAvailable = [](int library) { return IsEncoderLibraryAvailable(library); };
    sources.externalEncoderFolder = [] { return std::optional<QString>(BinDirectory()); };
    const int drivers = catalogue.Build(sources);
    const int lame = catalogue.FindDriverExactly(LAME_DRIVER_ID, LAME_DRIVER_ID);
    const int xing = catalogue.FindDriverExactly(XING_DRIVER_ID, XING_DRIVER_ID);
    ASSERT_GE(lame, 0);
    ASSERT_GE(xing, 0);
    const QString source = WriteWav("in.wav", {}, 20000);

    EngineEvents events;
    for (const auto& [driver, format] :
         {std::pair{-1, 0}, std::pair{drivers, 0}, std::pair{lame, -1},
          std::pair{lame, catalogue.FormatCount(lame)}}) {
        EXPECT_EQ(catalogue.StartEncode(&events, 1, source, Path("x.mp3"), driver, format, nullptr),
                  0);
    }
    EXPECT_EQ(ErrorLog(), QString());

    for (const int driver : {lame, xing}) {
        const int format = catalogue.FindFormatExactly(driver, 2, 16000);
        double seconds = 0;
        events.done.clear();
        ASSERT_EQ(
            catalogue.StartEncode(&events, 1, source, Path("out.mp3"), driver, format, &seconds),
            1);
        EXPECT_NEAR(seconds, 20000.0 / 44100, 1e-9);
        EXPECT_EQ(catalogue.IsExternalEncoderRunning(), driver == xing);
        ASSERT_TRUE(events.WaitForDone());
        EXPECT_EQ(events.done[0].outcome, 1);
        EXPECT_FALSE(catalogue.IsEncodeCancelled());
        ExpectDecodesTo(Path("out.mp3"), {}, 20000);
    }
}

} // namespace
