#include "app/trace.h"
#include "engines/wave_reader.h"
#include "support/wav_builder.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <tuple>

using namespace testsupport;

namespace {

class WaveReaderTest : public testing::Test {
protected:
    QString Write(const Bytes& bytes) {
        const QString path = dir.filePath(QStringLiteral("in.wav"));
        EXPECT_TRUE(WriteFile(path.toStdString(), bytes));
        return path;
    }
    // Reads into `p` and returns the result code.
    unsigned Read(const Bytes& bytes) { return GetWaveProperties(Write(bytes), &p); }
    static std::string LastTrace() { return std::string(LastTraceLine()).substr(9); }
    void ExpectCleared() {
        EXPECT_EQ(p.dataBytes + p.sampleFrames + p.formatBytes, 0u);
        EXPECT_TRUE(p.durationText.isEmpty());
        EXPECT_TRUE(p.format.IsEmpty());
    }

    QTemporaryDir dir;
    WaveProperties p;
    const PcmFormat mono8{8000, 1, 8};
};

// A PCM record with chosen byte rate and block alignment, for exact durations.
Bytes PcmRecord(std::uint32_t avgBytesPerSec, std::uint16_t blockAlign) {
    Bytes record = FormatRecord(1, 1, 8000, avgBytesPerSec, blockAlign, 8);
    record.resize(16);
    return record;
}

} // namespace

TEST_F(WaveReaderTest, FramesComeFromTheFirstFactOrTheFirstNonEmptyData) {
    const PcmFormat cd;
    ASSERT_EQ(Read(WavBuilder().Fmt(cd, true).Data(MakePcm(cd, 1000)).Build()), WAVE_OK);
    // An 18-byte PCM record is copied as 16.
    EXPECT_EQ(std::tuple(p.dataBytes, p.sampleFrames, p.formatBytes, p.format.Size()),
              std::tuple(4000u, 1000u, 16u, 16u));

    const Bytes samples(200, 0x80);
    ASSERT_EQ(Read(WavBuilder().Fmt(mono8).Data(samples).Fact(77).Fact(55).Build()), WAVE_OK);
    EXPECT_EQ(p.sampleFrames, 77u);
    // Too short to hold a count: ignored, not read into the next chunk.
    ASSERT_EQ(Read(WavBuilder().Fmt(mono8).Chunk("fact", Bytes{9, 9}).Data(samples).Build()),
              WAVE_OK);
    EXPECT_EQ(p.sampleFrames, 200u);

    const Bytes file = WavBuilder()
                           .Data(Bytes{})
                           .Chunk("odd1", Bytes{1})
                           .Disp(1, Bytes{'t', 'i', 't', 'l', 'e'})
                           .Fmt(mono8)
                           .Plst({{1, 100, 1}})
                           .Data(Bytes(33, 0x80))
                           .Fmt(cd)
                           .Data(Bytes(900, 0x80))
                           .Build();
    ASSERT_EQ(Read(file), WAVE_OK);
    EXPECT_EQ(std::tuple(p.format.SampleRate(), p.dataBytes), std::tuple(8000u, 33u));

    WioFile wio;
    ASSERT_EQ(wioFileOpen(&wio, Write(file), RIFF_READ), WAVE_OK);
    EXPECT_EQ(wio.dataOffset, 12u + 8 + 10 + 8 + 10 + 24 + 24 + 8);
    EXPECT_EQ(wio.format, [&] {
        Bytes b = PcmFormatRecord(mono8);
        b.resize(18);
        return b;
    }());
    EXPECT_TRUE(wio.file && wio.file->isOpen()) << "stays open for the caller";
    EXPECT_EQ(wioFileClose(&wio), WAVE_OK);
    EXPECT_TRUE(!wio.file && wio.format.empty() && wio.dataSize == 0);
}

TEST_F(WaveReaderTest, CompressedFormatsNeedAFactAndAreThenRefusedWithTheirFormat) {
    EXPECT_EQ(Read(MakeCompressedWav(0x55, 1000, std::nullopt)), WAVE_ERR_CORRUPT);
    ExpectCleared();

    const Bytes extra{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    EXPECT_EQ(Read(MakeCompressedWav(0x55, 1000, 2000, extra)), WAVE_ERR_NOT_PCM);
    EXPECT_EQ(LastTrace(), "GetWaveProperties: invalid format 85 (1)\n");
    ASSERT_EQ(std::tuple(p.dataBytes, p.sampleFrames, p.formatBytes, p.format.Size()),
              std::tuple(1000u, 2000u, 30u, 30u));
    EXPECT_EQ(Bytes(p.format.Data() + 18, p.format.Data() + 30), extra);

    // A 16-byte record sits in a zero-filled 18-byte block: cbSize reads 0.
    // Without a byte rate there is no playing time.
    Bytes record = FormatRecord(0x55, 2, 44100, 0, 1, 0);
    record.resize(16);
    ASSERT_EQ(Read(WavBuilder().FmtRecord(record).Fact(5).Data(Bytes(8, 1)).Build()),
              WAVE_ERR_NOT_PCM);
    EXPECT_EQ(std::tuple(p.formatBytes, p.durationText), std::tuple(18u, QString()));

    // cbSize promising more than the chunk holds: the rest of the copy is zeros.
    record = FormatRecord(0x55, 2, 44100, 16000, 1, 0, Bytes{7, 7});
    record[16] = 40;
    ASSERT_EQ(Read(WavBuilder().FmtRecord(record).Fact(5).Data(Bytes(8, 1)).Build()),
              WAVE_ERR_NOT_PCM);
    ASSERT_EQ(p.format.Size(), 58u);
    EXPECT_EQ(Bytes(p.format.Data() + 18, p.format.Data() + 21), (Bytes{7, 7, 0}));
}

TEST_F(WaveReaderTest, ChunksBeyondTheFormOrTheFileMakeItCorrupt) {
    // Even a chunk that would be skipped, after the data was found.
    const std::uint32_t formSize = WavBuilder().Fmt(mono8).Data(Bytes(10, 0x80)).FormSize();
    EXPECT_EQ(Read(WavBuilder()
                       .Fmt(mono8)
                       .Data(Bytes(10, 0x80))
                       .List("INFO", Bytes(8, 0))
                       .Build("WAVE", formSize + 12)),
              WAVE_ERR_CORRUPT);
    EXPECT_EQ(LastTrace(), "wioFileOpen:: the RIFF file is corrupt\n");
    ExpectCleared();
    // Tested before the format is read; and sizes that would wrap in 32 bits.
    EXPECT_EQ(Read(WavBuilder().Chunk("fmt ", PcmFormatRecord(mono8), 0xFFFFFF00u).Build()),
              WAVE_ERR_CORRUPT);
    EXPECT_EQ(Read(WavBuilder().Fmt(mono8).Chunk("junk", Bytes(4, 0), 0xFFFFFFF0u).Build()),
              WAVE_ERR_CORRUPT);
    // Sample data cut off by the end of the file, the form claiming all of it.
    EXPECT_EQ(Read(WavBuilder().Fmt(mono8).Chunk("data", Bytes(50, 0), 5000).Build("WAVE", 5036)),
              WAVE_ERR_CORRUPT);
    // A form claiming more than the file, with whole chunks, is fine.
    ASSERT_EQ(Read(WavBuilder().Fmt(mono8).Data(Bytes(50, 0x80)).Build("WAVE", 100000)), WAVE_OK);
    EXPECT_EQ(p.dataBytes, 50u);
}

TEST_F(WaveReaderTest, UnusableFilesGiveTheirCodes) {
    const QString missing = dir.filePath("missing.wav");
    EXPECT_EQ(GetWaveProperties(missing, &p), WAVE_ERR_CANNOT_OPEN);
    EXPECT_EQ(LastTrace(),
              "wioFileOpen: couldn't open the file with CreateFile. error = 2 file = " +
                  missing.toStdString() + "\n");
    EXPECT_EQ(GetWaveProperties(dir.path(), &p), WAVE_ERR_CANNOT_OPEN);
    const QString fifo = dir.filePath("pipe.wav");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(GetWaveProperties(fifo, &p), WAVE_ERR_CANNOT_OPEN) << "and does not block";

    EXPECT_EQ(Read(Bytes{}), WAVE_ERR_CANNOT_OPEN);
    EXPECT_EQ(LastTrace(), "wioFileOpen:: couldn't find the WAVE chunk\n");
    EXPECT_EQ(Read(WavBuilder().Fmt(mono8).Data(Bytes(4, 0)).Build("AVI ")), WAVE_ERR_CANNOT_OPEN);
    EXPECT_EQ(Read(WavBuilder().Data(Bytes(4, 0)).Build()), WAVE_ERR_NO_FORMAT);
    ExpectCleared();
    EXPECT_EQ(Read(Truncated(WavBuilder().Fmt(mono8).Build("WAVE", 1000), 30)),
              WAVE_ERR_CANNOT_OPEN);
    EXPECT_EQ(LastTrace(), "wioFileOpen:: error reading the FMT chunk\n");

    // Far larger than any format record, inside a form claiming to hold it.
    EXPECT_EQ(Read(WavBuilder()
                       .Chunk("fmt ", PcmFormatRecord(mono8), 0x7FFFFFF0u)
                       .Build("WAVE", 0xFFFFFFF0u)),
              WAVE_ERR_CANNOT_OPEN);
    EXPECT_EQ(LastTrace(), "wioFileOpen:: the FMT chunk is too large (2147483632 bytes)\n");
    EXPECT_EQ(Read(MakeCompressedWav(2, 10, 10, Bytes(0xFFFF, 3))), WAVE_ERR_NOT_PCM);
    EXPECT_EQ(p.formatBytes, MAX_FORMAT_CHUNK_BYTES) << "the largest real record is read";

    // PCM without a block alignment, with or without fact: never divided by.
    EXPECT_EQ(Read(WavBuilder().FmtRecord(PcmRecord(8000, 0)).Data(Bytes(10, 0)).Build()),
              WAVE_ERR_CORRUPT);
    EXPECT_EQ(LastTrace(), "wioFileOpen:: the block alignment is 0\n");
    EXPECT_EQ(Read(WavBuilder().FmtRecord(PcmRecord(8000, 0)).Fact(10).Data(Bytes(10, 0)).Build()),
              WAVE_ERR_CORRUPT);

    EXPECT_EQ(GetWaveProperties(missing, nullptr), WAVE_ERR_NULL_RECORD);
    EXPECT_EQ(wioFileOpen(nullptr, missing, RIFF_READ), WAVE_ERR_NULL_RECORD);
    EXPECT_EQ(wioFileClose(nullptr), WAVE_ERR_NULL_RECORD);
}

TEST_F(WaveReaderTest, DurationIsSplitAndFormatted) {
    struct Case {
        std::uint32_t byteRate, dataBytes, hours, minutes, seconds;
        const char* text;
    };
    const Case cases[] = {
        {100, 5900, 0, 0, 59, "00:59"},      {1, 3599, 0, 59, 59, "59:59"},
        {1, 3600, 1, 0, 0, "01:00:00"},      {3, 3599 * 3 + 2, 0, 59, 59, "59:59"},
        {1, 360061, 100, 1, 1, "100:01:01"}, {0, 8000 * 61, 0, 1, 1, "01:01"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ASSERT_EQ(Read(WavBuilder()
                           .FmtRecord(PcmRecord(c.byteRate, 1))
                           .Data(Bytes(c.dataBytes, 0))
                           .Build()),
                  WAVE_OK);
        // No byte rate given: rate x block alignment (8000 x 1) stands in.
        EXPECT_DOUBLE_EQ(p.durationSeconds, double(c.dataBytes) / (c.byteRate ? c.byteRate : 8000));
        EXPECT_EQ(std::tuple(p.hours, p.minutes, p.seconds, p.durationText),
                  std::tuple(c.hours, c.minutes, c.seconds, QString(c.text)));
    }
}

TEST_F(WaveReaderTest, FindDataChunkSearchesTheFirstKilobyteForTheBytes) {
    unsigned offset = 0;
    auto find = [&](const Bytes& bytes) {
        QFile file(Write(bytes));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        offset = 0;
        const int found = FindDataChunk(file, &offset);
        EXPECT_EQ(file.pos(),
                  found ? qint64(offset) : qint64(std::min<std::size_t>(bytes.size(), 1024)));
        return found;
    };
    EXPECT_EQ(find(MakePcmWav(PcmFormat{}, 10)), 1);
    EXPECT_EQ(offset, 44u);
    // Inside another chunk's contents, it is found there.
    EXPECT_EQ(find(WavBuilder()
                       .Fmt(PcmFormat{})
                       .List("INFO", Bytes{'d', 'a', 't', 'a'})
                       .Data(Bytes(4, 0))
                       .Build()),
              1);
    EXPECT_EQ(offset, 12u + 24 + 12 + 8);
    // Starting in the last 4 bytes read it is not; one byte earlier it is.
    Bytes tail(100, 'x');
    std::copy_n("data", 4, tail.end() - 4);
    EXPECT_EQ(find(tail), 0);
    std::copy_n("data", 4, tail.end() - 5);
    EXPECT_EQ(find(tail), 1);
    EXPECT_EQ(offset, 95u + 8);
    EXPECT_EQ(find(WavBuilder().Chunk("pad ", Bytes(1100, 0)).Data(Bytes(4, 0)).Build()), 0);
    EXPECT_EQ(find(Bytes{'d', 'a', 't', 'a'}), 0);
}
