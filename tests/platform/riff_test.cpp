#include "platform/riff.h"
#include "support/wav_builder.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

QByteArray ToQt(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

Bytes FromQt(const QByteArray& bytes) {
    return Bytes(bytes.begin(), bytes.end());
}

// The chunks of a form, one after another: fmt, an odd chunk, a LIST, data.
Bytes SampleForm() {
    return WavBuilder()
        .Fmt(PcmFormat{8000, 1, 8})
        .Chunk("odd ", Bytes{1, 2, 3})
        .List("INFO", Bytes{'I', 'N', 'A', 'M', 2, 0, 0, 0, 'x', 0})
        .Data(Bytes(10, 0x80))
        .Build();
}

} // namespace

TEST(RiffRead, WalksChunksOfAFormAndSkipsPadding) {
    QByteArray bytes = ToQt(SampleForm());
    QBuffer buffer(&bytes);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    RiffFile riff;
    ASSERT_EQ(riff.Open(&buffer, RIFF_READ | RIFF_ALLOCBUF), RIFF_OK);

    RiffChunk form;
    form.formType = FourCC("WAVE");
    ASSERT_EQ(riff.Descend(form, nullptr, RIFF_FINDRIFF), RIFF_OK);
    EXPECT_EQ(form.id, FOURCC_RIFF);
    EXPECT_EQ(form.dataOffset, 8u);
    EXPECT_EQ(form.End(), bytes.size());
    EXPECT_EQ(riff.Position(), 12);

    struct Expected {
        const char* id;
        std::uint32_t size;
        std::uint32_t dataOffset;
    };
    const Expected expected[] = {
        {"fmt ", 16, 20}, {"odd ", 3, 44}, {"LIST", 14, 56}, {"data", 10, 78}};
    for (const Expected& want : expected) {
        RiffChunk chunk;
        ASSERT_EQ(riff.Descend(chunk, &form), RIFF_OK) << want.id;
        EXPECT_EQ(chunk.id, MakeFourCC(want.id[0], want.id[1], want.id[2], want.id[3]));
        EXPECT_EQ(chunk.size, want.size) << want.id;
        EXPECT_EQ(chunk.dataOffset, want.dataOffset) << want.id;
        if (chunk.id == FOURCC_LIST) {
            EXPECT_EQ(chunk.formType, FourCC("INFO"));
            EXPECT_EQ(riff.Position(), want.dataOffset + 4);
        } else {
            EXPECT_EQ(riff.Position(), want.dataOffset);
        }
        ASSERT_EQ(riff.Ascend(chunk), RIFF_OK);
    }
    RiffChunk none;
    EXPECT_EQ(riff.Descend(none, &form), RIFF_ERR_CHUNKNOTFOUND);
}

TEST(RiffRead, FindsChunksByIdAndFormTypeWithinTheParent) {
    Bytes file = WavBuilder()
                     .Fmt(PcmFormat{})
                     .List("adtl", Bytes{})
                     .List("INFO", Bytes{})
                     .Data(Bytes(4, 0))
                     .Build();
    // A chunk after the end of the form is not part of it.
    const Bytes trailer = WavBuilder().Chunk("cue ", Bytes(4, 0)).Build();
    file.insert(file.end(), trailer.begin() + 12, trailer.end());
    QByteArray bytes = ToQt(file);
    QBuffer buffer(&bytes);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    RiffFile riff;
    ASSERT_EQ(riff.Open(&buffer, RIFF_READ), RIFF_OK);

    RiffChunk form;
    form.formType = FourCC("WAVE");
    ASSERT_EQ(riff.Descend(form, nullptr, RIFF_FINDRIFF), RIFF_OK);
    RiffChunk list;
    list.formType = FourCC("INFO");
    ASSERT_EQ(riff.Descend(list, &form, RIFF_FINDLIST), RIFF_OK);
    EXPECT_EQ(list.dataOffset, 8u + 4 + 24 + 12 + 8);

    ASSERT_EQ(riff.Seek(form.dataOffset + 4, RiffSeek::Set), form.dataOffset + 4);
    RiffChunk data;
    data.id = FourCC("data");
    ASSERT_EQ(riff.Descend(data, &form, RIFF_FINDCHUNK), RIFF_OK);
    EXPECT_EQ(data.size, 4u);
    EXPECT_EQ(riff.Position(), data.dataOffset);

    ASSERT_GE(riff.Seek(form.dataOffset + 4, RiffSeek::Set), 0);
    RiffChunk cue;
    cue.id = FourCC("cue ");
    EXPECT_EQ(riff.Descend(cue, &form, RIFF_FINDCHUNK), RIFF_ERR_CHUNKNOTFOUND);
    // Without the parent the search runs on to the end of the file.
    ASSERT_GE(riff.Seek(form.dataOffset + 4, RiffSeek::Set), 0);
    EXPECT_EQ(riff.Descend(cue, nullptr, RIFF_FINDCHUNK), RIFF_OK);

    RiffChunk avi;
    avi.formType = FourCC("AVI ");
    ASSERT_GE(riff.Seek(0, RiffSeek::Set), 0);
    EXPECT_EQ(riff.Descend(avi, nullptr, RIFF_FINDRIFF), RIFF_ERR_CHUNKNOTFOUND);
}

TEST(RiffRead, HostileSizesEndTheSearchInsteadOfWrapping) {
    // A chunk claiming 4 GB, then a truncated header, then nothing.
    Bytes file = WavBuilder().Chunk("junk", Bytes(6, 1), 0xFFFFFFFFu).Build("WAVE", 0xFFFFFFFFu);
    QByteArray bytes = ToQt(file);
    QBuffer buffer(&bytes);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    RiffFile riff;
    ASSERT_EQ(riff.Open(&buffer, RIFF_READ), RIFF_OK);
    RiffChunk form;
    form.formType = FourCC("WAVE");
    ASSERT_EQ(riff.Descend(form, nullptr, RIFF_FINDRIFF), RIFF_OK);
    EXPECT_EQ(form.End(), 8 + qint64(0xFFFFFFFFu));

    RiffChunk data;
    data.id = FourCC("data");
    EXPECT_EQ(riff.Descend(data, &form, RIFF_FINDCHUNK), RIFF_ERR_CHUNKNOTFOUND);

    ASSERT_GE(riff.Seek(12, RiffSeek::Set), 0);
    RiffChunk junk;
    ASSERT_EQ(riff.Descend(junk, &form), RIFF_OK);
    EXPECT_EQ(junk.End(), 20 + qint64(0xFFFFFFFFu));
    // Ascending a truncated chunk lands at the end of the file.
    ASSERT_EQ(riff.Ascend(junk), RIFF_OK);
    EXPECT_EQ(riff.Position(), bytes.size());
    EXPECT_EQ(riff.Descend(junk, &form), RIFF_ERR_CHUNKNOTFOUND);

    // Header cut short: 5 bytes of a chunk header.
    QByteArray cut = ToQt(Truncated(SampleForm(), 12 + 5));
    QBuffer cutBuffer(&cut);
    ASSERT_TRUE(cutBuffer.open(QIODevice::ReadOnly));
    ASSERT_EQ(riff.Open(&cutBuffer, RIFF_READ), RIFF_OK);
    ASSERT_EQ(riff.Descend(form, nullptr, RIFF_FINDRIFF), RIFF_OK);
    EXPECT_EQ(riff.Descend(junk, &form), RIFF_ERR_CHUNKNOTFOUND);
}

TEST(RiffWrite, CreatedChunksGetTheirSizesAndPadOnAscend) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
    RiffFile riff;
    ASSERT_EQ(riff.Open(&buffer, RIFF_WRITE | RIFF_ALLOCBUF | RIFF_EXCLUSIVE), RIFF_OK);

    RiffChunk form;
    form.formType = FourCC("WAVE");
    ASSERT_EQ(riff.CreateChunk(form, RIFF_CREATERIFF), RIFF_OK);
    EXPECT_EQ(form.id, FOURCC_RIFF);

    const Bytes disp{0x08, 0, 0, 0, 'a', 'b', 'c'};
    RiffChunk copy;
    copy.id = FourCC("DISP");
    copy.size = static_cast<std::uint32_t>(disp.size());
    ASSERT_EQ(riff.CreateChunk(copy), RIFF_OK);
    ASSERT_EQ(riff.Write(disp.data(), qint64(disp.size())), qint64(disp.size()));
    ASSERT_EQ(riff.Ascend(copy), RIFF_OK);

    const Bytes format = PcmFormatRecord(PcmFormat{});
    RiffChunk fmt;
    fmt.id = FourCC("fmt ");
    fmt.size = 16;
    ASSERT_EQ(riff.CreateChunk(fmt), RIFF_OK);
    ASSERT_EQ(riff.Write(format.data(), 16), 16);
    ASSERT_EQ(riff.Ascend(fmt), RIFF_OK);

    // Written in two pieces with an odd total, size unknown when created.
    RiffChunk data;
    data.id = FourCC("data");
    ASSERT_EQ(riff.CreateChunk(data), RIFF_OK);
    const Bytes samples{1, 2, 3, 4, 5};
    ASSERT_EQ(riff.Write(samples.data(), 2), 2);
    ASSERT_EQ(riff.Write(samples.data() + 2, 3), 3);
    ASSERT_EQ(riff.Ascend(data), RIFF_OK);
    EXPECT_EQ(data.size, 5u);
    ASSERT_EQ(riff.Ascend(form), RIFF_OK);
    EXPECT_EQ(riff.Close(), RIFF_OK);
    EXPECT_TRUE(buffer.isOpen()) << "closing the RIFF layer must leave the device open";

    const Bytes expected = WavBuilder().Chunk("DISP", disp).FmtRecord(format).Data(samples).Build();
    EXPECT_EQ(FromQt(bytes), expected);
}

TEST(RiffWrite, AbandonedFileKeepsZeroSizesAndTheFileStaysOpen) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile file(dir.filePath("out.wav"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    {
        RiffFile riff;
        ASSERT_EQ(riff.Open(&file, RIFF_WRITE), RIFF_OK);
        RiffChunk form;
        form.formType = FourCC("WAVE");
        ASSERT_EQ(riff.CreateChunk(form, RIFF_CREATERIFF), RIFF_OK);
        RiffChunk data;
        data.id = FourCC("data");
        ASSERT_EQ(riff.CreateChunk(data), RIFF_OK);
        const Bytes samples(100, 7);
        ASSERT_EQ(riff.Write(samples.data(), 100), 100);
        // Destroyed without ascending: a failed encode.
    }
    EXPECT_TRUE(file.isOpen());
    file.close();
    const Bytes written = ReadFile(dir.filePath("out.wav").toStdString());
    ASSERT_EQ(written.size(), 12u + 8 + 100);
    EXPECT_EQ(Truncated(written, 20), (Bytes{'R', 'I', 'F', 'F', 0,   0,   0, 0, 'W', 'A',
                                             'V', 'E', 'd', 'a', 't', 'a', 0, 0, 0,   0}));
}

TEST(RiffOpen, RefusesDevicesItCannotUse) {
    RiffFile riff;
    EXPECT_EQ(riff.Open(nullptr, RIFF_READ), RIFF_ERR_CANNOTOPEN);
    QByteArray bytes = ToQt(SampleForm());
    QBuffer buffer(&bytes);
    EXPECT_EQ(riff.Open(&buffer, RIFF_READ), RIFF_ERR_CANNOTOPEN) << "device not open";
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    EXPECT_EQ(riff.Open(&buffer, RIFF_WRITE), RIFF_ERR_CANNOTOPEN);
    EXPECT_EQ(riff.Open(&buffer, RIFF_READWRITE), RIFF_ERR_CANNOTOPEN);
    EXPECT_FALSE(riff.IsOpen());

    ASSERT_EQ(riff.Open(&buffer, RIFF_READ), RIFF_OK);
    RiffChunk chunk;
    chunk.id = FourCC("data");
    EXPECT_EQ(riff.CreateChunk(chunk), RIFF_ERR_CANNOTWRITE);
    EXPECT_EQ(riff.Write("x", 1), -1);
    EXPECT_EQ(riff.Seek(-1, RiffSeek::Set), -1);
    EXPECT_EQ(riff.Seek(-4, RiffSeek::End), bytes.size() - 4);
    EXPECT_EQ(riff.Seek(2, RiffSeek::Current), bytes.size() - 2);
    ASSERT_EQ(riff.Close(), RIFF_OK);
    EXPECT_EQ(riff.Read(bytes.data(), 1), -1) << "closed";
}
