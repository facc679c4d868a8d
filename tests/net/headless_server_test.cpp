#include "fake_client.h"
#include "net/protocol.h"
#include "net/unc.h"
#include "net/unc_tables.h"
#include "net_test_support.h"
#include "support/wav_builder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The program run headless as a server on 127.0.0.1, with a fake client
// in this process that takes what it is given through the exported folder.
TEST(HeadlessServer, HandsFilesToALoggedInClientAndSaysWhichMachineTookThem) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString sourceDir = home.filePath("in");
    const QString outputDir = home.filePath("out");
    QDir().mkpath(sourceDir);
    QDir().mkpath(outputDir);
    const QString settingsFile = home.filePath("settings.ini");
    {
        QSettings settings(settingsFile, QSettings::IniFormat);
        settings.setValue("From Dir", sourceDir);
        settings.setValue("To Dir", outputDir);
        settings.setValue("Workers", 1);
        settings.setValue("Client", 0);
        // Stored rate of the client: it comes first in the order.
        settings.sync();
    }
    QFile conf(home.filePath("smb.conf"));
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
    conf.write("[farm]\n   path = " + home.path().toUtf8() + "\n");
    conf.close();
    QFile mounts(home.filePath("mountinfo"));
    ASSERT_TRUE(mounts.open(QIODevice::WriteOnly));
    mounts.close();
    UncTables tables;
    tables.smbConfPath = conf.fileName();
    tables.mountInfoPath = mounts.fileName();
    tables.usershareDir = QString();
    SetUncTables(tables);

    QStringList files;
    for (int i = 0; i < 6; ++i) {
        const QString path = sourceDir + QStringLiteral("/tune%1.wav").arg(i);
        testsupport::WriteFile(path.toStdString(),
                               testsupport::MakePcmWav(testsupport::PcmFormat{}, 44100 * 20));
        files.append(path);
    }

    const std::uint16_t port = nettest::FreeLoopbackPort();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    environment.insert("XDG_DATA_HOME", home.filePath("data"));
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(home.path());
    program.start(QString::fromUtf8(CORVANE_ENCODER),
                  QStringList{"--headless", "--settings", settingsFile, "--bind", "127.0.0.1",
                              "--port", QString::number(port), "--smb-conf", conf.fileName(),
                              "--mountinfo", mounts.fileName()} +
                      files);
    ASSERT_TRUE(program.waitForStarted());

    nettest::FakeClient farm("FARM", "127.0.0.2");
    ASSERT_TRUE(nettest::PumpUntil([&] { return farm.Connect(port); }, 10000));
    // Each job: the output written through the share, then done.
    int finished = 0;
    ASSERT_TRUE(nettest::PumpUntil(
        [&] {
            if (int(farm.jobs.size()) > finished) {
                farm.FinishJob(60000);
                ++finished;
            }
            return program.state() == QProcess::NotRunning;
        },
        60000));
    const QString out = QString::fromUtf8(program.readAllStandardOutput());
    EXPECT_EQ(program.exitCode(), 0) << qPrintable(out);
    ASSERT_GE(finished, 1) << qPrintable(out);
    EXPECT_EQ(int(out.count("\tHanded out\tFarm\n")), finished) << qPrintable(out);
    EXPECT_EQ(int(out.count("\tCompleted\t")), 6) << qPrintable(out);
    const QString given = getlocalfilename(farm.jobs[0].source);
    EXPECT_TRUE(out.contains(given + "\tHanded out\tFarm")) << qPrintable(out);
    for (int i = 0; i < 6; ++i) {
        EXPECT_TRUE(QFile::exists(outputDir + QStringLiteral("/tune%1.MP3").arg(i))) << i;
    }
    SetUncTables(UncTables());
}

} // namespace
