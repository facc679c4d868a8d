#pragma once

#include "platform/acm_driver.h"
#include "platform/acm_libav_encoder.h"

#include <cstdint>
#include <vector>

// A conversion from 8- or 16-bit PCM to one libavcodec encoder's output,
// down-mixing stereo to mono where the destination asks for it. Encoded bytes
// that do not fit the caller's buffer wait for the next call; meanwhile no
// further input is taken, so the caller sees its input kept back.
class LibavAcmStream : public AcmCodecStream {
public:
    LibavAcmStream(const LibavCodecEntry& entry, const WAVEFORMATEX& source,
                   const WAVEFORMATEX& destination);
    bool Open();

    std::uint32_t DestinationSize(std::uint32_t sourceBytes) const override;
    std::uint32_t SourceSize(std::uint32_t destinationBytes) const override;
    AcmConversion Convert(std::span<const std::uint8_t> source, std::span<std::uint8_t> destination,
                          std::uint32_t flags) override;

private:
    std::uint32_t FifoFrames() const;
    bool PendingEmpty() const { return pendingOffset == pending.size(); }
    void AppendSamples(std::span<const std::uint8_t> bytes);
    bool Encode(std::uint32_t frames, bool padToFrame);
    bool ReceivePackets();
    bool Flush();
    void Deliver(std::span<std::uint8_t> destination, std::uint32_t& produced);

    LibavCodecEntry entry;
    WAVEFORMATEX source;
    WAVEFORMATEX destination;
    CodecContextPtr context;
    FramePtr frame;
    PacketPtr packet;
    std::uint32_t frameSize = 0;
    bool fixedFrames = false;
    bool flushed = false;
    std::int64_t nextPts = 0;
    std::vector<std::int16_t> fifo; // interleaved, destination channels
    std::vector<std::uint8_t> pending;
    std::size_t pendingOffset = 0;
};
