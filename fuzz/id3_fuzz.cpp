// Arbitrary bytes as the head of an MP3 file through the checks that stand
// before the tag library, then, for what they let through, the library's
// reader on the same bytes as a file.
#include "fuzz/fuzz_seeds.h"
#include "tags/id3lib_tag.h"
#include "tags/id3v1_trailer.h"
#include "tags/id3v2_layout.h"
#include "tags/id3v2_text_frames.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdlib>
#include <string_view>
#include <unistd.h>

namespace {

QString ScratchPath() {
    static const QString path = QStringLiteral("%1/corvane-id3-fuzz-%2.mp3")
                                    .arg(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp")
                                    .arg(getpid());
    return path;
}

std::vector<std::uint8_t> Frame(const char* id, std::string_view text) {
    std::vector<std::uint8_t> frame(id, id + 4);
    const std::uint32_t size = std::uint32_t(text.size() + 1);
    for (int shift = 24; shift >= 0; shift -= 8) {
        frame.push_back(std::uint8_t(size >> shift));
    }
    frame.insert(frame.end(), {0, 0, 0});
    frame.insert(frame.end(), text.begin(), text.end());
    return frame;
}

std::vector<std::uint8_t> Id3v23(const std::vector<std::uint8_t>& body) {
    const std::uint32_t size = std::uint32_t(body.size());
    std::vector<std::uint8_t> tag = {'I',
                                     'D',
                                     '3',
                                     3,
                                     0,
                                     0,
                                     std::uint8_t(size >> 21 & 0x7F),
                                     std::uint8_t(size >> 14 & 0x7F),
                                     std::uint8_t(size >> 7 & 0x7F),
                                     std::uint8_t(size & 0x7F)};
    tag.insert(tag.end(), body.begin(), body.end());
    tag.insert(tag.end(), {0xFF, 0xFB, 0x90, 0x00});
    tag.resize(tag.size() + 400, 0);
    return tag;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::vector<std::uint8_t> body = Frame("TIT2", "Title");
    const std::vector<std::uint8_t> artist = Frame("TPE1", "Artist");
    body.insert(body.end(), artist.begin(), artist.end());
    std::vector<std::uint8_t> trailer(ID3V1_SIZE, ' ');
    trailer[0] = 'T';
    trailer[1] = 'A';
    trailer[2] = 'G';
    std::vector<std::uint8_t> plain = {0xFF, 0xFB, 0x90, 0x00};
    plain.resize(300, 0);
    plain.insert(plain.end(), trailer.begin(), trailer.end());
    WriteFuzzSeeds({Id3v23(body), Id3v23(std::vector<std::uint8_t>(64, 0)), plain});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const std::uint64_t declared = DeclaredTagSize(bytes);
    const HeadLayout layout = InspectHead(bytes, size);
    StartsWithFrameSync(bytes);
    if (layout.kind == HeadKind::Tag && (layout.tagSize > size || layout.tagSize != declared)) {
        std::abort(); // a tag that is trusted must lie in the file as declared
    }
    GenreNumberInParentheses(
        std::string_view(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 64)));
    // Our own reader takes the tags of WAV files' `id3 ` chunks as they come.
    ReadID3v2TextFrames(bytes);
    if (layout.kind == HeadKind::Damaged) {
        return 0; // never reaches the library
    }
    const QString path = ScratchPath();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size)) {
            return 0;
        }
    }
    ReadID3Frames(path);
    return 0;
}
