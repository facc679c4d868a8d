#include "engines/wave_reader.h"

#include "app/trace.h"

#include <algorithm>
#include <new>

namespace {

constexpr std::size_t AVG_BYTES_OFFSET = 8;

// Readers that ignore the field still play such a file; its rate follows from
// the other fields.
void FillMissingByteRate(std::vector<std::uint8_t>& format) {
    if (!WaveFormatCopy::IsUncompressed(format) ||
        WaveFormatCopy::U32At(format, AVG_BYTES_OFFSET) != 0) {
        return;
    }
    const std::uint64_t rate =
        std::uint64_t(WaveFormatCopy::U32At(format, 4)) * WaveFormatCopy::U16At(format, 12);
    if (rate == 0 || rate > 0xFFFFFFFFu || format.size() < AVG_BYTES_OFFSET + 4) {
        return;
    }
    for (int i = 0; i < 4; ++i) {
        format[AVG_BYTES_OFFSET + i] = static_cast<std::uint8_t>(rate >> (8 * i));
    }
}

void SetDuration(WaveProperties* properties) {
    const std::uint32_t byteRate = properties->format.AvgBytesPerSec();
    if (byteRate == 0) {
        return;
    }
    properties->durationSeconds = double(properties->dataBytes) / double(byteRate);
    // More than 136 years of sound only in a file that lies about its sizes.
    const auto total =
        static_cast<std::uint32_t>(std::min(properties->durationSeconds, 4294967295.0));
    properties->hours = total / 3600;
    properties->minutes = (total % 3600) / 60;
    properties->seconds = total % 60;
    properties->durationText =
        properties->hours != 0
            ? QString::asprintf("%02u:%02u:%02u", properties->hours, properties->minutes,
                                properties->seconds)
            : QString::asprintf("%02u:%02u", properties->minutes, properties->seconds);
}

} // namespace

unsigned GetWaveProperties(const QString& fileName, WaveProperties* properties) {
    if (properties == nullptr) {
        return WAVE_ERR_NULL_RECORD;
    }
    *properties = WaveProperties{};
    WioFile wio;
    unsigned result = wioFileOpen(&wio, fileName, RIFF_ALLOCBUF | RIFF_READ);
    if (result != WAVE_OK) {
        return result;
    }

    const std::uint16_t tag = WaveFormatCopy::U16At(wio.format, 0);
    const std::uint32_t formatBytes =
        tag == PCM_FORMAT_TAG ? 16u : 18u + WaveFormatCopy::U16At(wio.format, 16);
    // cbSize may promise more extra bytes than the chunk held: those read as 0.
    std::vector<std::uint8_t> copy;
    try {
        copy.assign(formatBytes, 0);
    } catch (const std::bad_alloc&) {
        wioFileClose(&wio);
        return WAVE_ERR_NO_MEMORY;
    }
    std::copy_n(wio.format.begin(), std::min<std::size_t>(formatBytes, wio.format.size()),
                copy.begin());
    FillMissingByteRate(copy);
    properties->format = WaveFormatCopy(std::move(copy));
    properties->dataBytes = wio.dataSize;
    properties->sampleFrames = wio.sampleFrames;
    properties->dataOffset = wio.dataOffset;
    properties->formatBytes = formatBytes;
    SetDuration(properties);

    if (!WaveFormatCopy::IsUncompressed(wio.format)) {
        Trace("GetWaveProperties: invalid format %d (%d)\n", int(tag), int(PCM_FORMAT_TAG));
        result = WAVE_ERR_NOT_PCM;
    }
    wioFileClose(&wio);
    return result;
}
