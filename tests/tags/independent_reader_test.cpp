#include "app/error_log.h"
#include "app/program_directory.h"
#include "mp3_maker.h"
#include "support/foldeng_tools.h"
#include "support/wav_builder.h"
#include "tags/id3v1_trailer.h"
#include "tags/source_tags.h"
#include "tags/tag_edit_walks.h"
#include "tags/tag_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using tagtest::Bytes;

namespace {

class IndependentReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        target.outputPath = dir.filePath("take.MP3");
        audio = tagtest::MakeMpegFrames(120);
        ASSERT_TRUE(testsupport::WriteFile(target.outputPath.toStdString(), audio));
        record.title = "A title of exactly forty characters, yes";
        record.artist = "Caf\xc3\xa9 Artist";
        record.album = "Album";
        record.year = "1999";
        record.genre = "(17)";
        record.comment = "A comment";
    }

    QTemporaryDir dir;
    TagFileTarget target;
    Bytes audio;
    ID3TagRecord record;
};

// A Python with mutagen, or "" when there is none.
QString MutagenPython() {
    for (const QString& python : {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
        bool ok = false;
        RunTool(python, {"-c", "import mutagen"}, &ok);
        if (ok) {
            return python;
        }
    }
    return {};
}

} // namespace

TEST_F(IndependentReaderTest, MutagenReadsBothTags) {
    const QString python = MutagenPython();
    if (python.isEmpty()) {
        GTEST_SKIP() << "no python3 with mutagen";
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
    bool ok = false;
    const QString out = QString::fromUtf8(RunTool(python, {"-c", script, target.outputPath}, &ok));
    ASSERT_TRUE(ok) << out.toStdString();
    const QStringList lines = out.split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0],
              QString::fromUtf8("3|A title of exactly forty characters, yes|Caf\u00e9 "
                                "Artist|\u03a9\u03bc\u03ad\u03b3\u03b1 \u65e5\u672c|1999|Rock|A "
                                "comment|0|1"));
    EXPECT_EQ(lines[1], QString::fromUtf8("A title of exactly forty char|Caf\u00e9 "
                                          "Artist||1999|Rock|A comment"));
}

TEST_F(IndependentReaderTest, AVersion24TagWithAPictureIsReadButLeftAsItIs) {
    const QString python = MutagenPython();
    if (python.isEmpty()) {
        GTEST_SKIP() << "no python3 with mutagen (Debian package python3-mutagen)";
    }
    SetProgramDirectory(dir.path() + "/");
    bool ok = false;
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
    RunTool(python, {"-c", tagger, target.outputPath}, &ok);
    ASSERT_TRUE(ok);
    const Bytes modern = testsupport::ReadFile(target.outputPath.toStdString());
    ID3TagRecord read;
    ASSERT_TRUE(ReadTagFromFile(target, read));
    EXPECT_EQ(read.title.str(), "Modern");
    EXPECT_FALSE(WriteTagToFile(target, record));
    EXPECT_EQ(testsupport::ReadFile(target.outputPath.toStdString()), modern);
    QFile log(GetErrorLogPath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("The ID3 tag of " + target.outputPath.toUtf8() +
                                       " was left as it is"));
}

TEST_F(IndependentReaderTest, SourceTagsComeFromInfoTextsAndAnId3Chunk) {
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
    bool ok = false;
    RunTool("ffmpeg", common + QStringList{"-metadata", "album=Symphonies", info}, &ok);
    ASSERT_TRUE(ok);
    RunTool("ffmpeg",
            common + QStringList{"-metadata", QString::fromUtf8("album=\u4ea4\u97ff\u66f2"),
                                 "-write_id3v2", "1", id3},
            &ok);
    ASSERT_TRUE(ok);
    for (const QString& path : {info, id3}) {
        SCOPED_TRACE(path.toStdString());
        const auto tags = ReadSourceTags(path);
        ASSERT_TRUE(tags.has_value());
        EXPECT_EQ(tags->title.str(), "Ode to Joy");
        EXPECT_EQ(tags->artist.str(), "Some Orchestra");
        EXPECT_EQ(tags->year.str(), "1824");
        EXPECT_EQ(tags->track.str(), "9");
        EXPECT_EQ(tags->album.str(),
                  path == info ? "Symphonies" : "\xe4\xba\xa4\xe9\x9f\xbf\xe6\x9b\xb2");
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

TEST_F(IndependentReaderTest, AFullDiskNeverShortensOrSpoilsTheFile) {
    const std::string path = target.outputPath.toStdString();
    // No room for a new ID3v2 tag: the file stays as it was.
    EXPECT_EQ(WithFileSizeLimit(audio.size(), [&] { return WriteTagToFile(target, record); }), 0);
    EXPECT_EQ(testsupport::ReadFile(path), audio);
    // No room for the trailer: no half trailer is left behind.
    EXPECT_EQ(WithFileSizeLimit(audio.size() + 100,
                                [&] { return WriteID3v1Tag(target.outputPath, record); }),
              0);
    EXPECT_EQ(testsupport::ReadFile(path), audio);

    // A tagged file that needs a bigger tag: old file or new file, nothing between.
    ASSERT_TRUE(WriteTagToFile(target, record));
    const Bytes before = testsupport::ReadFile(path);
    record.title = std::string(127, 't');
    record.album = std::string(127, 'a');
    record.comment = std::string(127, 'c');
    const int result =
        WithFileSizeLimit(before.size(), [&] { return WriteTagToFile(target, record); });
    ASSERT_NE(result, -1);
    const Bytes after = testsupport::ReadFile(path);
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
