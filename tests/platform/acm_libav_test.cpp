#include "acm_convert_loop.h"
#include "acm_fake_drivers.h"
#include "support/wav_builder.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

namespace {

using testsupport::Bytes;

struct InstalledDriver {
    HACMDRIVERID id = 0;
    ACMDRIVERDETAILS details;
};

std::vector<InstalledDriver> StandardDrivers() {
    std::vector<InstalledDriver> drivers;
    for (HACMDRIVERID id : InstalledDriverIds()) {
        InstalledDriver driver;
        driver.id = id;
        if (acmDriverDetails(id, &driver.details, 0) == MMSYSERR_NOERROR &&
            driver.details.wMid == 0x4356) {
            drivers.push_back(driver);
        }
    }
    return drivers;
}

std::vector<WAVEFORMATEX> ConvertibleFormats(HACMDRIVERID id, const WAVEFORMATEX& source) {
    std::vector<WAVEFORMATEX> formats;
    HACMDRIVER driver{};
    if (acmDriverOpen(&driver, id, 0) != MMSYSERR_NOERROR) {
        return formats;
    }
    std::uint32_t largest = 0;
    EXPECT_EQ(acmMetrics(driver, ACM_METRIC_MAX_SIZE_FORMAT, &largest), MMSYSERR_NOERROR);
    ACMFORMATDETAILS details;
    details.pwfx = source;
    details.cbwfx = largest;
    acmFormatEnum(
        driver, &details,
        [&formats, largest](HACMDRIVERID, ACMFORMATDETAILS& found, std::uintptr_t, std::uint32_t) {
            EXPECT_LE(found.pwfx.RecordSize(), largest);
            formats.push_back(found.pwfx);
            return true;
        },
        0, ACM_FORMATENUMF_CONVERT);
    acmDriverClose(driver, 0);
    return formats;
}

std::uint16_t U16(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

// Decodes files with Debian's ffmpeg in one run (it is slow to start) to
// 16-bit PCM; returns the sample frames of each, -1 where decoding failed.
std::vector<long long> DecodedFrames(const QStringList& paths, const std::vector<int>& channels) {
    QStringList arguments{"-v", "error", "-nostdin", "-y"};
    for (const QString& path : paths) {
        arguments << "-i" << path;
    }
    for (int i = 0; i < paths.size(); ++i) {
        arguments << "-map" << QString("%1:a").arg(i) << "-f"
                  << "s16le"
                  << "-acodec"
                  << "pcm_s16le" << paths[i] + ".raw";
    }
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", arguments);
    std::vector<long long> frames(paths.size(), -1);
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0) {
        ADD_FAILURE() << ffmpeg.readAllStandardError().toStdString();
        return frames;
    }
    for (int i = 0; i < paths.size(); ++i) {
        const QFileInfo raw(paths[i] + ".raw");
        if (raw.exists()) {
            frames[i] = raw.size() / (2 * channels[i]);
        }
    }
    return frames;
}

// A WAVE file as the conversion engine writes one: fmt, fact, data.
Bytes WrapInWave(const WAVEFORMATEX& format, std::uint32_t sourceFrames, const Bytes& data) {
    return testsupport::WavBuilder()
        .FmtRecord(format.Serialize())
        .Fact(sourceFrames)
        .Data(data)
        .Build();
}

const WAVEFORMATEX CD_SOURCE = WAVEFORMATEX::Pcm(2, 44100, 16);

} // namespace

// Every format offered from CD quality has working extra bytes, encodes at its
// announced byte rate and decodes to the source's length; each driver copes
// with small buffers and odd sources and refuses impossible pairs.
TEST(AcmStandardDrivers, EveryFormatEncodesToAFileThatDecodesToTheSourceLength) {
    const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg");
    if (ffmpeg.isEmpty()) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const testsupport::PcmFormat pcm;
    const std::uint32_t sourceFrames = 44100 * 5 / 2 + 333; // not a whole number of seconds
    const Bytes samples = testsupport::MakePcm(pcm, sourceFrames);
    const WAVEFORMATEX eightBit = WAVEFORMATEX::Pcm(2, 44100, 8);
    const Bytes eightBitSamples = testsupport::MakePcm({44100, 2, 8}, 44100);

    struct Encoded {
        std::string label;
        WAVEFORMATEX format;
        long long slack = 0;
    };
    std::vector<Encoded> encoded;
    QStringList paths;
    std::vector<int> channels;
    std::map<std::uint16_t, std::vector<WAVEFORMATEX>> byTag;
    for (const InstalledDriver& driver : StandardDrivers()) {
        SCOPED_TRACE(driver.details.szShortName);
        EXPECT_EQ(driver.details.fdwSupport & ACMDRIVERDETAILS_SUPPORTF_CODEC,
                  ACMDRIVERDETAILS_SUPPORTF_CODEC);
        EXPECT_NE(driver.details.wPid, 0);
        const auto formats = ConvertibleFormats(driver.id, CD_SOURCE);
        ASSERT_FALSE(formats.empty());
        for (const WAVEFORMATEX& format : formats) {
            const std::string label = driver.details.szShortName + " " +
                                      std::to_string(format.nChannels) + " ch " +
                                      std::to_string(format.nAvgBytesPerSec) + " B/s";
            SCOPED_TRACE(label);
            EXPECT_EQ(format.nSamplesPerSec, 44100u);
            EXPECT_TRUE(format.nChannels == 1 || format.nChannels == 2);
            byTag[format.wFormatTag].push_back(format);
            const LoopResult run = ConvertLikeEngine(driver.id, CD_SOURCE, format, samples);
            ASSERT_EQ(run.result, MMSYSERR_NOERROR);
            ASSERT_FALSE(run.output.empty());

            // The announced byte rate is what the stream really takes.
            const double seconds = static_cast<double>(sourceFrames) / 44100.0;
            const double rate = run.output.size() / seconds;
            EXPECT_NEAR(rate, format.nAvgBytesPerSec, format.nAvgBytesPerSec * 0.03 + 1200)
                << "produced " << run.output.size() << " bytes";

            const QString path = dir.filePath(QString("out%1.wav").arg(paths.size()));
            ASSERT_TRUE(testsupport::WriteFile(path.toStdString(),
                                               WrapInWave(format, sourceFrames, run.output)));
            // One block or frame of padding; MP3 also carries the encoder's
            // delay that its format record announces.
            long long slack = format.cbSize() >= 2 ? U16(format.Extra(), 0) : 0;
            if (format.wFormatTag == WAVE_FORMAT_MPEGLAYER3) {
                slack = 1152 + U16(format.Extra(), 10);
            }
            encoded.push_back({label, format, slack});
            paths << path;
            channels.push_back(format.nChannels);
        }

        // A small destination keeps input back without losing a byte, 8-bit and
        // empty sources convert, and impossible pairs are refused with 512.
        const WAVEFORMATEX& last = formats.back();
        const LoopResult whole = ConvertLikeEngine(driver.id, CD_SOURCE, last, samples);
        const LoopResult pieces =
            ConvertLikeEngine(driver.id, CD_SOURCE, last, samples, last.nBlockAlign * 3 + 7);
        ASSERT_EQ(whole.result, MMSYSERR_NOERROR);
        ASSERT_EQ(pieces.result, MMSYSERR_NOERROR);
        EXPECT_GT(pieces.keptBack, 0);
        EXPECT_EQ(pieces.output, whole.output);

        const auto eightBitFormats = ConvertibleFormats(driver.id, eightBit);
        ASSERT_FALSE(eightBitFormats.empty());
        const LoopResult run =
            ConvertLikeEngine(driver.id, eightBit, eightBitFormats.back(), eightBitSamples);
        EXPECT_EQ(run.result, MMSYSERR_NOERROR);
        EXPECT_FALSE(run.output.empty());
        const LoopResult empty = ConvertLikeEngine(driver.id, eightBit, eightBitFormats.back(), {});
        EXPECT_EQ(empty.result, MMSYSERR_NOERROR);
        EXPECT_TRUE(empty.output.empty());

        HACMDRIVER open{};
        ASSERT_EQ(acmDriverOpen(&open, driver.id, 0), MMSYSERR_NOERROR);
        HACMSTREAM stream{};
        WAVEFORMATEX otherRate = formats.front();
        otherRate.nSamplesPerSec = 22050;
        EXPECT_EQ(acmStreamOpen(&stream, open, CD_SOURCE, otherRate, 0), ACMERR_NOTPOSSIBLE);
        WAVEFORMATEX otherTag = formats.front();
        otherTag.wFormatTag = 0x0161;
        EXPECT_EQ(acmStreamOpen(&stream, open, CD_SOURCE, otherTag, 0), ACMERR_NOTPOSSIBLE);
        // Mono sources are not spread to stereo.
        EXPECT_EQ(acmStreamOpen(&stream, open, WAVEFORMATEX::Pcm(1, 44100, 16), last, 0),
                  ACMERR_NOTPOSSIBLE);
        EXPECT_EQ(acmStreamOpen(&stream, open, WAVEFORMATEX::Pcm(2, 44100, 24), last, 0),
                  ACMERR_NOTPOSSIBLE);
        // Decoding back to PCM is not what these drivers do.
        EXPECT_EQ(acmStreamOpen(&stream, open, last, CD_SOURCE, 0), ACMERR_NOTPOSSIBLE);
        EXPECT_EQ(stream, HACMSTREAM{});
        EXPECT_EQ(acmDriverClose(open, 0), MMSYSERR_NOERROR);
    }
    // Debian's libavcodec has all of these encoders.
    ASSERT_EQ(byTag.size(), 5u);
    ASSERT_GE(encoded.size(), 36u);

    const auto& mp3 = byTag[WAVE_FORMAT_MPEGLAYER3];
    EXPECT_EQ(mp3.size(), 28u);
    const auto stereo128 = std::find_if(mp3.begin(), mp3.end(), [](const WAVEFORMATEX& f) {
        return f.nChannels == 2 && f.nAvgBytesPerSec == 16000;
    });
    ASSERT_NE(stereo128, mp3.end());
    ASSERT_EQ(stereo128->cbSize(), 12);
    EXPECT_EQ(U16(stereo128->Extra(), 0), 1);   // wID
    EXPECT_EQ(U16(stereo128->Extra(), 6), 417); // nBlockSize at 128 kbit/s, 44100 Hz
    EXPECT_EQ(U16(stereo128->Extra(), 8), 1);   // nFramesPerBlock

    for (const WAVEFORMATEX& ima : byTag[WAVE_FORMAT_IMA_ADPCM]) {
        ASSERT_EQ(ima.cbSize(), 2);
        const std::uint32_t samplesPerBlock = U16(ima.Extra(), 0);
        EXPECT_EQ(ima.nBlockAlign, 1024u * ima.nChannels);
        EXPECT_EQ(samplesPerBlock, (ima.nBlockAlign - 4u * ima.nChannels) * 2 / ima.nChannels + 1);
        EXPECT_EQ(ima.nAvgBytesPerSec, 44100u * ima.nBlockAlign / samplesPerBlock);
    }
    for (const WAVEFORMATEX& adpcm : byTag[WAVE_FORMAT_ADPCM]) {
        ASSERT_EQ(adpcm.cbSize(), 32);
        EXPECT_EQ(U16(adpcm.Extra(), 2), 7); // coefficient pairs
        EXPECT_EQ(U16(adpcm.Extra(), 4), 256);
        EXPECT_EQ(static_cast<std::int16_t>(U16(adpcm.Extra(), 10)), -256);
        EXPECT_EQ(adpcm.nAvgBytesPerSec, 44100u * adpcm.nBlockAlign / U16(adpcm.Extra(), 0));
    }
    for (std::uint16_t tag : {WAVE_FORMAT_ALAW, WAVE_FORMAT_MULAW}) {
        ASSERT_EQ(byTag[tag].size(), 2u);
        EXPECT_EQ(byTag[tag][1].nAvgBytesPerSec, 88200u);
        EXPECT_EQ(byTag[tag][1].wBitsPerSample, 8);
    }
    const std::vector<long long> decoded = DecodedFrames(paths, channels);
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        SCOPED_TRACE(encoded[i].label);
        EXPECT_GE(decoded[i], sourceFrames);
        EXPECT_LE(decoded[i], sourceFrames + encoded[i].slack);
    }
}
