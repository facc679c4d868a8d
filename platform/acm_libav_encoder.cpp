#include "platform/acm_libav_encoder.h"

#include <algorithm>
#include <array>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
}

namespace {

constexpr std::uint32_t MP3_SAMPLES_PER_FRAME = 1152;
constexpr std::uint32_t G711_SAMPLES_PER_FRAME = 1024;

AVSampleFormat ChooseSampleFormat(const AVCodec& codec) {
    static constexpr std::array preferred = {AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_S16P,
                                             AV_SAMPLE_FMT_S32P, AV_SAMPLE_FMT_FLTP,
                                             AV_SAMPLE_FMT_FLT};
    if (codec.sample_fmts == nullptr) {
        return AV_SAMPLE_FMT_S16;
    }
    for (AVSampleFormat wanted : preferred) {
        for (const AVSampleFormat* offered = codec.sample_fmts; *offered != AV_SAMPLE_FMT_NONE;
             ++offered) {
            if (*offered == wanted) {
                return wanted;
            }
        }
    }
    return AV_SAMPLE_FMT_NONE;
}

// The usual block size of these ADPCM codecs: 256 bytes per channel at
// 11025 Hz, doubling with the rate.
int AdpcmBlockSize(int channels, int sampleRate) {
    return 256 * channels * std::max(1, sampleRate / 11025);
}

void PutU16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

} // namespace

CodecContextPtr OpenLibavEncoder(const LibavCodecEntry& entry, int channels, int sampleRate,
                                 std::int64_t bitRate) {
    const AVCodec* codec = avcodec_find_encoder_by_name(entry.encoderName);
    if (codec == nullptr || channels < 1 || channels > 2 || sampleRate <= 0) {
        return {};
    }
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context) {
        return {};
    }
    context->sample_rate = sampleRate;
    av_channel_layout_default(&context->ch_layout, channels);
    context->sample_fmt = ChooseSampleFormat(*codec);
    if (context->sample_fmt == AV_SAMPLE_FMT_NONE) {
        return {};
    }
    if (entry.kind == LibavCodecKind::Mp3) {
        context->bit_rate = bitRate;
    }
    AVDictionary* options = nullptr;
    if (entry.kind == LibavCodecKind::ImaAdpcm || entry.kind == LibavCodecKind::MsAdpcm) {
        av_dict_set_int(&options, "block_size", AdpcmBlockSize(channels, sampleRate), 0);
    }
    const int opened = avcodec_open2(context.get(), codec, &options);
    av_dict_free(&options);
    if (opened < 0) {
        return {};
    }
    return context;
}

std::optional<WAVEFORMATEX> DescribeLibavFormat(const LibavCodecEntry& entry,
                                                const AVCodecContext& context) {
    WAVEFORMATEX format;
    format.wFormatTag = entry.formatTag;
    format.nChannels = static_cast<std::uint16_t>(context.ch_layout.nb_channels);
    format.nSamplesPerSec = static_cast<std::uint32_t>(context.sample_rate);
    std::vector<std::uint8_t> extra;
    switch (entry.kind) {
    case LibavCodecKind::Mp3: {
        if (context.bit_rate <= 0 || context.sample_rate <= 0) {
            return std::nullopt;
        }
        format.nAvgBytesPerSec = static_cast<std::uint32_t>(context.bit_rate / 8);
        format.nBlockAlign = 1;
        format.wBitsPerSample = 0;
        PutU16(extra, 1); // wID: MPEG audio
        PutU16(extra, 0); // fdwFlags, low word: padding as ISO says
        PutU16(extra, 0); // fdwFlags, high word
        PutU16(extra, static_cast<std::uint32_t>(144 * context.bit_rate / context.sample_rate));
        PutU16(extra, 1); // nFramesPerBlock
        PutU16(extra, static_cast<std::uint32_t>(std::max(0, context.initial_padding)));
        break;
    }
    case LibavCodecKind::ImaAdpcm:
    case LibavCodecKind::MsAdpcm: {
        if (context.frame_size <= 0 || context.block_align <= 0) {
            return std::nullopt;
        }
        format.nBlockAlign = static_cast<std::uint16_t>(context.block_align);
        format.wBitsPerSample = static_cast<std::uint16_t>(context.bits_per_coded_sample);
        // libavcodec leaves the bit rate of these at 0.
        format.nAvgBytesPerSec =
            static_cast<std::uint32_t>(static_cast<std::uint64_t>(context.sample_rate) *
                                       context.block_align / context.frame_size);
        if (context.extradata_size > 0) {
            extra.assign(context.extradata, context.extradata + context.extradata_size);
        } else {
            PutU16(extra, static_cast<std::uint32_t>(context.frame_size)); // wSamplesPerBlock
        }
        break;
    }
    case LibavCodecKind::G711:
        format.nBlockAlign = format.nChannels;
        format.wBitsPerSample = 8;
        format.nAvgBytesPerSec = format.nSamplesPerSec * format.nChannels;
        break;
    }
    if (!format.SetExtra(extra)) {
        return std::nullopt;
    }
    return format;
}

LibavFrameShape FrameShapeOf(const LibavCodecEntry& entry, const WAVEFORMATEX& format) {
    LibavFrameShape shape;
    switch (entry.kind) {
    case LibavCodecKind::Mp3:
        shape.samples = MP3_SAMPLES_PER_FRAME;
        // A padded frame is one byte longer than the nominal size.
        shape.maxBytes = format.nSamplesPerSec == 0
                             ? 0
                             : static_cast<std::uint32_t>(144ULL * format.nAvgBytesPerSec * 8 /
                                                          format.nSamplesPerSec) +
                                   1;
        break;
    case LibavCodecKind::ImaAdpcm:
    case LibavCodecKind::MsAdpcm:
        shape.samples =
            format.Extra().size() >= 2
                ? static_cast<std::uint32_t>(format.Extra()[0] | (format.Extra()[1] << 8))
                : 0;
        shape.maxBytes = format.nBlockAlign;
        break;
    case LibavCodecKind::G711:
        shape.samples = G711_SAMPLES_PER_FRAME;
        shape.maxBytes = G711_SAMPLES_PER_FRAME * format.nChannels;
        break;
    }
    return shape;
}
