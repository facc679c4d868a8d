#include "platform/acm_libav_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
}

namespace {

constexpr std::uint32_t VARIABLE_FRAME_SAMPLES = 1024;

} // namespace

LibavAcmStream::LibavAcmStream(const LibavCodecEntry& entry, const WAVEFORMATEX& source,
                               const WAVEFORMATEX& destination)
    : entry(entry), source(source), destination(destination) {}

bool LibavAcmStream::Open() {
    const std::int64_t bitRate = static_cast<std::int64_t>(destination.nAvgBytesPerSec) * 8;
    context = OpenLibavEncoder(entry, destination.nChannels,
                               static_cast<int>(destination.nSamplesPerSec), bitRate);
    if (!context) {
        return false;
    }
    if (!frame) {
        frame.reset(av_frame_alloc());
        packet.reset(av_packet_alloc());
        if (!frame || !packet) {
            return false;
        }
    }
    const bool smallLast = (context->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) != 0;
    frameSize = context->frame_size > 0 ? static_cast<std::uint32_t>(context->frame_size)
                                        : VARIABLE_FRAME_SAMPLES;
    fixedFrames = context->frame_size > 0 && !smallLast;
    flushed = false;
    nextPts = 0;
    return true;
}

std::uint32_t LibavAcmStream::DestinationSize(std::uint32_t sourceBytes) const {
    const std::uint64_t frames = source.nBlockAlign ? sourceBytes / source.nBlockAlign : 0;
    const LibavFrameShape shape = FrameShapeOf(entry, destination);
    if (frames == 0 || shape.samples == 0 || shape.maxBytes == 0) {
        return 0;
    }
    // Room for the encoder's delay and one partly filled frame.
    const std::uint64_t delay =
        context ? static_cast<std::uint64_t>(std::max(0, context->initial_padding)) : 0;
    const std::uint64_t count = (frames + delay + shape.samples - 1) / shape.samples + 1;
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(count * shape.maxBytes, std::numeric_limits<std::uint32_t>::max()));
}

std::uint32_t LibavAcmStream::SourceSize(std::uint32_t destinationBytes) const {
    const LibavFrameShape shape = FrameShapeOf(entry, destination);
    if (shape.maxBytes == 0) {
        return 0;
    }
    const std::uint64_t bytes = static_cast<std::uint64_t>(destinationBytes / shape.maxBytes) *
                                shape.samples * source.nBlockAlign;
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(bytes, std::numeric_limits<std::uint32_t>::max()));
}

AcmConversion LibavAcmStream::Convert(std::span<const std::uint8_t> input,
                                      std::span<std::uint8_t> output, std::uint32_t flags) {
    AcmConversion done;
    Deliver(output, done.destinationUsed);
    const std::uint32_t block = source.nBlockAlign;
    const std::uint32_t usable = static_cast<std::uint32_t>(input.size() - input.size() % block);
    while (PendingEmpty() && done.sourceUsed < usable) {
        // More input after the end of a stream starts a new one.
        if (flushed && !Open()) {
            done.result = MMSYSERR_ERROR;
            return done;
        }
        const std::uint32_t take =
            std::min(frameSize - FifoFrames(), (usable - done.sourceUsed) / block);
        AppendSamples(input.subspan(done.sourceUsed, take * block));
        done.sourceUsed += take * block;
        if (FifoFrames() == frameSize) {
            if (!Encode(frameSize, false)) {
                done.result = MMSYSERR_ERROR;
                return done;
            }
            Deliver(output, done.destinationUsed);
        }
    }
    if ((flags & ACM_STREAMCONVERTF_END) && done.sourceUsed == usable && !flushed) {
        if (!Flush()) {
            done.result = MMSYSERR_ERROR;
            return done;
        }
        Deliver(output, done.destinationUsed);
    }
    return done;
}

std::uint32_t LibavAcmStream::FifoFrames() const {
    return static_cast<std::uint32_t>(fifo.size() / destination.nChannels);
}

void LibavAcmStream::AppendSamples(std::span<const std::uint8_t> bytes) {
    const std::uint32_t channels = source.nChannels;
    const bool eightBit = source.wBitsPerSample == 8;
    const std::size_t width = eightBit ? 1 : 2;
    const std::size_t frames = bytes.size() / (channels * width);
    for (std::size_t i = 0; i < frames; ++i) {
        std::int32_t sum = 0;
        for (std::uint32_t c = 0; c < channels; ++c) {
            const std::uint8_t* at = bytes.data() + (i * channels + c) * width;
            const std::int16_t sample = eightBit ? static_cast<std::int16_t>((at[0] - 128) * 256)
                                                 : static_cast<std::int16_t>(at[0] | (at[1] << 8));
            if (destination.nChannels == channels) {
                fifo.push_back(sample);
            }
            sum += sample;
        }
        if (destination.nChannels != channels) {
            fifo.push_back(static_cast<std::int16_t>(sum / static_cast<std::int32_t>(channels)));
        }
    }
}

bool LibavAcmStream::Encode(std::uint32_t frames, bool padToFrame) {
    av_frame_unref(frame.get());
    frame->nb_samples = static_cast<int>(padToFrame ? frameSize : frames);
    frame->format = context->sample_fmt;
    frame->sample_rate = context->sample_rate;
    if (av_channel_layout_copy(&frame->ch_layout, &context->ch_layout) < 0 ||
        av_frame_get_buffer(frame.get(), 0) < 0) {
        return false;
    }
    const int channels = destination.nChannels;
    for (int i = 0; i < frame->nb_samples; ++i) {
        for (int c = 0; c < channels; ++c) {
            const std::int16_t sample =
                static_cast<std::uint32_t>(i) < frames ? fifo[i * channels + c] : 0;
            switch (context->sample_fmt) {
            case AV_SAMPLE_FMT_S16:
                reinterpret_cast<std::int16_t*>(frame->data[0])[i * channels + c] = sample;
                break;
            case AV_SAMPLE_FMT_S16P:
                reinterpret_cast<std::int16_t*>(frame->extended_data[c])[i] = sample;
                break;
            case AV_SAMPLE_FMT_S32P:
                reinterpret_cast<std::int32_t*>(frame->extended_data[c])[i] =
                    static_cast<std::int32_t>(sample) * 65536;
                break;
            case AV_SAMPLE_FMT_FLTP:
                reinterpret_cast<float*>(frame->extended_data[c])[i] = sample / 32768.0f;
                break;
            case AV_SAMPLE_FMT_FLT:
                reinterpret_cast<float*>(frame->data[0])[i * channels + c] = sample / 32768.0f;
                break;
            default:
                return false;
            }
        }
    }
    frame->pts = nextPts;
    nextPts += frame->nb_samples;
    fifo.erase(fifo.begin(), fifo.begin() + static_cast<std::ptrdiff_t>(frames) * channels);
    if (avcodec_send_frame(context.get(), frame.get()) < 0) {
        return false;
    }
    return ReceivePackets();
}

bool LibavAcmStream::ReceivePackets() {
    for (;;) {
        const int received = avcodec_receive_packet(context.get(), packet.get());
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
            return true;
        }
        if (received < 0) {
            return false;
        }
        if (PendingEmpty()) {
            pending.clear();
            pendingOffset = 0;
        }
        pending.insert(pending.end(), packet->data, packet->data + packet->size);
        av_packet_unref(packet.get());
    }
}

bool LibavAcmStream::Flush() {
    const std::uint32_t rest = FifoFrames();
    if (rest > 0 && !Encode(rest, fixedFrames)) {
        return false;
    }
    if (avcodec_send_frame(context.get(), nullptr) < 0) {
        return false;
    }
    flushed = true;
    return ReceivePackets();
}

void LibavAcmStream::Deliver(std::span<std::uint8_t> output, std::uint32_t& produced) {
    const std::size_t count = std::min(pending.size() - pendingOffset,
                                       output.size() - static_cast<std::size_t>(produced));
    if (count > 0) {
        std::memcpy(output.data() + produced, pending.data() + pendingOffset, count);
        pendingOffset += count;
        produced += static_cast<std::uint32_t>(count);
    }
    if (PendingEmpty()) {
        pending.clear();
        pendingOffset = 0;
    }
}
