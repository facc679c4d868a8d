#include "engines/sample_converter.h"

#include "engines/wave_format.h"

#include <climits>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace {

constexpr std::uint16_t MAX_SOURCE_CHANNELS = 16;
constexpr std::uint32_t MIN_SOURCE_RATE = 1000;
constexpr std::uint32_t MAX_SOURCE_RATE = 768000;
// No normalising of the downmix: the front channels keep their level.
constexpr double REMATRIX_MAXVAL = 1000.0;

AVSampleFormat SampleFormatOf(const SampleLayout& layout) {
    if (layout.isFloat) {
        switch (layout.bitsPerSample) {
        case 32:
            return AV_SAMPLE_FMT_FLT;
        case 64:
            return AV_SAMPLE_FMT_DBL;
        default:
            return AV_SAMPLE_FMT_NONE;
        }
    }
    switch (layout.bitsPerSample) {
    case 8:
        return AV_SAMPLE_FMT_U8;
    case 16:
        return AV_SAMPLE_FMT_S16;
    case 24: // widened to 32 bits before conversion
    case 32:
        return AV_SAMPLE_FMT_S32;
    default:
        return AV_SAMPLE_FMT_NONE;
    }
}

AVChannelLayout LayoutOf(std::uint16_t channels, std::uint32_t mask) {
    AVChannelLayout layout{};
    // A mask that names another number of speakers than the file holds is
    // no guide to their order.
    if (mask == 0 || av_channel_layout_from_mask(&layout, mask) < 0 ||
        layout.nb_channels != channels) {
        av_channel_layout_uninit(&layout);
        av_channel_layout_default(&layout, channels);
    }
    return layout;
}

} // namespace

SampleLayout DescribeSamples(const WaveFormatCopy& format) {
    SampleLayout layout;
    layout.isFloat = format.IsFloat();
    layout.bitsPerSample = format.BitsPerSample();
    layout.channels = format.Channels();
    layout.sampleRate = format.SampleRate();
    layout.channelMask = format.ChannelMask();
    layout.blockAlign = format.BlockAlign();
    return layout;
}

std::uint16_t EncoderChannelsFor(std::uint16_t sourceChannels) {
    return sourceChannels == 1 ? 1 : 2;
}

bool IsDirectInput(const SampleLayout& source, const EncoderInput& target) {
    return !source.isFloat && source.bitsPerSample == 16 && source.channels == target.channels &&
           source.blockAlign == 2 * source.channels && source.sampleRate == target.sampleRate;
}

void SampleConverter::ContextFree::operator()(SwrContext* context) const {
    swr_free(&context);
}

SampleConverter::SampleConverter(const SampleLayout& source, const EncoderInput& target)
    : source(source), target(target) {}

SampleConverter::~SampleConverter() = default;

std::unique_ptr<SampleConverter>
SampleConverter::Create(const SampleLayout& source, const EncoderInput& target, QString* problem) {
    const AVSampleFormat format = SampleFormatOf(source);
    const unsigned bytesPerSample = (source.bitsPerSample + 7u) / 8u;
    if (format == AV_SAMPLE_FMT_NONE) {
        *problem = QStringLiteral("its %1-bit %2 samples cannot be converted")
                       .arg(source.bitsPerSample)
                       .arg(source.isFloat ? QStringLiteral("float") : QStringLiteral("integer"));
        return nullptr;
    }
    if (source.channels == 0 || source.channels > MAX_SOURCE_CHANNELS ||
        source.blockAlign != source.channels * bytesPerSample) {
        *problem = QStringLiteral("its %1 channel(s) in blocks of %2 bytes cannot be read")
                       .arg(source.channels)
                       .arg(source.blockAlign);
        return nullptr;
    }
    if (source.sampleRate < MIN_SOURCE_RATE || source.sampleRate > MAX_SOURCE_RATE ||
        target.sampleRate == 0 || (target.channels != 1 && target.channels != 2)) {
        *problem =
            QStringLiteral("its sample rate of %1 Hz cannot be converted").arg(source.sampleRate);
        return nullptr;
    }

    std::unique_ptr<SampleConverter> converter(new SampleConverter(source, target));
    AVChannelLayout in = LayoutOf(source.channels, source.channelMask);
    AVChannelLayout out{};
    av_channel_layout_default(&out, target.channels);
    SwrContext* context = nullptr;
    int result =
        swr_alloc_set_opts2(&context, &out, AV_SAMPLE_FMT_S16, static_cast<int>(target.sampleRate),
                            &in, format, static_cast<int>(source.sampleRate), 0, nullptr);
    av_channel_layout_uninit(&in);
    av_channel_layout_uninit(&out);
    converter->context.reset(context);
    if (result >= 0) {
        av_opt_set_int(context, "dither_method", SWR_DITHER_TRIANGULAR, 0);
        av_opt_set_double(context, "rematrix_maxval", REMATRIX_MAXVAL, 0);
        // Resampling in 32-bit integers is several times slower than in floats.
        av_opt_set_sample_fmt(context, "internal_sample_fmt", AV_SAMPLE_FMT_FLTP, 0);
        // A mono source sounds the same in both channels, not 3 dB lower.
        static constexpr double MONO_TO_STEREO[2] = {1.0, 1.0};
        if (source.channels == 1 && target.channels == 2) {
            result = swr_set_matrix(context, MONO_TO_STEREO, 1);
        }
        if (result >= 0) {
            result = swr_init(context);
        }
    }
    if (result < 0) {
        *problem = QStringLiteral("the sample converter could not be set up (%1)").arg(result);
        return nullptr;
    }
    return converter;
}

bool SampleConverter::Run(const std::uint8_t* input, int frames,
                          std::vector<std::int16_t>& output) {
    const int room = swr_get_out_samples(context.get(), frames);
    if (room < 0) {
        return false;
    }
    const std::size_t start = output.size();
    output.resize(start + std::size_t(room) * target.channels);
    auto* out = reinterpret_cast<std::uint8_t*>(output.data() + start);
    const std::uint8_t* in = input;
    const int produced = swr_convert(context.get(), &out, room, input != nullptr ? &in : nullptr,
                                     input != nullptr ? frames : 0);
    output.resize(start + std::size_t(produced > 0 ? produced : 0) * target.channels);
    return produced >= 0;
}

bool SampleConverter::Convert(const std::uint8_t* input, std::size_t frames,
                              std::vector<std::int16_t>& output) {
    if (frames == 0) {
        return true;
    }
    if (frames > std::size_t(INT_MAX) / source.channels / 4) {
        return false;
    }
    if (source.bitsPerSample != 24 || source.isFloat) {
        return Run(input, static_cast<int>(frames), output);
    }
    const std::size_t samples = frames * source.channels;
    widened.resize(samples);
    for (std::size_t i = 0; i < samples; ++i) {
        const std::uint8_t* p = input + 3 * i;
        widened[i] = static_cast<std::int32_t>(
            std::uint32_t(p[0]) << 8 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 24);
    }
    return Run(reinterpret_cast<const std::uint8_t*>(widened.data()), static_cast<int>(frames),
               output);
}

bool SampleConverter::Flush(std::vector<std::int16_t>& output) {
    // The resampler hands back its history in pieces until none is left.
    for (std::size_t before = output.size() + 1; before != output.size();) {
        before = output.size();
        if (!Run(nullptr, 0, output)) {
            return false;
        }
    }
    return true;
}
