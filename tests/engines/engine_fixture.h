#pragma once

#include "app/error_log.h"
#include "app/program_directory.h"
#include "engines/acm_mp3_target.h"
#include "engines/catalogue.h"
#include "engines/encode_start.h"
#include "support/wav_builder.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <vector>

// A private folder for each test, which also receives the error log.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetProgramDirectory(dir.path() + "/");
    }

    QString Path(const QString& name) const { return dir.filePath(name); }

    QString ErrorLog() const {
        QFile log(GetErrorLogPath());
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    }

    QString Write(const QString& name, const testsupport::Bytes& bytes) const {
        const QString path = Path(name);
        EXPECT_TRUE(testsupport::WriteFile(path.toStdString(), bytes));
        return path;
    }

    QString WriteWav(const QString& name, const testsupport::PcmFormat& format,
                     std::uint32_t frames) const {
        return Write(name, testsupport::MakePcmWav(format, frames));
    }

    QTemporaryDir dir;
};

// Decodes a compressed file with ffmpeg; the number of sample frames per
// channel, the stream's rate and channel count and its interleaved 16-bit
// samples, or frames -1 on failure.
struct Decoded {
    qint64 frames = -1;
    int rate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples;
};

inline Decoded DecodeAudio(const QString& path) {
    Decoded decoded;
    QProcess probe;
    probe.start("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries",
                            "stream=sample_rate,channels", "-of", "csv=p=0", path});
    if (!probe.waitForFinished(20000) || probe.exitCode() != 0) {
        return decoded;
    }
    const QStringList facts = QString::fromUtf8(probe.readAllStandardOutput()).trimmed().split(',');
    if (facts.size() < 2) {
        return decoded;
    }
    decoded.rate = facts[0].toInt();
    decoded.channels = facts[1].toInt();
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-v", "error", "-i", path, "-f", "s16le", "-acodec", "pcm_s16le", "-"});
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0 || decoded.channels == 0) {
        return decoded;
    }
    const QByteArray bytes = ffmpeg.readAllStandardOutput();
    decoded.frames = bytes.size() / (2 * decoded.channels);
    decoded.samples.resize(std::size_t(bytes.size()) / 2);
    std::memcpy(decoded.samples.data(), bytes.constData(), decoded.samples.size() * 2);
    return decoded;
}
