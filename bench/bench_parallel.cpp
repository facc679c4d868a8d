// Several files at once on one machine: the same batch of eight three-minute
// files encoded by the real program with --jobs 1 and with one job per core.
//   parallel_speedup = wall time with --jobs 1 / wall time with --jobs <cores>
//   rss_per_extra_worker_mb = (peak RSS with <cores> jobs - with 1) / (cores - 1)
#include "support/free_port.h"
#include "support/wav_builder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <cerrno>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int FILES = 8;
constexpr std::uint32_t SECONDS_PER_FILE = 180;

struct RunFigures {
    qint64 wallMs = -1;
    double peakRssMb = 0.0;
};

// One headless run over `files`, as its own process, with a fresh queue journal.
RunFigures RunBatch(const QString& program, const QString& root, const QStringList& files,
                    int jobs) {
    RunFigures figures;
    const QString out = root + QStringLiteral("/out");
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    const QString data = root + QStringLiteral("/data%1").arg(jobs);
    const QString settingsFile = root + QStringLiteral("/settings.ini");
    {
        QSettings settings(settingsFile, QSettings::IniFormat);
        settings.setValue("From Dir", root + QStringLiteral("/in"));
        settings.setValue("To Dir", out);
        settings.sync();
    }
    QStringList arguments = {program, "--headless", "--quiet", "--settings", settingsFile};
    arguments += testsupport::LoopbackServingOptions();
    arguments += {"--jobs", QString::number(jobs)};
    arguments += files;
    std::vector<std::string> storage;
    for (const QString& argument : arguments) {
        storage.push_back(argument.toStdString());
    }
    std::vector<char*> argv;
    for (std::string& argument : storage) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    const std::string dataHome = data.toStdString();
    const std::string configHome = (root + QStringLiteral("/config")).toStdString();

    QElapsedTimer clock;
    clock.start();
    const pid_t child = fork();
    if (child == 0) {
        setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
        setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (child < 0) {
        return figures;
    }
    int status = 0;
    rusage usage{};
    pid_t waited = -1;
    do {
        waited = wait4(child, &status, 0, &usage);
    } while (waited < 0 && errno == EINTR);
    const qint64 wall = clock.elapsed();
    const int done = int(QDir(out).entryList({QStringLiteral("*.MP3")}, QDir::Files).size());
    if (waited != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || done != FILES) {
        std::printf("bench_parallel: --jobs %d failed (status %d, %d of %d encoded)\n", jobs,
                    status, done, FILES);
        return figures;
    }
    figures.wallMs = wall;
    figures.peakRssMb = double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
    return figures;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir root;
    if (!root.isValid()) {
        std::printf("bench_parallel: no scratch directory\n");
        return 1;
    }
    QDir().mkpath(root.filePath("in"));
    QStringList files;
    for (int i = 0; i < FILES; ++i) {
        const QString path = root.filePath(QStringLiteral("in/track%1.wav").arg(i + 1));
        testsupport::WriteFile(
            path.toStdString(),
            testsupport::MakePcmWav(testsupport::PcmFormat{}, 44100 * SECONDS_PER_FILE));
        files.append(path);
    }
    const QString program = QCoreApplication::applicationDirPath() + "/corvane-encoder";
    const int cores = QThread::idealThreadCount();
    const RunFigures one = RunBatch(program, root.path(), files, 1);
    const RunFigures all = RunBatch(program, root.path(), files, cores);
    if (one.wallMs <= 0 || all.wallMs <= 0) {
        return 1;
    }
    std::printf("files=%d seconds_per_file=%u cores=%d\n", FILES, SECONDS_PER_FILE, cores);
    std::printf("jobs1_ms=%lld jobs%d_ms=%lld\n", static_cast<long long>(one.wallMs), cores,
                static_cast<long long>(all.wallMs));
    std::printf("parallel_speedup=%.2f\n", double(one.wallMs) / double(all.wallMs));
    std::printf("rss_jobs1_mb=%.1f rss_jobs%d_mb=%.1f\n", one.peakRssMb, cores, all.peakRssMb);
    if (cores > 1) {
        std::printf("rss_per_extra_worker_mb=%.1f\n",
                    (all.peakRssMb - one.peakRssMb) / double(cores - 1));
    }
    return 0;
}
