#include "program_fixture.h"

#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using testsupport::HeadlessProgram;

QList<QJsonObject> JsonEvents(QProcess& program) {
    QList<QJsonObject> found;
    for (const QByteArray& line : program.readAllStandardOutput().split('\n')) {
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        if (object.contains("event")) {
            found.append(object);
        }
    }
    return found;
}

// Peak memory of the largest child this process has waited for, in KiB.
long ChildrenPeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
}

TEST_F(HeadlessProgram, AdmissionCarriesTheSourcesTagsAndAFailureItsReason) {
    const QString tagged = sourceDir + "/tagged_list.wav";
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "sine=d=0.5", "-metadata",
                            "title=Ode to Joy", "-metadata", "artist=Some Orchestra", tagged});
    ASSERT_TRUE(ffmpeg.waitForFinished(30000) && ffmpeg.exitCode() == 0);
    const QString empty = sourceDir + "/empty.wav";
    testsupport::WriteFile(empty.toStdString(),
                           testsupport::WavBuilder().Fmt(testsupport::PcmFormat{}).Build());
    Start({"--headless", "--json", tagged, empty});
    ASSERT_TRUE(program.waitForFinished(60000));
    const QList<QJsonObject> events = JsonEvents(program);
    ASSERT_GE(events.size(), 2);
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

// A 64-bit WAV of more than 4 GB (sparse, so it costs no disk): playing time,
// progress and the MP3 come out right, and memory stays what a small file
// takes. Sixteen channels at 8 kHz put the most bytes into the fewest frames.
TEST_F(HeadlessProgram, AnRf64SourceOver4GBEncodesInFlatMemory) {
    QSettings settings(ConfigFile(), QSettings::IniFormat);
    for (const char* key : {"Manufacturer ID", "Product ID"}) {
        settings.setValue(key, 9997); // the LAME library
    }
    settings.setValue("Channels", 2);
    settings.setValue("BytesPerSec", 4000); // 32 kbit/s
    settings.sync();
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
        Start({"--headless", "--json", path});
        EXPECT_TRUE(program.waitForFinished(600000));
        EXPECT_EQ(program.exitCode(), 0);
        return ChildrenPeakKilobytes();
    };
    const long small = encode(makeRf64("small.wav", 8000 * 128 * 10));
    const std::uint64_t bigBytes = (std::uint64_t(1) << 32) + 8000 * 128 * 10;
    const QString big = makeRf64("big.wav", bigBytes);
    const long peak = encode(big);
    QFile::remove(big);
    const QList<QJsonObject> events = JsonEvents(program);
    ASSERT_FALSE(events.isEmpty());
    EXPECT_EQ(events[0].value("duration").toInteger(), qint64(bigBytes / (8000 * 128)));
    int lastPercent = -1;
    for (const QJsonObject& event : events) {
        if (event.value("event") == "progress") {
            EXPECT_GE(event.value("percent").toInt(), lastPercent);
            lastPercent = event.value("percent").toInt();
        }
    }
    EXPECT_GT(lastPercent, 50);
    EXPECT_EQ(events.last().value("completed").toInt(), 1);
    const double seconds =
        Probe(outputDir + "/big.MP3", "format=duration").section('=', 1).toDouble();
    EXPECT_NEAR(seconds, double(bigBytes / (8000 * 128)), 1.0);
    EXPECT_LT(peak, small + 16 * 1024) << "KiB, against " << small << " KiB for ten seconds";
}

TEST_F(HeadlessProgram, EncodesTheGivenFilesTagsThemAndReportsTheRejected) {
    const QString first = MakeWav(QStringLiteral("Some Artist - Good Song.wav"), 88200);
    const QString second = MakeWav(QStringLiteral("Other & Co - Tune.wav"), 44100);
    const QString broken = sourceDir + QStringLiteral("/broken.wav");
    testsupport::WriteFile(broken.toStdString(), {'R', 'I', 'F', 'F', 0, 0});
    Start({"--headless", first, second, broken});
    ASSERT_TRUE(program.waitForFinished(120000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 1);

    const QStringList lines =
        QString::fromUtf8(program.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    // The refusal is known at admission, before anything is encoded.
    ASSERT_EQ(lines.size(), 3) << lines.join(u'\n').toStdString();
    EXPECT_EQ(lines[0],
              broken + QStringLiteral("\tRejected\t00:00\t-\tit is not a valid wave file"));
    EXPECT_TRUE(lines[1].startsWith(first + QStringLiteral("\tCompleted\t")));
    EXPECT_TRUE(lines[2].startsWith(second + QStringLiteral("\tCompleted\t")));

    const QString mp3 = outputDir + QStringLiteral("/Some Artist - Good Song.MP3");
    ASSERT_TRUE(QFile::exists(mp3));
    // Encoders may pad the last frame, but the whole sound must be there.
    EXPECT_GE(DecodedBytes(mp3), 88200 * 4 * 9 / 10);
    const QString tags = Probe(mp3, QStringLiteral("format_tags=artist,title"));
    EXPECT_TRUE(tags.contains(QStringLiteral("TAG:artist=Some Artist"))) << tags.toStdString();
    EXPECT_TRUE(tags.contains(QStringLiteral("TAG:title=Good Song"))) << tags.toStdString();
    EXPECT_GE(DecodedBytes(outputDir + QStringLiteral("/Other & Co - Tune.MP3")),
              44100 * 4 * 9 / 10);

    EXPECT_TRUE(NewErrors().contains(
        QStringLiteral("File %1 was rejected because it is not a valid wave file.").arg(broken)));
    // The first start settled on an encoder and kept it.
    QSettings saved(ConfigFile(), QSettings::IniFormat);
    EXPECT_NE(saved.value(QStringLiteral("Manufacturer ID")).toUInt(), 0u);
    EXPECT_EQ(saved.value(QStringLiteral("BytesPerSec")).toUInt(), 16000u);
}

TEST_F(HeadlessProgram, TerminationCancelsTheRunningFileAndLeavesNoPartialOutput) {
    // Three minutes of sound: long enough to be stopped in the middle.
    const QString source = MakeWav(QStringLiteral("long.wav"), 44100 * 180);
    Start({"--headless", source});
    const QString mp3 = outputDir + QStringLiteral("/long.MP3");
    // The running encode writes beside the final name.
    const QString part = mp3 + QStringLiteral(".part");
    QDeadlineTimer patience(60000);
    while (!QFile::exists(part) && !patience.hasExpired() && program.state() == QProcess::Running) {
        program.waitForFinished(20);
    }
    ASSERT_TRUE(QFile::exists(part)) << "the encode never started";
    EXPECT_FALSE(QFile::exists(mp3));
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(program.readAllStandardOutput())
                    .contains(QStringLiteral("\tCancelled\t")));
    EXPECT_FALSE(QFile::exists(mp3));
    EXPECT_FALSE(QFile::exists(part));
    EXPECT_TRUE(QFile::exists(source));
    // Settings were saved on the way out.
    EXPECT_EQ(
        QSettings(ConfigFile(), QSettings::IniFormat).value(QStringLiteral("Columns")).toInt(), 31);
}

// A journal folder that cannot be written: one clear sentence, and the files
// are encoded all the same. Root writes anywhere, so as root the folder is a
// read-only mount in a mount namespace of the program's own.
TEST_F(HeadlessProgram, ReadOnlyJournalFolderIsSaidOnceAndEncodingGoesOn) {
    const QString journals = home.filePath(QStringLiteral("data/Brindlecap/Encoder"));
    ASSERT_TRUE(QDir().mkpath(journals));
    const QString source = MakeWav(QStringLiteral("song.wav"), 44100);
    if (geteuid() == 0) {
        QProcess probe;
        probe.start(QStringLiteral("unshare"), {"-m", "true"});
        if (!probe.waitForFinished(10000) || probe.exitCode() != 0) {
            GTEST_SKIP() << "root without mount namespaces: cannot make a folder read-only";
        }
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(home.path());
        program.start(QStringLiteral("unshare"),
                      {"-m", "sh", "-c", "mount --bind -o ro \"$0\" \"$0\" && exec \"$@\"",
                       journals, QString::fromUtf8(CORVANE_ENCODER), "--headless", source});
        ASSERT_TRUE(program.waitForStarted());
    } else {
        ASSERT_TRUE(
            QFile::setPermissions(journals, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        Start({"--headless", source});
    }
    ASSERT_TRUE(program.waitForFinished(120000));
    QFile::setPermissions(journals, QFileDevice::Permissions(0x7700));
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    EXPECT_GE(DecodedBytes(outputDir + QStringLiteral("/song.MP3")), 44100 * 4 * 9 / 10);
    const QString errors = NewErrors();
    EXPECT_EQ(errors.count(QStringLiteral("The queue journal ")), 1) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QStringLiteral("could not be opened"))) << errors.toStdString();
    EXPECT_TRUE(QDir(journals).isEmpty());
}

TEST_F(HeadlessProgram, HelpNamesTheOptions) {
    Start({"--help"});
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitCode(), 0);
    const QString help = QString::fromUtf8(program.readAllStandardOutput());
    EXPECT_TRUE(help.contains(QStringLiteral("--headless")));
    EXPECT_TRUE(help.contains(QStringLiteral("--settings")));
}

} // namespace
