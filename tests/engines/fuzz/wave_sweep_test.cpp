#include "engines/wave_reader.h"
#include "support/wav_builder.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace testsupport;

namespace {

std::vector<Bytes> SeedFiles() {
    const PcmFormat mono8{8000, 1, 8};
    const PcmFormat stereo16{44100, 2, 16};
    return {
        MakePcmWav(mono8, 120),
        WavBuilder()
            .Disp(1, Bytes{'t', 'i', 't', 'l', 'e'})
            .Fmt(stereo16, true)
            .List("INFO", Bytes{'I', 'N', 'A', 'M', 3, 0, 0, 0, 'a', 'b', 0, 0})
            .Fact(30)
            .Chunk("odd ", Bytes{1, 2, 3})
            .Data(MakePcm(stereo16, 30))
            .Build(),
        MakeCompressedWav(0x55, 90, 1152, Bytes{1, 0, 2, 0, 0, 0, 0x40, 0x01, 1, 0, 0x71, 0x05}),
        MakeCompressedWav(2, 64, std::nullopt, Bytes{0xF4, 0x01}),
        WavBuilder()
            .Data(Bytes{})
            .Fmt(mono8)
            .Plst({{1, 10, 1}})
            .Data(Bytes(41, 0x80))
            .Fmt(stereo16)
            .Data(Bytes(8, 0x80))
            .Build(),
    };
}

// Success must describe audio that is really there; failures carry nothing.
void CheckResult(const Bytes& file, unsigned result, const WaveProperties& p, const QString& path) {
    if (result == WAVE_OK) {
        ASSERT_EQ(p.format.Tag(), PCM_FORMAT_TAG);
        ASSERT_EQ(p.format.Size(), 16u);
        ASSERT_EQ(p.formatBytes, 16u);
        ASSERT_NE(p.format.BlockAlign(), 0);
        if (const std::uint32_t rate = p.format.AvgBytesPerSec(); rate != 0) {
            ASSERT_EQ(p.hours * 3600 + p.minutes * 60 + p.seconds,
                      std::uint32_t(double(p.dataBytes) / rate));
            ASSERT_TRUE(p.minutes < 60 && p.seconds < 60 && !p.durationText.isEmpty());
        } else {
            ASSERT_TRUE(p.durationSeconds == 0.0 && p.durationText.isEmpty());
        }
        WioFile wio;
        ASSERT_EQ(wioFileOpen(&wio, path, RIFF_READ), WAVE_OK);
        ASSERT_LE(qint64(wio.dataOffset) + wio.dataSize, qint64(file.size()));
        ASSERT_TRUE(wio.dataSize == 0 || std::memcmp(&file[wio.dataOffset - 8], "data", 4) == 0);
        ASSERT_TRUE(wio.hasFact || p.sampleFrames == p.dataBytes / p.format.BlockAlign());
    } else if (result == WAVE_ERR_NOT_PCM) {
        ASSERT_NE(p.format.Tag(), PCM_FORMAT_TAG);
        ASSERT_EQ(p.formatBytes, 18u + p.format.CbSize());
        ASSERT_EQ(p.format.Size(), p.formatBytes);
        ASSERT_LE(p.dataBytes, file.size());
    } else {
        ASSERT_TRUE(result == WAVE_ERR_NO_FORMAT || result == WAVE_ERR_CANNOT_OPEN ||
                    result == WAVE_ERR_CORRUPT)
            << result;
        ASSERT_TRUE(p.format.IsEmpty() && p.dataBytes == 0 && p.durationText.isEmpty());
    }
}

void CheckFindDataChunk(const Bytes& file, const QString& path) {
    QFile source(path);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    unsigned offset = 0;
    if (FindDataChunk(source, &offset) == 1) {
        ASSERT_TRUE(offset >= 8 && offset - 4 <= std::min<std::size_t>(file.size(), 1024));
        ASSERT_EQ(std::memcmp(&file[offset - 8], "data", 4), 0);
        ASSERT_EQ(source.pos(), offset);
    }
}

// Every chunk, forms and lists entered; the walk must end.
void Walk(RiffFile& riff, const RiffChunk* parent, int depth, int& steps) {
    RiffChunk chunk;
    while (depth < 8 && riff.Descend(chunk, parent) == RIFF_OK) {
        ASSERT_LT(++steps, 10000);
        if (chunk.id == FOURCC_RIFF || chunk.id == FOURCC_LIST) {
            Walk(riff, &chunk, depth + 1, steps);
        }
        if (riff.Ascend(chunk) != RIFF_OK) {
            return;
        }
    }
}

class WaveSweep : public testing::Test {
protected:
    void Check(const Bytes& file) {
        ASSERT_TRUE(WriteFile(path.toStdString(), file));
        WaveProperties properties;
        const unsigned result = GetWaveProperties(path, &properties);
        ASSERT_NO_FATAL_FAILURE(CheckResult(file, result, properties, path));
        ASSERT_NO_FATAL_FAILURE(CheckFindDataChunk(file, path));
        QByteArray bytes(reinterpret_cast<const char*>(file.data()), qsizetype(file.size()));
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        RiffFile riff;
        ASSERT_EQ(riff.Open(&buffer, RIFF_READ), RIFF_OK);
        int steps = 0;
        ASSERT_NO_FATAL_FAILURE(Walk(riff, nullptr, 0, steps));
    }

    // Thousands of small files: memory-backed storage keeps the sweep quick.
    static QString TempTemplate() {
        const QString shared = QStringLiteral("/dev/shm");
        return (QFileInfo(shared).isWritable() ? shared : QDir::tempPath()) +
               QStringLiteral("/corvane-sweep-XXXXXX");
    }

    QTemporaryDir dir{TempTemplate()};
    QString path = dir.filePath(QStringLiteral("sweep.wav"));
};

} // namespace

TEST_F(WaveSweep, TruncatedAndCorruptedFilesNeverCrashOrReportImpossibleValues) {
    const std::vector<Bytes> seeds = SeedFiles();
    for (const Bytes& seed : seeds) {
        for (std::size_t length = 0; length <= seed.size(); ++length) {
            ASSERT_NO_FATAL_FAILURE(Check(Truncated(seed, length))) << "length " << length;
        }
    }
    std::mt19937 random(20261206);
    for (std::uint32_t round = 0; round < 2000; ++round) {
        Bytes file = Corrupted(seeds[round % seeds.size()], round, 1 + int(random() % 6));
        if (round % 3 == 0) {
            file = Truncated(file, random() % (file.size() + 1));
        }
        ASSERT_NO_FATAL_FAILURE(Check(file)) << "round " << round;
    }
}
