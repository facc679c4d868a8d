// The headless program killed with SIGKILL at random moments of a batch and
// started again with the same files, until the batch is done.
#include "support/free_port.h"
#include "support/wav_builder.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <random>

namespace {

constexpr int FILES = 5;
constexpr int SECONDS_PER_FILE = 6;
constexpr int KILLS = 30;
constexpr int FINAL_RUN_LIMIT_MS = 60000;

// Playing time by the decoder's own count, or a negative value when the file
// does not decode cleanly.
double DecodedSeconds(const QString& path) {
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path});
    if (!probe.waitForFinished(20000) || probe.exitCode() != 0) {
        return -1.0;
    }
    if (!probe.readAllStandardError().trimmed().isEmpty()) {
        return -1.0;
    }
    bool ok = false;
    const double seconds = probe.readAllStandardOutput().trimmed().toDouble(&ok);
    return ok ? seconds : -1.0;
}

bool DecodesWithoutError(const QString& path) {
    QProcess decode;
    decode.start(QStringLiteral("ffmpeg"), {"-v", "error", "-i", path, "-f", "null", "-"});
    return decode.waitForFinished(30000) && decode.exitCode() == 0 &&
           decode.readAllStandardError().trimmed().isEmpty();
}

class KillResume : public testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty()) {
            GTEST_SKIP() << "ffprobe/ffmpeg not installed";
        }
        ASSERT_TRUE(root.isValid());
        QDir().mkpath(root.filePath("in"));
        QDir().mkpath(root.filePath("out"));
        settingsFile = root.filePath("settings.ini");
        {
            QSettings settings(settingsFile, QSettings::IniFormat);
            settings.setValue("From Dir", root.filePath("in"));
            settings.setValue("To Dir", root.filePath("out"));
            settings.setValue("Workers", 1);
            settings.sync();
        }
        testsupport::PcmFormat format;
        for (int i = 0; i < FILES; ++i) {
            const QString path = root.filePath(QStringLiteral("in/take%1.wav").arg(i + 1));
            ASSERT_TRUE(testsupport::WriteFile(
                path.toStdString(),
                testsupport::MakePcmWav(format, SECONDS_PER_FILE * format.sampleRate)));
            sources << path;
        }
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", root.filePath("config"));
        environment.insert("XDG_DATA_HOME", root.filePath("data"));
        environment.insert("XDG_RUNTIME_DIR", root.path());
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.remove("QT_QPA_PLATFORM");
    }

    void Start(QProcess& program) {
        program.setProcessEnvironment(environment);
        program.setStandardOutputFile(QProcess::nullDevice());
        program.setStandardErrorFile(QProcess::nullDevice());
        program.start(QString::fromUtf8(CORVANE_ENCODER),
                      QStringList{"--headless", "--settings", settingsFile} +
                          testsupport::LoopbackServingOptions() + extraArguments + sources);
        ASSERT_TRUE(program.waitForStarted());
    }

    QString OutputOf(const QString& source) const {
        return root.filePath("out/" + QFileInfo(source).completeBaseName() + ".MP3");
    }

    // What must hold whenever the program has been killed.
    void CheckNothingLost(int run) {
        for (const QString& source : sources) {
            ASSERT_TRUE(QFileInfo::exists(source)) << "run " << run;
            const QString output = OutputOf(source);
            if (QFileInfo::exists(output)) {
                const double seconds = DecodedSeconds(output);
                ASSERT_NEAR(seconds, SECONDS_PER_FILE, 0.1)
                    << "run " << run << ": " << output.toStdString();
            }
        }
    }

    int FinishedOutputs() const {
        int count = 0;
        for (const QString& source : sources) {
            count += QFileInfo::exists(OutputOf(source)) ? 1 : 0;
        }
        return count;
    }

    void KillAndResume(int kills);

    QTemporaryDir root;
    QString settingsFile;
    QStringList sources;
    QStringList extraArguments;
    QProcessEnvironment environment;
};

void KillResume::KillAndResume(int kills) {
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> delayMs(20, 500);
    int killedMidBatch = 0;
    int killedWithPartialOutput = 0;
    for (int run = 0; killedMidBatch < kills && run < 3 * kills; ++run) {
        QProcess program;
        ASSERT_NO_FATAL_FAILURE(Start(program));
        const bool ended = program.waitForFinished(delayMs(random));
        if (!ended) {
            const bool partial = !QDir(root.filePath("out"))
                                      .entryList({QStringLiteral("*.part")}, QDir::Files)
                                      .isEmpty();
            program.kill();
            ASSERT_TRUE(program.waitForFinished(10000));
            ++killedMidBatch;
            killedWithPartialOutput += partial ? 1 : 0;
        } else {
            EXPECT_EQ(program.exitCode(), 0) << "run " << run;
        }
        ASSERT_NO_FATAL_FAILURE(CheckNothingLost(run));
        if (FinishedOutputs() == FILES) {
            // The batch got through: a new one on the same files keeps the kills coming.
            for (const QString& source : sources) {
                QFile::remove(OutputOf(source));
            }
        }
    }
    std::printf("kills mid-batch: %d, with a partial output on disk: %d\n", killedMidBatch,
                killedWithPartialOutput);
    EXPECT_GE(killedMidBatch, kills);
    EXPECT_GT(killedWithPartialOutput, 0);

    // Started again without a kill: it finishes what is left and exits 0.
    QProcess program;
    ASSERT_NO_FATAL_FAILURE(Start(program));
    ASSERT_TRUE(program.waitForFinished(FINAL_RUN_LIMIT_MS));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    for (const QString& source : sources) {
        EXPECT_TRUE(QFileInfo::exists(source));
        const QString output = OutputOf(source);
        EXPECT_NEAR(DecodedSeconds(output), SECONDS_PER_FILE, 0.1) << output.toStdString();
        EXPECT_TRUE(DecodesWithoutError(output)) << output.toStdString();
    }
    EXPECT_TRUE(
        QDir(root.filePath("out")).entryList({QStringLiteral("*.part")}, QDir::Files).isEmpty());

    // Once all are done a new start encodes nothing and still exits 0.
    const QDateTime before = QFileInfo(OutputOf(sources[0])).lastModified();
    QProcess again;
    ASSERT_NO_FATAL_FAILURE(Start(again));
    ASSERT_TRUE(again.waitForFinished(FINAL_RUN_LIMIT_MS));
    EXPECT_EQ(again.exitCode(), 0);
    EXPECT_EQ(QFileInfo(OutputOf(sources[0])).lastModified(), before);
}

TEST_F(KillResume, BatchKilledAtRandomMomentsEndsWithEveryFileWholeAndNoSourceLost) {
    KillAndResume(KILLS);
}

// Three files in flight at each kill: every one of them must come back whole.
TEST_F(KillResume, SeveralWorkersKilledAtRandomMomentsLoseNothingEither) {
    extraArguments = {"--jobs", "3"};
    KillAndResume(KILLS / 3);
}

} // namespace
