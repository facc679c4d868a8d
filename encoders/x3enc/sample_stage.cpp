#include "encoders/x3enc/sample_stage.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace {

// The front channels keep their level in a downmix.
constexpr double REMATRIX_MAXVAL = 1000.0;

AVSampleFormat FormatOf(const WaveSource& source) {
    if (source.isFloat) {
        return source.bitsPerSample == 64 ? AV_SAMPLE_FMT_DBL : AV_SAMPLE_FMT_FLT;
    }
    switch (source.bitsPerSample) {
    case 8:
        return AV_SAMPLE_FMT_U8;
    case 16:
        return AV_SAMPLE_FMT_S16;
    default: // 24-bit samples are widened to 32 bits first
        return AV_SAMPLE_FMT_S32;
    }
}

} // namespace

void SampleStage::ContextFree::operator()(SwrContext* context) const {
    swr_free(&context);
}

SampleStage::SampleStage(const WaveSource& source, uint16_t channels, uint32_t rate)
    : source(source), channels(channels), rate(rate) {}

SampleStage::~SampleStage() = default;

std::string SampleStage::Open() {
    AVChannelLayout in{};
    if (source.channelMask == 0 || av_channel_layout_from_mask(&in, source.channelMask) < 0 ||
        in.nb_channels != source.channels) {
        av_channel_layout_uninit(&in);
        av_channel_layout_default(&in, source.channels);
    }
    AVChannelLayout out{};
    av_channel_layout_default(&out, channels);
    SwrContext* made = nullptr;
    int result =
        swr_alloc_set_opts2(&made, &out, AV_SAMPLE_FMT_FLT, static_cast<int>(rate), &in,
                            FormatOf(source), static_cast<int>(source.sampleRate), 0, nullptr);
    av_channel_layout_uninit(&in);
    av_channel_layout_uninit(&out);
    context.reset(made);
    if (result >= 0) {
        av_opt_set_double(made, "rematrix_maxval", REMATRIX_MAXVAL, 0);
        result = swr_init(made);
    }
    return result < 0 ? "the sample converter cannot be set up (" + std::to_string(result) + ")"
                      : std::string();
}

bool SampleStage::Run(const uint8_t* input, int frames, std::vector<float>& output) {
    const int room = swr_get_out_samples(context.get(), frames);
    if (room < 0) {
        return false;
    }
    output.resize(static_cast<std::size_t>(room) * channels);
    auto* out = reinterpret_cast<uint8_t*>(output.data());
    const uint8_t* in = input;
    const int produced = swr_convert(context.get(), &out, room, input != nullptr ? &in : nullptr,
                                     input != nullptr ? frames : 0);
    output.resize(static_cast<std::size_t>(produced > 0 ? produced : 0) * channels);
    return produced >= 0;
}

bool SampleStage::Convert(const uint8_t* input, std::size_t frames, std::vector<float>& output) {
    if (source.isFloat || source.bitsPerSample != 24) {
        return Run(input, static_cast<int>(frames), output);
    }
    const std::size_t samples = frames * source.channels;
    widened.resize(samples);
    for (std::size_t i = 0; i < samples; ++i) {
        const uint8_t* p = input + 3 * i;
        widened[i] = static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 8 |
                                          static_cast<uint32_t>(p[1]) << 16 |
                                          static_cast<uint32_t>(p[2]) << 24);
    }
    return Run(reinterpret_cast<const uint8_t*>(widened.data()), static_cast<int>(frames), output);
}

bool SampleStage::Drain(std::vector<float>& output) {
    return Run(nullptr, 0, output);
}
