#pragma once

#include "platform/acm_types.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

// What one conversion call did: how much of the source the codec took and
// how many bytes it wrote. A codec may take less than it was given (it keeps
// input back) and may write nothing until the end of the stream.
struct AcmConversion {
    MMRESULT result = MMSYSERR_NOERROR;
    std::uint32_t sourceUsed = 0;
    std::uint32_t destinationUsed = 0;
};

// One open conversion from a source to a destination format. Only the stream
// layer calls it, one call at a time.
class AcmCodecStream {
public:
    virtual ~AcmCodecStream() = default;
    // Destination bytes that `sourceBytes` of input may need; 0 when the
    // amount is too small to convert.
    virtual std::uint32_t DestinationSize(std::uint32_t sourceBytes) const = 0;
    // Source bytes that fill about `destinationBytes`; 0 when unknown.
    virtual std::uint32_t SourceSize(std::uint32_t destinationBytes) const {
        (void)destinationBytes;
        return 0;
    }
    // `source` holds whole source blocks when ACM_STREAMCONVERTF_BLOCKALIGN
    // is set. `flags` are the ACM_STREAMCONVERTF_* bits of the call.
    virtual AcmConversion Convert(std::span<const std::uint8_t> source,
                                  std::span<std::uint8_t> destination, std::uint32_t flags) = 0;
};

// An installed codec. Real drivers are backed by libavcodec encoders; tests
// install their own to reproduce a codec's behaviour.
class AcmDriver {
public:
    virtual ~AcmDriver() = default;
    virtual ACMDRIVERDETAILS Details() const = 0;
    // Every format the driver produces from `source`, in enumeration order;
    // with no source, the formats it produces from any source it accepts.
    virtual std::vector<WAVEFORMATEX> Formats(const WAVEFORMATEX* source) const = 0;
    // The largest format record (RecordSize) the driver ever reports.
    virtual std::uint32_t MaxFormatSize() const = 0;
    // ACMERR_NOTPOSSIBLE when the driver cannot make this conversion.
    virtual MMRESULT OpenStream(const WAVEFORMATEX& source, const WAVEFORMATEX& destination,
                                std::unique_ptr<AcmCodecStream>& stream) = 0;
};
