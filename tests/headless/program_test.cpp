#include "program_fixture.h"

#include <QDataStream>
#include <QSettings>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using testsupport::HeadlessProgram;
using testsupport::JsonLines;

// Peak memory of the largest child this process has waited for, in KiB.
long ChildrenPeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
}

TEST_F(HeadlessProgram, AdmissionCarriesTheSourcesTagsAndAFailureItsReason) {
    const QString tagged = sourceDir + "/tagged_list.wav";
    ASSERT_TRUE(
        RunTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "sine=d=0.5", "-metadata",
                           "title=Ode to Joy", "-metadata", "artist=Some Orchestra", tagged})
            .ok);
    const QString empty = sourceDir + "/empty.wav";
    testsupport::WriteFile(empty.toStdString(),
                           testsupport::WavBuilder().Fmt(testsupport::PcmFormat{}).Build());
    ASSERT_TRUE(Run({"--headless", "--json", tagged, empty}, 60000));
    const std::vector<QJsonObject> events = JsonLines(program.readAllStandardOutput());
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[0].value("tag").toObject().value("title").toString(), "Ode to Joy");
    EXPECT_TRUE(events[1].value("tag").isNull());
    bool failedWithReason = false;
    for (const QJsonObject& event : events) {
        failedWithReason |= event.value("event") == "finished" && event.value("file") == empty &&
                            event.value("message").toString().contains("holds no sample data");
    }
    EXPECT_TRUE(failedWithReason);
    const QString tags = Probe(outputDir + "/tagged_list.MP3", "format_tags=artist,title");
    EXPECT_TRUE(tags.contains("TAG:title=Ode to Joy\nTAG:artist=Some Orchestra") ||
                tags.contains("TAG:artist=Some Orchestra\nTAG:title=Ode to Joy"))
        << tags.toStdString();
}

// The Info frame of the LAME library and x3enc: constant and variable
// bitrates, MPEG-1 and MPEG-2 rates, mono and stereo decode to exactly the
// source's samples with our ID3v2 tag in front, the frame's counts are the
// file's, and mutagen reads the bitrate mode and length. With the same
// settings the LAME library's stream decodes to the very samples of the
// `lame` command's.
TEST_F(HeadlessProgram, InfoFrameGivesExactLengthsAndTheLameCommandsSamples) {
    const QString xdg = home.filePath("xdg");
    QSettings xing(xdg + "/Xing Technology Corp./XingMP3 Encoder.conf", QSettings::IniFormat);
    xing.setValue("Path", QFileInfo(QString::fromUtf8(CORVANE_ENCODER)).absolutePath());
    xing.sync();
    environment.insert("XDG_CONFIG_DIRS", xdg);
    QStringList sources;
    QStringList mp3s;
    for (const std::uint32_t rate : {44100u, 48000u, 22050u}) {
        for (const std::uint16_t channels : {std::uint16_t(1), std::uint16_t(2)}) {
            const QString name = QString("%1 %2").arg(rate).arg(channels);
            sources << MakeWav(name + ".wav", rate * 13 / 10 + 7, {rate, channels, 16});
            mp3s << outputDir + u'/' + name + ".MP3";
        }
    }
    const char* check = R"(
import sys
from mutagen.mp3 import MP3
B = {3: [0,32,40,48,56,64,80,96,112,128,160,192,224,256,320], 2: [0,8,16,24,32,40,48,56,64,80,96,112,128,144,160]}
R = {3: [44100,48000,32000], 2: [22050,24000,16000]}
for path in sys.argv[1:]:
    info = MP3(path).info
    d = open(path, 'rb').read()
    s = 10 + ((d[6] << 21) | (d[7] << 14) | (d[8] << 7) | d[9]) if d[:3] == b'ID3' else 0
    e = len(d) - (128 if d[-128:-125] == b'TAG' else 0)
    t = max(d.find(b'Info', s, s + 64), d.find(b'Xing', s, s + 64))
    i, n = s, 0
    while i + 4 <= e and d[i] == 0xFF:
        v = (d[i + 1] >> 3) & 3
        i += (144 if v == 3 else 72) * B[v][d[i + 2] >> 4] * 1000 // R[v][(d[i + 2] >> 2) & 3] + ((d[i + 2] >> 1) & 1)
        n += 1
    print(str(info.bitrate_mode).split('.')[-1], round(info.length * info.sample_rate),
          int.from_bytes(d[t + 8:t + 12], 'big') + 1 == n, int.from_bytes(d[t + 12:t + 16], 'big') == e - s == i - s)
)";
    auto decoded = [](const QString& mp3) {
        return RunTool("ffmpeg", {"-v", "error", "-i", mp3, "-f", "s16le", "-"}).out;
    };
    for (const QString format : {"lame, 128, joint", "lame, V2, joint", "xing, 128", "xing, V4"}) {
        QDir(outputDir).removeRecursively();
        QDir().mkpath(outputDir);
        ASSERT_TRUE(Run(QStringList{"--headless", "--format", format} + sources, 120000));
        ASSERT_EQ(program.exitCode(), 0) << format.toStdString();
        const ToolRun python = RunTool("/usr/bin/python3", QStringList{"-c", check} + mp3s);
        const QStringList facts = QString::fromUtf8(python.out).split(u'\n');
        ASSERT_EQ(facts.size(), mp3s.size() + 1) << python.err.toStdString();
        for (qsizetype i = 0; i < mp3s.size(); ++i) {
            const QStringList name = QFileInfo(sources[i]).completeBaseName().split(u' ');
            const int rate = name[0].toInt();
            const int channels = name[1].toInt();
            const int frames = rate * 13 / 10 + 7;
            const std::string label = format.toStdString() + " " + mp3s[i].toStdString();
            EXPECT_EQ(decoded(mp3s[i]).size(), qint64(frames) * channels * 2) << label;
            EXPECT_EQ(
                facts[i],
                QString("%1 %2 True True").arg(format.contains('V') ? "VBR" : "CBR").arg(frames))
                << label;
        }
        // The `lame` command on the stereo 44.1 kHz file, with the same settings.
        if (format.startsWith("lame")) {
            ASSERT_TRUE(RunTool("lame", {"--quiet", format.contains('V') ? "-V" : "-b",
                                         format.contains('V') ? "2" : "128", sources[1],
                                         home.filePath("ref.mp3")})
                            .ok);
            EXPECT_EQ(decoded(mp3s[1]), decoded(home.filePath("ref.mp3"))) << format.toStdString();
        }
    }
}

// A 64-bit WAV of more than 4 GB (sparse, so it costs no disk): playing time,
// progress and the MP3 come out right, and memory stays what a small file
// takes. Sixteen channels at 8 kHz put the most bytes into the fewest frames.
TEST_F(HeadlessProgram, AnRf64SourceOver4GBEncodesInFlatMemory) {
    // The LAME library at 32 kbit/s.
    testsupport::WriteProgramSettings(
        ConfigFile(), sourceDir, outputDir, 1,
        {{"Manufacturer ID", 9997}, {"Product ID", 9997}, {"Channels", 2}, {"BytesPerSec", 4000}});
    auto makeRf64 = [&](const QString& name, std::uint64_t dataBytes) {
        const QString path = sourceDir + u'/' + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        QDataStream out(&file);
        out.setByteOrder(QDataStream::LittleEndian);
        out.writeRawData("RF64\xff\xff\xff\xffWAVEds64", 16);
        out << quint32(28) << quint64(72 + dataBytes) << quint64(dataBytes)
            << quint64(dataBytes / 128) << quint32(0);
        out.writeRawData("fmt ", 4);
        // 64-bit float, 16 channels, 8 kHz
        out << quint32(16) << quint16(3) << quint16(16) << quint32(8000) << quint32(8000 * 128)
            << quint16(128) << quint16(64);
        out.writeRawData("data\xff\xff\xff\xff", 8);
        EXPECT_TRUE(file.resize(file.pos() + qint64(dataBytes)));
        return path;
    };
    auto encode = [&](const QString& path) {
        EXPECT_TRUE(Run({"--headless", "--json", path}, 600000));
        EXPECT_EQ(program.exitCode(), 0);
        return ChildrenPeakKilobytes();
    };
    const long small = encode(makeRf64("small.wav", 8000 * 128 * 10));
    const std::uint64_t bigBytes = (std::uint64_t(1) << 32) + 8000 * 128 * 10;
    const QString big = makeRf64("big.wav", bigBytes);
    const long peak = encode(big);
    QFile::remove(big);
    const std::vector<QJsonObject> events = JsonLines(program.readAllStandardOutput());
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0].value("duration").toInteger(), qint64(bigBytes / (8000 * 128)));
    int lastPercent = -1;
    for (const QJsonObject& event : events) {
        if (event.value("event") == "progress") {
            EXPECT_GE(event.value("percent").toInt(), lastPercent);
            lastPercent = event.value("percent").toInt();
        }
    }
    EXPECT_GT(lastPercent, 50);
    EXPECT_EQ(events.back().value("completed").toInt(), 1);
    const double seconds =
        Probe(outputDir + "/big.MP3", "format=duration").section('=', 1).toDouble();
    EXPECT_NEAR(seconds, double(bigBytes / (8000 * 128)), 1.0);
    EXPECT_LT(peak, small + 16 * 1024) << "KiB, against " << small << " KiB for ten seconds";
}

// A journal folder that cannot be written: one clear sentence, and the files
// are encoded all the same. Root writes anywhere, so as root the folder is a
// read-only mount in a mount namespace of the program's own.
TEST_F(HeadlessProgram, ReadOnlyJournalFolderIsSaidOnceAndEncodingGoesOn) {
    const QString journals = home.filePath(QStringLiteral("data/Brindlecap/Encoder"));
    ASSERT_TRUE(QDir().mkpath(journals));
    const QString source = MakeWav(QStringLiteral("song.wav"), 44100);
    if (geteuid() == 0) {
        if (!RunTool("unshare", {"-m", "true"}).ok) {
            GTEST_SKIP() << "root without mount namespaces: cannot make a folder read-only";
        }
        Launch("unshare", {"-m", "sh", "-c", "mount --bind -o ro \"$0\" \"$0\" && exec \"$@\"",
                           journals, QString::fromUtf8(CORVANE_ENCODER), "--headless", source});
    } else {
        ASSERT_TRUE(
            QFile::setPermissions(journals, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        Start({"--headless", source});
    }
    ASSERT_TRUE(program.waitForFinished(120000));
    QFile::setPermissions(journals, QFileDevice::Permissions(0x7700));
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    EXPECT_GT(Probe(outputDir + "/song.MP3", "format=duration").section(u'=', 1).toDouble(), 0.9);
    const QString errors = NewErrors();
    EXPECT_EQ(errors.count(QStringLiteral("The queue journal ")), 1) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QStringLiteral("could not be opened"))) << errors.toStdString();
    EXPECT_TRUE(QDir(journals).isEmpty());
}

} // namespace
