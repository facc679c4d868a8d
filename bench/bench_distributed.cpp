// The cost of sharing a batch: the same files on one machine and on three
// (a server and two clients, all on this host, each its own process with its
// own host name). The machines share this host's cores, so the figure is the
// distribution's overhead, not a speed-up:
//   overhead_ratio = three-machine wall time
//                    / (one-machine wall time * expected work split)
// where the expected split is the busiest machine's share of the files.
#include "e2e/encoding_farm.h"
#include "support/free_port.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

namespace {

constexpr int FILES = 8;
constexpr int SECONDS_PER_FILE = 30;
constexpr int MACHINES = 3;
constexpr int RUN_LIMIT_MS = 300000;

// Wall time of one batch from the server's start to its end; -1 on failure.
qint64 RunBatch(const QString& encoder, int clients) {
    QTemporaryDir root;
    if (!root.isValid()) {
        return -1;
    }
    farm::EncodingFarm farm(root.path(), encoder, testsupport::FreePort());
    const QStringList files = farm.MakeWavs(FILES, SECONDS_PER_FILE);
    QElapsedTimer clock;
    clock.start();
    farm::Machine& server = farm.StartServer("BENCHSERVER", files);
    for (int i = 0; i < clients; ++i) {
        farm.StartClient(QStringLiteral("BENCHNODE%1").arg(i + 1),
                         QStringLiteral("127.0.0.%1").arg(i + 2));
    }
    while (server.process.state() != QProcess::NotRunning && clock.elapsed() < RUN_LIMIT_MS) {
        farm.Poll(5);
    }
    const qint64 wall = clock.elapsed();
    farm.Poll(0);
    const bool ok = server.process.state() == QProcess::NotRunning &&
                    server.process.exitCode() == 0 && server.FilesWith("Completed").size() == FILES;
    for (auto& machine : farm.Machines()) {
        machine->process.terminate();
        machine->process.waitForFinished(15000);
    }
    return ok ? wall : -1;
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
    const qint64 one = RunBatch(encoder, 0);
    const qint64 three = RunBatch(encoder, MACHINES - 1);
    if (one <= 0 || three <= 0) {
        std::printf("bench_distributed: a batch failed (one=%lld ms, three=%lld ms)\n",
                    static_cast<long long>(one), static_cast<long long>(three));
        return 1;
    }
    const double split = double((FILES + MACHINES - 1) / MACHINES) / FILES;
    std::printf("files=%d seconds_per_file=%d cores=%d\n", FILES, SECONDS_PER_FILE,
                QThread::idealThreadCount());
    std::printf("one_machine_ms=%lld three_machines_ms=%lld expected_split=%.3f\n",
                static_cast<long long>(one), static_cast<long long>(three), split);
    std::printf("overhead_ratio=%.2f\n", double(three) / (double(one) * split));
    return 0;
}
