#pragma once

#include "encoders/x3enc/wave_source.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct SwrContext;

// Turns the source's frames into interleaved floats in one or two channels at
// the rate the encoder is set to: any width or float, wider layouts mixed down
// with the usual coefficients, another rate resampled. Streams: it holds no
// more than the resampler's history and one block.
class SampleStage {
public:
    SampleStage(const WaveSource& source, uint16_t channels, uint32_t rate);
    ~SampleStage();
    SampleStage(const SampleStage&) = delete;
    SampleStage& operator=(const SampleStage&) = delete;

    // Empty on success, else what went wrong.
    std::string Open();
    // Replaces `output` with the frames that come of `frames` source frames.
    bool Convert(const uint8_t* input, std::size_t frames, std::vector<float>& output);
    // Replaces `output` with what the resampler still holds (empty when done).
    bool Drain(std::vector<float>& output);

private:
    struct ContextFree {
        void operator()(SwrContext* context) const;
    };
    bool Run(const uint8_t* input, int frames, std::vector<float>& output);

    WaveSource source;
    uint16_t channels;
    uint32_t rate;
    std::unique_ptr<SwrContext, ContextFree> context;
    std::vector<int32_t> widened;
};
