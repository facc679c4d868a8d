#include "acm_convert_loop.h"

#include <algorithm>
#include <cstring>

namespace {

struct Session {
    HACMDRIVER driver{};
    HACMSTREAM stream{};
    ACMSTREAMHEADER header;
    bool prepared = false;
    std::uint32_t sourceSize = 0;
    std::uint32_t destinationSize = 0;

    ~Session() {
        if (prepared) {
            header.cbSrcLength = sourceSize;
            header.cbDstLength = destinationSize;
            acmStreamUnprepareHeader(stream, &header, 0);
        }
        if (stream != HACMSTREAM{}) {
            acmStreamClose(stream, 0);
        }
        if (driver != HACMDRIVER{}) {
            acmDriverClose(driver, 0);
        }
    }
};

} // namespace

LoopResult ConvertLikeEngine(HACMDRIVERID driverId, const WAVEFORMATEX& source,
                             const WAVEFORMATEX& destination, const std::vector<std::uint8_t>& pcm,
                             std::uint32_t destinationBufferLimit) {
    LoopResult out;
    Session s;
    if ((out.result = acmDriverOpen(&s.driver, driverId, 0)) != MMSYSERR_NOERROR ||
        (out.result = acmStreamOpen(&s.stream, s.driver, source, destination,
                                    ACM_STREAMOPENF_NONREALTIME)) != MMSYSERR_NOERROR) {
        return out;
    }
    s.sourceSize = source.nAvgBytesPerSec - source.nAvgBytesPerSec % source.nBlockAlign;
    if ((out.result = acmStreamSize(s.stream, s.sourceSize, &s.destinationSize,
                                    ACM_STREAMSIZEF_SOURCE)) != MMSYSERR_NOERROR) {
        return out;
    }
    if (destinationBufferLimit != 0) {
        s.destinationSize = std::min(s.destinationSize, destinationBufferLimit);
    }
    std::vector<std::uint8_t> read(s.sourceSize);
    std::vector<std::uint8_t> write(s.destinationSize);
    s.header.cbStruct = ACMSTREAMHEADER_SIZE;
    s.header.pbSrc = read.data();
    s.header.cbSrcLength = s.sourceSize;
    s.header.pbDst = write.data();
    s.header.cbDstLength = s.destinationSize;
    if ((out.result = acmStreamPrepareHeader(s.stream, &s.header, 0)) != MMSYSERR_NOERROR) {
        return out;
    }
    s.prepared = true;

    const std::uint32_t total = static_cast<std::uint32_t>(pcm.size());
    std::uint32_t done = 0;
    auto convert = [&](std::uint32_t count, std::uint32_t flags) {
        std::memcpy(read.data(), pcm.data() + done, count);
        s.header.cbSrcLength = count;
        s.header.cbDstLengthUsed = 0;
        ++out.calls;
        const MMRESULT result = acmStreamConvert(s.stream, &s.header, flags);
        if (result == MMSYSERR_NOERROR && !(s.header.fdwStatus & ACMSTREAMHEADER_STATUSF_DONE)) {
            return MMSYSERR_ERROR;
        }
        if (s.header.cbSrcLengthUsed < count) {
            ++out.keptBack;
        }
        return result;
    };
    auto emit = [&] {
        out.output.insert(out.output.end(), write.begin(),
                          write.begin() + s.header.cbDstLengthUsed);
    };

    bool toFinish = total == 0;
    while (!toFinish && done < total) {
        const std::uint32_t count = std::min(s.sourceSize, total - done);
        if ((out.result = convert(count, ACM_STREAMCONVERTF_BLOCKALIGN)) != MMSYSERR_NOERROR) {
            return out;
        }
        done += s.header.cbSrcLengthUsed;
        if (s.header.cbDstLengthUsed == 0) {
            toFinish = true;
            break;
        }
        emit();
    }
    out.reachedFinish = true;
    if (total == 0) {
        return out;
    }
    for (;;) {
        const std::uint32_t count = std::min(s.sourceSize, total - done);
        if ((out.result = convert(count, ACM_STREAMCONVERTF_END | ACM_STREAMCONVERTF_BLOCKALIGN)) !=
            MMSYSERR_NOERROR) {
            return out;
        }
        if (s.header.cbDstLengthUsed == 0) {
            convert(count, ACM_STREAMCONVERTF_END);
            if (s.header.cbDstLengthUsed == 0) {
                return out;
            }
        }
        emit();
        done += s.header.cbSrcLengthUsed;
    }
}
