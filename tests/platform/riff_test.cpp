#include "platform/riff.h"
#include "support/wav_builder.h"

#include <QBuffer>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

QByteArray ToQt(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

struct Reader {
    explicit Reader(const Bytes& file) : bytes(ToQt(file)), buffer(&bytes) {
        buffer.open(QIODevice::ReadOnly);
        EXPECT_EQ(riff.Open(&buffer, RIFF_READ | RIFF_ALLOCBUF), RIFF_OK);
        form.formType = FourCC("WAVE");
        EXPECT_EQ(riff.Descend(form, nullptr, RIFF_FINDRIFF), RIFF_OK);
    }
    QByteArray bytes;
    QBuffer buffer;
    RiffFile riff;
    RiffChunk form;
};

} // namespace

TEST(Riff, WalksAndFindsChunksWithinTheForm) {
    Bytes file = WavBuilder()
                     .Fmt(PcmFormat{8000, 1, 8})
                     .Chunk("odd ", Bytes{1, 2, 3})
                     .List("INFO", Bytes(10, 0))
                     .Data(Bytes(10, 0x80))
                     .Build();
    file.insert(file.end(), {'c', 'u', 'e', ' ', 0, 0, 0, 0}); // after the form
    Reader r(file);
    EXPECT_EQ(r.form.dataOffset, 8u);
    EXPECT_EQ(r.form.End(), qint64(file.size()) - 8);
    EXPECT_EQ(r.riff.Position(), 12);

    const std::pair<const char*, std::uint32_t> expected[] = {
        {"fmt ", 16}, {"odd ", 3}, {"LIST", 14}, {"data", 10}};
    std::uint32_t offset = 12;
    for (const auto& [id, size] : expected) {
        RiffChunk chunk;
        ASSERT_EQ(r.riff.Descend(chunk, &r.form), RIFF_OK) << id;
        EXPECT_EQ(chunk.id, MakeFourCC(id[0], id[1], id[2], id[3]));
        EXPECT_EQ(chunk.size, size) << id;
        EXPECT_EQ(chunk.dataOffset, offset + 8) << id;
        EXPECT_EQ(r.riff.Position(), offset + 8 + (chunk.id == FOURCC_LIST ? 4 : 0)) << id;
        ASSERT_EQ(r.riff.Ascend(chunk), RIFF_OK);
        offset += 8 + size + (size & 1);
    }
    RiffChunk chunk;
    EXPECT_EQ(r.riff.Descend(chunk, &r.form), RIFF_ERR_CHUNKNOTFOUND);

    auto find = [&](const char* id, unsigned flags, const RiffChunk* parent) {
        r.riff.Seek(r.form.dataOffset + 4, RiffSeek::Set);
        chunk.id = chunk.formType = MakeFourCC(id[0], id[1], id[2], id[3]);
        return r.riff.Descend(chunk, parent, flags);
    };
    ASSERT_EQ(find("data", RIFF_FINDCHUNK, &r.form), RIFF_OK);
    EXPECT_EQ(chunk.dataOffset, offset - 10);
    EXPECT_EQ(r.riff.Position(), chunk.dataOffset);
    ASSERT_EQ(find("INFO", RIFF_FINDLIST, &r.form), RIFF_OK);
    EXPECT_EQ(chunk.dataOffset, 12u + 24 + 12 + 8);
    EXPECT_EQ(find("cue ", RIFF_FINDCHUNK, &r.form), RIFF_ERR_CHUNKNOTFOUND);
    EXPECT_EQ(find("cue ", RIFF_FINDCHUNK, nullptr), RIFF_OK);
    EXPECT_EQ(find("adtl", RIFF_FINDLIST, &r.form), RIFF_ERR_CHUNKNOTFOUND);
}

TEST(Riff, HostileSizesEndTheSearchInsteadOfWrapping) {
    Reader r(WavBuilder().Chunk("junk", Bytes(6, 1), 0xFFFFFFFFu).Build("WAVE", 0xFFFFFFFFu));
    EXPECT_EQ(r.form.End(), 8 + qint64(0xFFFFFFFFu));
    RiffChunk chunk;
    chunk.id = FourCC("data");
    EXPECT_EQ(r.riff.Descend(chunk, &r.form, RIFF_FINDCHUNK), RIFF_ERR_CHUNKNOTFOUND);

    r.riff.Seek(12, RiffSeek::Set);
    ASSERT_EQ(r.riff.Descend(chunk, &r.form), RIFF_OK);
    EXPECT_EQ(chunk.End(), 20 + qint64(0xFFFFFFFFu));
    ASSERT_EQ(r.riff.Ascend(chunk), RIFF_OK);
    EXPECT_EQ(r.riff.Position(), r.bytes.size()) << "a truncated chunk ends with the file";
    EXPECT_EQ(r.riff.Descend(chunk, &r.form), RIFF_ERR_CHUNKNOTFOUND);

    Reader cut(Truncated(MakePcmWav(PcmFormat{}, 4), 12 + 5)); // half a chunk header
    EXPECT_EQ(cut.riff.Descend(chunk, &cut.form), RIFF_ERR_CHUNKNOTFOUND);

    // A 64-bit form: its `ds64` sizes stand in, and one no file has ends beyond every file.
    Bytes ds64(28, 0xFF);
    Bytes rf64 = WavBuilder()
                     .Chunk("ds64", ds64)
                     .Chunk("data", Bytes(4, 0), 0xFFFFFFFFu)
                     .Build("WAVE", 0xFFFFFFFFu);
    std::copy_n("RF64", 4, rf64.begin());
    Reader wide(rf64);
    EXPECT_EQ(wide.form.size, ~std::uint64_t(0));
    chunk.id = FourCC("data");
    ASSERT_EQ(wide.riff.Descend(chunk, &wide.form, RIFF_FINDCHUNK), RIFF_OK);
    EXPECT_EQ(chunk.End(), std::numeric_limits<qint64>::max());
}

TEST(Riff, WritesSizesAndPadOnAscendAndLeavesAbandonedSizesAtZero) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
    RiffFile riff;
    EXPECT_EQ(riff.Open(&buffer, RIFF_READ), RIFF_ERR_CANNOTOPEN);
    ASSERT_EQ(riff.Open(&buffer, RIFF_WRITE | RIFF_EXCLUSIVE), RIFF_OK);
    auto create = [&](const char* id, std::uint32_t size, const Bytes& payload) {
        RiffChunk chunk;
        chunk.id = MakeFourCC(id[0], id[1], id[2], id[3]);
        chunk.size = size;
        EXPECT_EQ(riff.CreateChunk(chunk), RIFF_OK);
        // In two pieces: the size is measured, not counted per write.
        EXPECT_EQ(riff.Write(payload.data(), 1), 1);
        EXPECT_EQ(riff.Write(payload.data() + 1, qint64(payload.size()) - 1),
                  qint64(payload.size()) - 1);
        return chunk;
    };

    RiffChunk form;
    form.formType = FourCC("WAVE");
    ASSERT_EQ(riff.CreateChunk(form, RIFF_CREATERIFF), RIFF_OK);
    const Bytes disp{8, 0, 0, 0, 'a', 'b', 'c'};
    const Bytes format = PcmFormatRecord(PcmFormat{});
    const Bytes samples{1, 2, 3, 4, 5};
    RiffChunk chunk = create("DISP", 7, disp);
    ASSERT_EQ(riff.Ascend(chunk), RIFF_OK);
    chunk = create("fmt ", 16, format);
    ASSERT_EQ(riff.Ascend(chunk), RIFF_OK);
    chunk = create("data", 0, samples);
    ASSERT_EQ(riff.Ascend(chunk), RIFF_OK);
    EXPECT_EQ(chunk.size, 5u);
    ASSERT_EQ(riff.Ascend(form), RIFF_OK);
    ASSERT_EQ(riff.Close(), RIFF_OK);
    EXPECT_TRUE(buffer.isOpen()) << "the device belongs to the caller";
    EXPECT_EQ(Bytes(bytes.begin(), bytes.end()),
              WavBuilder().Chunk("DISP", disp).FmtRecord(format).Data(samples).Build());

    // A failed encode: form and data are never ascended.
    bytes.clear();
    buffer.seek(0);
    ASSERT_EQ(riff.Open(&buffer, RIFF_WRITE), RIFF_OK);
    form = RiffChunk{};
    form.formType = FourCC("WAVE");
    ASSERT_EQ(riff.CreateChunk(form, RIFF_CREATERIFF), RIFF_OK);
    create("data", 0, samples);
    ASSERT_EQ(riff.Close(), RIFF_OK);
    EXPECT_EQ(Truncated(Bytes(bytes.begin(), bytes.end()), 20),
              (Bytes{'R', 'I', 'F', 'F', 0,   0,   0, 0, 'W', 'A',
                     'V', 'E', 'd', 'a', 't', 'a', 0, 0, 0,   0}));
}
