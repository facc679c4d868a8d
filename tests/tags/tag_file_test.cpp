#include "mp3_maker.h"
#include "support/wav_builder.h"
#include "tags/id3v1_trailer.h"
#include "tags/tag_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

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
        record.title = std::string(40, 'T');
        record.artist = "Artist";
        record.album = "Album";
        record.year = "1999";
        record.genre = "(17)";
        record.comment = "Comment";
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
              std::string(29, 'T') + std::string(1, '\0'));
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
    EXPECT_EQ(read.artist.str(), "Artist");
}

TEST_F(TagFileTest, BusyMissingLockedAndUntaggedFilesAreLeftAlone) {
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
}

TEST_F(TagFileTest, FilesThatAreNotMpegAudioAreNotTagged) {
    const Bytes wav = testsupport::MakePcmWav({}, 4410);
    ASSERT_TRUE(WriteFile(target.outputPath.toStdString(), wav));
    EXPECT_FALSE(WriteTagToFile(target, record));
    EXPECT_EQ(Mp3(), wav);
    ASSERT_TRUE(WriteFile(target.outputPath.toStdString(), {}));
    EXPECT_FALSE(WriteTagToFile(target, record));
    EXPECT_TRUE(Mp3().empty());
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
    record.title = "First";
    ASSERT_TRUE(WriteID3v1Tag(target.outputPath, record));
    Bytes bytes = Mp3();
    ASSERT_EQ(bytes.size(), audio.size() + 128);
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), bytes.begin()));

    record.title = "Second";
    ASSERT_TRUE(WriteID3v1Tag(target.outputPath, record));
    bytes = Mp3();
    ASSERT_EQ(bytes.size(), audio.size() + 128);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[audio.size() + 3])), "Second");
    // A trailer alone is a tag to read.
    ID3TagRecord read;
    ASSERT_TRUE(ReadTagFromFile(target, read));
    EXPECT_EQ(read.title.str(), "Second");
    EXPECT_EQ(read.genre.str(), "(17)");
    EXPECT_EQ(read.year.str(), "1999");

    // Shorter than a trailer: appended, never read from before the start.
    const Bytes tiny = {'T', 'A', 'G', 1, 2};
    ASSERT_TRUE(WriteFile(target.outputPath.toStdString(), tiny));
    ASSERT_TRUE(WriteID3v1Tag(target.outputPath, record));
    bytes = Mp3();
    ASSERT_EQ(bytes.size(), tiny.size() + 128);
    EXPECT_TRUE(std::equal(tiny.begin(), tiny.end(), bytes.begin()));
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
    EXPECT_EQ(block[3 + 28], 'a');
    EXPECT_EQ(block[3 + 29], 0);
    EXPECT_EQ(block[33], 'A');
    EXPECT_EQ(block[63 + 28], 'b');
    EXPECT_EQ(block[63 + 29], 0);
    EXPECT_EQ(block[93], '9');
    EXPECT_EQ(block[95], 0); // a short year leaves zero bytes
    EXPECT_EQ(block[97 + 28], 'c');
    EXPECT_EQ(block[126], 0);
    EXPECT_EQ(block[127], 17);

    // Latin-1 where it fits, accents dropped where that fits, else '?'; a
    // track goes into the comment's last byte.
    record.title = "Bj\xc3\xb6rk \xc5\x91 \xce\xa9";
    record.track = "7/12";
    block = BuildID3v1Block(record);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&block[3])), "Bj\xf6rk o ?");
    EXPECT_EQ(block[97 + 27], 'c');
    EXPECT_EQ(block[125], 0);
    EXPECT_EQ(block[126], 7);
    record.track = "";

    const std::vector<std::pair<std::string, int>> genres = {
        {"Rock", 255}, {"", 255}, {"(", 0}, {"(300)", 300 & 0xFF}, {"(125)x", 125}};
    for (const auto& [text, byte] : genres) {
        record.genre = text;
        EXPECT_EQ(BuildID3v1Block(record)[127], byte) << text;
    }
}
