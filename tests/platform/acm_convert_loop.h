#pragma once

#include "platform/acm.h"

#include <cstdint>
#include <vector>

// Drives a stream the way the conversion engine does: one-second source
// chunks converted with the block-align flag, unconsumed bytes read again,
// and, once a chunk yields nothing or the source is used up, the end of the
// stream with the end flag.
struct LoopResult {
    MMRESULT result = MMSYSERR_NOERROR;
    std::vector<std::uint8_t> output;
    int calls = 0;
    int keptBack = 0; // conversions that used less than they were given
    bool reachedFinish = false;
};

LoopResult ConvertLikeEngine(HACMDRIVERID driverId, const WAVEFORMATEX& source,
                             const WAVEFORMATEX& destination, const std::vector<std::uint8_t>& pcm,
                             std::uint32_t destinationBufferLimit = 0);
