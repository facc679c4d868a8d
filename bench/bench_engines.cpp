// bench_engines: encodes generated WAV files through StartEncode with each
// engine and prints speed, overhead and peak memory figures.
#include "app/vbr_presets.h"
#include "engines/acm_mp3_target.h"
#include "engines/catalogue.h"
#include "engines/encode_control.h"
#include "engines/encode_messages.h"
#include "engines/encode_start.h"
#include "engines/library_binding.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>
#include <cstdio>
#include <lame/lame.h>
#include <optional>
#include <vector>

namespace {

constexpr std::uint32_t RATE = 44100;
constexpr std::uint32_t CHANNELS = 2;
constexpr std::uint32_t BYTES_PER_SECOND = RATE * CHANNELS * 2;
constexpr std::uint32_t KBITS = 128;
constexpr std::uint32_t DIRECT_CHUNK_FRAMES = 1152;

void PutU32(QByteArray& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.append(static_cast<char>(value >> (8 * i)));
    }
}

void PutU16(QByteArray& out, std::uint16_t value) {
    out.append(static_cast<char>(value));
    out.append(static_cast<char>(value >> 8));
}

// A stereo tone, written a second at a time so even long files cost no memory;
// 16-bit samples in a plain header, 24-bit ones in an extensible header.
bool WriteToneWav(const QString& path, std::uint32_t seconds, std::uint32_t rate = RATE,
                  std::uint16_t bits = 16) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    const bool extensible = bits != 16;
    const std::uint16_t blockAlign = static_cast<std::uint16_t>(CHANNELS * bits / 8);
    const std::uint32_t dataBytes = seconds * rate * blockAlign;
    const std::uint32_t formatBytes = extensible ? 40 : 16;
    QByteArray header("RIFF");
    PutU32(header, 20 + formatBytes + dataBytes);
    header.append("WAVEfmt ");
    PutU32(header, formatBytes);
    PutU16(header, extensible ? 0xFFFE : 1);
    PutU16(header, CHANNELS);
    PutU32(header, rate);
    PutU32(header, rate * blockAlign);
    PutU16(header, blockAlign);
    PutU16(header, bits);
    if (extensible) {
        PutU16(header, 22);
        PutU16(header, bits);
        PutU32(header, 3); // front left and right
        PutU16(header, 1); // integer PCM
        header.append(QByteArray::fromHex("000000001000800000aa00389b71"));
    }
    header.append("data");
    PutU32(header, dataBytes);
    file.write(header);
    QByteArray second;
    second.reserve(static_cast<qsizetype>(rate) * blockAlign);
    const double scale = extensible ? 256.0 : 1.0;
    for (std::uint32_t s = 0; s < seconds; ++s) {
        second.clear();
        for (std::uint32_t i = 0; i < rate; ++i) {
            const double t = double(s) + double(i) / rate;
            for (const double value :
                 {9000 * std::sin(2 * M_PI * 440 * t), 7000 * std::sin(2 * M_PI * 660 * t)}) {
                const auto sample = static_cast<std::int32_t>(value * scale);
                for (int byte = 0; byte < bits / 8; ++byte) {
                    second.append(static_cast<char>(sample >> (8 * byte)));
                }
            }
        }
        if (file.write(second) != second.size()) {
            return false;
        }
    }
    return true;
}

// Sleeps in an event loop until the completion arrives, leaving the cores to
// the engine.
class DoneWaiter : public QObject {
public:
    QEventLoop loop;
    int outcome = 0;
    bool event(QEvent* event) override {
        if (event->type() == MSG_ENCODE_DONE) {
            loop.quit();
            outcome = static_cast<int>(static_cast<EncodeDoneEvent*>(event)->WParam());
            return true;
        }
        return QObject::event(event) || event->type() == MSG_ENCODE_PROGRESS;
    }
};

// Seconds taken by one encode through StartEncode, or nothing on failure.
std::optional<double> TimeEncode(const EncodeTarget& target, const QString& source,
                                 const QString& destination) {
    EncodeControl& control = EncodeControl::Shared();
    DoneWaiter waiter;
    QElapsedTimer clock;
    clock.start();
    if (StartEncode(control, &waiter, PRIORITY_NORMAL, source, destination, target, nullptr) != 1) {
        return std::nullopt;
    }
    waiter.loop.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    while (control.IsWorkerRunning()) {
        QThread::msleep(1);
    }
    if (waiter.outcome != 1) {
        return std::nullopt;
    }
    return seconds;
}

// The same work as the library engine, calling libmp3lame straight: the
// constant bitrate in plain stereo, or a VBR preset in joint stereo, with the
// Info frame written over the first frame at the end as the engine does.
std::optional<double> TimeDirectLame(const QString& source, const QString& destination,
                                     int vbrQuality = -1) {
    QElapsedTimer clock;
    clock.start();
    QFile in(source);
    QFile out(destination);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        !in.seek(44)) {
        return std::nullopt;
    }
    lame_t lame = lame_init();
    lame_set_in_samplerate(lame, RATE);
    lame_set_out_samplerate(lame, RATE);
    lame_set_num_channels(lame, CHANNELS);
    if (vbrQuality >= 0) {
        lame_set_mode(lame, JOINT_STEREO);
        lame_set_VBR(lame, vbr_mtrh);
        lame_set_VBR_quality(lame, float(vbrQuality));
    } else {
        lame_set_mode(lame, STEREO);
        lame_set_VBR(lame, vbr_off);
        lame_set_brate(lame, KBITS);
    }
    lame_set_bWriteVbrTag(lame, 1);
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        return std::nullopt;
    }
    std::vector<short> pcm(DIRECT_CHUNK_FRAMES * CHANNELS);
    std::vector<unsigned char> mp3(DIRECT_CHUNK_FRAMES * 5 / 4 + 7200);
    qint64 got = 0;
    while ((got = in.read(reinterpret_cast<char*>(pcm.data()), qint64(pcm.size() * 2))) > 0) {
        const int frames = static_cast<int>(got / (2 * CHANNELS));
        const int bytes = lame_encode_buffer_interleaved(lame, pcm.data(), frames, mp3.data(),
                                                         static_cast<int>(mp3.size()));
        if (bytes < 0) {
            lame_close(lame);
            return std::nullopt;
        }
        out.write(reinterpret_cast<const char*>(mp3.data()), bytes);
    }
    const int tail = lame_encode_flush(lame, mp3.data(), static_cast<int>(mp3.size()));
    out.write(reinterpret_cast<const char*>(mp3.data()), std::max(tail, 0));
    const std::size_t tag = lame_get_lametag_frame(lame, mp3.data(), mp3.size());
    if (tag > 0 && out.seek(0)) {
        out.write(reinterpret_cast<const char*>(mp3.data()), qint64(tag));
    }
    lame_close(lame);
    out.close();
    return clock.nsecsElapsed() / 1e9;
}

EncodeTarget LibraryTarget(int library) {
    EncodeTarget target;
    target.driverId = library == BLADE_LIBRARY ? BLADE_DRIVER_ID : LAME_DRIVER_ID;
    target.format = WAVEFORMATEX::Pcm(2, RATE, 16);
    target.format.nAvgBytesPerSec = KBITS * 1000 / 8;
    target.library = EncoderLibraryEntryPoints(library);
    return target;
}

double PeakRssMb() {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
        }
    }
    return -1;
}

// Child mode: encode one file with the library engine and print peak memory.
int MeasureRss(const QString& source, const QString& destination) {
    const auto seconds = TimeEncode(LibraryTarget(LAME_LIBRARY), source, destination);
    if (!seconds) {
        return 1;
    }
    std::printf("%.2f\n", PeakRssMb());
    return 0;
}

std::optional<double> RssInChild(const QString& source, const QString& destination) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {"--rss", source, destination});
    if (!child.waitForFinished(600000) || child.exitCode() != 0) {
        return std::nullopt;
    }
    return child.readAllStandardOutput().trimmed().toDouble();
}

void PrintSpeed(const char* name, std::optional<double> seconds, double playing) {
    if (seconds) {
        std::printf("%s_realtime=%.1f\n", name, playing / *seconds);
    } else {
        std::printf("%s_realtime=failed\n", name);
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    LoadEncoderLibraries();
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == "--rss") {
        return MeasureRss(args[2], args[3]);
    }
    QTemporaryDir dir;
    const QString threeMinutes = dir.filePath("three minutes.wav");
    if (!WriteToneWav(threeMinutes, 180)) {
        std::fprintf(stderr, "bench_engines: cannot write %s\n", qPrintable(threeMinutes));
        return 1;
    }
    const double playing = 180.0;
    std::printf("source_seconds=%.0f\n", playing);

    PrintSpeed("blade",
               TimeEncode(LibraryTarget(BLADE_LIBRARY), threeMinutes, dir.filePath("b.mp3")),
               playing);
    // Best of five for the comparison, alternating, to even out noise: the
    // constant bitrate, then the VBR preset V2 in joint stereo, each with its
    // Info frame.
    double plainBest = 1e9;
    for (const int vbr : {-1, 2}) {
        EncodeTarget target = LibraryTarget(LAME_LIBRARY);
        target.vbrQuality = vbr;
        target.jointStereo = vbr >= 0;
        target.format.nAvgBytesPerSec = vbr >= 0 ? VbrPresetNominalBytes(vbr) : KBITS * 1000 / 8;
        double engineBest = 1e9;
        double directBest = 1e9;
        for (int round = 0; round < 5; ++round) {
            if (const auto t = TimeEncode(target, threeMinutes, dir.filePath("l.mp3"))) {
                engineBest = std::min(engineBest, *t);
            }
            if (const auto t = TimeDirectLame(threeMinutes, dir.filePath("d.mp3"), vbr)) {
                directBest = std::min(directBest, *t);
            }
        }
        const char* suffix = vbr >= 0 ? "_vbr_v2" : "";
        PrintSpeed(vbr >= 0 ? "lame_vbr_v2" : "lame", engineBest, playing);
        PrintSpeed(vbr >= 0 ? "direct_libmp3lame_vbr_v2" : "direct_libmp3lame", directBest,
                   playing);
        std::printf("engine_vs_direct%s=%.3f\n", suffix, engineBest / directBest);
        plainBest = vbr < 0 ? engineBest : plainBest;
    }

    // The whole encode of a 24-bit 96 kHz master against the same audio as
    // 16-bit 44.1 kHz: what the conversion stage costs.
    const QString master = dir.filePath("master.wav");
    if (WriteToneWav(master, 180, 96000, 24)) {
        double convertedBest = 1e9;
        for (int round = 0; round < 3; ++round) {
            if (const auto t =
                    TimeEncode(LibraryTarget(LAME_LIBRARY), master, dir.filePath("m.mp3"))) {
                convertedBest = std::min(convertedBest, *t);
            }
        }
        std::printf("convert_overhead=%.3f\n", convertedBest / plainBest);
    } else {
        std::printf("convert_overhead=failed\n");
    }

    if (const auto acm = AcmMp3Target()) {
        PrintSpeed("acm", TimeEncode(*acm, threeMinutes, dir.filePath("a.wav")), playing);
        PrintSpeed("acm_converted", TimeEncode(*acm, master, dir.filePath("am.wav")), playing);
    } else {
        std::printf("acm_realtime=no codec\n");
    }
    QFile::remove(master);
    EncodeTarget external;
    external.driverId = XING_DRIVER_ID;
    external.format = LibraryTarget(LAME_LIBRARY).format;
    external.externalProgram = QCoreApplication::applicationDirPath() + "/x3enc";
    PrintSpeed("external", TimeEncode(external, threeMinutes, dir.filePath("x.mp3")), playing);

    const QString oneMinute = dir.filePath("one.wav");
    const QString tenMinutes = dir.filePath("ten.wav");
    if (WriteToneWav(oneMinute, 60) && WriteToneWav(tenMinutes, 600)) {
        const auto small = RssInChild(oneMinute, dir.filePath("one.mp3"));
        const auto large = RssInChild(tenMinutes, dir.filePath("ten.mp3"));
        std::printf("rss_1min_mb=%.2f\n", small.value_or(-1));
        std::printf("rss_10min_mb=%.2f\n", large.value_or(-1));
    }
    // The conversion path keeps only the resampler's history: flat with length.
    const QString masterOne = dir.filePath("master one.wav");
    const QString masterFive = dir.filePath("master five.wav");
    if (WriteToneWav(masterOne, 60, 96000, 24) && WriteToneWav(masterFive, 300, 96000, 24)) {
        const auto small = RssInChild(masterOne, dir.filePath("master one.mp3"));
        const auto large = RssInChild(masterFive, dir.filePath("master five.mp3"));
        std::printf("rss_converted_1min_mb=%.2f\n", small.value_or(-1));
        std::printf("rss_converted_5min_mb=%.2f\n", large.value_or(-1));
    }
    UnloadEncoderLibraries();
    return 0;
}
