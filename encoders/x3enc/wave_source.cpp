#include "encoders/x3enc/wave_source.h"

#include <array>
#include <cstring>

namespace {

constexpr uint16_t FORMAT_PCM = 1;
constexpr uint16_t FORMAT_FLOAT = 3;
constexpr uint16_t FORMAT_EXTENSIBLE = 0xFFFE;
constexpr uint16_t MAX_CHANNELS = 16;
// The rates the program itself accepts; the encoder resamples to an MPEG one.
constexpr uint32_t MIN_RATE = 1000;
constexpr uint32_t MAX_RATE = 768000;
constexpr uint32_t SIZE_IN_DS64 = 0xFFFFFFFF;
constexpr std::size_t DS64_BYTES = 28; // riff size, data size, sample count, table length
constexpr std::size_t MASK_OFFSET = 20;
constexpr std::size_t PCM_FORMAT_BYTES = 16;
constexpr std::size_t EXTENSIBLE_FORMAT_BYTES = 40;
constexpr std::size_t SUBFORMAT_OFFSET = 24;
// The tail every PCM subformat shares after its two-byte format tag.
constexpr std::array<uint8_t, 14> PCM_SUBFORMAT_TAIL{0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                     0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t U16(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

uint32_t U32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

uint64_t U64(const uint8_t* bytes) {
    return static_cast<uint64_t>(U32(bytes)) | static_cast<uint64_t>(U32(bytes + 4)) << 32;
}

bool ReadAt(std::FILE* file, uint64_t offset, uint8_t* buffer, std::size_t bytes) {
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0 &&
           std::fread(buffer, 1, bytes, file) == bytes;
}

std::string ChunkName(const uint8_t* id) {
    std::string name;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>(id[i]);
        name += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return name;
}

std::string CheckFormat(const uint8_t* fmt, std::size_t size, WaveSource& source) {
    uint16_t tag = U16(fmt);
    if (tag == FORMAT_EXTENSIBLE && size >= EXTENSIBLE_FORMAT_BYTES &&
        std::memcmp(fmt + SUBFORMAT_OFFSET + 2, PCM_SUBFORMAT_TAIL.data(),
                    PCM_SUBFORMAT_TAIL.size()) == 0) {
        tag = U16(fmt + SUBFORMAT_OFFSET);
        source.channelMask = U32(fmt + MASK_OFFSET);
    }
    if (tag != FORMAT_PCM && tag != FORMAT_FLOAT) {
        return "the audio is not uncompressed PCM (format " + std::to_string(U16(fmt)) + ")";
    }
    source.isFloat = tag == FORMAT_FLOAT;
    source.channels = U16(fmt + 2);
    source.sampleRate = U32(fmt + 4);
    source.blockAlign = U16(fmt + 12);
    source.bitsPerSample = U16(fmt + 14);
    if (source.channels < 1 || source.channels > MAX_CHANNELS) {
        return std::to_string(source.channels) + " channels cannot be encoded";
    }
    const uint16_t bits = source.bitsPerSample;
    const bool supported = source.isFloat ? (bits == 32 || bits == 64)
                                          : (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    if (!supported) {
        return std::to_string(bits) + "-bit " + (source.isFloat ? "float" : "integer") +
               " samples are not supported";
    }
    if (source.blockAlign != source.channels * bits / 8) {
        return "the block alignment " + std::to_string(source.blockAlign) +
               " does not match the channels and sample size";
    }
    if (source.sampleRate < MIN_RATE || source.sampleRate > MAX_RATE) {
        return "the sample rate " + std::to_string(source.sampleRate) + " Hz is not supported";
    }
    return {};
}

} // namespace

std::string ReadWaveSource(std::FILE* file, WaveSource& source) {
    source = WaveSource{};
    if (fseeko(file, 0, SEEK_END) != 0) {
        return "the file cannot be read";
    }
    const off_t end = ftello(file);
    if (end < 0) {
        return "the file cannot be read";
    }
    const uint64_t fileSize = static_cast<uint64_t>(end);

    uint8_t header[12];
    if (fileSize < sizeof(header) || !ReadAt(file, 0, header, sizeof(header)) ||
        (std::memcmp(header, "RIFF", 4) != 0 && std::memcmp(header, "RF64", 4) != 0 &&
         std::memcmp(header, "BW64", 4) != 0) ||
        std::memcmp(header + 8, "WAVE", 4) != 0) {
        return "not a RIFF WAVE file";
    }
    uint64_t formEnd = 8 + static_cast<uint64_t>(U32(header + 4));
    // A 64-bit form starts with `ds64`: the sizes its 32-bit fields cannot hold.
    uint64_t ds64DataSize = 0;
    bool haveDs64 = false;
    if (std::memcmp(header, "RIFF", 4) != 0) {
        uint8_t ds64[8 + DS64_BYTES];
        if (!ReadAt(file, sizeof(header), ds64, sizeof(ds64)) ||
            std::memcmp(ds64, "ds64", 4) != 0 || U32(ds64 + 4) < DS64_BYTES) {
            return "the 64-bit WAVE file has no ds64 chunk";
        }
        if (U32(header + 4) == SIZE_IN_DS64) {
            formEnd = 8 + U64(ds64 + 8);
        }
        ds64DataSize = U64(ds64 + 16);
        haveDs64 = true;
    }
    const uint64_t walkEnd = formEnd < fileSize ? formEnd : fileSize;

    bool haveFormat = false;
    bool haveData = false;
    uint64_t position = sizeof(header);
    while (position + 8 <= walkEnd) {
        uint8_t chunk[8];
        if (!ReadAt(file, position, chunk, sizeof(chunk))) {
            return "the file cannot be read";
        }
        uint64_t size = U32(chunk + 4);
        if (haveDs64 && size == SIZE_IN_DS64 && std::memcmp(chunk, "data", 4) == 0) {
            size = ds64DataSize;
        }
        const uint64_t payload = position + 8;
        const uint64_t chunkEnd = payload + size;
        // A 64-bit size no file has would wrap around the sums.
        if (size > (UINT64_MAX >> 1) || chunkEnd > formEnd) {
            return "chunk '" + ChunkName(chunk) + "' runs past the end of the RIFF form";
        }
        if (std::memcmp(chunk, "fmt ", 4) == 0 && !haveFormat) {
            if (size < PCM_FORMAT_BYTES) {
                return "the format chunk is too short";
            }
            uint8_t fmt[EXTENSIBLE_FORMAT_BYTES] = {};
            const std::size_t wanted = size < sizeof(fmt) ? size : sizeof(fmt);
            if (chunkEnd > fileSize || !ReadAt(file, payload, fmt, wanted)) {
                return "the format chunk is cut short";
            }
            if (std::string problem = CheckFormat(fmt, wanted, source); !problem.empty()) {
                return problem;
            }
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0 && !haveData && size > 0) {
            if (chunkEnd > fileSize) {
                return "the sample data is cut short (the file is truncated)";
            }
            source.dataOffset = payload;
            source.dataBytes = size;
            haveData = true;
        }
        position = chunkEnd + (size & 1);
    }
    if (!haveFormat) {
        return "the file has no format chunk";
    }
    if (!haveData) {
        return "the file has no sample data";
    }
    source.dataBytes -= source.dataBytes % source.blockAlign;
    if (source.dataBytes == 0) {
        return "the file has no complete sample frame";
    }
    return {};
}
