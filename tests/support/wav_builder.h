#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Builds WAV files in memory for tests: well-formed PCM with generated audio as
// well as deliberately odd or broken layouts. Nothing is read from disk.
namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

enum class Signal { Tone, Silence, Noise };

struct PcmFormat {
    std::uint32_t sampleRate = 44100;
    std::uint16_t channels = 2;
    std::uint16_t bitsPerSample = 16;

    std::uint16_t BlockAlign() const {
        return static_cast<std::uint16_t>(channels * ((bitsPerSample + 7) / 8));
    }
    std::uint32_t ByteRate() const { return sampleRate * BlockAlign(); }
};

// Interleaved little-endian PCM samples; 8-bit data is unsigned as in WAV files.
Bytes MakePcm(const PcmFormat& format, std::uint32_t frames, Signal signal = Signal::Tone,
              double frequency = 440.0, std::uint32_t seed = 1);

// The 16 (or 18 with cbSize) bytes of a PCM format record.
Bytes PcmFormatRecord(const PcmFormat& format, bool withCbSize = false);

// A WAVEFORMATEX-style record with any tag and trailing extra bytes.
Bytes FormatRecord(std::uint16_t tag, std::uint16_t channels, std::uint32_t sampleRate,
                   std::uint32_t avgBytesPerSec, std::uint16_t blockAlign,
                   std::uint16_t bitsPerSample, const Bytes& extra = {});

// A WAVE file of a compressed format (tag not 1): `dataBytes` stream bytes of
// noise, with a `fact` chunk when `factFrames` is given. `extra` follows cbSize.
Bytes MakeCompressedWav(std::uint16_t tag, std::uint32_t dataBytes,
                        std::optional<std::uint32_t> factFrames, const Bytes& extra = {});

// One segment of a `plst` chunk.
struct PlaylistSegment {
    std::uint32_t cueId = 0;
    std::uint32_t length = 0;
    std::uint32_t loops = 1;
};

void PutU16(Bytes& out, std::uint16_t value);
void PutU32(Bytes& out, std::uint32_t value);
// One sample of `value` in [-1, 1]: integers fill whole bytes (8-bit unsigned),
// floats are 32 or 64 bits.
void PutSample(Bytes& out, double value, std::uint16_t bits, bool isFloat = false);

class WavBuilder {
public:
    // Any chunk; `declaredSize` overrides the size field (for chunks that lie
    // about their length). Odd payloads get their pad byte unless `pad` is false.
    WavBuilder& Chunk(const std::string& id, const Bytes& payload,
                      std::optional<std::uint32_t> declaredSize = std::nullopt, bool pad = true);
    WavBuilder& Fmt(const PcmFormat& format, bool withCbSize = false);
    WavBuilder& FmtRecord(const Bytes& record);
    WavBuilder& Fact(std::uint32_t frames);
    WavBuilder& Data(const Bytes& samples);
    // A LIST chunk of the given form type holding raw sub-data.
    WavBuilder& List(const std::string& type, const Bytes& body);
    // A `DISP` chunk: a clipboard format number followed by its data.
    WavBuilder& Disp(std::uint32_t clipboardType, const Bytes& data);
    // A `plst` chunk: the segment count followed by the segments.
    WavBuilder& Plst(const std::vector<PlaylistSegment>& segments);
    // Bytes appended as they are (a bare chunk header, junk between chunks).
    WavBuilder& Raw(const Bytes& bytes);

    // The RIFF size that Build writes by default (form type plus chunks).
    std::uint32_t FormSize() const { return static_cast<std::uint32_t>(4 + body.size()); }

    // The whole file; `riffSize` overrides the RIFF size field.
    Bytes Build(const std::string& formType = "WAVE",
                std::optional<std::uint32_t> riffSize = std::nullopt) const;

private:
    Bytes body;
};

// A complete, ordinary PCM WAV file.
Bytes MakePcmWav(const PcmFormat& format, std::uint32_t frames, Signal signal = Signal::Tone);

// The first `length` bytes of a file (all of it when shorter).
Bytes Truncated(const Bytes& file, std::size_t length);
// A copy with `changes` random alterations: random bytes, and boundary values
// (0, 1, 0x7FFFFFFF, 0xFFFFFFFF, nearby sizes) written over 32-bit words, with
// a bias towards the first 64 bytes where the headers are. Same seed, same result.
Bytes Corrupted(const Bytes& file, std::uint32_t seed, int changes);

bool WriteFile(const std::string& path, const Bytes& bytes);
// Silent CD-quality PCM of any length that takes no room on disk: the header,
// then the samples as a hole in a sparse file.
bool WriteSilentWav(const std::string& path, std::uint32_t seconds);
Bytes ReadFile(const std::string& path);

} // namespace testsupport
