// Bookkeeping against queue length: one headless batch of tiny files on the
// real engines, queue journal included, with a short and with a long queue.
// Each size runs in a process of its own so its peak memory is its own.
//   per_file_ms_<n>        wall time of the batch / n
//   scale_ratio            per_file_ms at the long queue / at the short one (goal <= 1.2)
//   journal_bytes_per_file database bytes the journal wrote / n (goal: flat)
//   peak_rss_mb            peak resident memory of the long run (goal <= 150)
// Usage: bench_queue [short long]   (200 and 10000 by default)
#include "app/encoder_app.h"
#include "controller/engine_ports.h"
#include "headless/session.h"
#include "queue/encode_scheduler.h"
#include "queue/queue_journal.h"
#include "support/memory_settings_store.h"
#include "support/wav_builder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

namespace {

// Tiny files: the bookkeeping, not the encoding, is what grows with the queue.
constexpr std::uint32_t FRAMES_PER_FILE = 2205;
constexpr int WORKERS = 2;

struct Figures {
    double perFileMs = -1.0;
    double journalBytesPerFile = -1.0;
    double peakRssMb = -1.0;
};

// The batch itself, in this process; prints its figures on standard error.
int RunOne(int files) {
    QTemporaryDir root;
    const QString in = root.filePath(QStringLiteral("in"));
    const QString out = root.filePath(QStringLiteral("out"));
    QDir().mkpath(in);
    QDir().mkpath(out);
    const testsupport::Bytes wav =
        testsupport::MakePcmWav(testsupport::PcmFormat{}, FRAMES_PER_FILE);
    QStringList paths;
    for (int i = 0; i < files; ++i) {
        paths.append(in + QStringLiteral("/take%1.wav").arg(i, 5, 10, QChar(u'0')));
        if (!testsupport::WriteFile(paths.back().toStdString(), wav)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(paths.back()));
            return 1;
        }
    }
    testsupport::MemorySettingsStore store;
    CEncoderApp app(store);
    app.programDirectory = root.path();
    app.settings.fromDir = in;
    app.settings.toDir = out;
    app.settings.manufacturerId = 9997; // the library on libmp3lame
    app.settings.productId = 9997;
    std::unique_ptr<EnginePorts> engines = MakeEnginePorts(app);
    std::FILE* sink = std::fopen("/dev/null", "w");
    HeadlessOutput output;
    output.quiet = true;
    output.out = sink;
    int exitCode = -1;
    QElapsedTimer clock;
    {
        HeadlessSession session(app, ControllerPorts(*engines, WORKERS), output);
        session.Controller().Scheduler().writeTag = engines->TagWriter();
        session.KeepJournalIn(root.filePath(QStringLiteral("journal")));
        QObject::connect(&session, &HeadlessSession::Finished, [&exitCode](int code) {
            exitCode = code;
            QCoreApplication::exit(0);
        });
        clock.start();
        session.Start(paths);
        QCoreApplication::exec();
        const qint64 elapsed = clock.elapsed();
        const qint64 journalBytes = session.Journal() ? session.Journal()->BytesWritten() : -1;
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::fprintf(stderr, "per_file_ms=%.3f journal_bytes_per_file=%.1f peak_rss_mb=%.1f\n",
                     double(elapsed) / files, double(journalBytes) / files,
                     double(usage.ru_maxrss) / 1024.0);
    }
    std::fclose(sink);
    if (exitCode != 0 || QDir(out).entryList(QDir::Files).size() != files) {
        std::fprintf(stderr, "the batch of %d files did not complete (exit %d)\n", files, exitCode);
        return 1;
    }
    return 0;
}

double Value(const QByteArray& text, const char* key) {
    const QByteArray marker = QByteArray(key) + '=';
    const qsizetype at = text.lastIndexOf(marker);
    if (at < 0) {
        return -1.0;
    }
    return text.mid(at + marker.size()).split(' ').first().split('\n').first().toDouble();
}

Figures Measure(int files) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--run"), QString::number(files)});
    Figures figures;
    if (!child.waitForFinished(-1) || child.exitCode() != 0) {
        std::fprintf(stderr, "%s", child.readAllStandardError().constData());
        return figures;
    }
    const QByteArray text = child.readAllStandardError();
    figures.perFileMs = Value(text, "per_file_ms");
    figures.journalBytesPerFile = Value(text, "journal_bytes_per_file");
    figures.peakRssMb = Value(text, "peak_rss_mb");
    return figures;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication qtApp(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 3 && arguments[1] == QStringLiteral("--run")) {
        return RunOne(arguments[2].toInt());
    }
    const int small = arguments.size() >= 3 ? arguments[1].toInt() : 200;
    const int large = arguments.size() >= 3 ? arguments[2].toInt() : 10000;
    const Figures shortQueue = Measure(small);
    const Figures longQueue = Measure(large);
    if (shortQueue.perFileMs <= 0.0 || longQueue.perFileMs <= 0.0) {
        std::fprintf(stderr, "bench_queue: a batch failed\n");
        return 1;
    }
    std::printf("files=%d per_file_ms_%d=%.3f journal_bytes_per_file=%.1f peak_rss_mb=%.1f\n",
                small, small, shortQueue.perFileMs, shortQueue.journalBytesPerFile,
                shortQueue.peakRssMb);
    std::printf("files=%d per_file_ms_%d=%.3f journal_bytes_per_file=%.1f peak_rss_mb=%.1f\n",
                large, large, longQueue.perFileMs, longQueue.journalBytesPerFile,
                longQueue.peakRssMb);
    std::printf("scale_ratio=%.3f\n", longQueue.perFileMs / shortQueue.perFileMs);
    return 0;
}
