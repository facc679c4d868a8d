#include "app/trace.h"
#include "engines/wave_reader.h"
#include "support/wav_builder.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>

using namespace testsupport;

namespace {

class WaveReaderTest : public testing::Test {
protected:
    QString Write(const Bytes& bytes, const QString& name = QStringLiteral("in.wav")) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(WriteFile(path.toStdString(), bytes));
        return path;
    }

    unsigned Read(const Bytes& bytes, WaveProperties& properties) {
        return GetWaveProperties(Write(bytes), &properties);
    }

    static std::string LastTrace() {
        const std::string line = LastTraceLine();
        return line.size() > 9 ? line.substr(9) : line; // after "HH:MM:SS "
    }

    static void ExpectCleared(const WaveProperties& properties) {
        EXPECT_EQ(properties.dataBytes, 0u);
        EXPECT_EQ(properties.sampleFrames, 0u);
        EXPECT_EQ(properties.formatBytes, 0u);
        EXPECT_EQ(properties.durationSeconds, 0.0);
        EXPECT_TRUE(properties.durationText.isEmpty());
        EXPECT_TRUE(properties.format.IsEmpty());
    }

    QTemporaryDir dir;
};

// A format record with tag 1 and chosen rate fields, for exact durations.
Bytes PcmRecord(std::uint32_t avgBytesPerSec, std::uint16_t blockAlign) {
    Bytes record = FormatRecord(1, 1, 8000, avgBytesPerSec, blockAlign, 8);
    record.resize(16);
    return record;
}

} // namespace

TEST_F(WaveReaderTest, PcmFilesOfAnyShapeAreMeasured) {
    struct Case {
        PcmFormat format;
        std::uint32_t frames;
    };
    const Case cases[] = {{{8000, 1, 8}, 8001},
                          {{44100, 2, 16}, 44100 * 3 + 7},
                          {{48000, 6, 24}, 4800},
                          {{22050, 4, 32}, 11025}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.format.sampleRate << " Hz " << c.format.channels
                                        << " ch " << c.format.bitsPerSample << " bit");
        WaveProperties properties;
        ASSERT_EQ(Read(MakePcmWav(c.format, c.frames), properties), WAVE_OK);
        EXPECT_EQ(properties.dataBytes, c.frames * c.format.BlockAlign());
        EXPECT_EQ(properties.sampleFrames, c.frames);
        EXPECT_EQ(properties.formatBytes, 16u);
        EXPECT_EQ(properties.format.Size(), 16u);
        EXPECT_EQ(properties.format.Tag(), 1);
        EXPECT_EQ(properties.format.Channels(), c.format.channels);
        EXPECT_EQ(properties.format.SampleRate(), c.format.sampleRate);
        EXPECT_EQ(properties.format.BlockAlign(), c.format.BlockAlign());
        EXPECT_EQ(properties.format.BitsPerSample(), c.format.bitsPerSample);
        EXPECT_EQ(properties.format.CbSize(), 0);
        EXPECT_DOUBLE_EQ(properties.durationSeconds, double(c.frames) / c.format.sampleRate);
    }

    // An 18-byte PCM record is still copied as 16 bytes.
    WaveProperties properties;
    const PcmFormat cd;
    ASSERT_EQ(Read(WavBuilder().Fmt(cd, true).Data(MakePcm(cd, 10)).Build(), properties), WAVE_OK);
    EXPECT_EQ(properties.formatBytes, 16u);
    EXPECT_EQ(properties.format.Size(), 16u);
}

TEST_F(WaveReaderTest, FactChunkGivesTheFramesWhenItHoldsACount) {
    const PcmFormat format{8000, 1, 16};
    const Bytes samples = MakePcm(format, 100);
    WaveProperties properties;

    // The count of the first fact chunk wins over the data size, wherever it is.
    ASSERT_EQ(Read(WavBuilder().Fmt(format).Data(samples).Fact(77).Fact(55).Build(), properties),
              WAVE_OK);
    EXPECT_EQ(properties.sampleFrames, 77u);
    EXPECT_EQ(properties.dataBytes, 200u);

    // Too short for a count: ignored rather than read into the next chunk.
    ASSERT_EQ(
        Read(WavBuilder().Fmt(format).Chunk("fact", Bytes{9, 9}).Data(samples).Build(), properties),
        WAVE_OK);
    EXPECT_EQ(properties.sampleFrames, 100u);
    ASSERT_EQ(Read(WavBuilder().Fmt(format).Chunk("fact", Bytes{}).Fact(42).Data(samples).Build(),
                   properties),
              WAVE_OK);
    EXPECT_EQ(properties.sampleFrames, 42u) << "a later fact with a count still counts";
}

TEST_F(WaveReaderTest, CompressedFormatsNeedAFactAndAreThenRefusedWithTheirFormat) {
    WaveProperties properties;
    EXPECT_EQ(Read(MakeCompressedWav(0x55, 1000, std::nullopt), properties), WAVE_ERR_CORRUPT);
    ExpectCleared(properties);

    const Bytes extra{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    EXPECT_EQ(Read(MakeCompressedWav(0x55, 1000, 2000, extra), properties), WAVE_ERR_NOT_PCM);
    EXPECT_EQ(LastTrace(), "GetWaveProperties: invalid format 85 (1)\n");
    EXPECT_EQ(properties.dataBytes, 1000u);
    EXPECT_EQ(properties.sampleFrames, 2000u);
    EXPECT_EQ(properties.formatBytes, 18u + extra.size());
    ASSERT_EQ(properties.format.Size(), 18u + extra.size());
    EXPECT_EQ(properties.format.Tag(), 0x55);
    EXPECT_EQ(properties.format.CbSize(), extra.size());
    EXPECT_EQ(Bytes(properties.format.Data() + 18, properties.format.Data() + 30), extra);
    EXPECT_EQ(properties.durationText, "00:00") << "1000 bytes at 16000 bytes per second";

    // A 16-byte compressed record: held in a zero-filled 18-byte block, so cbSize is 0.
    Bytes shortRecord = FormatRecord(0x55, 2, 44100, 16000, 1, 0);
    shortRecord.resize(16);
    ASSERT_EQ(
        Read(WavBuilder().FmtRecord(shortRecord).Fact(5).Data(Bytes(8, 1)).Build(), properties),
        WAVE_ERR_NOT_PCM);
    EXPECT_EQ(properties.formatBytes, 18u);
    EXPECT_EQ(properties.format.CbSize(), 0);

    // cbSize promising more than the chunk holds: the copy is padded with zeros.
    Bytes lying = FormatRecord(0x55, 2, 44100, 16000, 1, 0, Bytes{7, 7});
    lying[16] = 40;
    ASSERT_EQ(Read(WavBuilder().FmtRecord(lying).Fact(5).Data(Bytes(8, 1)).Build(), properties),
              WAVE_ERR_NOT_PCM);
    ASSERT_EQ(properties.format.Size(), 58u);
    EXPECT_EQ(properties.format.Data()[18], 7);
    EXPECT_EQ(properties.format.Data()[19], 7);
    EXPECT_EQ(properties.format.Data()[20], 0);
    EXPECT_EQ(properties.format.Data()[57], 0);
}

TEST_F(WaveReaderTest, OnlyTheFirstFormatAndFirstNonEmptyDataCount) {
    const PcmFormat first{8000, 1, 8};
    const PcmFormat second{44100, 2, 16};
    WaveProperties properties;
    const Bytes file = WavBuilder()
                           .Data(Bytes{})
                           .Fmt(first)
                           .Chunk("LIST", Bytes{'I', 'N', 'F', 'O'})
                           .Data(Bytes(300, 0x80))
                           .Fmt(second)
                           .Data(Bytes(900, 0x80))
                           .Build();
    ASSERT_EQ(Read(file, properties), WAVE_OK);
    EXPECT_EQ(properties.format.SampleRate(), 8000u);
    EXPECT_EQ(properties.dataBytes, 300u);
    EXPECT_EQ(properties.sampleFrames, 300u);

    WioFile wio;
    ASSERT_EQ(wioFileOpen(&wio, dir.filePath("in.wav"), RIFF_READ), WAVE_OK);
    EXPECT_EQ(wio.dataOffset, 12u + 8 + 24 + 12 + 8);
    EXPECT_EQ(wio.format.size(), 18u);
    EXPECT_EQ(wio.format[16], 0);
    EXPECT_EQ(wio.format[17], 0);
    EXPECT_TRUE(wio.file && wio.file->isOpen()) << "stays open for the caller";
    EXPECT_EQ(wioFileClose(&wio), WAVE_OK);
    EXPECT_FALSE(wio.file);
    EXPECT_TRUE(wio.format.empty());
    EXPECT_EQ(wio.dataSize, 0u);

    // Odd-sized chunks before the data are skipped with their pad byte.
    ASSERT_EQ(Read(WavBuilder()
                       .Chunk("odd1", Bytes{1})
                       .Disp(1, Bytes{'t', 'i', 't', 'l', 'e'})
                       .Fmt(first)
                       .Plst({{1, 100, 1}})
                       .Chunk("odd2", Bytes{1, 2, 3})
                       .Data(Bytes(33, 0x80))
                       .Build(),
                   properties),
              WAVE_OK);
    EXPECT_EQ(properties.dataBytes, 33u);

    // No data at all: an empty but valid file.
    ASSERT_EQ(Read(WavBuilder().Fmt(first).Build(), properties), WAVE_OK);
    EXPECT_EQ(properties.dataBytes, 0u);
    EXPECT_EQ(properties.sampleFrames, 0u);
}

TEST_F(WaveReaderTest, ChunksBeyondTheFormOrFileMakeItCorrupt) {
    const PcmFormat format{8000, 1, 8};
    WaveProperties properties;

    // Even a chunk that would be skipped, and even after the data was found.
    const std::uint32_t formSize = WavBuilder().Fmt(format).Data(Bytes(10, 0x80)).FormSize();
    Bytes file = WavBuilder()
                     .Fmt(format)
                     .Data(Bytes(10, 0x80))
                     .List("INFO", Bytes(8, 0))
                     .Build("WAVE", formSize + 8 + 4);
    EXPECT_EQ(Read(file, properties), WAVE_ERR_CORRUPT);
    EXPECT_EQ(LastTrace(), "wioFileOpen:: the RIFF file is corrupt\n");
    ExpectCleared(properties);

    // The corrupt test comes before the format is read.
    file = WavBuilder().Chunk("fmt ", PcmFormatRecord(format), 0xFFFFFF00u).Build();
    EXPECT_EQ(Read(file, properties), WAVE_ERR_CORRUPT);

    // A size that only fits the form by wrapping 32-bit arithmetic.
    file =
        WavBuilder().Fmt(format).Chunk("junk", Bytes(4, 0), 0xFFFFFFF0u).Data(Bytes(4, 1)).Build();
    EXPECT_EQ(Read(file, properties), WAVE_ERR_CORRUPT);

    // A data chunk cut short by the end of the file, the form claiming all of it.
    file = WavBuilder().Fmt(format).Chunk("data", Bytes(50, 0x80), 5000).Build("WAVE", 5000 + 36);
    EXPECT_EQ(Read(file, properties), WAVE_ERR_CORRUPT);

    // A form that claims more than the file but whose chunks are whole is fine.
    file = WavBuilder().Fmt(format).Data(Bytes(50, 0x80)).Build("WAVE", 100000);
    ASSERT_EQ(Read(file, properties), WAVE_OK);
    EXPECT_EQ(properties.dataBytes, 50u);
}

TEST_F(WaveReaderTest, UnreadableAndMalformedFilesGiveTheirCodes) {
    const PcmFormat format{8000, 1, 8};
    WaveProperties properties;

    EXPECT_EQ(GetWaveProperties(dir.filePath("missing.wav"), &properties), WAVE_ERR_CANNOT_OPEN);
    EXPECT_EQ(LastTrace(),
              "wioFileOpen: couldn't open the file with CreateFile. error = 2 file = " +
                  dir.filePath("missing.wav").toStdString() + "\n");
    EXPECT_EQ(GetWaveProperties(dir.path(), &properties), WAVE_ERR_CANNOT_OPEN);
    const QString fifo = dir.filePath("pipe.wav");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(GetWaveProperties(fifo, &properties), WAVE_ERR_CANNOT_OPEN) << "must not block";

    EXPECT_EQ(Read(Bytes{}, properties), WAVE_ERR_CANNOT_OPEN);
    EXPECT_EQ(LastTrace(), "wioFileOpen:: couldn't find the WAVE chunk\n");
    EXPECT_EQ(Read(MakePcmWav(format, 10), properties), WAVE_OK);
    EXPECT_EQ(Read(WavBuilder().Fmt(format).Data(Bytes(4, 0)).Build("AVI "), properties),
              WAVE_ERR_CANNOT_OPEN);
    EXPECT_EQ(Read(WavBuilder().Data(Bytes(4, 0)).Build(), properties), WAVE_ERR_NO_FORMAT);
    ExpectCleared(properties);

    // The form claims more than there is, and the fmt chunk is cut off.
    EXPECT_EQ(
        Read(Truncated(WavBuilder().Fmt(format).Build("WAVE", 1000), 12 + 8 + 10), properties),
        WAVE_ERR_CANNOT_OPEN);
    EXPECT_EQ(LastTrace(), "wioFileOpen:: error reading the FMT chunk\n");

    // A format chunk far larger than any format record, inside a form that
    // claims to hold it: refused before anything is allocated.
    const Bytes huge =
        WavBuilder().Chunk("fmt ", PcmFormatRecord(format), 0x7FFFFFF0u).Build("WAVE", 0xFFFFFFF0u);
    EXPECT_EQ(Read(huge, properties), WAVE_ERR_CANNOT_OPEN);
    EXPECT_EQ(LastTrace(), "wioFileOpen:: the FMT chunk is too large (2147483632 bytes)\n");

    // The largest possible record is still read.
    const Bytes maxExtra(0xFFFF, 3);
    EXPECT_EQ(Read(MakeCompressedWav(2, 10, 10, maxExtra), properties), WAVE_ERR_NOT_PCM);
    EXPECT_EQ(properties.formatBytes, MAX_FORMAT_CHUNK_BYTES);

    EXPECT_EQ(GetWaveProperties(dir.filePath("x"), nullptr), WAVE_ERR_NULL_RECORD);
    EXPECT_EQ(wioFileOpen(nullptr, dir.filePath("x"), RIFF_READ), WAVE_ERR_NULL_RECORD);
    EXPECT_EQ(wioFileClose(nullptr), WAVE_ERR_NULL_RECORD);
}

TEST_F(WaveReaderTest, BlockAlignmentOfZeroIsRefusedNotDividedBy) {
    WaveProperties properties;
    EXPECT_EQ(
        Read(WavBuilder().FmtRecord(PcmRecord(8000, 0)).Data(Bytes(10, 0)).Build(), properties),
        WAVE_ERR_CORRUPT);
    EXPECT_EQ(LastTrace(), "wioFileOpen:: the block alignment is 0\n");
    EXPECT_EQ(Read(WavBuilder().FmtRecord(PcmRecord(8000, 0)).Fact(10).Data(Bytes(10, 0)).Build(),
                   properties),
              WAVE_ERR_CORRUPT);
    ExpectCleared(properties);
}

TEST_F(WaveReaderTest, DurationIsSplitAndFormatted) {
    struct Case {
        std::uint32_t byteRate;
        std::uint32_t dataBytes;
        std::uint32_t hours, minutes, seconds;
        const char* text;
    };
    const Case cases[] = {
        {100, 5900, 0, 0, 59, "00:59"},        {100, 6000, 0, 1, 0, "01:00"},
        {1, 3599, 0, 59, 59, "59:59"},         {1, 3600, 1, 0, 0, "01:00:00"},
        {3, 3599 * 3 + 2, 0, 59, 59, "59:59"}, {1, 100 * 3600 + 61, 100, 1, 1, "100:01:01"},
        {100, 99, 0, 0, 0, "00:00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        WaveProperties properties;
        const Bytes file =
            WavBuilder().FmtRecord(PcmRecord(c.byteRate, 1)).Data(Bytes(c.dataBytes, 0x80)).Build();
        ASSERT_EQ(Read(file, properties), WAVE_OK);
        EXPECT_DOUBLE_EQ(properties.durationSeconds, double(c.dataBytes) / c.byteRate);
        EXPECT_EQ(properties.hours, c.hours);
        EXPECT_EQ(properties.minutes, c.minutes);
        EXPECT_EQ(properties.seconds, c.seconds);
        EXPECT_EQ(properties.durationText, c.text);
    }

    WaveProperties properties;
    ASSERT_EQ(Read(WavBuilder().FmtRecord(PcmRecord(0, 1)).Data(Bytes(500, 0)).Build(), properties),
              WAVE_OK);
    EXPECT_EQ(properties.dataBytes, 500u);
    EXPECT_EQ(properties.durationSeconds, 0.0);
    EXPECT_EQ(properties.hours + properties.minutes + properties.seconds, 0u);
    EXPECT_TRUE(properties.durationText.isEmpty());
}

TEST_F(WaveReaderTest, FindDataChunkLooksAtTheFirstKilobyteOnly) {
    auto find = [this](const Bytes& bytes, unsigned& offset, qint64& position) {
        QFile file(Write(bytes, QStringLiteral("find.wav")));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        offset = 0;
        const int found = FindDataChunk(file, &offset);
        position = file.pos();
        return found;
    };
    unsigned offset = 0;
    qint64 position = 0;

    ASSERT_EQ(find(MakePcmWav(PcmFormat{}, 10), offset, position), 1);
    EXPECT_EQ(offset, 44u);
    EXPECT_EQ(position, 44);

    // The bytes inside another chunk's contents are found first.
    Bytes file = WavBuilder()
                     .Fmt(PcmFormat{})
                     .List("INFO", Bytes{'I', 'C', 'M', 'T', 4, 0, 0, 0, 'd', 'a', 't', 'a'})
                     .Data(Bytes(10, 0))
                     .Build();
    ASSERT_EQ(find(file, offset, position), 1);
    EXPECT_EQ(offset, 12u + 24 + 12 + 8 + 8);
    EXPECT_EQ(position, offset);

    // "data" starting in the last 4 bytes read is not looked at; one byte earlier it is.
    Bytes tail(100, 'x');
    std::copy_n("data", 4, tail.end() - 4);
    EXPECT_EQ(find(tail, offset, position), 0);
    Bytes nearTail(100, 'x');
    std::copy_n("data", 4, nearTail.end() - 5);
    ASSERT_EQ(find(nearTail, offset, position), 1);
    EXPECT_EQ(offset, 95u + 8);

    // Beyond the first 1024 bytes, too short, or nowhere to store the offset.
    Bytes late =
        WavBuilder().Fmt(PcmFormat{}).Chunk("pad ", Bytes(1100, 0)).Data(Bytes(4, 0)).Build();
    EXPECT_EQ(find(late, offset, position), 0);
    EXPECT_EQ(find(Bytes{'d', 'a', 't', 'a'}, offset, position), 0);
    QFile plain(Write(MakePcmWav(PcmFormat{}, 10), QStringLiteral("plain.wav")));
    ASSERT_TRUE(plain.open(QIODevice::ReadOnly));
    EXPECT_EQ(FindDataChunk(plain, nullptr), 0);
}

TEST_F(WaveReaderTest, ExaminationsRunSideBySide) {
    const QString path = Write(MakePcmWav(PcmFormat{22050, 2, 16}, 22050));
    QFile reader(path); // an encoder holding the file open
    ASSERT_TRUE(reader.open(QIODevice::ReadOnly));
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                WaveProperties properties;
                if (GetWaveProperties(path, &properties) != WAVE_OK ||
                    properties.sampleFrames != 22050) {
                    ++failures[t];
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}
