#include "encoders/bladeenc/shine_stream.h"

#include <algorithm>
#include <cstring>

// libshine's header has no C-linkage guard of its own.
extern "C" {
#include <shine/layer3.h>
}

namespace {

// shine_check_config's answers for the two MPEG versions this library offers.
constexpr int SHINE_MPEG_1 = 3;
constexpr int SHINE_MPEG_2 = 2;

// Frames that one call may produce at most: a pass, then at the end a padded
// pass, a pass of silence and the flushed remainder.
constexpr uint32_t FRAMES_PER_BUFFER = 4;

constexpr int GRANULE_SAMPLES = 576;
// A granule's main data is counted in 12 bits.
constexpr int MAX_GRANULE_BITS = 4095;

// Settings under which libshine writes frames of another length than their
// headers announce, which decoders cannot follow:
// - its bytes per frame come from a product of doubles that can fall just
//   short of a whole number (32 kHz at 48 kbit/s gives 215.99999...), and
//   then it pads nearly every frame against the header;
// - a frame whose granule would hold more main data than 12 bits can count.
bool ShineWritesBrokenFrames(int rate, int bitrate, int version, int channels) {
    const int granules = version == SHINE_MPEG_1 ? 2 : 1;
    const double slots =
        (double(granules) * GRANULE_SAMPLES / double(rate)) * (1000 * double(bitrate) / 8.0);
    const long long exactBytes = 1000LL * bitrate * granules * GRANULE_SAMPLES;
    const bool whole = exactBytes % (8LL * rate) == 0;
    if (whole && slots != double(exactBytes / (8LL * rate))) {
        return true;
    }
    const int sideInfo =
        version == SHINE_MPEG_1 ? (channels == 1 ? 17 : 32) : (channels == 1 ? 9 : 17);
    const long long frameBytes = exactBytes / (8LL * rate) + 1; // with its padding byte
    return (frameBytes - 4 - sideInfo) * 8 / (granules * channels) > MAX_GRANULE_BITS;
}

} // namespace

ShineStream::ShineStream(shine_global_flags* encoder, std::size_t passSamples, uint32_t outputLimit)
    : encoder(encoder), pass(passSamples, 0), outputLimit(outputLimit) {}

ShineStream::~ShineStream() {
    shine_close(encoder);
}

BE_ERR ShineStream::Open(const BE_CONFIG& whole, std::unique_ptr<ShineStream>& stream) {
    if (whole.dwConfig != BE_CONFIG_MP3) {
        return BE_ERR_INVALID_FORMAT;
    }
    const BE_MP3_CONFIG& config = whole.format.mp3;
    shine_config_t shine{};
    shine_set_config_mpeg_defaults(&shine.mpeg);
    switch (config.byMode) {
    case BE_MP3_MODE_STEREO:
        shine.mpeg.mode = STEREO;
        break;
    case BE_MP3_MODE_JSTEREO:
        shine.mpeg.mode = JOINT_STEREO;
        break;
    case BE_MP3_MODE_DUALCHANNEL:
        shine.mpeg.mode = DUAL_CHANNEL;
        break;
    case BE_MP3_MODE_MONO:
        shine.mpeg.mode = MONO;
        break;
    default:
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    // Shine writes no CRC; refusing is more honest than a stream without one.
    if (config.bCRC != 0 || config.dwSampleRate > 0x7FFFFFFF) {
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    const int rate = static_cast<int>(config.dwSampleRate);
    const int bitrate = config.wBitrate;
    const int version = shine_check_config(rate, bitrate);
    if (version != SHINE_MPEG_1 && version != SHINE_MPEG_2) {
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    const bool mono = shine.mpeg.mode == MONO;
    if (ShineWritesBrokenFrames(rate, bitrate, version, mono ? 1 : 2)) {
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    shine.wave.channels = mono ? PCM_MONO : PCM_STEREO;
    shine.wave.samplerate = rate;
    shine.mpeg.bitr = bitrate;
    shine.mpeg.copyright = config.bCopyright != 0 ? 1 : 0;
    shine.mpeg.original = config.bOriginal != 0 ? 1 : 0;

    shine_t encoder = shine_initialise(&shine);
    if (encoder == nullptr) {
        return BE_ERR_NO_MORE_HANDLES;
    }
    const int perChannel = shine_samples_per_pass(encoder);
    const std::size_t channels = mono ? 1 : 2;
    // Largest frame: 1152 or 576 samples at the bitrate, plus the padding byte.
    const uint32_t frameBytes = static_cast<uint32_t>(perChannel / 8 * bitrate * 1000 / rate) + 1;
    stream.reset(new (std::nothrow) ShineStream(
        encoder, static_cast<std::size_t>(perChannel) * channels, FRAMES_PER_BUFFER * frameBytes));
    if (!stream) {
        shine_close(encoder);
        return BE_ERR_NO_MORE_HANDLES;
    }
    return BE_ERR_SUCCESSFUL;
}

BE_ERR ShineStream::Append(const unsigned char* data, int bytes, uint8_t* output,
                           uint32_t* produced) {
    if (bytes <= 0 || data == nullptr) {
        return BE_ERR_SUCCESSFUL;
    }
    if (static_cast<uint32_t>(bytes) > outputLimit - *produced) {
        return BE_ERR_BUFFER_TOO_SMALL;
    }
    std::memcpy(output + *produced, data, static_cast<std::size_t>(bytes));
    *produced += static_cast<uint32_t>(bytes);
    frames.Feed(data, static_cast<std::size_t>(bytes));
    // A stream decoders cannot follow must not pass for an MP3.
    return frames.IsLost() ? BE_ERR_INVALID_FORMAT_PARAMETERS : BE_ERR_SUCCESSFUL;
}

BE_ERR ShineStream::EncodePass(uint8_t* output, uint32_t* produced) {
    int written = 0;
    const unsigned char* data = shine_encode_buffer_interleaved(encoder, pass.data(), &written);
    filled = 0;
    return Append(data, written, output, produced);
}

BE_ERR ShineStream::Encode(const int16_t* samples, uint32_t count, uint8_t* output,
                           uint32_t* produced) {
    if (finished) {
        return BE_ERR_INVALID_HANDLE;
    }
    // More than one chunk could produce more than the caller's buffer holds.
    if (count > pass.size()) {
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    while (count > 0) {
        const std::size_t take = std::min<std::size_t>(count, pass.size() - filled);
        std::copy_n(samples, take, pass.begin() + static_cast<std::ptrdiff_t>(filled));
        filled += take;
        samples += take;
        count -= static_cast<uint32_t>(take);
        if (filled == pass.size()) {
            if (const BE_ERR result = EncodePass(output, produced); result != BE_ERR_SUCCESSFUL) {
                return result;
            }
        }
    }
    return BE_ERR_SUCCESSFUL;
}

BE_ERR ShineStream::Finish(uint8_t* output, uint32_t* produced) {
    if (finished) {
        return BE_ERR_INVALID_HANDLE;
    }
    finished = true;
    if (filled > 0) {
        std::fill(pass.begin() + static_cast<std::ptrdiff_t>(filled), pass.end(), 0);
        if (const BE_ERR result = EncodePass(output, produced); result != BE_ERR_SUCCESSFUL) {
            return result;
        }
    }
    // shine_flush emits only what is already coded; the filter bank still holds
    // the last samples, and a pass of silence pushes them out.
    std::fill(pass.begin(), pass.end(), 0);
    if (const BE_ERR result = EncodePass(output, produced); result != BE_ERR_SUCCESSFUL) {
        return result;
    }
    int written = 0;
    const unsigned char* data = shine_flush(encoder, &written);
    if (const BE_ERR result = Append(data, written, output, produced);
        result != BE_ERR_SUCCESSFUL) {
        return result;
    }
    // Complete the last frame to the length its header announces; the zeros
    // fall in the frame's ancillary data, which decoders skip.
    const std::vector<unsigned char> fill(frames.MissingBytes(), 0);
    return Append(fill.data(), static_cast<int>(fill.size()), output, produced);
}

void ShineStream::EngineVersion(uint8_t& major, uint8_t& minor) {
    major = SHINE_VERSION_MAJOR;
    minor = SHINE_VERSION_MINOR;
}
