#include "ui/sample_wav.h"

#include <QByteArray>
#include <QFile>
#include <QtEndian>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace {

constexpr std::uint32_t SAMPLE_RATE = 44100;
constexpr std::uint16_t CHANNELS = 2;
constexpr std::uint16_t BITS = 16;
constexpr double TONE_HZ = 440.0;
constexpr double LEVEL = 3000.0;

void Put16(QByteArray& out, std::uint16_t value) {
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void Put32(QByteArray& out, std::uint32_t value) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

} // namespace

bool WriteSampleWav(const QString& path, int seconds) {
    const std::uint32_t frames = SAMPLE_RATE * static_cast<std::uint32_t>(std::max(seconds, 1));
    const std::uint32_t blockAlign = CHANNELS * BITS / 8;
    const std::uint32_t dataBytes = frames * blockAlign;
    QByteArray file;
    file.reserve(static_cast<qsizetype>(44 + dataBytes));
    file.append("RIFF");
    Put32(file, 36 + dataBytes);
    file.append("WAVEfmt ");
    Put32(file, 16);
    Put16(file, 1);
    Put16(file, CHANNELS);
    Put32(file, SAMPLE_RATE);
    Put32(file, SAMPLE_RATE * blockAlign);
    Put16(file, static_cast<std::uint16_t>(blockAlign));
    Put16(file, BITS);
    file.append("data");
    Put32(file, dataBytes);
    for (std::uint32_t i = 0; i < frames; ++i) {
        const double phase = 2.0 * std::numbers::pi * TONE_HZ * i / SAMPLE_RATE;
        const auto sample = static_cast<std::int16_t>(LEVEL * std::sin(phase));
        for (int channel = 0; channel < CHANNELS; ++channel) {
            Put16(file, static_cast<std::uint16_t>(sample));
        }
    }
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(file) == file.size();
}
