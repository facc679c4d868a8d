// The cost of sharing a batch: the same files encoded by one machine with W
// workers and by three machines (a server and two clients) with W workers in
// all. All run on this host, each its own process with its own host name, so
// both runs have the same cores and the figure is the farm's overhead:
//   overhead_ratio = three-machine wall time / one-machine wall time
// (goal: at most 1.10). The batch is sized from a first measured encode so
// that one machine needs at least 20 seconds for it; each setup runs twice,
// alternated, and its best time counts.
#include "e2e/encoding_farm.h"
#include "support/free_port.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int MACHINES = 3;
constexpr int FILES_PER_WORKER = 4;
constexpr double TARGET_SECONDS = 25.0;
constexpr int CALIBRATION_SECONDS = 300;
constexpr int RUN_LIMIT_MS = 600000;
constexpr int ROUNDS = 2;

struct Run {
    qint64 wallMs = -1;
    QMap<QString, int> share; // files per machine
};

QStringList Names(int count) {
    QStringList names;
    for (int i = 0; i < count; ++i) {
        names << QStringLiteral("track%1.wav").arg(i + 1, 3, 10, QChar(u'0'));
    }
    return names;
}

// One batch from the server's start to its end, over `serverWorkers` here and
// one worker on each of `clients` clients.
Run RunBatch(const QString& encoder, int files, int seconds, int serverWorkers, int clients) {
    Run run;
    QTemporaryDir root;
    if (!root.isValid()) {
        return run;
    }
    farm::EncodingFarm farm(root.path(), encoder, testsupport::FreePort());
    const QStringList wavs = farm.MakeSilentWavs(Names(files), seconds);
    farm::MachineOptions options;
    options.workers = serverWorkers;
    options.arguments = {"--serve"};
    QElapsedTimer clock;
    clock.start();
    farm::Machine& server = farm.StartServer("BENCHSERVER", wavs, options);
    for (int i = 0; i < clients; ++i) {
        farm.StartClient(QStringLiteral("BENCHNODE%1").arg(i + 1),
                         QStringLiteral("127.0.0.%1").arg(i + 2), 1);
    }
    farm.WaitFor([&] { return server.process.state() == QProcess::NotRunning; }, RUN_LIMIT_MS);
    const qint64 wall = clock.elapsed();
    farm.Poll(0);
    const int completed = int(server.FilesWith("Completed").size());
    if (server.process.state() != QProcess::NotRunning || server.process.exitCode() != 0 ||
        completed != files) {
        std::printf("bench_distributed: a batch failed:\n%s\n", qPrintable(server.Output()));
        return run;
    }
    run.wallMs = wall;
    int handedOut = 0;
    for (const QString& line : server.lines) {
        const QStringList fields = line.split(u'\t');
        if (fields.size() == 3 && fields[1] == "Handed out") {
            ++run.share[fields[2]];
            ++handedOut;
        }
    }
    run.share[server.name] = files - handedOut;
    return run;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString why;
    if (!farm::EncodingFarm::CanNameHosts(&why)) {
        std::printf("bench_distributed: skipped (%s)\n", qPrintable(why));
        return 0;
    }
    const QString encoder = QCoreApplication::applicationDirPath() + "/corvane-encoder";
    const int cores = QThread::idealThreadCount();
    // At least one worker per machine, the same number in both runs.
    const int workers = std::max(MACHINES, (cores + MACHINES - 1) / MACHINES * MACHINES);

    // How long one worker takes per second of sound, to size the batch.
    const Run calibration = RunBatch(encoder, 1, CALIBRATION_SECONDS, 1, 0);
    if (calibration.wallMs <= 0) {
        return 1;
    }
    const double wallPerSecond = double(calibration.wallMs) / 1000.0 / CALIBRATION_SECONDS;
    const int files = workers * FILES_PER_WORKER;
    const double parallel = std::min(workers, cores);
    const int seconds = int(std::ceil(TARGET_SECONDS * parallel / wallPerSecond / files));

    // Alternated and the best of each kept: other work on this host slows a
    // run down, never speeds it up.
    Run one;
    Run three;
    for (int round = 0; round < ROUNDS; ++round) {
        const Run single = RunBatch(encoder, files, seconds, workers, 0);
        const Run farm = RunBatch(encoder, files, seconds, workers / MACHINES, MACHINES - 1);
        if (single.wallMs <= 0 || farm.wallMs <= 0) {
            return 1;
        }
        std::printf("round %d: one_machine_ms=%lld three_machines_ms=%lld\n", round + 1,
                    static_cast<long long>(single.wallMs), static_cast<long long>(farm.wallMs));
        if (one.wallMs < 0 || single.wallMs < one.wallMs) {
            one = single;
        }
        if (three.wallMs < 0 || farm.wallMs < three.wallMs) {
            three = farm;
        }
    }
    std::printf("cores=%d workers=%d files=%d seconds_per_file=%d\n", cores, workers, files,
                seconds);
    std::printf("one_machine_ms=%lld three_machines_ms=%lld\n", static_cast<long long>(one.wallMs),
                static_cast<long long>(three.wallMs));
    for (auto it = three.share.begin(); it != three.share.end(); ++it) {
        std::printf("share %s=%d/%d\n", qPrintable(it.key()), it.value(), files);
    }
    std::printf("overhead_ratio=%.3f\n", double(three.wallMs) / double(one.wallMs));
    return 0;
}
