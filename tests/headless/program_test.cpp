#include "program_fixture.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

namespace {

using testsupport::HeadlessProgram;

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
