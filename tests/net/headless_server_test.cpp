#include "fake_client.h"
#include "net/unc.h"
#include "net/unc_tables.h"
#include "net_test_support.h"
#include "support/outside_tools.h"
#include "support/program_process.h"
#include "support/wav_builder.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The program run headless as a server on 127.0.0.1 over folders it exports,
// with fake clients in this process that go through the exported folder.
class HeadlessServer : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        testsupport::WriteProgramSettings(home.filePath("settings.ini"), SourceDir(), OutputDir(),
                                          1, {{"Client", 0}});
        nettest::UseUncFiles(home.path(), "[farm]\n   path = " + home.path().toUtf8() + "\n", {});
    }
    void TearDown() override {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished();
        }
        SetUncTables(UncTables());
    }

    QString SourceDir() const { return home.filePath("in"); }
    QString OutputDir() const { return home.filePath("out"); }

    void Start(const QStringList& options, const QStringList& files) {
        program.setProcessEnvironment(testsupport::ProgramEnvironment(home.path()));
        program.setWorkingDirectory(home.path());
        program.start(QString::fromUtf8(CORVANE_ENCODER),
                      QStringList{"--headless", "--settings", home.filePath("settings.ini"),
                                  "--bind", "127.0.0.1", "--port", QString::number(port),
                                  "--smb-conf", home.filePath("smb.conf"), "--mountinfo",
                                  home.filePath("mountinfo")} +
                          options + files);
        ASSERT_TRUE(program.waitForStarted());
    }

    QTemporaryDir home;
    std::uint16_t port = nettest::FreePort();
    QProcess program;
};

// The listening TCP sockets on `port`, as the kernel lists them; -1 when it cannot be asked.
int ListeningOn(std::uint16_t port) {
    const ToolRun ss = RunTool("ss", {"-Hltn", QStringLiteral("sport = :%1").arg(port)});
    return ss.ok ? int(ss.out.count('\n')) : -1;
}

QString ErrorLog() {
    return testsupport::ReadProgramErrorLog(QString::fromUtf8(CORVANE_ENCODER));
}

TEST_F(HeadlessServer, ServesOnlyWhenAskedAndOnlyTheMachinesAllowed) {
    QStringList files;
    for (int i = 0; i < 6; ++i) {
        const QString path = SourceDir() + QStringLiteral("/tune%1.wav").arg(i);
        testsupport::WriteFile(path.toStdString(),
                               testsupport::MakePcmWav(testsupport::PcmFormat{}, 44100 * 20));
        files.append(path);
    }
    const qsizetype logBefore = ErrorLog().size();
    Start({"--serve", "--allow", "127.0.0.2"}, files);

    // A machine outside the list is closed before anything it sends is read,
    // and logged once however often it knocks.
    nettest::FakeClient intruder("INTRUDER", "127.0.0.9");
    ASSERT_TRUE(nettest::PumpUntil([&] { return ListeningOn(port) == 1; }, 60000));
    for (int knock = 0; knock < 2; ++knock) {
        intruder.Connect(port);
        ASSERT_TRUE(nettest::PumpUntil([&] { return !intruder.Connected(); }, 60000));
    }
    nettest::FakeClient farm("FARM", "127.0.0.2");
    ASSERT_TRUE(nettest::PumpUntil([&] { return farm.Connect(port); }, 60000));
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
        300000));
    const QString out = QString::fromUtf8(program.readAllStandardOutput());
    EXPECT_EQ(program.exitCode(), 0) << qPrintable(out);
    ASSERT_GE(finished, 1) << qPrintable(out);
    EXPECT_EQ(int(out.count("\tHanded out\tFarm\n")), finished) << qPrintable(out);
    EXPECT_EQ(int(out.count("\tHanded out\t")), finished) << qPrintable(out);
    EXPECT_EQ(int(out.count("\tCompleted\t")), 6) << qPrintable(out);
    const QString given = getlocalfilename(farm.jobs[0].source);
    EXPECT_TRUE(out.contains(given + "\tHanded out\tFarm")) << qPrintable(out);
    for (int i = 0; i < 6; ++i) {
        EXPECT_TRUE(QFile::exists(OutputDir() + QStringLiteral("/tune%1.MP3").arg(i))) << i;
    }
    const QString log = ErrorLog().mid(logBefore);
    EXPECT_EQ(log.count("A connection from 127.0.0.9 was refused"), 1) << qPrintable(log);
    EXPECT_FALSE(log.contains("INTRUDER", Qt::CaseInsensitive));
}

// A run on named files is a local tool: without --serve it opens no port.
TEST_F(HeadlessServer, ARunOnFilesWithoutServeListensNowhere) {
    // Ten minutes of silence: the program is busy a while.
    const QString wav = SourceDir() + "/long.wav";
    ASSERT_TRUE(testsupport::WriteSilentWav(wav.toStdString(), 600));
    Start({"--json"}, {wav});
    ASSERT_TRUE(nettest::PumpUntil(
        [&] { return program.canReadLine() && program.peek(4096).contains("\"started\""); },
        30000));
    EXPECT_EQ(ListeningOn(port), 0);
    EXPECT_EQ(nettest::RawConnect(port, "127.0.0.2"), -1);
}

} // namespace
