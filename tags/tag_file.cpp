#include "tags/tag_file.h"

#include "app/error_log.h"
#include "app/trace.h"
#include "tags/file_head.h"
#include "tags/id3lib_tag.h"
#include "tags/id3v1_trailer.h"
#include "tags/id3v2_layout.h"
#include "tags/id3v2_text_frames.h"

#include <QFileInfo>
#include <algorithm>
#include <optional>

namespace {

// The frame sync after the tag, or the "ID3" of a second tag.
constexpr std::uint64_t SYNC_BYTES = 3;

struct InspectedFile {
    QString path;
    HeadLayout layout;
    std::vector<std::uint8_t> head; // the tag, if any, and the bytes after it
};

InspectedFile Inspect(const QString& path) {
    const std::uint64_t fileSize = std::uint64_t(QFileInfo(path).size());
    std::vector<std::uint8_t> head = ReadFileHead(path, ID3V2_HEADER_SIZE);
    const std::uint64_t declared = DeclaredTagSize(head);
    if (declared > 0 && declared <= fileSize) {
        head = ReadFileHead(path, declared + SYNC_BYTES);
    }
    const HeadLayout layout = InspectHead(head, fileSize);
    return {path, layout, std::move(head)};
}

// The output of a finished entry, ready to read or tag; nothing while it is
// being encoded, or when it is missing, read-only or its tag is damaged.
std::optional<InspectedFile> InspectTarget(const TagFileTarget& target) {
    if (IsTagFileBusy(target.status)) {
        return std::nullopt;
    }
    const QString path = FindOutputMp3(target);
    if (!IsReadWritableFile(path)) {
        return std::nullopt;
    }
    InspectedFile file = Inspect(path);
    if (file.layout.kind == HeadKind::Damaged) {
        Trace("InspectTarget: damaged ID3v2 tag in %s, left alone\n", qPrintable(path));
        return std::nullopt;
    }
    return file;
}

} // namespace

bool ReadTagFromFile(const TagFileTarget& target, ID3TagRecord& record) {
    const std::optional<InspectedFile> found = InspectTarget(target);
    if (!found) {
        return false;
    }
    const InspectedFile& file = *found;
    const QString& path = file.path;
    // The library reads no frame of a version 2.4 tag; the tag's text frames
    // are read here instead.
    std::optional<ID3TagRecord> read;
    if (file.layout.kind == HeadKind::Tag && file.layout.version == 4) {
        read = ReadID3v2TextFrames(file.head);
    }
    if (!read) {
        read = ReadID3Frames(path);
    }
    if (!read) {
        return false;
    }
    record = *read;
    return true;
}

bool WriteTagToFile(const TagFileTarget& target, const ID3TagRecord& record) {
    const std::optional<InspectedFile> found = InspectTarget(target);
    if (!found) {
        return false;
    }
    const InspectedFile& file = *found;
    const QString& path = file.path;
    // A tag in front of anything but MPEG audio (a RIFF file, say) would
    // spoil it for its own readers.
    const auto audio = std::span<const std::uint8_t>(file.head).subspan(
        std::min<std::size_t>(file.layout.tagSize, file.head.size()));
    if (!StartsWithFrameSync(audio)) {
        Trace("WriteTagToFile: %s does not hold MPEG audio, not tagged\n", qPrintable(path));
        return false;
    }
    // The library would write back only the frames it understood: a tag it
    // cannot read whole (version 2.4, say, with a picture) is not ours to
    // replace.
    const bool unreadable = file.layout.kind == HeadKind::Tag && file.layout.version == 4;
    const auto rendered = unreadable ? std::nullopt : RenderID3v2(path, record);
    if (unreadable ||
        (rendered && rendered->parsedFrames == 0 && CountID3v2Frames(file.head) > 0)) {
        AddError(QStringLiteral("The ID3 tag of %1 was left as it is: the program cannot rewrite "
                                "a tag of this kind without losing parts of it.")
                     .arg(path));
        return false;
    }
    if (!rendered || rendered->replacedBytes != file.layout.tagSize) {
        return false;
    }
    const bool unchanged =
        rendered->bytes.size() == file.layout.tagSize &&
        std::equal(rendered->bytes.begin(), rendered->bytes.end(), file.head.begin(),
                   [](char a, std::uint8_t b) { return std::uint8_t(a) == b; });
    if (!unchanged && !ReplaceFileHead(path, file.layout.tagSize, rendered->bytes)) {
        return false;
    }
    WriteID3v1Tag(path, record);
    return true;
}
