#include "engine_events.h"
#include "library_engine_fixture.h"
#include "wide_source.h"

#include "engines/catalogue.h"
#include "engines/encode_control.h"
#include "engines/encode_start.h"
#include "engines/library_binding.h"
#include "engines/sample_converter.h"
#include "engines/wave_reader.h"

#include <QCoreApplication>
#include <cmath>
#include <cstdlib>

using testsupport::Bytes;

namespace {

constexpr double FREQUENCY = 1000.0;
constexpr double AMPLITUDE = 0.5;
constexpr qint64 FRAME_SAMPLES = 1152;
constexpr std::uint32_t FRONT_51 = 0x3F; // FL FR FC LFE BL BR

WideSource Kind(std::uint16_t bits, bool isFloat, std::uint16_t channels, std::uint32_t rate,
                WideSource::Header header = WideSource::Header::Plain, std::uint32_t mask = 0,
                std::vector<bool> toneIn = {}) {
    WideSource source;
    source.bits = bits;
    source.isFloat = isFloat;
    source.channels = channels;
    source.rate = rate;
    source.header = header;
    source.channelMask = mask;
    source.toneIn = std::move(toneIn);
    return source;
}

std::vector<bool> FrontOnly(std::uint16_t channels) {
    std::vector<bool> tone(channels, false);
    tone[0] = tone[1] = true;
    return tone;
}

// Decoded 16-bit samples with the stream's rate and channel count.
struct DecodedSamples {
    int rate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples;
    qint64 Frames() const { return channels == 0 ? 0 : qint64(samples.size()) / channels; }
};

DecodedSamples DecodeSamples(const QString& path) {
    DecodedSamples decoded;
    const Decoded facts = DecodeAudio(path);
    if (facts.frames < 0) {
        return decoded;
    }
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-v", "error", "-i", path, "-f", "s16le", "-acodec", "pcm_s16le", "-"});
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0) {
        return decoded;
    }
    const QByteArray bytes = ffmpeg.readAllStandardOutput();
    decoded.rate = facts.rate;
    decoded.channels = facts.channels;
    decoded.samples.resize(std::size_t(bytes.size()) / 2);
    std::memcpy(decoded.samples.data(), bytes.constData(), decoded.samples.size() * 2);
    return decoded;
}

// Frequency from rising zero crossings and level as RMS, of one channel over
// the middle half, where neither start-up nor the end plays a part.
struct Tone {
    double frequency = 0;
    double rmsDb = -200;
};

Tone Measure(const DecodedSamples& decoded, int channel) {
    const qint64 frames = decoded.Frames();
    const qint64 first = frames / 4;
    const qint64 last = frames * 3 / 4;
    double sum = 0;
    int crossings = 0;
    qint64 firstCrossing = -1;
    qint64 lastCrossing = -1;
    for (qint64 i = first; i < last; ++i) {
        const double value = decoded.samples[std::size_t(i * decoded.channels + channel)] / 32768.0;
        const double before =
            decoded.samples[std::size_t((i - 1) * decoded.channels + channel)] / 32768.0;
        sum += value * value;
        if (before < 0 && value >= 0) {
            if (firstCrossing < 0) {
                firstCrossing = i;
            }
            lastCrossing = i;
            ++crossings;
        }
    }
    Tone tone;
    if (crossings > 1) {
        tone.frequency =
            (crossings - 1) * double(decoded.rate) / double(lastCrossing - firstCrossing);
    }
    tone.rmsDb = 10 * std::log10(sum / double(last - first) + 1e-20);
    return tone;
}

// Frames from the first to the last sample of the tone that stands out from
// silence: the sound's own length, without encoder delay and padding.
qint64 SoundingFrames(const DecodedSamples& decoded) {
    const int threshold = static_cast<int>(AMPLITUDE * 32768 * 0.3);
    qint64 first = -1;
    qint64 last = -1;
    for (qint64 i = 0; i < decoded.Frames(); ++i) {
        if (std::abs(decoded.samples[std::size_t(i * decoded.channels)]) > threshold) {
            first = first < 0 ? i : first;
            last = i;
        }
    }
    return first < 0 ? 0 : last - first;
}

struct Case {
    const char* name;
    WideSource source;
    int expectedRate;
};

std::vector<Case> Cases() {
    using H = WideSource::Header;
    return {
        {"16-bit stereo 44k", Kind(16, false, 2, 44100), 44100}, // the reference
        {"8-bit mono 22k", Kind(8, false, 1, 22050), 22050},
        {"24-bit stereo 96k ext", Kind(24, false, 2, 96000, H::Extensible, 0x3), 48000},
        {"32-bit stereo 48k", Kind(32, false, 2, 48000), 48000},
        {"float mono 44k", Kind(32, true, 1, 44100), 44100},
        {"double stereo 96k", Kind(64, true, 2, 96000), 48000},
        {"16-bit 6ch 48k ext", Kind(16, false, 6, 48000, H::Extensible, FRONT_51, FrontOnly(6)),
         48000},
        {"16-bit 6ch 44k", Kind(16, false, 6, 44100, H::Plain, 0, FrontOnly(6)), 44100},
        {"float stereo 22k ext", Kind(32, true, 2, 22050, H::Extensible, 0x3), 22050},
    };
}

class WideSourceTest : public LibraryEngineTest {
protected:
    EncodeTarget Target(unsigned driverId) const {
        EncodeTarget target;
        target.driverId = driverId;
        target.format = WAVEFORMATEX::Pcm(2, 44100, 16);
        target.format.nAvgBytesPerSec = 16000; // 128 kbit/s
        if (driverId == XING_DRIVER_ID) {
            target.externalProgram = BinDirectory() + "/x3enc";
        } else {
            target.library = EncoderLibraryEntryPoints(driverId == BLADE_DRIVER_ID ? BLADE_LIBRARY
                                                                                   : LAME_LIBRARY);
        }
        return target;
    }

    int Encode(const EncodeTarget& target, const QString& source, const QString& destination) {
        EngineEvents events;
        if (StartEncode(control, &events, PRIORITY_NORMAL, source, destination, target, nullptr) !=
            1) {
            return -1;
        }
        EXPECT_TRUE(events.WaitForDone(60000));
        events.Drain(20);
        return events.done.empty() ? -1 : events.done[0].outcome;
    }

    EncodeControl control;
};

TEST_F(WideSourceTest, ReaderAdmitsUncompressedKindsWithTheirFacts) {
    struct Expected {
        WideSource source;
        std::uint32_t formatBytes;
        bool isFloat;
        std::uint32_t mask;
    };
    const Expected kinds[] = {
        {Kind(24, false, 2, 96000, WideSource::Header::Extensible, 0x3), 40, false, 0x3},
        {Kind(32, true, 1, 44100), 18, true, 0},
        {Kind(64, true, 2, 48000), 18, true, 0},
        {Kind(32, true, 6, 48000, WideSource::Header::Extensible, FRONT_51), 40, true, FRONT_51},
    };
    for (const Expected& kind : kinds) {
        const QString path = Write("kind.wav", MakeWideWav(kind.source, 96000));
        WaveProperties properties;
        ASSERT_EQ(GetWaveProperties(path, &properties), WAVE_OK);
        EXPECT_EQ(properties.formatBytes, kind.formatBytes);
        EXPECT_EQ(properties.sampleFrames, 96000u);
        EXPECT_DOUBLE_EQ(properties.durationSeconds, 96000.0 / kind.source.rate);
        const SampleLayout layout = DescribeSamples(properties.format);
        EXPECT_EQ(layout.isFloat, kind.isFloat);
        EXPECT_EQ(layout.bitsPerSample, kind.source.bits);
        EXPECT_EQ(layout.channelMask, kind.mask);
    }
}

TEST_F(WideSourceTest, CompressedFilesAreStillRefused) {
    // A-law with its fact chunk parses, then fails on the tag; IMA ADPCM
    // without one fails as corrupt; an extensible record naming ADPCM as its
    // sub-format is compressed too.
    const QString alaw = Write("alaw.wav", testsupport::WavBuilder()
                                               .CompressedFmt(6, 1, 8000, 8000, 1, 8)
                                               .Fact(8000)
                                               .Data(Bytes(8000, 0x55))
                                               .Build());
    const QString adpcm =
        Write("adpcm.wav", testsupport::WavBuilder()
                               .CompressedFmt(0x11, 1, 22050, 11100, 512, 4, {2, 0, 0xF9, 1})
                               .Data(Bytes(1024, 0))
                               .Build());
    Bytes record = MakeWideWav(Kind(16, false, 2, 44100, WideSource::Header::Extensible, 3), 10);
    record[20 + 24] = 2; // the sub-format's tag: ADPCM
    const QString extensible = Write("ext-adpcm.wav", record);
    WaveProperties properties;
    EXPECT_EQ(GetWaveProperties(alaw, &properties), WAVE_ERR_NOT_PCM);
    EXPECT_EQ(GetWaveProperties(adpcm, &properties), WAVE_ERR_CORRUPT);
    EXPECT_EQ(GetWaveProperties(extensible, &properties), WAVE_ERR_CORRUPT);
}

TEST_F(WideSourceTest, OnlySixteenBitAtAnEncoderRateGoesInDirectly) {
    const EncoderInput stereo44{2, 44100};
    EXPECT_TRUE(IsDirectInput({false, 16, 2, 44100, 0, 4}, stereo44));
    EXPECT_TRUE(IsDirectInput({false, 16, 1, 22050, 0, 2}, {1, 22050}));
    EXPECT_FALSE(IsDirectInput({false, 16, 2, 48000, 0, 4}, stereo44));
    EXPECT_FALSE(IsDirectInput({false, 24, 2, 44100, 0, 6}, stereo44));
    EXPECT_FALSE(IsDirectInput({true, 32, 2, 44100, 0, 8}, stereo44));
    EXPECT_FALSE(IsDirectInput({false, 16, 6, 44100, 0, 12}, stereo44));
    EXPECT_EQ(EncoderChannelsFor(1), 1);
    EXPECT_EQ(EncoderChannelsFor(6), 2);
}

TEST_F(WideSourceTest, DownmixUsesTheUsualCoefficients) {
    // The centre alone reaches both sides 3 dB down; the front keeps its level.
    std::vector<std::int16_t> out;
    QString problem;
    auto converter =
        SampleConverter::Create({false, 16, 6, 48000, FRONT_51, 12}, {2, 48000}, &problem);
    ASSERT_TRUE(converter) << problem.toStdString();
    std::vector<std::int16_t> frames;
    for (int i = 0; i < 4800; ++i) {
        frames.insert(frames.end(), {i < 2400 ? std::int16_t(16000) : std::int16_t(0), 0,
                                     i < 2400 ? std::int16_t(0) : std::int16_t(16000), 0, 0, 0});
    }
    ASSERT_TRUE(
        converter->Convert(reinterpret_cast<const std::uint8_t*>(frames.data()), 4800, out));
    ASSERT_TRUE(converter->Flush(out));
    ASSERT_EQ(out.size(), 9600u);
    EXPECT_NEAR(out[2 * 1000], 16000, 2);
    EXPECT_NEAR(out[2 * 1000 + 1], 0, 2);
    EXPECT_NEAR(out[2 * 4000], 16000 * M_SQRT1_2, 2);
    EXPECT_NEAR(out[2 * 4000 + 1], 16000 * M_SQRT1_2, 2);

    EXPECT_FALSE(SampleConverter::Create({false, 20, 2, 44100, 0, 6}, {2, 44100}, &problem));
    EXPECT_EQ(problem, "its 20-bit integer samples cannot be converted");
    EXPECT_FALSE(SampleConverter::Create({false, 16, 2, 44100, 0, 6}, {2, 44100}, &problem));
}

// Levels are held against the same encoder's encode of plain 16-bit stereo,
// which goes in untouched: the conversion must not move them by 1 dB. The
// encoders' own response lies within 1.5 dB of the source.
TEST_F(WideSourceTest, EveryKindEncodesWithEachEncoderAtItsLengthToneAndLevel) {
    const double sourceDb = 20 * std::log10(AMPLITUDE / std::sqrt(2.0));
    const std::optional<EncodeTarget> acm = AcmMp3Target();
    ASSERT_TRUE(acm) << "no MP3 codec";
    for (const unsigned driver : {BLADE_DRIVER_ID, LAME_DRIVER_ID, XING_DRIVER_ID, acm->driverId}) {
        // The codec writes exactly the chosen format; the MP3 encoders keep the rate's family.
        const bool exactFormat = driver == acm->driverId;
        double referenceDb = 0;
        const std::vector<Case> cases = Cases();
        for (const Case& c : cases) {
            const std::uint32_t frames = c.source.rate; // one second
            const QString source = Write(QString(c.name) + ".wav", MakeWideWav(c.source, frames));
            const std::string label =
                std::string(c.name) + " with driver " + std::to_string(driver);
            const QString mp3 = Path(QString("%1 %2.mp3").arg(c.name).arg(driver));
            ASSERT_EQ(Encode(exactFormat ? *acm : Target(driver), source, mp3), 1)
                << label << ErrorLog().toStdString();
            const DecodedSamples decoded = DecodeSamples(mp3);
            ASSERT_GT(decoded.Frames(), 0) << label;
            EXPECT_EQ(decoded.rate, exactFormat ? 44100 : c.expectedRate) << label;
            EXPECT_EQ(decoded.channels, c.source.channels == 1 && !exactFormat ? 1 : 2) << label;
            const qint64 expected = qint64(frames) * decoded.rate / c.source.rate;
            EXPECT_GE(decoded.Frames(), expected - FRAME_SAMPLES) << label;
            EXPECT_LE(decoded.Frames(), expected + 2 * FRAME_SAMPLES) << label;
            EXPECT_NEAR(SoundingFrames(decoded), expected, FRAME_SAMPLES) << label;
            for (int channel = 0; channel < decoded.channels; ++channel) {
                const Tone tone = Measure(decoded, channel);
                if (&c == &cases.front()) {
                    referenceDb = tone.rmsDb;
                }
                EXPECT_NEAR(tone.frequency, FREQUENCY, FREQUENCY * 0.005) << label;
                EXPECT_NEAR(tone.rmsDb, referenceDb, 1.0) << label;
                EXPECT_NEAR(tone.rmsDb, sourceDb, 1.5) << label;
            }
        }
    }
    EXPECT_EQ(ErrorLog(), QString());
}

} // namespace
