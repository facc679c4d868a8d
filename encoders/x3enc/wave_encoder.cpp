#include "encoders/x3enc/wave_encoder.h"

#include "encoders/mpeg_tables.h"

#include <lame/lame.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr std::size_t FRAMES_PER_BLOCK = 4096;

struct LameCloser {
    void operator()(lame_global_flags* flags) const { lame_close(flags); }
};
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Little-endian PCM of any supported width to floats in [-1, 1).
void ToFloat(const uint8_t* in, std::size_t samples, uint16_t bits, float* out) {
    for (std::size_t i = 0; i < samples; ++i) {
        switch (bits) {
        case 8:
            out[i] = (static_cast<int>(in[i]) - 128) / 128.0f;
            break;
        case 16:
            out[i] = static_cast<int16_t>(in[2 * i] | in[2 * i + 1] << 8) / 32768.0f;
            break;
        case 24: {
            const uint8_t* p = in + 3 * i;
            const int32_t value = static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 8 |
                                                       static_cast<uint32_t>(p[1]) << 16 |
                                                       static_cast<uint32_t>(p[2]) << 24) >>
                                  8;
            out[i] = static_cast<float>(value / 8388608.0);
            break;
        }
        default: {
            const uint8_t* p = in + 4 * i;
            const int32_t value = static_cast<int32_t>(
                static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
            out[i] = static_cast<float>(value / 2147483648.0);
            break;
        }
        }
    }
}

// Quiet unless asked: libmp3lame's own notes would go to the terminal.
void Quiet(const char*, va_list) {}

std::string SystemError(const char* what, const std::string& path) {
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

class Encoder {
public:
    Encoder(std::FILE* source, const WaveSource& wave, std::FILE* output)
        : source(source), wave(wave), output(output) {}

    EncodeResult Run(unsigned long bitsPerSecond, const volatile std::sig_atomic_t& stop,
                     const std::string& destination, std::string& error);

private:
    bool Write(const unsigned char* bytes, int count, const std::string& destination,
               std::string& error);

    std::FILE* source;
    const WaveSource& wave;
    std::FILE* output;
};

bool Encoder::Write(const unsigned char* bytes, int count, const std::string& destination,
                    std::string& error) {
    if (count > 0 && std::fwrite(bytes, 1, static_cast<std::size_t>(count), output) !=
                         static_cast<std::size_t>(count)) {
        error = SystemError("cannot write", destination);
        return false;
    }
    return true;
}

EncodeResult Encoder::Run(unsigned long bitsPerSecond, const volatile std::sig_atomic_t& stop,
                          const std::string& destination, std::string& error) {
    std::unique_ptr<lame_global_flags, LameCloser> lame(lame_init());
    if (!lame) {
        error = "out of memory";
        return EncodeResult::Failed;
    }
    lame_set_errorf(lame.get(), Quiet);
    lame_set_debugf(lame.get(), Quiet);
    lame_set_msgf(lame.get(), Quiet);
    lame_set_in_samplerate(lame.get(), static_cast<int>(wave.sampleRate));
    // Keep the source's rate wherever the bitrate allows it; left alone,
    // libmp3lame drops to a lower rate at low bitrates.
    if (mpeg::IsValidCombination(wave.sampleRate, static_cast<uint32_t>(bitsPerSecond / 1000))) {
        lame_set_out_samplerate(lame.get(), static_cast<int>(wave.sampleRate));
    }
    lame_set_num_channels(lame.get(), wave.channels);
    lame_set_mode(lame.get(), wave.channels == 1 ? MONO : JOINT_STEREO);
    lame_set_VBR(lame.get(), vbr_off);
    lame_set_brate(lame.get(), static_cast<int>(bitsPerSecond / 1000));
    lame_set_bWriteVbrTag(lame.get(), 1);
    if (lame_init_params(lame.get()) < 0) {
        error = "the encoder does not accept " + std::to_string(wave.sampleRate) + " Hz at " +
                std::to_string(bitsPerSecond) + " bit/s";
        return EncodeResult::Failed;
    }

    const std::size_t bytesPerSample = wave.bitsPerSample / 8;
    std::vector<uint8_t> raw(FRAMES_PER_BLOCK * wave.blockAlign);
    std::vector<float> pcm(FRAMES_PER_BLOCK * wave.channels);
    std::vector<unsigned char> mp3(FRAMES_PER_BLOCK * 5 / 4 + 7200);
    const int mp3Size = static_cast<int>(mp3.size());

    if (fseeko(source, static_cast<off_t>(wave.dataOffset), SEEK_SET) != 0) {
        error = "cannot seek to the sample data";
        return EncodeResult::Failed;
    }
    uint64_t left = wave.dataBytes;
    while (left > 0) {
        if (stop != 0) {
            return EncodeResult::Stopped;
        }
        const std::size_t bytes = left < raw.size() ? static_cast<std::size_t>(left) : raw.size();
        if (std::fread(raw.data(), 1, bytes, source) != bytes) {
            error = "the sample data cannot be read";
            return EncodeResult::Failed;
        }
        left -= bytes;
        const std::size_t samples = bytes / bytesPerSample;
        const int frames = static_cast<int>(samples / wave.channels);
        ToFloat(raw.data(), samples, wave.bitsPerSample, pcm.data());
        const int produced = wave.channels == 1
                                 ? lame_encode_buffer_ieee_float(lame.get(), pcm.data(), pcm.data(),
                                                                 frames, mp3.data(), mp3Size)
                                 : lame_encode_buffer_interleaved_ieee_float(
                                       lame.get(), pcm.data(), frames, mp3.data(), mp3Size);
        if (produced < 0) {
            error = "the encoder failed (" + std::to_string(produced) + ")";
            return EncodeResult::Failed;
        }
        if (!Write(mp3.data(), produced, destination, error)) {
            return EncodeResult::Failed;
        }
    }
    if (stop != 0) {
        return EncodeResult::Stopped;
    }
    const int produced = lame_encode_flush(lame.get(), mp3.data(), mp3Size);
    if (produced < 0) {
        error = "the encoder failed to finish (" + std::to_string(produced) + ")";
        return EncodeResult::Failed;
    }
    if (!Write(mp3.data(), produced, destination, error)) {
        return EncodeResult::Failed;
    }
    // The info tag in the first frame tells players the exact length. Only a
    // seekable destination can take it; elsewhere that frame stays blank.
    const std::size_t tagBytes = lame_get_lametag_frame(lame.get(), mp3.data(), mp3.size());
    if (tagBytes > 0 && tagBytes <= mp3.size() && fseeko(output, 0, SEEK_SET) == 0) {
        if (!Write(mp3.data(), static_cast<int>(tagBytes), destination, error)) {
            return EncodeResult::Failed;
        }
    }
    return EncodeResult::Done;
}

} // namespace

EncodeResult EncodeWave(std::FILE* source, const WaveSource& wave, const std::string& destination,
                        unsigned long bitsPerSecond, const volatile std::sig_atomic_t& stop,
                        std::string& error) {
    std::unique_ptr<std::FILE, FileCloser> output(std::fopen(destination.c_str(), "wb"));
    if (!output) {
        error = SystemError("cannot create", destination);
        return EncodeResult::Failed;
    }
    EncodeResult result =
        Encoder(source, wave, output.get()).Run(bitsPerSecond, stop, destination, error);
    // A signal can cut a read or write short; that is a stop, not a fault.
    if (result == EncodeResult::Failed && stop != 0) {
        result = EncodeResult::Stopped;
    }
    // Closing flushes the last bytes; a full disk may only show here.
    if (std::fclose(output.release()) != 0 && result == EncodeResult::Done) {
        error = SystemError("cannot write", destination);
        result = EncodeResult::Failed;
    }
    if (result != EncodeResult::Done) {
        std::remove(destination.c_str());
    }
    return result;
}
