#include "encoders/x3enc/wave_encoder.h"

#include "encoders/mpeg_tables.h"
#include "encoders/x3enc/sample_stage.h"

#include <lame/lame.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr std::size_t FRAMES_PER_BLOCK = 4096;
constexpr uint32_t VBR_RATE_CHOICE_KBPS = 64;

struct LameCloser {
    void operator()(lame_global_flags* flags) const { lame_close(flags); }
};
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Quiet unless asked: libmp3lame's own notes would go to the terminal.
void Quiet(const char*, va_list) {}

std::string SystemError(const char* what, const std::string& path) {
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

class Encoder {
public:
    Encoder(std::FILE* source, const WaveSource& wave, std::FILE* output)
        : source(source), wave(wave), output(output) {}

    EncodeResult Run(unsigned long bitsPerSecond, int vbrQuality,
                     const volatile std::sig_atomic_t& stop, const std::string& destination,
                     std::string& error);

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

EncodeResult Encoder::Run(unsigned long bitsPerSecond, int vbrQuality,
                          const volatile std::sig_atomic_t& stop, const std::string& destination,
                          std::string& error) {
    std::unique_ptr<lame_global_flags, LameCloser> lame(lame_init());
    if (!lame) {
        error = "out of memory";
        return EncodeResult::Failed;
    }
    lame_set_errorf(lame.get(), Quiet);
    lame_set_debugf(lame.get(), Quiet);
    lame_set_msgf(lame.get(), Quiet);
    // A VBR stream takes any bitrate of its rate; every MPEG rate takes 64.
    const bool vbr = vbrQuality >= 0;
    const auto kbps = vbr ? VBR_RATE_CHOICE_KBPS : static_cast<uint32_t>(bitsPerSecond / 1000);
    // A rate the bitrate does not go with is resampled to the nearest one
    // of its family; left alone, libmp3lame would pick a rate of its own.
    const uint32_t rate = mpeg::ChooseRate(wave.sampleRate, kbps);
    const uint16_t channels = wave.channels == 1 ? 1 : 2;
    SampleStage stage(wave, channels, rate);
    if (std::string problem = stage.Open(); !problem.empty()) {
        error = problem;
        return EncodeResult::Failed;
    }
    lame_set_in_samplerate(lame.get(), static_cast<int>(rate));
    if (mpeg::IsValidCombination(rate, kbps)) {
        lame_set_out_samplerate(lame.get(), static_cast<int>(rate));
    }
    lame_set_num_channels(lame.get(), channels);
    lame_set_mode(lame.get(), channels == 1 ? MONO : JOINT_STEREO);
    if (vbr) {
        lame_set_VBR(lame.get(), vbr_mtrh);
        lame_set_VBR_quality(lame.get(), float(vbrQuality));
    } else {
        lame_set_VBR(lame.get(), vbr_off);
        lame_set_brate(lame.get(), static_cast<int>(kbps));
    }
    lame_set_bWriteVbrTag(lame.get(), 1);
    if (lame_init_params(lame.get()) < 0) {
        error = "the encoder does not accept " + std::to_string(rate) + " Hz at " +
                std::to_string(bitsPerSecond) + " bit/s";
        return EncodeResult::Failed;
    }

    std::vector<uint8_t> raw(FRAMES_PER_BLOCK * wave.blockAlign);
    std::vector<float> pcm;
    std::vector<unsigned char> mp3(FRAMES_PER_BLOCK * 5 / 4 + 7200);
    const int mp3Size = static_cast<int>(mp3.size());
    // Hands the converted frames to the encoder a block at a time, so the
    // output buffer always suffices.
    auto encode = [&]() {
        for (std::size_t first = 0; first < pcm.size(); first += FRAMES_PER_BLOCK * channels) {
            const std::size_t samples = std::min(pcm.size() - first, FRAMES_PER_BLOCK * channels);
            const int frames = static_cast<int>(samples / channels);
            float* block = pcm.data() + first;
            const int produced =
                channels == 1 ? lame_encode_buffer_ieee_float(lame.get(), block, block, frames,
                                                              mp3.data(), mp3Size)
                              : lame_encode_buffer_interleaved_ieee_float(lame.get(), block, frames,
                                                                          mp3.data(), mp3Size);
            if (produced < 0) {
                error = "the encoder failed (" + std::to_string(produced) + ")";
                return false;
            }
            if (!Write(mp3.data(), produced, destination, error)) {
                return false;
            }
        }
        return true;
    };

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
        if (!stage.Convert(raw.data(), bytes / wave.blockAlign, pcm)) {
            error = "the samples cannot be converted";
            return EncodeResult::Failed;
        }
        if (!encode()) {
            return EncodeResult::Failed;
        }
    }
    do {
        if (!stage.Drain(pcm)) {
            error = "the samples cannot be converted";
            return EncodeResult::Failed;
        }
        if (!encode()) {
            return EncodeResult::Failed;
        }
    } while (!pcm.empty());
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
                        unsigned long bitsPerSecond, int vbrQuality,
                        const volatile std::sig_atomic_t& stop, std::string& error) {
    std::unique_ptr<std::FILE, FileCloser> output(std::fopen(destination.c_str(), "wb"));
    if (!output) {
        error = SystemError("cannot create", destination);
        return EncodeResult::Failed;
    }
    EncodeResult result = Encoder(source, wave, output.get())
                              .Run(bitsPerSecond, vbrQuality, stop, destination, error);
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
