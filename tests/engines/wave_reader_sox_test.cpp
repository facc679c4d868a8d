#include "engines/wave_reader.h"
#include "support/wav_builder.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

using namespace testsupport;

namespace {

// One figure from `sox --i <option> <file>`; NaN when sox fails.
double SoxInfo(const QString& sox, const char* option, const QString& path) {
    QProcess process;
    process.start(sox, {QStringLiteral("--i"), QString::fromLatin1(option), path});
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        return std::nan("");
    }
    bool ok = false;
    const double value = process.readAllStandardOutput().trimmed().toDouble(&ok);
    return ok ? value : std::nan("");
}

} // namespace

// An independent reader must see the same audio in our generated files.
TEST(WaveReaderAgainstSox, DataSizeFramesAndDurationAgree) {
    const QString sox = QStandardPaths::findExecutable(QStringLiteral("sox"));
    if (sox.isEmpty()) {
        GTEST_SKIP() << "sox is not installed (Debian package sox); the comparison with an "
                        "independent WAV reader was not run";
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    struct Case {
        const char* name;
        Bytes file;
        std::uint32_t bytesPerSample;
    };
    const PcmFormat mono8{8000, 1, 8};
    const PcmFormat cd{44100, 2, 16};
    const PcmFormat hiRes{48000, 2, 24};
    const PcmFormat quad{22050, 4, 32};
    const PcmFormat odd{11025, 1, 16};
    const Case cases[] = {
        {"mono8", MakePcmWav(mono8, 12345, Signal::Noise), 1},
        {"cd", MakePcmWav(cd, 44100 * 2 + 3), 2},
        {"hires", MakePcmWav(hiRes, 48000, Signal::Silence), 3},
        {"quad", MakePcmWav(quad, 5000), 4},
        {"chunky",
         WavBuilder()
             .Disp(1, Bytes{'a', 'b', 'c'})
             .Fmt(odd, true)
             .List("INFO", Bytes{'I', 'N', 'A', 'M', 3, 0, 0, 0, 'a', 'b', 0, 0})
             .Data(MakePcm(odd, 7777))
             .Chunk("junk", Bytes{1})
             .Build(),
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name) + ".wav");
        ASSERT_TRUE(WriteFile(path.toStdString(), c.file));
        WaveProperties properties;
        ASSERT_EQ(GetWaveProperties(path, &properties), WAVE_OK);

        const double frames = SoxInfo(sox, "-s", path);
        const double channels = SoxInfo(sox, "-c", path);
        const double duration = SoxInfo(sox, "-D", path);
        ASSERT_FALSE(std::isnan(frames) || std::isnan(channels) || std::isnan(duration));
        EXPECT_EQ(properties.sampleFrames, frames);
        EXPECT_EQ(properties.format.Channels(), channels);
        EXPECT_EQ(properties.dataBytes, frames * channels * c.bytesPerSample);
        // sox prints six decimals.
        EXPECT_NEAR(properties.durationSeconds, duration, 1e-6);
    }
}
