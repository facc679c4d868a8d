#include "engines/wave_reader.h"
#include "support/wav_builder.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QFile>
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
            .Plst({{1, 10, 1}, {2, 20, 2}})
            .Data(Bytes(41, 0x80))
            .Fmt(stereo16)
            .Data(Bytes(8, 0x80))
            .Build(),
    };
}

// What a result may look like; anything else is a fault.
void CheckResult(const Bytes& file, unsigned result, const WaveProperties& properties,
                 const QString& path) {
    switch (result) {
    case WAVE_OK: {
        const WaveFormatCopy& format = properties.format;
        ASSERT_EQ(format.Tag(), PCM_FORMAT_TAG);
        ASSERT_EQ(properties.formatBytes, 16u);
        ASSERT_EQ(format.Size(), 16u);
        ASSERT_NE(format.BlockAlign(), 0);
        ASSERT_LE(properties.dataBytes, file.size());
        const std::uint32_t rate = format.AvgBytesPerSec();
        if (rate == 0) {
            ASSERT_EQ(properties.durationSeconds, 0.0);
            ASSERT_TRUE(properties.durationText.isEmpty());
        } else {
            const auto total = static_cast<std::uint32_t>(double(properties.dataBytes) / rate);
            ASSERT_EQ(properties.hours * 3600 + properties.minutes * 60 + properties.seconds,
                      total);
            ASSERT_LT(properties.minutes, 60u);
            ASSERT_LT(properties.seconds, 60u);
            ASSERT_FALSE(properties.durationText.isEmpty());
        }
        WioFile wio;
        ASSERT_EQ(wioFileOpen(&wio, path, RIFF_READ), WAVE_OK);
        ASSERT_LE(qint64(wio.dataOffset) + wio.dataSize, qint64(file.size()));
        if (wio.dataSize != 0) {
            ASSERT_EQ(std::memcmp(file.data() + wio.dataOffset - 8, "data", 4), 0);
        }
        if (!wio.hasFact) {
            ASSERT_EQ(properties.sampleFrames, properties.dataBytes / format.BlockAlign());
        }
        break;
    }
    case WAVE_ERR_NOT_PCM:
        ASSERT_NE(properties.format.Tag(), PCM_FORMAT_TAG);
        ASSERT_EQ(properties.formatBytes, 18u + properties.format.CbSize());
        ASSERT_EQ(properties.format.Size(), properties.formatBytes);
        ASSERT_LE(properties.dataBytes, file.size());
        break;
    case WAVE_ERR_NO_FORMAT:
    case WAVE_ERR_CANNOT_OPEN:
    case WAVE_ERR_CORRUPT:
        ASSERT_TRUE(properties.format.IsEmpty());
        ASSERT_EQ(properties.dataBytes, 0u);
        ASSERT_EQ(properties.sampleFrames, 0u);
        ASSERT_TRUE(properties.durationText.isEmpty());
        break;
    default:
        FAIL() << "unexpected result " << result;
    }
}

void CheckFindDataChunk(const Bytes& file, const QString& path) {
    QFile source(path);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    unsigned offset = 0;
    if (FindDataChunk(source, &offset) == 1) {
        ASSERT_GE(offset, 8u);
        ASSERT_LE(offset - 8 + 4, std::min<std::size_t>(file.size(), 1024));
        ASSERT_EQ(std::memcmp(file.data() + offset - 8, "data", 4), 0);
        ASSERT_EQ(source.pos(), offset);
    }
}

// Walks every chunk, entering forms and lists; each step must move forward.
void Walk(RiffFile& riff, const RiffChunk* parent, int depth, int& steps) {
    RiffChunk chunk;
    while (depth < 8 && riff.Descend(chunk, parent) == RIFF_OK) {
        ASSERT_LT(++steps, 100000) << "the walk does not end";
        if (chunk.id == FOURCC_RIFF || chunk.id == FOURCC_LIST) {
            Walk(riff, &chunk, depth + 1, steps);
        }
        const qint64 before = riff.Position();
        if (riff.Ascend(chunk) != RIFF_OK) {
            return;
        }
        ASSERT_GE(riff.Position(), std::min(before, chunk.PaddedEnd()));
    }
}

void CheckRiffWalk(const Bytes& file) {
    QByteArray bytes(reinterpret_cast<const char*>(file.data()), qsizetype(file.size()));
    QBuffer buffer(&bytes);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    RiffFile riff;
    ASSERT_EQ(riff.Open(&buffer, RIFF_READ), RIFF_OK);
    int steps = 0;
    Walk(riff, nullptr, 0, steps);
}

class WaveSweep : public testing::Test {
protected:
    void Check(const Bytes& file) {
        ASSERT_TRUE(WriteFile(path.toStdString(), file));
        WaveProperties properties;
        const unsigned result = GetWaveProperties(path, &properties);
        ASSERT_NO_FATAL_FAILURE(CheckResult(file, result, properties, path));
        ASSERT_NO_FATAL_FAILURE(CheckFindDataChunk(file, path));
        ASSERT_NO_FATAL_FAILURE(CheckRiffWalk(file));
    }

    // Thousands of small files: memory-backed storage keeps the sweep quick.
    static QString TempTemplate() {
        const QString shared = QStringLiteral("/dev/shm");
        const QString base = QFileInfo(shared).isWritable() ? shared : QDir::tempPath();
        return base + QStringLiteral("/corvane-sweep-XXXXXX");
    }

    QTemporaryDir dir{TempTemplate()};
    QString path = dir.filePath(QStringLiteral("sweep.wav"));
};

} // namespace

TEST_F(WaveSweep, EveryTruncationIsRefusedOrMeasuredSoundly) {
    for (const Bytes& seed : SeedFiles()) {
        for (std::size_t length = 0; length <= seed.size(); ++length) {
            ASSERT_NO_FATAL_FAILURE(Check(Truncated(seed, length))) << "length " << length;
        }
    }
}

TEST_F(WaveSweep, RandomCorruptionNeverCrashesOrLies) {
    const std::vector<Bytes> seeds = SeedFiles();
    std::mt19937 random(20261206);
    for (std::uint32_t round = 0; round < 3000; ++round) {
        const Bytes& seed = seeds[round % seeds.size()];
        Bytes file = Corrupted(seed, round, 1 + int(random() % 6));
        if (round % 3 == 0) {
            file = Truncated(file, random() % (file.size() + 1));
        }
        ASSERT_NO_FATAL_FAILURE(Check(file)) << "round " << round;
    }
}
