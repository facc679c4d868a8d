#include "encoders/lame_enc/lame_stream.h"

#include "encoders/mpeg_tables.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstdarg>
#include <new>

namespace {

// The library lives inside someone else's program: libmp3lame's notes to the
// terminal are not ours to print.
void Quiet(const char*, va_list) {}

// Worst case of lame's own guidance: 1.25 bytes a sample plus 7200.
uint32_t OutputBound(uint32_t samplesPerChannel) {
    return samplesPerChannel * 5 / 4 + 7200;
}

} // namespace

LameStream::LameStream(lame_global_struct* encoder, uint32_t channels, uint32_t samplesPerChunk)
    : encoder(encoder), channels(channels), samplesPerChunk(samplesPerChunk),
      outputLimit(OutputBound(samplesPerChunk / channels + 1)), scratch(samplesPerChunk + 1, 0) {}

LameStream::~LameStream() {
    lame_close(encoder);
}

BE_ERR LameStream::Open(const BE_MP3_CONFIG& config, std::unique_ptr<LameStream>& stream) {
    MPEG_mode mode = STEREO;
    switch (config.byMode) {
    case BE_MP3_MODE_STEREO:
    // libmp3lame has no dual-channel coding; plain stereo codes both channels
    // just as independently.
    case BE_MP3_MODE_DUALCHANNEL:
        mode = STEREO;
        break;
    case BE_MP3_MODE_JSTEREO:
        mode = JOINT_STEREO;
        break;
    case BE_MP3_MODE_MONO:
        mode = MONO;
        break;
    default:
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    // libmp3lame would quietly pick a neighbouring rate; refuse instead.
    if (!mpeg::IsValidCombination(config.dwSampleRate, config.wBitrate)) {
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    const uint32_t channels = mode == MONO ? 1 : 2;

    lame_t encoder = lame_init();
    if (encoder == nullptr) {
        return BE_ERR_NO_MORE_HANDLES;
    }
    lame_set_errorf(encoder, Quiet);
    lame_set_debugf(encoder, Quiet);
    lame_set_msgf(encoder, Quiet);
    const int rate = static_cast<int>(config.dwSampleRate);
    lame_set_in_samplerate(encoder, rate);
    lame_set_out_samplerate(encoder, rate);
    lame_set_num_channels(encoder, static_cast<int>(channels));
    lame_set_mode(encoder, mode);
    lame_set_VBR(encoder, vbr_off);
    lame_set_brate(encoder, config.wBitrate);
    lame_set_bWriteVbrTag(encoder, 0);
    lame_set_extension(encoder, config.bPrivate != 0 ? 1 : 0);
    lame_set_error_protection(encoder, config.bCRC != 0 ? 1 : 0);
    lame_set_copyright(encoder, config.bCopyright != 0 ? 1 : 0);
    lame_set_original(encoder, config.bOriginal != 0 ? 1 : 0);
    if (lame_init_params(encoder) < 0) {
        lame_close(encoder);
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    const uint32_t perChannel = static_cast<uint32_t>(lame_get_framesize(encoder));
    stream.reset(new (std::nothrow) LameStream(encoder, channels, perChannel * channels));
    if (!stream) {
        lame_close(encoder);
        return BE_ERR_NO_MORE_HANDLES;
    }
    return BE_ERR_SUCCESSFUL;
}

BE_ERR LameStream::EncodeFrames(uint32_t frames, uint8_t* output, uint32_t* produced) {
    if (frames == 0) {
        return BE_ERR_SUCCESSFUL;
    }
    const int room = static_cast<int>(outputLimit - *produced);
    const int bytes =
        channels == 1
            ? lame_encode_buffer(encoder, scratch.data(), scratch.data(), static_cast<int>(frames),
                                 output + *produced, room)
            : lame_encode_buffer_interleaved(encoder, scratch.data(), static_cast<int>(frames),
                                             output + *produced, room);
    if (bytes < 0) {
        return bytes == -1 ? BE_ERR_BUFFER_TOO_SMALL : BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    *produced += static_cast<uint32_t>(bytes);
    return BE_ERR_SUCCESSFUL;
}

BE_ERR LameStream::Encode(const int16_t* samples, uint32_t count, uint8_t* output,
                          uint32_t* produced) {
    if (finished) {
        return BE_ERR_INVALID_HANDLE;
    }
    // More than one chunk could produce more than the caller's buffer holds.
    if (count > samplesPerChunk) {
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    const std::size_t total = held + count;
    std::copy_n(samples, count, scratch.begin() + static_cast<std::ptrdiff_t>(held));
    const std::size_t whole = total - total % channels;
    const BE_ERR result = EncodeFrames(static_cast<uint32_t>(whole / channels), output, produced);
    // Keep the odd half frame for the next call.
    held = total - whole;
    if (held > 0) {
        scratch[0] = scratch[whole];
    }
    return result;
}

BE_ERR LameStream::Finish(uint8_t* output, uint32_t* produced) {
    if (finished) {
        return BE_ERR_INVALID_HANDLE;
    }
    finished = true;
    if (held > 0) {
        // A lone half frame: complete it with silence rather than drop it.
        std::fill(scratch.begin() + static_cast<std::ptrdiff_t>(held),
                  scratch.begin() + static_cast<std::ptrdiff_t>(channels), 0);
        held = 0;
        if (const BE_ERR result = EncodeFrames(1, output, produced); result != BE_ERR_SUCCESSFUL) {
            return result;
        }
    }
    const int bytes =
        lame_encode_flush(encoder, output + *produced, static_cast<int>(outputLimit - *produced));
    if (bytes < 0) {
        return bytes == -1 ? BE_ERR_BUFFER_TOO_SMALL : BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    *produced += static_cast<uint32_t>(bytes);
    return BE_ERR_SUCCESSFUL;
}

void LameStream::EngineVersion(uint8_t& major, uint8_t& minor) {
    lame_version_t version{};
    get_lame_version_numerical(&version);
    major = static_cast<uint8_t>(version.major);
    // libmp3lame counts minor versions past 99 ("3.100"); the field holds a byte.
    minor = static_cast<uint8_t>(std::min(version.minor, 255));
}

const char* LameStream::Homepage() {
    return get_lame_url();
}
