#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class WaveFormatCopy;
struct SwrContext;

// How a wave file stores its samples.
struct SampleLayout {
    bool isFloat = false;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t channelMask = 0; // 0: the usual order for the channel count
    std::uint16_t blockAlign = 0;
};

SampleLayout DescribeSamples(const WaveFormatCopy& format);

// What the encoders take: 16-bit interleaved samples in one or two channels.
struct EncoderInput {
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
};

// Mono stays mono; everything wider is mixed down to stereo.
std::uint16_t EncoderChannelsFor(std::uint16_t sourceChannels);

// True when the source's bytes are already what the encoder takes.
bool IsDirectInput(const SampleLayout& source, const EncoderInput& target);

// Turns a stream of source frames into 16-bit samples of the target: wider or
// float samples with dither, more than two channels with the usual downmix
// coefficients, another rate resampled. It keeps only the resampler's history,
// so memory does not grow with the length of the file.
class SampleConverter {
public:
    ~SampleConverter();
    SampleConverter(const SampleConverter&) = delete;
    SampleConverter& operator=(const SampleConverter&) = delete;

    // Null with `problem` set (a sentence ending without a full stop) when
    // the source's samples cannot be converted.
    static std::unique_ptr<SampleConverter> Create(const SampleLayout& source,
                                                   const EncoderInput& target, QString* problem);

    // Appends the samples for `frames` whole source frames to `output`.
    bool Convert(const std::uint8_t* input, std::size_t frames, std::vector<std::int16_t>& output);
    // Appends what the resampler still holds; call once at the end.
    bool Flush(std::vector<std::int16_t>& output);

private:
    struct ContextFree {
        void operator()(SwrContext* context) const;
    };

    SampleConverter(const SampleLayout& source, const EncoderInput& target);
    bool Run(const std::uint8_t* input, int frames, std::vector<std::int16_t>& output);

    SampleLayout source;
    EncoderInput target;
    std::unique_ptr<SwrContext, ContextFree> context;
    std::vector<std::int32_t> widened; // 24-bit samples, moved to 32 bits
};
