#pragma once

#include "platform/acm_waveformat.h"

#include <cstdint>
#include <memory>
#include <optional>

extern "C" {
#include <libavcodec/avcodec.h>
}

enum class LibavCodecKind { Mp3, ImaAdpcm, MsAdpcm, G711 };

// One libavcodec encoder and the wave format tag its output is known by.
struct LibavCodecEntry {
    const char* encoderName;
    std::uint16_t formatTag;
    LibavCodecKind kind;
    std::uint16_t productId;
    const char* shortName;
    const char* longName;
};

// Our own manufacturer number for the drivers we ship.
inline constexpr std::uint16_t CORVANE_ACM_MANUFACTURER_ID = 0x4356;

struct CodecContextDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;

struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

// Opens the encoder for a channel count and rate; `bitRate` counts for MP3
// only. Null when libavcodec refuses the combination.
CodecContextPtr OpenLibavEncoder(const LibavCodecEntry& entry, int channels, int sampleRate,
                                 std::int64_t bitRate);

// The format record of what an opened encoder produces, with the extra bytes
// a decoder needs and an average byte rate that holds even where libavcodec
// reports no bit rate.
std::optional<WAVEFORMATEX> DescribeLibavFormat(const LibavCodecEntry& entry,
                                                const AVCodecContext& context);

// Samples per codec frame and the most bytes one such frame takes.
struct LibavFrameShape {
    std::uint32_t samples = 0;
    std::uint32_t maxBytes = 0;
};
LibavFrameShape FrameShapeOf(const LibavCodecEntry& entry, const WAVEFORMATEX& format);
