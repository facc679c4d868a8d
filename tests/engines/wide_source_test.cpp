#include "library_engine_fixture.h"
#include "wide_source.h"

#include "engines/catalogue.h"
#include "engines/encode_control.h"
#include "engines/encode_start.h"
#include "engines/library_binding.h"
#include "engines/sample_converter.h"
#include "engines/wave_reader.h"
#include "platform/riff.h"

#include "encoders/mpeg_tables.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <tuple>

using testsupport::Bytes;

namespace {

constexpr double FREQUENCY = 1000.0;
constexpr double AMPLITUDE = 0.5;
constexpr qint64 FRAME_SAMPLES = 1152;
constexpr std::uint32_t FRONT_51 = 0x3F; // FL FR FC LFE BL BR

std::vector<bool> FrontOnly(std::uint16_t channels) {
    std::vector<bool> tone(channels, false);
    tone[0] = tone[1] = true;
    return tone;
}

// Frequency from rising zero crossings and level as RMS, of one channel over
// the middle half, where neither start-up nor the end plays a part.
struct Tone {
    double frequency = 0;
    double rmsDb = -200;
};

Tone Measure(const DecodedMp3& decoded, int channel) {
    const qint64 frames = decoded.Frames();
    const qint64 first = frames / 4;
    const qint64 last = frames * 3 / 4;
    double sum = 0;
    int crossings = 0;
    for (qint64 i = first; i < last; ++i) {
        const double value = decoded.samples[std::size_t(i * decoded.channels + channel)] / 32768.0;
        const double before =
            decoded.samples[std::size_t((i - 1) * decoded.channels + channel)] / 32768.0;
        sum += value * value;
        crossings += before < 0 && value >= 0;
    }
    // Half a second holds hundreds of cycles: one crossing more or less is noise.
    return {crossings * double(decoded.sampleRate) / double(last - first),
            10 * std::log10(sum / double(last - first) + 1e-20)};
}

// One kind of source file: made by a tool at test time or built here.
struct Kind {
    QString name;
    std::uint32_t rate = 44100;
    std::uint16_t channels = 2;
    bool tone = true; // a 1 kHz tone at half scale in the front channels; else speech
    std::function<bool(const QString& path)> make;
};

std::function<bool(const QString&)> Built(const Bytes& bytes) {
    return
        [bytes](const QString& path) { return testsupport::WriteFile(path.toStdString(), bytes); };
}

std::function<bool(const QString&)> Sox(QStringList format) {
    return [format](const QString& path) {
        return RunTool("sox", QStringList{"-n"} + format +
                                  QStringList{path, "synth", "1", "sine", "1000", "vol", "0.5"})
            .ok;
    };
}

std::function<bool(const QString&)> Ffmpeg(int rate, int channels, QStringList options) {
    QStringList tone;
    for (int channel = 0; channel < channels; ++channel) {
        tone << "0.5*sin(2*PI*1000*t)";
    }
    const QString source = QString("aevalsrc=%1:s=%2:d=1").arg(tone.join('|')).arg(rate);
    return [=](const QString& path) {
        return RunTool("ffmpeg", QStringList{"-v", "error", "-y", "-f", "lavfi", "-i", source} +
                                     options + QStringList{path})
            .ok;
    };
}

std::function<bool(const QString&)> PythonWave(int rate, int channels) {
    return [=](const QString& path) {
        const QString script = QString(R"(
import math, struct, sys, wave
with wave.open(sys.argv[1], 'wb') as w:
    w.setnchannels(%1); w.setsampwidth(2); w.setframerate(%2)
    w.writeframes(b''.join(struct.pack('<h', int(16383 * math.sin(2 * math.pi * 1000 * i / %2))) * %1
                           for i in range(%2)))
)")
                                   .arg(channels)
                                   .arg(rate);
        return RunTool("python3", {"-c", script, path}).ok;
    };
}

std::ptrdiff_t DataAt(const Bytes& riff) {
    return std::search(riff.begin(), riff.end(), std::begin("data"), std::begin("data") + 4) -
           riff.begin();
}

// The plain file made 64-bit: `ds64` first, 32-bit sizes that defer to it,
// and a chunk after the samples that a reader taking 0xFFFFFFFF would run into.
Bytes AsRf64(const Bytes& riff) {
    const Bytes tail{'L', 'I', 'S', 'T', 4, 0, 0, 0, 'I', 'N', 'F', 'O'};
    const auto dataAt = DataAt(riff);
    const std::uint64_t dataSize = riff.size() - dataAt - 8;
    Bytes out{'R', 'F', '6', '4', 0xFF, 0xFF, 0xFF, 0xFF, 'W', 'A', 'V', 'E', 'd', 's', '6', '4'};
    testsupport::PutU32(out, 28);
    const std::uint64_t riffSize = riff.size() - 8 + 36 + tail.size();
    for (const std::uint64_t value : {riffSize, dataSize, std::uint64_t(0)}) {
        testsupport::PutU32(out, std::uint32_t(value));
        testsupport::PutU32(out, std::uint32_t(value >> 32));
    }
    testsupport::PutU32(out, 0);
    out.insert(out.end(), riff.begin() + 12, riff.begin() + dataAt + 4);
    testsupport::PutU32(out, RIFF_SIZE_IN_DS64);
    out.insert(out.end(), riff.begin() + dataAt + 8, riff.end());
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

// A reader's chunk placed before the samples, as recorders and editors do.
Bytes WithChunkBefore(const Bytes& riff, const std::string& id, std::size_t size) {
    const auto dataAt = DataAt(riff);
    testsupport::WavBuilder builder;
    builder.Raw(Bytes(riff.begin() + 12, riff.begin() + dataAt)).Chunk(id, Bytes(size, '<'));
    return builder.Raw(Bytes(riff.begin() + dataAt, riff.end())).Build();
}

std::vector<Kind> Corpus() {
    using H = WideSource::Header;
    auto wide = [](
                    const char* name, WideSource source,
                    const std::function<Bytes(Bytes)>& edit = [](Bytes b) { return b; }) {
        return Kind{name, source.rate, source.channels, true,
                    Built(edit(MakeWideWav(source, source.rate)))};
    };
    const WideSource cd = WideSource(16, false, 2, 44100);
    Bytes noByteRate = MakeWideWav(cd, 44100);
    std::fill_n(noByteRate.begin() + 28, 4, 0); // the format's average bytes per second
    // Odd data size with its pad byte, data before the format, notes first.
    const testsupport::PcmFormat mono32{32000, 1, 16};
    const Bytes reordered =
        testsupport::WavBuilder()
            .List("INFO", Bytes(7, 'x'))
            .Data(testsupport::MakePcm(mono32, 32001, testsupport::Signal::Tone, FREQUENCY))
            .Fact(32001)
            .Fmt(mono32, true)
            .Build();
    std::vector<Kind> kinds = {
        {"data before fmt", 32000, 1, true, Built(reordered)},
        wide("16-bit stereo 44k", cd), // the reference level
        {"sox 24-bit mono 48k", 48000, 1, true, Sox({"-r", "48000", "-c", "1", "-b", "24"})},
        {"sox telephone 8k", 8000, 1, true, Sox({"-r", "8000", "-c", "1", "-b", "16"})},
        {"sox 8-bit 11k", 11025, 2, true, Sox({"-r", "11025", "-c", "2", "-b", "8"})},
        {"sox dictation 16k", 16000, 1, true, Sox({"-r", "16000", "-c", "1", "-b", "16"})},
        {"python 12k", 12000, 1, true, PythonWave(12000, 1)},
        {"ffmpeg broadcast", 48000, 2, true,
         Ffmpeg(48000, 2, {"-c:a", "pcm_s24le", "-write_bext", "1"})},
        {"ffmpeg rf64", 44100, 2, true, Ffmpeg(44100, 2, {"-rf64", "always"})},
        wide("2 KiB iXML before data", cd,
             [](Bytes b) { return WithChunkBefore(b, "iXML", 2048); }),
        wide("rf64 with ds64 sizes", cd, AsRf64),
        wide("16-bit stereo extensible", WideSource(16, false, 2, 44100, H::Extensible, 0x3)),
        {"no average byte rate", 44100, 2, true, Built(noByteRate)},
        wide("4 kHz", WideSource(16, false, 1, 4000)),
        wide("500 kHz", WideSource(16, false, 2, 500000)),
        wide("8-bit mono 22k", WideSource(8, false, 1, 22050)),
        wide("24-bit stereo 96k ext", WideSource(24, false, 2, 96000, H::Extensible, 0x3)),
        wide("32-bit stereo 48k", WideSource(32, false, 2, 48000)),
        wide("float mono 44k", WideSource(32, true, 1, 44100)),
        wide("double stereo 96k", WideSource(64, true, 2, 96000)),
        wide("16-bit 6ch 48k ext",
             WideSource(16, false, 6, 48000, H::Extensible, FRONT_51, FrontOnly(6))),
        wide("16-bit 6ch 44k", WideSource(16, false, 6, 44100, H::Plain, 0, FrontOnly(6))),
        wide("float stereo 22k ext", WideSource(32, true, 2, 22050, H::Extensible, 0x3)),
    };
    if (!QStandardPaths::findExecutable("espeak-ng").isEmpty()) {
        kinds.push_back(
            {"espeak-ng speech", 22050, 1, false, [](const QString& path) {
                 return RunTool("espeak-ng", {"-w", path, "Every kind of file encodes."}).ok;
             }});
    }
    return kinds;
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

    // The first of the MPEG rates, in the order of preference for a source
    // rate, that the encoder takes at 128 kbit/s (libshine has gaps).
    int RateTaken(unsigned driver, std::uint32_t sourceRate, std::uint16_t channels) const {
        const EncoderEntryPoints* library = Target(driver).library;
        if (library == nullptr) {
            return int(mpeg::ChooseRate(sourceRate, 128));
        }
        for (const std::uint32_t rate : mpeg::RatesByPreference(sourceRate, 128)) {
            BE_CONFIG config{};
            const std::uint8_t mode = channels == 1 ? BE_MP3_MODE_MONO : BE_MP3_MODE_STEREO;
            config.format.mp3 = {rate, mode, 128, 0, 0, 0, 0};
            std::uint32_t samples = 0, bytes = 0;
            HBE_STREAM stream = 0;
            if (library->beInitStream(&config, &samples, &bytes, &stream) == BE_ERR_SUCCESSFUL) {
                library->beCloseStream(stream);
                return int(rate);
            }
        }
        return 0;
    }

    std::map<unsigned, double> referenceDb; // level of each encoder's first tone
};

TEST_F(WideSourceTest, ReaderAdmitsUncompressedKindsWithTheirFacts) {
    struct Expected {
        WideSource source;
        std::uint32_t formatBytes;
        bool isFloat;
        std::uint32_t mask;
    };
    const Expected kinds[] = {
        {WideSource(24, false, 2, 96000, WideSource::Header::Extensible, 0x3), 40, false, 0x3},
        {WideSource(32, true, 1, 44100), 18, true, 0},
        {WideSource(64, true, 2, 48000), 18, true, 0},
        {WideSource(32, true, 6, 48000, WideSource::Header::Extensible, FRONT_51), 40, true,
         FRONT_51},
    };
    for (const Expected& kind : kinds) {
        const QString path = Write("kind.wav", MakeWideWav(kind.source, 96000));
        WaveProperties properties;
        ASSERT_EQ(GetWaveProperties(path, &properties), WAVE_OK);
        EXPECT_EQ(properties.formatBytes, kind.formatBytes);
        EXPECT_EQ(properties.sampleFrames, 96000u);
        EXPECT_DOUBLE_EQ(properties.durationSeconds, 96000.0 / kind.source.rate);
        const SampleLayout layout = DescribeSamples(properties.format);
        EXPECT_EQ(std::tuple(layout.isFloat, layout.bitsPerSample, layout.channelMask),
                  std::tuple(kind.isFloat, kind.source.bits, kind.mask));
    }
}

TEST_F(WideSourceTest, AnExtensibleRecordNamingACompressedSubFormatIsRefused) {
    Bytes record =
        MakeWideWav(WideSource(16, false, 2, 44100, WideSource::Header::Extensible, 3), 10);
    record[20 + 24] = 2; // the sub-format's tag: ADPCM
    WaveProperties properties;
    EXPECT_EQ(GetWaveProperties(Write("ext-adpcm.wav", record), &properties), WAVE_ERR_CORRUPT);
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
    // CD audio needs no converter.
    EXPECT_FALSE(SampleConverter::Create({false, 16, 2, 44100, 0, 6}, {2, 44100}, &problem));
}

// Every kind of source with every encoder: the right rate and channels, the
// sound's own length within one frame, and (for the tones) its pitch and a
// level the conversion did not move by 1 dB against the same encoder's
// untouched 16-bit stereo, and within 1.5 dB of the source.
TEST_F(WideSourceTest, EveryKindFromEveryToolEncodesWithEveryEncoder) {
    const double sourceDb = 20 * std::log10(AMPLITUDE / std::sqrt(2.0));
    const std::optional<EncodeTarget> acm = AcmMp3Target();
    ASSERT_TRUE(acm) << "no MP3 codec";
    const std::vector<Kind> kinds = Corpus();
    for (const Kind& kind : kinds) {
        const QString source = Path(kind.name + ".wav");
        ASSERT_TRUE(kind.make(source)) << kind.name.toStdString();
        WaveProperties properties;
        ASSERT_EQ(GetWaveProperties(source, &properties), WAVE_OK) << kind.name.toStdString();
        const qint64 sourceFrames = qint64(properties.sampleFrames);
        for (const unsigned driver :
             {BLADE_DRIVER_ID, LAME_DRIVER_ID, XING_DRIVER_ID, acm->driverId}) {
            // The codec writes exactly the chosen format; the MP3 encoders keep
            // mono and move the rate to the nearest one they take at 128 kbit/s.
            const bool codec = driver == acm->driverId;
            const std::string label = kind.name.toStdString() + " with " + std::to_string(driver);
            const QString mp3 = Path(QString("%1 %2.mp3").arg(kind.name).arg(driver));
            target = codec ? *acm : Target(driver);
            ASSERT_EQ(Encode(source, mp3).outcome, 1) << label << ErrorLog().toStdString();
            const DecodedMp3 decoded = DecodeMp3(mp3).value_or(DecodedMp3{});
            ASSERT_GT(decoded.Frames(), 0) << label;
            EXPECT_EQ(decoded.sampleRate,
                      codec ? 44100 : RateTaken(driver, kind.rate, kind.channels))
                << label;
            EXPECT_EQ(decoded.channels, kind.channels == 1 && !codec ? 1 : 2) << label;
            const qint64 expected = sourceFrames * decoded.sampleRate / kind.rate;
            EXPECT_GE(decoded.Frames(), expected - FRAME_SAMPLES) << label;
            EXPECT_LE(decoded.Frames(), expected + 2 * FRAME_SAMPLES) << label;
            if (!kind.tone) {
                continue;
            }
            EXPECT_NEAR(AudibleFrames(decoded, int(AMPLITUDE * 32768 * 0.3)), expected,
                        FRAME_SAMPLES)
                << label;
            for (int channel = 0; channel < decoded.channels; ++channel) {
                const Tone tone = Measure(decoded, channel);
                referenceDb.try_emplace(driver, tone.rmsDb);
                EXPECT_NEAR(tone.frequency, FREQUENCY, FREQUENCY * 0.005) << label;
                EXPECT_NEAR(tone.rmsDb, referenceDb[driver], 1.0) << label;
                EXPECT_NEAR(tone.rmsDb, sourceDb, 1.5) << label;
            }
        }
    }
    EXPECT_EQ(ErrorLog(), QString());
}

} // namespace
