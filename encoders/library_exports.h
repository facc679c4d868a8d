#pragma once

#include "encoders/be_interface.h"
#include "encoders/stream_table.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <new>

// The five entry points, the same for every library; a library supplies the
// Stream type that does the encoding:
//   static BE_ERR Open(const BE_CONFIG&, std::unique_ptr<Stream>&);
//   uint32_t SamplesPerChunk() const;  uint32_t OutputBufferBytes() const;
//   BE_ERR Encode(const int16_t*, uint32_t, uint8_t*, uint32_t*);
//   BE_ERR Finish(uint8_t*, uint32_t*);
// Nothing may throw across the C boundary, so every call is fenced here.
template <typename Stream> class LibraryExports {
public:
    static BE_ERR InitStream(PBE_CONFIG config, uint32_t* samplesPerChunk,
                             uint32_t* outputBufferBytes, HBE_STREAM* stream) {
        if (config == nullptr ||
            (config->dwConfig != BE_CONFIG_MP3 && config->dwConfig != BE_CONFIG_LAME)) {
            return BE_ERR_INVALID_FORMAT;
        }
        if (samplesPerChunk == nullptr || outputBufferBytes == nullptr || stream == nullptr) {
            return BE_ERR_INVALID_FORMAT_PARAMETERS;
        }
        try {
            auto entry = std::make_shared<Entry>();
            const BE_ERR result = Stream::Open(*config, entry->stream);
            if (result != BE_ERR_SUCCESSFUL) {
                return result;
            }
            const HBE_STREAM handle = Table().Add(entry);
            if (handle == 0) {
                return BE_ERR_NO_MORE_HANDLES;
            }
            *samplesPerChunk = entry->stream->SamplesPerChunk();
            *outputBufferBytes = entry->stream->OutputBufferBytes();
            *stream = handle;
            return BE_ERR_SUCCESSFUL;
        } catch (...) {
            return BE_ERR_NO_MORE_HANDLES;
        }
    }

    static BE_ERR EncodeChunk(HBE_STREAM stream, uint32_t sampleCount, const int16_t* samples,
                              uint8_t* output, uint32_t* outputBytes) {
        const auto entry = Table().Find(stream);
        if (!entry) {
            return BE_ERR_INVALID_HANDLE;
        }
        if (outputBytes == nullptr || output == nullptr ||
            (samples == nullptr && sampleCount > 0)) {
            return BE_ERR_INVALID_FORMAT_PARAMETERS;
        }
        *outputBytes = 0;
        try {
            std::lock_guard lock(entry->mutex);
            return entry->stream->Encode(samples, sampleCount, output, outputBytes);
        } catch (...) {
            return BE_ERR_BUFFER_TOO_SMALL;
        }
    }

    static BE_ERR DeinitStream(HBE_STREAM stream, uint8_t* output, uint32_t* outputBytes) {
        const auto entry = Table().Find(stream);
        if (!entry) {
            return BE_ERR_INVALID_HANDLE;
        }
        if (outputBytes == nullptr || output == nullptr) {
            return BE_ERR_INVALID_FORMAT_PARAMETERS;
        }
        *outputBytes = 0;
        try {
            std::lock_guard lock(entry->mutex);
            return entry->stream->Finish(output, outputBytes);
        } catch (...) {
            return BE_ERR_BUFFER_TOO_SMALL;
        }
    }

    static BE_ERR WriteInfoTag(HBE_STREAM stream, const char* fileName) {
        const auto entry = Table().Find(stream);
        if (!entry) {
            return BE_ERR_INVALID_HANDLE;
        }
        if (fileName == nullptr) {
            return BE_ERR_INVALID_FORMAT_PARAMETERS;
        }
        try {
            std::lock_guard lock(entry->mutex);
            return entry->stream->WriteInfoTag(fileName);
        } catch (...) {
            return BE_ERR_INVALID_FORMAT_PARAMETERS;
        }
    }

    static BE_ERR CloseStream(HBE_STREAM stream) {
        return Table().Remove(stream) ? BE_ERR_SUCCESSFUL : BE_ERR_INVALID_HANDLE;
    }

    static void FillVersion(PBE_VERSION version, uint8_t engineMajor, uint8_t engineMinor,
                            const char* homepage) {
        if (version == nullptr) {
            return;
        }
        std::memset(version, 0, sizeof(*version));
        version->byDllMajorVersion = 1;
        version->byDllMinorVersion = 0;
        version->byMajorVersion = engineMajor;
        version->byMinorVersion = engineMinor;
        version->byDay = 6;
        version->byMonth = 12;
        version->wYear = 2026;
        std::strncpy(version->zHomepage, homepage != nullptr ? homepage : "", BE_HOMEPAGE_CHARS);
    }

private:
    struct Entry {
        std::mutex mutex;
        std::unique_ptr<Stream> stream;
    };

    static StreamTable<Entry>& Table() {
        static StreamTable<Entry> table;
        return table;
    }
};

// Defines the five C entry points of a library over LibraryExports<Stream>;
// `homepage` is an expression giving the engine's home page text.
#define CORVANE_DEFINE_ENCODER_EXPORTS(Stream, homepage)                                           \
    extern "C" {                                                                                   \
    BE_ERR beInitStream(PBE_CONFIG config, uint32_t* samplesPerChunk, uint32_t* outputBufferBytes, \
                        HBE_STREAM* stream) {                                                      \
        return LibraryExports<Stream>::InitStream(config, samplesPerChunk, outputBufferBytes,      \
                                                  stream);                                         \
    }                                                                                              \
    BE_ERR beEncodeChunk(HBE_STREAM stream, uint32_t sampleCount, const int16_t* samples,          \
                         uint8_t* output, uint32_t* outputBytes) {                                 \
        return LibraryExports<Stream>::EncodeChunk(stream, sampleCount, samples, output,           \
                                                   outputBytes);                                   \
    }                                                                                              \
    BE_ERR beDeinitStream(HBE_STREAM stream, uint8_t* output, uint32_t* outputBytes) {             \
        return LibraryExports<Stream>::DeinitStream(stream, output, outputBytes);                  \
    }                                                                                              \
    BE_ERR beCloseStream(HBE_STREAM stream) {                                                      \
        return LibraryExports<Stream>::CloseStream(stream);                                        \
    }                                                                                              \
    void beVersion(PBE_VERSION version) {                                                          \
        uint8_t major = 0;                                                                         \
        uint8_t minor = 0;                                                                         \
        Stream::EngineVersion(major, minor);                                                       \
        LibraryExports<Stream>::FillVersion(version, major, minor, (homepage));                    \
    }                                                                                              \
    }

// The sixth entry point, for a library whose Stream reserves the Info frame:
//   BE_ERR WriteInfoTag(const char* fileName);
#define CORVANE_DEFINE_INFO_TAG_EXPORT(Stream)                                                     \
    extern "C" BE_ERR beWriteInfoTag(HBE_STREAM stream, const char* fileName) {                    \
        return LibraryExports<Stream>::WriteInfoTag(stream, fileName);                             \
    }
