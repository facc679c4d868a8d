#include "app/error_log.h"
#include "app/program_directory.h"
#include "mp3_maker.h"
#include "support/outside_tools.h"
#include "support/text_file.h"
#include "support/wav_builder.h"
#include "tags/id3v1_trailer.h"
#include "tags/source_tags.h"
#include "tags/tag_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

using tagtest::Bytes;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

constexpr int AUDIO_FRAMES = 96;

class TagFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        audio = tagtest::MakeMpegFrames(AUDIO_FRAMES);
        target.outputPath = Path("song.MP3");
        ASSERT_TRUE(WriteFile(Path("song.MP3").toStdString(), audio));
        record.title = "A title of exactly forty characters, yes";
        record.artist = "Caf\xc3\xa9 Artist";
        record.album = "Album";
        record.year = "1999";
        record.genre = "(17)";
        record.comment = "A comment";
    }

    QString Path(const QString& name) const { return dir.filePath(name); }
    Bytes Mp3() const { return ReadFile(target.outputPath.toStdString()); }

    // The audio of a tagged file: what lies between its ID3v2 tag and trailer.
    static Bytes AudioOf(const Bytes& file) {
        std::size_t start = 0;
        if (file.size() >= 10 && file[0] == 'I' && file[1] == 'D' && file[2] == '3') {
            start = 10 + ((file[6] << 21) | (file[7] << 14) | (file[8] << 7) | file[9]);
        }
        std::size_t end = file.size();
        if (end >= start + 128 && file[end - 128] == 'T' && file[end - 127] == 'A' &&
            file[end - 126] == 'G') {
            end -= 128;
        }
        return start <= end ? Bytes(file.begin() + long(start), file.begin() + long(end)) : Bytes();
    }

    QTemporaryDir dir;
    Bytes audio;
    TagFileTarget target;
    ID3TagRecord record;
};

} // namespace

TEST_F(TagFileTest, WrittenTagsReadBackAndLeaveTheAudioAlone) {
    ASSERT_TRUE(WriteTagToFile(target, record));
    const Bytes first = Mp3();
    EXPECT_EQ(AudioOf(first), audio);
    ASSERT_GT(first.size(), audio.size() + 128);
    EXPECT_EQ(first[3], 3); // version 2.3

    // Reading refuses compressed frames, so this also shows none were written.
    ID3TagRecord read;
    read.title = "stale";
    ASSERT_TRUE(ReadTagFromFile(target, read));
    EXPECT_EQ(read, record); // the 40-character title whole

    // The trailer holds the cut title and the genre byte.
    const Bytes trailer(first.end() - 128, first.end());
    EXPECT_EQ(std::string(trailer.begin() + 3, trailer.begin() + 33),
              std::string("A title of exactly forty char") + '\0');
    EXPECT_EQ(trailer[127], 17);

    // Writing again replaces both tags instead of adding to them.
    record.title = "Short";
    record.genre = "Rock";
    record.comment = "";
    ASSERT_TRUE(WriteTagToFile(target, record));
    const Bytes second = Mp3();
    EXPECT_EQ(second.size(), first.size());
    EXPECT_EQ(AudioOf(second), audio);
    EXPECT_EQ(second.back(), 255); // free-text genre: no ID3v1 genre
    ASSERT_TRUE(ReadTagFromFile(target, read));
    EXPECT_EQ(read, record);

    // The same record again changes nothing at all.
    ASSERT_TRUE(WriteTagToFile(target, record));
    EXPECT_EQ(Mp3(), second);
}

TEST_F(TagFileTest, TheOutputIsFoundFromTheSourceWhenNoEncodeNamedIt) {
    target.outputPath.clear();
    target.sourcePath = "/elsewhere/song.wav";
    target.sourceDirectory = "/elsewhere";
    target.outputDirectory = dir.path();
    target.renameToMp3 = true;
    ASSERT_TRUE(WriteTagToFile(target, record));
    ID3TagRecord read;
    ASSERT_TRUE(ReadTagFromFile(target, read));
    EXPECT_EQ(read.artist, record.artist);
}

TEST_F(TagFileTest, BusyMissingLockedUntaggedAndForeignFilesAreLeftAlone) {
    ID3TagRecord read;
    read.title = "entered";
    for (int busy : {TAG_STATUS_ENCODING, TAG_STATUS_PAUSED}) {
        TagFileTarget busyTarget = target;
        busyTarget.status = busy;
        EXPECT_FALSE(WriteTagToFile(busyTarget, record));
        EXPECT_FALSE(ReadTagFromFile(busyTarget, read));
    }
    EXPECT_EQ(Mp3(), audio);

    // No tag in the file: nothing read, and what the user entered stays.
    EXPECT_FALSE(ReadTagFromFile(target, read));
    EXPECT_EQ(read.title.str(), "entered");

    TagFileTarget missing = target;
    missing.outputPath = Path("missing.MP3");
    EXPECT_FALSE(WriteTagToFile(missing, record));
    EXPECT_FALSE(ReadTagFromFile(missing, read));
    EXPECT_FALSE(QFile::exists(missing.outputPath));
    EXPECT_FALSE(WriteID3v1Tag(missing.outputPath, record));
    EXPECT_FALSE(QFile::exists(missing.outputPath));

    if (::geteuid() != 0) { // root may write anything
        QFile::setPermissions(target.outputPath, QFile::ReadOwner);
        EXPECT_FALSE(WriteTagToFile(target, record));
        QFile::setPermissions(target.outputPath, QFile::ReadOwner | QFile::WriteOwner);
        EXPECT_EQ(Mp3(), audio);
    }

    // Files that are not MPEG audio.
    const Bytes wav = testsupport::MakePcmWav({}, 4410);
    for (const Bytes& other : {wav, Bytes{}}) {
        ASSERT_TRUE(WriteFile(target.outputPath.toStdString(), other));
        EXPECT_FALSE(WriteTagToFile(target, record));
        EXPECT_EQ(Mp3(), other);
    }
}

TEST_F(TagFileTest, DamagedTagsReadAsNoTagAndAreNeverRewritten) {
    ASSERT_TRUE(WriteTagToFile(target, record));
    const Bytes tagged = Mp3();
    auto damage = [&](std::size_t at, std::uint8_t value) {
        Bytes bytes = tagged;
        bytes[at] = value;
        return bytes;
    };
    const std::vector<Bytes> damaged = {
        damage(9, 0x7F),  // size beyond the frames
        damage(6, 0x7F),  // size beyond the file
        damage(8, 0x80),  // not a size at all
        damage(3, 9),     // unknown version
        damage(10, 'a'),  // bad frame id
        damage(15, 0x7F), // frame size beyond the tag
        damage(19, 0x80), // compressed frame
    };
    for (std::size_t i = 0; i < damaged.size(); ++i) {
        ASSERT_TRUE(WriteFile(target.outputPath.toStdString(), damaged[i]));
        ID3TagRecord read;
        read.title = "kept";
        EXPECT_FALSE(ReadTagFromFile(target, read)) << i;
        EXPECT_EQ(read.title.str(), "kept") << i;
        EXPECT_FALSE(WriteTagToFile(target, record)) << i;
        EXPECT_EQ(Mp3(), damaged[i]) << i;
    }
}

// A tag from another writer: two-byte text with byte-order marks.
Bytes WideTextTag() {
    const Bytes title = {'T',  'I',  'T', '2', 0,   0, 0,   11, 0,    0, 1,
                         0xFF, 0xFE, 'C', 0,   'a', 0, 'f', 0,  0xE9, 0};
    const Bytes comment = {'C', 'O', 'M', 'M',  0,    0, 0, 12,   0,    0,   1,
                           'e', 'n', 'g', 0xFF, 0xFE, 0, 0, 0xFF, 0xFE, 'x', 0};
    Bytes tag = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, std::uint8_t(title.size() + comment.size() + 40)};
    tag.insert(tag.end(), title.begin(), title.end());
    tag.insert(tag.end(), comment.begin(), comment.end());
    tag.resize(tag.size() + 40, 0);
    return tag;
}

TEST_F(TagFileTest, WideTextIsReadAndRandomDamageNeverHurts) {
    Bytes wide = WideTextTag();
    const std::size_t wideTagSize = wide.size();
    wide.insert(wide.end(), audio.begin(), audio.end());
    ASSERT_TRUE(WriteFile(target.outputPath.toStdString(), wide));
    ID3TagRecord read;
    ASSERT_TRUE(ReadTagFromFile(target, read));
    EXPECT_EQ(read.title.str(), "Caf\xc3\xa9");
    EXPECT_EQ(read.comment.str(), "x");

    record.comment = std::string(127, 'c');
    ASSERT_TRUE(WriteTagToFile(target, record));
    const Bytes ours = Mp3();
    std::mt19937 random(7);
    for (const auto& [base, tagSize] :
         {std::pair{wide, wideTagSize}, std::pair{ours, ours.size() - audio.size() - 128}}) {
        for (int round = 0; round < 200; ++round) {
            Bytes bytes = base;
            const int changes = 1 + int(random() % 4);
            for (int c = 0; c < changes; ++c) {
                bytes[random() % std::min<std::size_t>(tagSize, 300)] = std::uint8_t(random());
            }
            ASSERT_TRUE(WriteFile(target.outputPath.toStdString(), bytes));
            ReadTagFromFile(target, read);
            const bool written = WriteTagToFile(target, record);
            const Bytes after = Mp3();
            // Either rewritten around the same audio, or not touched at all.
            if (written) {
                ASSERT_EQ(AudioOf(after), audio) << round;
            } else {
                ASSERT_EQ(after, bytes) << round;
            }
        }
    }
}

TEST_F(TagFileTest, ATrailerIsReplacedOrAppended) {
    auto withTrailer = [&](Bytes bytes) {
        const ID3v1Block block = BuildID3v1Block(record);
        bytes.insert(bytes.end(), block.begin(), block.end());
        return bytes;
    };
    record.title = "First";
    ASSERT_TRUE(WriteID3v1Tag(target.outputPath, record));
    EXPECT_EQ(Mp3(), withTrailer(audio));
    record.title = "Second";
    ASSERT_TRUE(WriteID3v1Tag(target.outputPath, record));
    EXPECT_EQ(Mp3(), withTrailer(audio));
    // A trailer alone is a tag to read.
    ID3TagRecord read;
    ASSERT_TRUE(ReadTagFromFile(target, read));
    EXPECT_EQ(std::tuple(read.title.str(), read.genre.str(), read.year.str()),
              std::tuple("Second", "(17)", "1999"));

    // Shorter than a trailer: appended, never read from before the start.
    const Bytes tiny = {'T', 'A', 'G', 1, 2};
    ASSERT_TRUE(WriteFile(target.outputPath.toStdString(), tiny));
    ASSERT_TRUE(WriteID3v1Tag(target.outputPath, record));
    EXPECT_EQ(Mp3(), withTrailer(tiny));
}

TEST(ID3v1Block, FieldsAndGenreByte) {
    ID3TagRecord record;
    record.title = std::string(40, 'a');
    record.artist = "Artist";
    record.album = std::string(30, 'b');
    record.year = "99";
    record.comment = std::string(40, 'c');
    record.genre = "(17)";
    ID3v1Block block = BuildID3v1Block(record);
    EXPECT_EQ(std::string(block.begin(), block.begin() + 3), "TAG");
    // Fields cut one short of their width end in a zero; a short year leaves zeros.
    auto span = [&](std::size_t from, std::size_t to) {
        return std::string(block.begin() + long(from), block.begin() + long(to));
    };
    EXPECT_EQ(span(31, 34), std::string("a\0A", 3));
    EXPECT_EQ(span(91, 97), std::string("b\00099\0\0", 6));
    EXPECT_EQ(span(125, 128), std::string("c\0\x11", 3));

    // Latin-1 where it fits, accents dropped where that fits, else '?'; a
    // track goes into the comment's last byte.
    record.title = "Bj\xc3\xb6rk \xc5\x91 \xce\xa9";
    record.track = "7/12";
    block = BuildID3v1Block(record);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&block[3])), "Bj\xf6rk o ?");
    EXPECT_EQ(span(124, 127), std::string("c\0\x07", 3));

    const std::vector<std::pair<std::string, int>> genres = {
        {"Rock", 255}, {"", 255}, {"(", 0}, {"(300)", 300 & 0xFF}, {"(125)x", 125}};
    for (const auto& [text, byte] : genres) {
        record.genre = text;
        EXPECT_EQ(BuildID3v1Block(record)[127], byte) << text;
    }
}

namespace {

// A Python with mutagen, or "" when there is none.
QString MutagenPython() {
    for (const QString& python : {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
        if (RunTool(python, {"-c", "import mutagen"}).ok) {
            return python;
        }
    }
    return {};
}

} // namespace

TEST_F(TagFileTest, MutagenReadsBothTagsAndItsVersion24TagIsLeftAlone) {
    const QString python = MutagenPython();
    if (python.isEmpty()) {
        GTEST_SKIP() << "no python3 with mutagen (Debian package python3-mutagen)";
    }
    // Text beyond Latin-1 goes into UTF-16 frames, the rest stays Latin-1.
    record.album = "\xce\xa9\xce\xbc\xce\xad\xce\xb3\xce\xb1 \xe6\x97\xa5\xe6\x9c\xac";
    ASSERT_TRUE(WriteTagToFile(target, record));
    const char* script = R"(
import sys
from mutagen.id3 import ID3, ParseID3v1
data = open(sys.argv[1], 'rb').read()
tag = ID3(sys.argv[1], load_v1=False, translate=False)
print(tag.version[1], tag['TIT2'], tag['TPE1'], tag['TALB'], tag['TYER'], tag['TCON'].genres[0],
      tag.getall('COMM')[0], int(tag['TPE1'].encoding), int(tag['TALB'].encoding), sep='|')
v1 = ParseID3v1(data[-128:])
print(v1['TIT2'], v1['TPE1'], v1.get('TALB', ''), v1['TDRC'], v1['TCON'].genres[0], v1['COMM'], sep='|')
)";
    const ToolRun run = RunTool(python, {"-c", script, target.outputPath});
    ASSERT_TRUE(run.ok) << run.err.toStdString();
    const QString out = QString::fromUtf8(run.out);
    const QStringList lines = out.split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0],
              QString::fromUtf8("3|A title of exactly forty characters, yes|Caf\u00e9 "
                                "Artist|\u03a9\u03bc\u03ad\u03b3\u03b1 \u65e5\u672c|1999|Rock|A "
                                "comment|0|1"));
    EXPECT_EQ(lines[1], QString::fromUtf8("A title of exactly forty char|Caf\u00e9 "
                                          "Artist||1999|Rock|A comment"));

    SetProgramDirectory(dir.path() + "/");
    ASSERT_TRUE(WriteFile(target.outputPath.toStdString(), audio));
    // A version 2.4 tag with a picture, as modern taggers write it: read,
    // but never rewritten into the six frames the library would keep.
    const char* tagger = R"(
import sys
from mutagen.id3 import ID3, APIC, TXXX, TIT2
tag = ID3()
tag.add(TIT2(encoding=3, text='Modern'))
tag.add(TXXX(encoding=3, desc='mood', text='calm'))
tag.add(APIC(encoding=3, mime='image/png', type=3, desc='cover', data=b'\x89PNG' + b'x' * 3000))
tag.save(sys.argv[1], v2_version=4)
)";
    ASSERT_TRUE(RunTool(python, {"-c", tagger, target.outputPath}).ok);
    const Bytes modern = Mp3();
    ID3TagRecord read;
    ASSERT_TRUE(ReadTagFromFile(target, read));
    EXPECT_EQ(read.title.str(), "Modern");
    EXPECT_FALSE(WriteTagToFile(target, record));
    EXPECT_EQ(Mp3(), modern);
    EXPECT_TRUE(
        testsupport::ReadText(GetErrorLogPath())
            .contains("The ID3 tag of " + target.outputPath.toUtf8() + " was left as it is"));
}

TEST_F(TagFileTest, SourceTagsComeFromInfoTextsAndAnId3Chunk) {
    if (!HaveTool("ffmpeg")) {
        GTEST_SKIP() << "ffmpeg not installed";
    }
    // ffmpeg writes INFO texts and, asked, an ID3v2.4 tag in an `id3 ` chunk.
    const QString info = dir.filePath("info.wav");
    const QString id3 = dir.filePath("id3.wav");
    const QStringList common =
        QString("-v error -y -f lavfi -i sine=d=0.1 -metadata date=1824 -metadata track=9")
            .split(' ') +
        QStringList{"-metadata", "title=Ode to Joy", "-metadata", "artist=Some Orchestra"};
    ASSERT_TRUE(RunTool("ffmpeg", common + QStringList{"-metadata", "album=Symphonies", info}).ok);
    ASSERT_TRUE(
        RunTool("ffmpeg",
                common + QStringList{"-metadata", QString::fromUtf8("album=\u4ea4\u97ff\u66f2"),
                                     "-write_id3v2", "1", id3})
            .ok);
    for (const QString& path : {info, id3}) {
        SCOPED_TRACE(path.toStdString());
        const auto tags = ReadSourceTags(path);
        ASSERT_TRUE(tags.has_value());
        EXPECT_EQ(std::tuple(tags->title.str(), tags->artist.str(), tags->year.str(),
                             tags->track.str(), tags->album.str()),
                  std::tuple("Ode to Joy", "Some Orchestra", "1824", "9",
                             path == info ? "Symphonies" : "\xe4\xba\xa4\xe9\x9f\xbf\xe6\x9b\xb2"));
    }
    const QString plain = dir.filePath("plain.wav");
    ASSERT_TRUE(testsupport::WriteFile(plain.toStdString(), testsupport::MakePcmWav({}, 100)));
    EXPECT_FALSE(ReadSourceTags(plain).has_value());
}

namespace {

// A full disk is played by a file-size limit in a child process: writes past
// it fail as they would on a full disk. Returns the child's result.
int WithFileSizeLimit(std::size_t limit, const std::function<bool()>& write) {
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit size{rlim_t(limit), rlim_t(limit)};
        setrlimit(RLIMIT_FSIZE, &size);
        _exit(write() ? 1 : 0);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

} // namespace

TEST_F(TagFileTest, AFullDiskNeverShortensOrSpoilsTheFile) {
    // No room for a new ID3v2 tag: the file stays as it was.
    EXPECT_EQ(WithFileSizeLimit(audio.size(), [&] { return WriteTagToFile(target, record); }), 0);
    EXPECT_EQ(Mp3(), audio);
    // No room for the trailer: no half trailer is left behind.
    EXPECT_EQ(WithFileSizeLimit(audio.size() + 100,
                                [&] { return WriteID3v1Tag(target.outputPath, record); }),
              0);
    EXPECT_EQ(Mp3(), audio);

    // A tagged file that needs a bigger tag: old file or new file, nothing between.
    ASSERT_TRUE(WriteTagToFile(target, record));
    const Bytes before = Mp3();
    record.title = std::string(127, 't');
    record.album = std::string(127, 'a');
    record.comment = std::string(127, 'c');
    const int result =
        WithFileSizeLimit(before.size(), [&] { return WriteTagToFile(target, record); });
    ASSERT_NE(result, -1);
    const Bytes after = Mp3();
    if (result == 0) {
        EXPECT_EQ(after, before);
    } else {
        EXPECT_EQ(after.size(), before.size());
        ID3TagRecord read;
        EXPECT_TRUE(ReadTagFromFile(target, read));
        EXPECT_EQ(read, record);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1) << "no leftover files";
}
