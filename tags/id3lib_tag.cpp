#include "tags/id3lib_tag.h"

#include "app/trace.h"
#include "tags/tag_text.h"

#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <cstring>
#include <id3/tag.h>
#include <id3/writer.h>
#include <memory>
#include <vector>

namespace {

struct FrameRow {
    ID3_FrameID id;
    std::size_t limit;
};

// Reading and writing use the same frames in the same order:
// title, artist, album, year, genre, comment; then the track, which is
// written only when there is one.
constexpr std::array<FrameRow, 7> FRAME_TABLE = {{
    {ID3FID_TITLE, TAG_TEXT_LENGTH},
    {ID3FID_LEADARTIST, TAG_TEXT_LENGTH},
    {ID3FID_ALBUM, TAG_TEXT_LENGTH},
    {ID3FID_YEAR, TAG_YEAR_LENGTH},
    {ID3FID_CONTENTTYPE, TAG_TEXT_LENGTH},
    {ID3FID_COMMENT, TAG_TEXT_LENGTH},
    {ID3FID_TRACKNUM, TAG_TRACK_LENGTH},
}};
constexpr std::size_t TRACK_ROW = 6;

std::array<std::string_view, 7> RecordTexts(const ID3TagRecord& record) {
    return {record.title, record.artist,  record.album, record.year,
            record.genre, record.comment, record.track};
}

void SetRecordText(ID3TagRecord& record, std::size_t row, std::string_view text) {
    switch (row) {
    case 0:
        record.title = text;
        break;
    case 1:
        record.artist = text;
        break;
    case 2:
        record.album = text;
        break;
    case 3:
        record.year = text;
        break;
    case 4:
        record.genre = text;
        break;
    case 5:
        record.comment = text;
        break;
    default:
        record.track = text;
        break;
    }
}

// The first text item as the record's UTF-8, at most `limit` bytes of it
// (the record cuts whole characters).
std::string FirstTextItem(const ID3_Frame& frame, std::size_t limit) {
    const ID3_Field* field = frame.GetField(ID3FN_TEXT);
    if (field == nullptr) {
        return {};
    }
    if (ID3TE_IS_DOUBLE_BYTE_ENC(field->GetEncoding())) {
        // The field's size is its text's length in bytes; the library's own
        // wide-text getters read past the text, so it is read in place.
        const auto* bytes = reinterpret_cast<const unsigned char*>(field->GetRawUnicodeText());
        const std::size_t units = bytes == nullptr ? 0 : field->Size() / 2;
        std::u16string wide;
        for (std::size_t i = 0; i < units && wide.size() < limit; ++i) {
            // Kept in big-endian byte order in memory, whatever the host's order.
            const char16_t unit = char16_t((unsigned(bytes[2 * i]) << 8) | bytes[2 * i + 1]);
            if (unit == 0) {
                break;
            }
            if (unit != 0xFEFF) {
                wide.push_back(unit);
            }
        }
        return TagBytes(QString::fromStdU16String(wide));
    }
    std::vector<char> narrow(limit + 1, 0);
    const std::size_t length = field->Get(narrow.data(), limit);
    return TagBytes(QString::fromLatin1(
        narrow.data(), qsizetype(strnlen(narrow.data(), std::min(length, limit)))));
}

bool FitsLatin1(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
}

// Latin-1 where the text fits it, so older readers see it as before;
// otherwise UTF-16, which version 2.3 allows.
void SetTextField(ID3_Frame& frame, std::string_view bytes) {
    const QString text = TagText(bytes);
    const ID3_TextEnc encoding = FitsLatin1(text) ? ID3TE_ISO8859_1 : ID3TE_UTF16;
    if (ID3_Field* field = frame.GetField(ID3FN_TEXTENC)) {
        field->Set(encoding);
    }
    if (ID3_Field* field = frame.GetField(ID3FN_DESCRIPTION)) {
        field->SetEncoding(encoding);
    }
    ID3_Field* field = frame.GetField(ID3FN_TEXT);
    if (field == nullptr) {
        return;
    }
    field->SetEncoding(encoding);
    if (encoding == ID3TE_ISO8859_1) {
        field->Set(text.toLatin1().constData());
        return;
    }
    // The library turns the units to big-endian bytes yet marks them with
    // the host's byte-order mark: handing it the units in big-endian order
    // makes the bytes agree with the mark on any host.
    std::vector<unicode_t> units;
    for (const QChar c : text) {
        units.push_back(qToBigEndian(static_cast<unicode_t>(c.unicode())));
    }
    units.push_back(0);
    field->Set(units.data());
}

void SetTagOptions(ID3_Tag& tag) {
    tag.SetUnsync(false);
    // The library ignores this switch; frames are never compressed, since
    // compressed frames do not survive being read back.
    tag.SetCompression(true);
    tag.SetPadding(true);
}

class StringSink : public ID3_Writer {
public:
    using ID3_Writer::writeChars;

    void close() override {}
    void flush() override {}
    pos_type getCur() override { return static_cast<pos_type>(bytes.size()); }
    size_type writeChars(const char_type buf[], size_type len) override {
        bytes.append(reinterpret_cast<const char*>(buf), len);
        return len;
    }

    std::string bytes;
};

} // namespace

std::optional<ID3TagRecord> ReadID3Frames(const QString& path) {
    try {
        const QByteArray name = QFile::encodeName(path);
        ID3_Tag tag;
        // Only the two ID3 kinds: the other trailers are no business of ours.
        tag.Link(name.constData(), ID3TT_ID3V1 | ID3TT_ID3V2);
        SetTagOptions(tag);
        if (tag.NumFrames() == 0) {
            return std::nullopt;
        }
        ID3TagRecord record;
        for (std::size_t row = 0; row < FRAME_TABLE.size(); ++row) {
            if (const ID3_Frame* frame = tag.Find(FRAME_TABLE[row].id)) {
                SetRecordText(record, row, FirstTextItem(*frame, FRAME_TABLE[row].limit));
            }
        }
        return record;
    } catch (...) {
        Trace("ReadTagFromFile: the tag library failed on %s\n", qPrintable(path));
        return std::nullopt;
    }
}

std::optional<RenderedID3v2> RenderID3v2(const QString& path, const ID3TagRecord& record) {
    try {
        const QByteArray name = QFile::encodeName(path);
        ID3_Tag tag;
        tag.Link(name.constData(), ID3TT_ID3V2);
        tag.SetSpec(ID3V2_3_0);
        SetTagOptions(tag);

        const std::size_t parsedFrames = tag.NumFrames();
        const auto texts = RecordTexts(record);
        for (std::size_t row = 0; row < FRAME_TABLE.size(); ++row) {
            if (row == TRACK_ROW && texts[row].empty()) {
                continue;
            }
            ID3_Frame* frame = tag.Find(FRAME_TABLE[row].id);
            if (frame != nullptr) {
                SetTextField(*frame, texts[row]);
                continue;
            }
            // Handed over to the tag: the library's frame copy (which adding
            // without handing over makes) frees memory wrongly, and a copy
            // would not see text set afterwards.
            auto created = std::make_unique<ID3_Frame>(FRAME_TABLE[row].id);
            SetTextField(*created, texts[row]);
            if (tag.AttachFrame(created.get())) {
                created.release();
            }
        }

        StringSink sink;
        tag.Render(sink, ID3TT_ID3V2);
        if (sink.bytes.empty()) {
            return std::nullopt;
        }
        return RenderedID3v2{std::move(sink.bytes), tag.GetPrependedBytes(), parsedFrames};
    } catch (...) {
        Trace("WriteTagToFile: the tag library failed on %s\n", qPrintable(path));
        return std::nullopt;
    }
}
