#include "support/outside_tools.h"
#include "support/wav_builder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <tuple>

namespace {

using testsupport::Bytes;
using testsupport::PcmFormat;
using testsupport::WavBuilder;

QString X3enc() {
    return QDir(BinDirectory()).filePath("x3enc");
}

ToolRun RunX3enc(const QStringList& arguments) {
    const ToolRun run = RunTool(X3enc(), arguments);
    EXPECT_NE(run.exitCode, -1) << "x3enc did not finish normally";
    return run;
}

class X3encTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QFileInfo(X3enc()).isExecutable()) << X3enc().toStdString();
    }
    QString Write(const QString& name, const Bytes& bytes) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(testsupport::WriteFile(path.toStdString(), bytes));
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(X3encTest, EncodesBetweenPathsWithSpacesQuietlyAtTheGivenBitrate) {
    const PcmFormat format{44100, 2, 16};
    const QString source = Write("my source file.wav", testsupport::MakePcmWav(format, 50000));
    const QString destination = dir.filePath("the result file.mp3");
    const ToolRun run = RunX3enc({source, destination, "-b", "64000"});
    EXPECT_EQ(std::tuple(run.exitCode, run.out + run.err), std::tuple(0, QByteArray()));
    ASSERT_TRUE(QFileInfo::exists(destination));
    if (!HaveDecoder()) {
        GTEST_SKIP() << "ffmpeg not installed";
    }
    const auto audio = DecodeMp3(destination);
    ASSERT_TRUE(audio.has_value());
    EXPECT_EQ(std::tuple(audio->codec, audio->channels, audio->sampleRate, audio->bitRate),
              std::tuple(QString("mp3"), 2, 44100, 64000LL));
    // The info tag lets the decoder drop the encoder's delay and padding.
    EXPECT_NEAR(static_cast<double>(audio->Frames()), 50000.0, 1152.0);
    EXPECT_GE(AudibleFrames(*audio), 50000 - 64);
}

TEST_F(X3encTest, RefusesMalformedFilesWithAReasonAndLeavesNothingBehind) {
    const PcmFormat format{44100, 2, 16};
    const Bytes pcm = testsupport::MakePcm(format, 4000);
    Bytes truncated = testsupport::MakePcmWav(format, 4000);
    truncated.resize(truncated.size() - 100);
    Bytes manyChannels = testsupport::FormatRecord(1, 17, 44100, 44100 * 34, 34, 16);
    struct Case {
        const char* reason;
        Bytes wav;
    };
    const Case cases[] = {
        {"not a RIFF WAVE file", {}},
        {"not a RIFF WAVE file", Bytes(64, 'z')},
        {"the file is truncated", truncated},
        {"'junk' runs past",
         WavBuilder().Fmt(format).Chunk("junk", Bytes(8, 0), 1u << 30).Data(pcm).Build()},
        {"no format chunk", WavBuilder().Data(pcm).Build()},
        {"no sample data", WavBuilder().Fmt(format).Build()},
        {"too short", WavBuilder().Chunk("fmt ", Bytes(10, 1)).Data(pcm).Build()},
        {"format 85", WavBuilder()
                          .FmtRecord(testsupport::FormatRecord(0x55, 2, 44100, 16000, 1, 0))
                          .Fact(4000)
                          .Data(pcm)
                          .Build()},
        {"17 channels", WavBuilder().FmtRecord(manyChannels).Data(pcm).Build()},
        {"block alignment 0", WavBuilder()
                                  .FmtRecord(testsupport::FormatRecord(1, 2, 44100, 0, 0, 16))
                                  .Data(pcm)
                                  .Build()},
        {"rate 1 Hz", WavBuilder().Fmt({1, 2, 16}).Data(pcm).Build()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        const QString source = Write("bad.wav", c.wav);
        const QString destination = dir.filePath("bad.mp3");
        // Even unasked, the one line that says why.
        const ToolRun run = RunX3enc({source, destination, "-b", "128000"});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.startsWith("x3enc: " + source.toUtf8() + ": ") &&
                    run.err.contains(c.reason))
            << run.err.toStdString();
        EXPECT_EQ(run.err.count('\n'), 1);
        EXPECT_FALSE(QFileInfo::exists(destination));
    }
    const ToolRun missing =
        RunX3enc({dir.filePath("absent.wav"), dir.filePath("x.mp3"), "-b", "128000", "-v"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("absent.wav"));
    // Encoding a file onto itself would destroy it.
    const Bytes wav = testsupport::MakePcmWav(format, 4000);
    const QString self = Write("self.wav", wav);
    EXPECT_EQ(RunX3enc({self, dir.filePath("./self.wav"), "-b", "128000"}).exitCode, 1);
    EXPECT_EQ(testsupport::ReadFile(self.toStdString()), wav);
    const ToolRun unwritable = RunX3enc({Write("ok.wav", testsupport::MakePcmWav(format, 4000)),
                                         dir.filePath("no such folder/x.mp3"), "-b", "128000"});
    EXPECT_EQ(unwritable.exitCode, 1);
}

TEST_F(X3encTest, RefusesBadCommandLinesSilently) {
    const QString source = Write("in.wav", testsupport::MakePcmWav({44100, 2, 16}, 1000));
    const QString destination = dir.filePath("out.mp3");
    const QStringList bad[] = {
        {},
        {source, destination},
        {source, destination, "-b"},
        {source, destination, "-b", "abc"},
        {source, destination, "-b", "0"},
        {source, destination, "-b", "999999"},
        {source, destination, "-b", "-128000"},
        {source, "-b", "128000"},
        {source, destination, "third", "-b", "128000"},
        {source, destination, "-b", "128000", "-q"},
        {source, destination, "-b", "128000", "-V", "2"},
        {source, destination, "-V", "10"},
    };
    for (const QStringList& arguments : bad) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const ToolRun run = RunX3enc(arguments);
        EXPECT_EQ(std::tuple(run.exitCode, run.out + run.err), std::tuple(2, QByteArray()));
        EXPECT_FALSE(QFileInfo::exists(destination));
    }
    const ToolRun told = RunX3enc({source, destination, "-b", "0", "-v"});
    EXPECT_EQ(told.exitCode, 2);
    EXPECT_TRUE(told.err.contains("-b")) << told.err.toStdString();
}

TEST_F(X3encTest, StopsPromptlyOnSigtermAndRemovesThePartialFile) {
    // Three minutes of stereo: long enough to be caught mid-file.
    const QString source = Write("long.wav", testsupport::MakePcmWav({44100, 2, 16}, 44100 * 180));
    const QString destination = dir.filePath("long.mp3");
    QProcess process;
    process.start(X3enc(), {source, destination, "-b", "128000", "-v"});
    ASSERT_TRUE(process.waitForStarted());
    QElapsedTimer waited;
    waited.start();
    while (QFileInfo(destination).size() == 0 && waited.elapsed() < 20000 &&
           process.state() == QProcess::Running) {
        QThread::msleep(5);
    }
    ASSERT_EQ(process.state(), QProcess::Running) << "finished before it could be stopped";
    process.terminate(); // SIGTERM, as a cancel sends
    // The three minutes are not encoded to the end first.
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 128 + SIGTERM);
    EXPECT_FALSE(QFileInfo::exists(destination));
    EXPECT_TRUE(process.readAllStandardError().contains("44100 Hz, 2 channel(s), 16 bits"));
}

TEST_F(X3encTest, RegistrationScriptWritesWhereTheProgramLooks) {
    // A compiler cache may make __FILE__ relative, so the build names the source tree.
    const QString script = QStringLiteral(CORVANE_SOURCE_DIR "/scripts/register-x3enc.sh");
    ASSERT_TRUE(QFileInfo::exists(script)) << script.toStdString();
    const QString config = dir.filePath("xdg config");
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_DIRS", config + ":/etc/xdg");
    process.setProcessEnvironment(environment);
    process.start("bash", {script, BinDirectory()});
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();

    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, config);
    const QSettings settings(QSettings::SystemScope, "Xing Technology Corp.", "XingMP3 Encoder");
    const QString registered = settings.value("Path").toString();
    EXPECT_EQ(QFileInfo(registered).canonicalFilePath(),
              QFileInfo(BinDirectory()).canonicalFilePath());
    EXPECT_TRUE(QFileInfo(QDir(registered).filePath("x3enc")).isExecutable());
}

} // namespace
