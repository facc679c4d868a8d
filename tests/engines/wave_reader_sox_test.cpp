#include "engines/wave_reader.h"
#include "support/wav_builder.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace testsupport;

// An independent reader must see the same audio in our generated files.
TEST(WaveReaderAgainstSox, DataSizeFramesAndDurationAgree) {
    const QString sox = QStandardPaths::findExecutable(QStringLiteral("sox"));
    if (sox.isEmpty()) {
        GTEST_SKIP() << "sox is not installed (Debian package sox): the comparison with an "
                        "independent WAV reader was not run";
    }
    auto soxInfo = [&](const char* option, const QString& path) {
        QProcess process;
        process.start(sox, {QStringLiteral("--i"), QString::fromLatin1(option), path});
        const bool ran = process.waitForFinished(10000) && process.exitCode() == 0;
        EXPECT_TRUE(ran) << "sox --i " << option;
        return process.readAllStandardOutput().trimmed().toDouble();
    };
    QTemporaryDir dir;
    const PcmFormat odd{11025, 1, 16};
    const std::pair<PcmFormat, Bytes> cases[] = {
        {{8000, 1, 8}, MakePcmWav({8000, 1, 8}, 12345, Signal::Noise)},
        {{44100, 2, 16}, MakePcmWav({44100, 2, 16}, 88203)},
        {{48000, 2, 24}, MakePcmWav({48000, 2, 24}, 48000, Signal::Silence)},
        {{22050, 4, 32}, MakePcmWav({22050, 4, 32}, 5000)},
        {odd, WavBuilder()
                  .Disp(1, Bytes{'a', 'b', 'c'})
                  .Fmt(odd, true)
                  .List("INFO", Bytes{'I', 'N', 'A', 'M', 3, 0, 0, 0, 'a', 'b', 0, 0})
                  .Data(MakePcm(odd, 7777))
                  .Chunk("junk", Bytes{1})
                  .Build()},
    };
    int index = 0;
    for (const auto& [format, file] : cases) {
        SCOPED_TRACE(format.bitsPerSample);
        const QString path = dir.filePath(QString::number(index++) + ".wav");
        ASSERT_TRUE(WriteFile(path.toStdString(), file));
        WaveProperties properties;
        ASSERT_EQ(GetWaveProperties(path, &properties), WAVE_OK);
        const double frames = soxInfo("-s", path);
        const double channels = soxInfo("-c", path);
        EXPECT_EQ(properties.sampleFrames, frames);
        EXPECT_EQ(properties.format.Channels(), channels);
        EXPECT_EQ(properties.dataBytes, frames * channels * soxInfo("-b", path) / 8);
        EXPECT_NEAR(properties.durationSeconds, soxInfo("-D", path), 1e-6); // six decimals
    }
}
