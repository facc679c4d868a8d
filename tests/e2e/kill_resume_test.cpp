// The headless program killed with SIGKILL at random moments of a batch and
// started again with the same files, until the batch is done.
#include "e2e/encoding_farm.h"
#include "support/free_port.h"
#include "support/outside_tools.h"
#include "support/program_process.h"
#include "support/wav_builder.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

constexpr int FILES = 5;
constexpr int SECONDS_PER_FILE = 6;
constexpr int KILLS = 30;
constexpr int FINAL_RUN_LIMIT_MS = 60000;

class KillResume : public testing::Test {
protected:
    void SetUp() override {
        if (!HaveDecoder()) {
            GTEST_SKIP() << "ffmpeg not installed";
        }
        ASSERT_TRUE(root.isValid());
        settingsFile = root.filePath("settings.ini");
        testsupport::WriteProgramSettings(settingsFile, root.filePath("in"), root.filePath("out"),
                                          1);
        testsupport::PcmFormat format;
        for (int i = 0; i < FILES; ++i) {
            const QString path = root.filePath(QStringLiteral("in/take%1.wav").arg(i + 1));
            ASSERT_TRUE(testsupport::WriteFile(
                path.toStdString(),
                testsupport::MakePcmWav(format, SECONDS_PER_FILE * format.sampleRate)));
            sources << path;
        }
        environment = testsupport::ProgramEnvironment(root.path());
    }

    void Start(QProcess& program, const QStringList& reportOptions = {}) {
        program.setProcessEnvironment(environment);
        if (reportOptions.isEmpty()) {
            program.setStandardOutputFile(QProcess::nullDevice());
        }
        program.setStandardErrorFile(QProcess::nullDevice());
        program.start(QString::fromUtf8(CORVANE_ENCODER),
                      QStringList{"--headless", "--settings", settingsFile} + reportOptions +
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
                bool clean = false;
                const qint64 bytes = farm::DecodedBytes(output, &clean);
                ASSERT_TRUE(clean) << "run " << run << ": " << output.toStdString();
                ASSERT_NEAR(double(bytes) / (44100 * 4), SECONDS_PER_FILE, 0.1)
                    << "run " << run << ": " << output.toStdString();
            }
        }
    }

    int FinishedOutputs() const {
        return int(std::count_if(sources.begin(), sources.end(), [this](const QString& source) {
            return QFileInfo::exists(OutputOf(source));
        }));
    }

    void KillAndResume(int kills);

    QTemporaryDir root;
    QString settingsFile;
    QStringList sources;
    QStringList extraArguments;
    QProcessEnvironment environment;
};

// The moment of a kill is chosen among things the program reports, never by
// the clock, so a fast or a loaded machine gets the same kinds of kill.
struct KillPoint {
    QByteArray event = "started"; // lines of this event to see first
    int count = 1;
    bool onPart = false;  // then also wait for a partial output on disk
    qint64 partBytes = 0; // of at least this size
};

// Longest partial output seen in the output folder, or -1 when there is none.
qint64 LargestPart(const QDir& out) {
    qint64 largest = -1;
    for (const QFileInfo& part : out.entryInfoList({QStringLiteral("*.part")}, QDir::Files)) {
        largest = std::max(largest, part.size());
    }
    return largest;
}

// Waits for the kill point; false when the program ended before it.
bool ReachKillPoint(QProcess& program, const KillPoint& point, const QDir& out) {
    const QByteArray line = "\"event\":\"" + point.event + '"';
    int seen = 0;
    while (seen < point.count) {
        if (!program.canReadLine() && !program.waitForReadyRead(30000)) {
            return false;
        }
        while (program.canReadLine() && seen < point.count) {
            seen += program.readLine().contains(line) ? 1 : 0;
        }
    }
    while (point.onPart && LargestPart(out) < point.partBytes) {
        if (program.waitForFinished(1)) {
            return false;
        }
    }
    return program.state() == QProcess::Running;
}

void KillResume::KillAndResume(int kills) {
    std::mt19937 random(20261207);
    // 128 kbit/s for the length of a file.
    const qint64 outputBytes = 128000 / 8 * SECONDS_PER_FILE;
    const QDir out(root.filePath("out"));
    int killedMidBatch = 0;
    int killedWithPartialOutput = 0;
    for (int run = 0; killedMidBatch < kills && run < 4 * kills; ++run) {
        const int left = FILES - FinishedOutputs();
        KillPoint point;
        const unsigned kind = random() % 3;
        if (kind == 2 && left > 1) {
            // Just after a file was renamed, tagged and recorded, before the next one.
            point.event = "finished";
            point.count = std::uniform_int_distribution<int>(1, left - 1)(random);
        } else {
            point.count = std::uniform_int_distribution<int>(1, left)(random);
            point.onPart = kind == 1;
            point.partBytes =
                std::uniform_int_distribution<qint64>(0, outputBytes * 9 / 10)(random);
        }
        QProcess program;
        ASSERT_NO_FATAL_FAILURE(Start(program, {QStringLiteral("--json")}));
        const bool reached = ReachKillPoint(program, point, out);
        const bool partial = LargestPart(out) >= 0;
        if (reached) {
            program.kill();
        }
        ASSERT_TRUE(program.waitForFinished(60000)) << "run " << run;
        if (program.exitStatus() == QProcess::CrashExit) {
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

    // Started again without a kill it finishes what is left; once all are
    // done a new start encodes nothing. Both exit 0.
    QDateTime before;
    for (int run = -1; run >= -2; --run) {
        QProcess program;
        ASSERT_NO_FATAL_FAILURE(Start(program));
        ASSERT_TRUE(program.waitForFinished(FINAL_RUN_LIMIT_MS));
        EXPECT_EQ(std::tuple(program.exitStatus(), program.exitCode(), FinishedOutputs(),
                             LargestPart(out)),
                  std::tuple(QProcess::NormalExit, 0, FILES, qint64(-1)));
        CheckNothingLost(run);
        if (run == -2) {
            EXPECT_EQ(QFileInfo(OutputOf(sources[0])).lastModified(), before);
        }
        before = QFileInfo(OutputOf(sources[0])).lastModified();
    }
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
