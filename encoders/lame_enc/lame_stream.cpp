#include "encoders/lame_enc/lame_stream.h"

#include "encoders/mpeg_tables.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace {

// The library lives inside someone else's program: libmp3lame's notes to the
// terminal are not ours to print.
void Quiet(const char*, va_list) {}

// Worst case of lame's own guidance: 1.25 bytes a sample plus 7200.
uint32_t OutputBound(uint32_t samplesPerChannel) {
    return samplesPerChannel * 5 / 4 + 7200;
}

} // namespace

LameStream::LameStream(lame_global_struct* encoder, uint32_t channels, uint32_t samplesPerChunk,
                       bool infoFrame)
    : encoder(encoder), channels(channels), samplesPerChunk(samplesPerChunk),
      outputLimit(OutputBound(samplesPerChunk / channels + 1)), scratch(samplesPerChunk + 1, 0),
      infoFrame(infoFrame) {}

LameStream::~LameStream() {
    lame_close(encoder);
}

namespace {

// The settings of either form of the configuration.
struct StreamSettings {
    uint32_t rate = 0;
    int32_t mode = 0;
    uint32_t bitrate = 0;
    bool vbr = false;
    int32_t vbrQuality = 0;
    int32_t vbrMethod = VBR_METHOD_NONE;
    bool infoFrame = false;
    uint16_t quality = 0;
    bool isPrivate = false, crc = false, copyright = false, original = false;
};

// The frame header bits both configuration layouts carry.
template <typename Config> void ReadHeaderBits(const Config& config, StreamSettings& settings) {
    settings.isPrivate = config.bPrivate != 0;
    settings.crc = config.bCRC != 0;
    settings.copyright = config.bCopyright != 0;
    settings.original = config.bOriginal != 0;
}

bool ReadSettings(const BE_CONFIG& config, StreamSettings& settings) {
    if (config.dwConfig == BE_CONFIG_MP3) {
        const BE_MP3_CONFIG& mp3 = config.format.mp3;
        settings.rate = mp3.dwSampleRate;
        settings.mode = mp3.byMode;
        settings.bitrate = mp3.wBitrate;
        ReadHeaderBits(mp3, settings);
        return true;
    }
    const BE_LAME_CONFIG& lame = config.format.lhv1;
    // Settings this library does not carry out are refused rather than ignored.
    if (lame.dwStructVersion != BE_LAME_STRUCT_VERSION ||
        (lame.dwReSampleRate != 0 && lame.dwReSampleRate != lame.dwSampleRate) ||
        lame.nPreset != LQP_NOPRESET || lame.dwEmphasis != 0 || lame.dwVbrAbr_bps != 0 ||
        lame.bNoRes != 0 || lame.bStrictIso != 0 || lame.nQuality > 9 ||
        (lame.bEnableVBR != 0 &&
         (lame.nVBRQuality < 0 || lame.nVBRQuality > 9 ||
          (lame.nVbrMethod != VBR_METHOD_DEFAULT && lame.nVbrMethod != VBR_METHOD_NEW &&
           lame.nVbrMethod != VBR_METHOD_MTRH)))) {
        return false;
    }
    settings.rate = lame.dwSampleRate;
    settings.mode = lame.nMode;
    settings.bitrate = lame.dwBitrate;
    settings.vbr = lame.bEnableVBR != 0;
    settings.vbrQuality = lame.nVBRQuality;
    settings.infoFrame = lame.bWriteVBRHeader != 0;
    settings.quality = lame.nQuality;
    ReadHeaderBits(lame, settings);
    return true;
}

} // namespace

BE_ERR LameStream::Open(const BE_CONFIG& config, std::unique_ptr<LameStream>& stream) {
    StreamSettings settings;
    if (!ReadSettings(config, settings)) {
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    MPEG_mode mode = STEREO;
    switch (settings.mode) {
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
    // libmp3lame would quietly pick a neighbouring rate (or bitrate); refuse
    // instead. A VBR stream's frames may take any bitrate of the rate.
    const bool rateKnown = mpeg::Contains(mpeg::MPEG1_RATES, settings.rate) ||
                           mpeg::Contains(mpeg::MPEG2_RATES, settings.rate);
    if (!rateKnown ||
        (!settings.vbr && !mpeg::IsValidCombination(settings.rate, settings.bitrate))) {
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
    const int rate = static_cast<int>(settings.rate);
    lame_set_in_samplerate(encoder, rate);
    lame_set_out_samplerate(encoder, rate);
    lame_set_num_channels(encoder, static_cast<int>(channels));
    lame_set_mode(encoder, mode);
    if (settings.vbr) {
        lame_set_VBR(encoder, vbr_mtrh);
        lame_set_VBR_quality(encoder, float(settings.vbrQuality));
    } else {
        lame_set_VBR(encoder, vbr_off);
        lame_set_brate(encoder, static_cast<int>(settings.bitrate));
    }
    if (settings.quality != 0) {
        lame_set_quality(encoder, settings.quality);
    }
    lame_set_bWriteVbrTag(encoder, settings.infoFrame ? 1 : 0);
    lame_set_extension(encoder, settings.isPrivate ? 1 : 0);
    lame_set_error_protection(encoder, settings.crc ? 1 : 0);
    lame_set_copyright(encoder, settings.copyright ? 1 : 0);
    lame_set_original(encoder, settings.original ? 1 : 0);
    if (lame_init_params(encoder) < 0) {
        lame_close(encoder);
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    const uint32_t perChannel = static_cast<uint32_t>(lame_get_framesize(encoder));
    stream.reset(new (std::nothrow)
                     LameStream(encoder, channels, perChannel * channels, settings.infoFrame));
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

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Where the MP3 stream starts: after an ID3v2 tag put in front of it.
long StreamStart(std::FILE* file) {
    unsigned char head[10] = {};
    if (std::fread(head, 1, sizeof head, file) != sizeof head || std::memcmp(head, "ID3", 3) != 0) {
        return 0;
    }
    const long size = (long(head[6] & 0x7F) << 21) | (long(head[7] & 0x7F) << 14) |
                      (long(head[8] & 0x7F) << 7) | long(head[9] & 0x7F);
    const bool footer = head[3] == 4 && (head[5] & 0x10) != 0;
    return 10 + size + (footer ? 10 : 0);
}

} // namespace

BE_ERR LameStream::WriteInfoTag(const char* fileName) {
    if (!infoFrame || !finished) {
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    std::vector<unsigned char> frame(lame_get_lametag_frame(encoder, nullptr, 0));
    if (frame.empty() ||
        lame_get_lametag_frame(encoder, frame.data(), frame.size()) != frame.size()) {
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName, "r+b"));
    if (!file) {
        return BE_ERR_INVALID_HANDLE;
    }
    // The frame goes only over the one reserved for it: a frame header of
    // the same length at the start of the stream.
    const long start = StreamStart(file.get());
    unsigned char header[4] = {};
    if (std::fseek(file.get(), start, SEEK_SET) != 0 ||
        std::fread(header, 1, sizeof header, file.get()) != sizeof header ||
        std::memcmp(header, frame.data(), 3) != 0 || std::fseek(file.get(), start, SEEK_SET) != 0 ||
        std::fwrite(frame.data(), 1, frame.size(), file.get()) != frame.size()) {
        return BE_ERR_INVALID_HANDLE;
    }
    return std::fclose(file.release()) == 0 ? BE_ERR_SUCCESSFUL : BE_ERR_INVALID_HANDLE;
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
