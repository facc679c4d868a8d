#include "ui/sample_wav.h"

#include "platform/acm_waveformat.h"
#include "platform/riff.h"

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

QByteArray Tone(std::uint32_t frames) {
    QByteArray samples(static_cast<qsizetype>(frames) * CHANNELS * BITS / 8, Qt::Uninitialized);
    char* out = samples.data();
    for (std::uint32_t i = 0; i < frames; ++i) {
        const double phase = 2.0 * std::numbers::pi * TONE_HZ * i / SAMPLE_RATE;
        const auto sample = static_cast<std::int16_t>(LEVEL * std::sin(phase));
        for (int channel = 0; channel < CHANNELS; ++channel, out += 2) {
            qToLittleEndian(sample, out);
        }
    }
    return samples;
}

bool WriteChunk(RiffFile& riff, std::uint32_t id, const void* bytes, qint64 size) {
    RiffChunk chunk;
    chunk.id = id;
    return riff.CreateChunk(chunk) == RIFF_OK && riff.Write(bytes, size) == size &&
           riff.Ascend(chunk) == RIFF_OK;
}

} // namespace

bool WriteSampleWav(const QString& path, int seconds) {
    QFile file(path);
    RiffFile riff;
    if (!file.open(QIODevice::WriteOnly) || riff.Open(&file, RIFF_WRITE) != RIFF_OK) {
        return false;
    }
    const std::vector<std::uint8_t> format =
        WAVEFORMATEX::Pcm(CHANNELS, SAMPLE_RATE, BITS).Serialize();
    const QByteArray samples = Tone(SAMPLE_RATE * static_cast<std::uint32_t>(std::max(seconds, 1)));
    RiffChunk form;
    form.formType = FOURCC_WAVE;
    const bool written =
        riff.CreateChunk(form, RIFF_CREATERIFF) == RIFF_OK &&
        WriteChunk(riff, FOURCC_FMT, format.data(), static_cast<qint64>(format.size())) &&
        WriteChunk(riff, FOURCC_DATA, samples.constData(), samples.size()) &&
        riff.Ascend(form) == RIFF_OK;
    return riff.Close() == RIFF_OK && written;
}
