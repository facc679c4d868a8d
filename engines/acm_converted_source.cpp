#include "engines/acm_converted_source.h"

#include "platform/riff.h"

#include <algorithm>
#include <cstring>

namespace {

// About a tenth of a second of a wide source per conversion step.
constexpr std::uint32_t READ_FRAMES = 4096;

} // namespace

std::uint64_t ConvertedFrames(std::uint64_t frames, std::uint32_t sourceRate,
                              std::uint32_t targetRate) {
    if (sourceRate == 0) {
        return 0;
    }
    return (frames * targetRate + sourceRate / 2) / sourceRate;
}

AcmConvertedSource::AcmConvertedSource(std::unique_ptr<SampleConverter> converter,
                                       std::uint16_t sourceBlockAlign, std::uint64_t sourceBytes,
                                       std::uint16_t outputBlockAlign, std::uint64_t outputFrames)
    : converter(std::move(converter)), sourceBlockAlign(sourceBlockAlign), sourceLeft(sourceBytes),
      sourceBytes(sourceBytes), outputBytes(outputFrames * outputBlockAlign) {
    rawBuffer.resize(std::size_t(READ_FRAMES) * sourceBlockAlign);
}

bool AcmConvertedSource::Refill(RiffFile& source) {
    // Keep the unread samples at the front, so the buffer stays small.
    converted.erase(converted.begin(), converted.begin() + std::ptrdiff_t(convertedStart));
    convertedStart = 0;
    const auto wanted =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(rawBuffer.size(), sourceLeft));
    const std::uint32_t whole = wanted - wanted % sourceBlockAlign;
    qint64 got = whole == 0 ? 0 : source.Read(rawBuffer.data(), whole);
    if (got < 0) {
        return false;
    }
    got -= got % sourceBlockAlign;
    if (got == 0) {
        sourceEnded = true;
        return converter->Flush(converted);
    }
    sourceLeft -= static_cast<std::uint64_t>(got);
    return converter->Convert(rawBuffer.data(), std::size_t(got) / sourceBlockAlign, converted);
}

qint64 AcmConvertedSource::Read(RiffFile& source, std::uint8_t* into, std::uint32_t count) {
    const std::uint64_t left = outputBytes - std::min(handedOut, outputBytes);
    const auto wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(count, left)) & ~std::size_t(1);
    while ((converted.size() - convertedStart) * 2 < wanted && !sourceEnded) {
        if (!Refill(source)) {
            return -1;
        }
    }
    const std::size_t available = (converted.size() - convertedStart) * 2;
    const std::size_t fromSamples = std::min(available, wanted);
    std::memcpy(into, converted.data() + convertedStart, fromSamples);
    // A resampler may give a few samples fewer than the length promised.
    std::memset(into + fromSamples, 0, wanted - fromSamples);
    if (fromSamples < wanted) {
        converted.resize(converted.size() + (wanted - fromSamples) / 2, 0);
    }
    convertedStart += wanted / 2;
    handedOut += wanted;
    return qint64(wanted);
}

void AcmConvertedSource::Unread(qint64 count) {
    const auto back = static_cast<std::size_t>(std::max<qint64>(0, count)) / 2;
    const std::size_t undone = std::min(back, convertedStart);
    convertedStart -= undone;
    handedOut -= undone * 2;
}

std::uint64_t AcmConvertedSource::SourceBytesFor(std::uint64_t outputDone) const {
    return outputBytes == 0 ? 0 : outputDone * sourceBytes / outputBytes;
}
