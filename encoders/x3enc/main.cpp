// x3enc: the external command-line MP3 encoder. It says nothing but why a file
// could not be encoded unless asked (-v), so the program that starts it owns
// the terminal; SIGTERM stops it promptly.
#include "encoders/x3enc/command_line.h"
#include "encoders/x3enc/wave_encoder.h"
#include "encoders/x3enc/wave_source.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace {

constexpr int EXIT_DONE = 0;
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;
constexpr int EXIT_SIGNAL_BASE = 128;

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void OnStopSignal(int signal) {
    stopSignal = signal;
}

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

int main(int argc, char** argv) {
    CatchStopSignals();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    CommandLine line;
    if (const std::string problem = ParseCommandLine(arguments, line); !problem.empty()) {
        for (const std::string& argument : arguments) {
            if (argument == "-v") {
                std::fprintf(stderr, "x3enc: %s\n%s", problem.c_str(), UsageText());
            }
        }
        return EXIT_USAGE;
    }
    if (line.help) {
        std::fputs(UsageText(), stdout);
        return EXIT_DONE;
    }

    // Writing over the file being read would destroy it.
    struct stat sourceFile {};
    struct stat destinationFile {};
    if (stat(line.source.c_str(), &sourceFile) == 0 &&
        stat(line.destination.c_str(), &destinationFile) == 0 &&
        sourceFile.st_dev == destinationFile.st_dev &&
        sourceFile.st_ino == destinationFile.st_ino) {
        std::fprintf(stderr, "x3enc: %s: the destination is the source itself\n",
                     line.source.c_str());
        return EXIT_FAILED;
    }

    std::unique_ptr<std::FILE, FileCloser> source(std::fopen(line.source.c_str(), "rb"));
    if (!source) {
        std::fprintf(stderr, "x3enc: %s: cannot open it: %s\n", line.source.c_str(),
                     std::strerror(errno));
        return EXIT_FAILED;
    }
    WaveSource wave;
    if (const std::string problem = ReadWaveSource(source.get(), wave); !problem.empty()) {
        std::fprintf(stderr, "x3enc: %s: %s\n", line.source.c_str(), problem.c_str());
        return EXIT_FAILED;
    }
    if (line.verbose) {
        std::fprintf(stderr, "x3enc: %s: %u Hz, %u channel(s), %u bits, %llu bytes of samples\n",
                     line.source.c_str(), wave.sampleRate, wave.channels, wave.bitsPerSample,
                     static_cast<unsigned long long>(wave.dataBytes));
    }

    std::string error;
    switch (EncodeWave(source.get(), wave, line.destination, line.bitsPerSecond, line.vbrQuality,
                       stopSignal, error)) {
    case EncodeResult::Done:
        if (line.verbose) {
            if (line.vbrQuality >= 0) {
                std::fprintf(stderr, "x3enc: wrote %s with VBR quality %d\n",
                             line.destination.c_str(), line.vbrQuality);
            } else {
                std::fprintf(stderr, "x3enc: wrote %s at %lu bit/s\n", line.destination.c_str(),
                             line.bitsPerSecond);
            }
        }
        return EXIT_DONE;
    case EncodeResult::Stopped:
        if (line.verbose) {
            std::fprintf(stderr, "x3enc: stopped by signal %d; %s removed\n",
                         static_cast<int>(stopSignal), line.destination.c_str());
        }
        return EXIT_SIGNAL_BASE + stopSignal;
    case EncodeResult::Failed:
        break;
    }
    std::fprintf(stderr, "x3enc: %s: %s\n", line.source.c_str(), error.c_str());
    return EXIT_FAILED;
}
