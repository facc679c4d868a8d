#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

// A program run to its end: `ok` when it started and exited normally with code 0;
// exit code -1 when it did not exit normally.
struct ToolRun {
    bool ok = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};
ToolRun RunTool(const QString& program, const QStringList& arguments);
bool HaveTool(const QString& program);

// Where the build puts the program, the libraries and x3enc; CORVANE_BIN_DIR wins.
QString BinDirectory();

// An independent look at an MP3 file through FFmpeg's command-line decoder.
struct DecodedMp3 {
    QString codec;
    int channels = 0;
    int sampleRate = 0;
    long long bitRate = 0;
    std::vector<int16_t> samples; // interleaved
    std::int64_t Frames() const {
        return channels > 0 ? std::int64_t(samples.size()) / channels : 0;
    }
};

// False when ffmpeg is not installed (tests then skip).
inline bool HaveDecoder() {
    return HaveTool("ffmpeg");
}

std::optional<DecodedMp3> DecodeMp3(const QString& path);

// Sample frames from the first to the last one louder than `threshold`, i.e.
// the length of the sound without encoder delay, padding or silence.
std::int64_t AudibleFrames(const DecodedMp3& audio, int threshold = 2000);
