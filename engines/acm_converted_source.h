#pragma once

#include "engines/sample_converter.h"

#include <QtGlobal>
#include <cstdint>
#include <memory>
#include <vector>

class RiffFile;

// The source's samples converted to the 16-bit PCM a codec takes, read as the
// compression-manager loop reads a file: in pieces, giving back what the codec
// did not use. The stream is cut or padded with silence to the length the
// conversion promises, so the `fact` chunk written first stays true.
class AcmConvertedSource {
public:
    AcmConvertedSource(std::unique_ptr<SampleConverter> converter, std::uint16_t sourceBlockAlign,
                       std::uint64_t sourceBytes, std::uint16_t outputBlockAlign,
                       std::uint64_t outputFrames);

    // Up to `count` converted bytes from the source's samples at its current
    // position; fewer only at the end. -1 when reading or converting failed.
    qint64 Read(RiffFile& source, std::uint8_t* into, std::uint32_t count);
    // The last `count` bytes read were not used: they come again next time.
    void Unread(qint64 count);

    std::uint64_t OutputBytes() const { return outputBytes; }
    // The share of the source that the bytes read so far stand for.
    std::uint64_t SourceBytesFor(std::uint64_t outputDone) const;

private:
    bool Refill(RiffFile& source);

    std::unique_ptr<SampleConverter> converter;
    std::uint16_t sourceBlockAlign;
    std::uint64_t sourceLeft;
    std::uint64_t sourceBytes;
    std::uint64_t outputBytes;
    std::uint64_t handedOut = 0;
    bool sourceEnded = false;
    std::vector<std::uint8_t> rawBuffer;
    std::vector<std::int16_t> converted;
    std::size_t convertedStart = 0; // samples already handed out
};

// The output length of a conversion of `frames` source frames between rates.
std::uint64_t ConvertedFrames(std::uint64_t frames, std::uint32_t sourceRate,
                              std::uint32_t targetRate);
