#include "support/outside_tools.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

ToolRun RunTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    ToolRun run;
    if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit) {
        run.exitCode = process.exitCode();
        run.ok = run.exitCode == 0;
    }
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

bool HaveTool(const QString& program) {
    return !QStandardPaths::findExecutable(program).isEmpty();
}

std::optional<DecodedMp3> DecodeMp3(const QString& path) {
    // One run gives both: the stream's description on stderr, the samples on stdout.
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-hide_banner", "-nostdin", "-i", path, "-f", "s16le", "-acodec",
                            "pcm_s16le", "-"});
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitStatus() != QProcess::NormalExit ||
        ffmpeg.exitCode() != 0) {
        return std::nullopt;
    }
    // "Stream #0:0: Audio: mp3, 44100 Hz, stereo, fltp, 128 kb/s"
    static const QRegularExpression input(
        R"(Stream #0:0: Audio: (\w+)[^,]*, (\d+) Hz, (mono|stereo), \w+, (\d+) kb/s)");
    const QString log = QString::fromUtf8(ffmpeg.readAllStandardError());
    const QRegularExpressionMatch match = input.match(log);
    if (!match.hasMatch()) {
        ADD_FAILURE() << "unexpected decoder output: " << log.toStdString();
        return std::nullopt;
    }
    DecodedMp3 audio;
    audio.codec = match.captured(1);
    audio.sampleRate = match.captured(2).toInt();
    audio.channels = match.captured(3) == "mono" ? 1 : 2;
    audio.bitRate = match.captured(4).toLongLong() * 1000;
    const QByteArray pcm = ffmpeg.readAllStandardOutput();
    audio.samples.resize(static_cast<std::size_t>(pcm.size()) / 2);
    std::memcpy(audio.samples.data(), pcm.constData(), audio.samples.size() * 2);
    return audio;
}

std::int64_t AudibleFrames(const DecodedMp3& audio, int threshold) {
    const std::int64_t frames = audio.Frames();
    std::int64_t first = frames;
    std::int64_t last = 0;
    for (std::int64_t frame = 0; frame < frames; ++frame) {
        for (int channel = 0; channel < audio.channels; ++channel) {
            if (std::abs(audio.samples[std::size_t(frame * audio.channels + channel)]) >
                threshold) {
                first = std::min(first, frame);
                last = frame;
            }
        }
    }
    return first < frames ? last - first + 1 : 0;
}

QString BinDirectory() {
    if (const char* fromTest = std::getenv("CORVANE_BIN_DIR"); fromTest != nullptr && *fromTest) {
        return QString::fromLocal8Bit(fromTest);
    }
    // Test programs are built into the same folder.
    return QCoreApplication::applicationDirPath();
}
