#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// An independent look at an MP3 file through FFmpeg's command-line decoder.
struct DecodedMp3 {
    QString codec;
    int channels = 0;
    int sampleRate = 0;
    long long bitRate = 0;
    std::vector<int16_t> samples; // interleaved
    std::size_t Frames() const { return channels > 0 ? samples.size() / channels : 0; }
};

// False when ffmpeg is not installed (tests then skip).
bool HaveDecoder();

std::optional<DecodedMp3> DecodeMp3(const QString& path);

// Sample frames from the first to the last one louder than `threshold`, i.e.
// the length of the sound without encoder delay, padding or silence.
std::size_t AudibleFrames(const DecodedMp3& audio, int threshold = 2000);

// Where the build puts the program, the libraries and x3enc.
QString BinDirectory();
