#pragma once

// The public five-function interface of the encoder libraries (libBladeEnc,
// liblame_enc). Shared by the libraries and by the program that loads them, so
// every record is byte-packed and every field has a fixed width.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t BE_ERR;
// Opaque, pointer-sized; only the library that issued it can interpret it.
typedef uintptr_t HBE_STREAM;

#define BE_CONFIG_MP3 0
// The richer form: mode, VBR and the Info frame (BE_LAME_CONFIG).
#define BE_CONFIG_LAME 256

#define BE_MP3_MODE_STEREO 0
#define BE_MP3_MODE_JSTEREO 1
#define BE_MP3_MODE_DUALCHANNEL 2
#define BE_MP3_MODE_MONO 3

#define BE_ERR_SUCCESSFUL 0
#define BE_ERR_INVALID_FORMAT 1
#define BE_ERR_INVALID_FORMAT_PARAMETERS 2
#define BE_ERR_NO_MORE_HANDLES 3
#define BE_ERR_INVALID_HANDLE 4
#define BE_ERR_BUFFER_TOO_SMALL 5

#define BE_LAME_STRUCT_VERSION 1
#define LQP_NOPRESET (-1)
// VBR methods of BE_LAME_CONFIG; "new" is the one LAME's own -V uses.
#define VBR_METHOD_NONE (-1)
#define VBR_METHOD_DEFAULT 0
#define VBR_METHOD_OLD 1
#define VBR_METHOD_NEW 2
#define VBR_METHOD_MTRH 3
#define VBR_METHOD_ABR 4

// Room for richer configurations without changing the record's size.
#define BE_CONFIG_FORMAT_BYTES 256
#define BE_HOMEPAGE_CHARS 128
#define BE_VERSION_RESERVED_BYTES 128

#pragma pack(push, 1)

typedef struct {
    uint32_t dwSampleRate; // Hz
    uint8_t byMode;        // BE_MP3_MODE_*
    uint16_t wBitrate;     // kbit/s
    uint32_t bPrivate;
    uint32_t bCRC;
    uint32_t bCopyright;
    uint32_t bOriginal;
} BE_MP3_CONFIG;

// BE_CONFIG_LAME. A library takes the fields it knows and refuses settings it
// cannot honour (code 2).
typedef struct {
    uint32_t dwStructVersion; // BE_LAME_STRUCT_VERSION
    uint32_t dwStructSize;    // sizeof(BE_CONFIG)
    uint32_t dwSampleRate;    // Hz, of the samples given
    uint32_t dwReSampleRate;  // Hz of the stream; 0: the same
    int32_t nMode;            // BE_MP3_MODE_*
    uint32_t dwBitrate;       // kbit/s, constant bitrate
    uint32_t dwMaxBitrate;    // kbit/s; 0: the format's highest
    int32_t nPreset;          // LQP_NOPRESET
    uint32_t dwMpegVersion;   // 0: follows from the rate
    uint32_t dwPsyModel;
    uint32_t dwEmphasis;
    uint32_t bPrivate;
    uint32_t bCRC;
    uint32_t bCopyright;
    uint32_t bOriginal;
    // Reserve the first frame for the Info (LAME) frame: the encoder delay,
    // padding, frame and byte counts and the seek table, which
    // beWriteInfoTag writes once the stream is finished.
    uint32_t bWriteVBRHeader;
    uint32_t bEnableVBR;
    int32_t nVBRQuality; // 0 (best) to 9
    uint32_t dwVbrAbr_bps;
    int32_t nVbrMethod; // VBR_METHOD_*
    uint32_t bNoRes;
    uint32_t bStrictIso;
    uint16_t nQuality; // 0: the library's default
} BE_LAME_CONFIG;

typedef struct {
    uint32_t dwConfig; // BE_CONFIG_MP3 or BE_CONFIG_LAME
    union {
        BE_MP3_CONFIG mp3;
        BE_LAME_CONFIG lhv1;
        uint8_t reserved[BE_CONFIG_FORMAT_BYTES];
    } format;
} BE_CONFIG, *PBE_CONFIG;

typedef struct {
    uint8_t byDllMajorVersion; // the library's own version
    uint8_t byDllMinorVersion;
    uint8_t byMajorVersion; // the encoder engine's version
    uint8_t byMinorVersion;
    uint8_t byDay; // release date of the library
    uint8_t byMonth;
    uint16_t wYear;
    char zHomepage[BE_HOMEPAGE_CHARS + 1]; // NUL-terminated
    uint8_t byReserved[BE_VERSION_RESERVED_BYTES];
} BE_VERSION, *PBE_VERSION;

#pragma pack(pop)

// Samples are interleaved 16-bit values; every count of samples counts the
// samples of all channels together. A chunk may hold any number of samples up
// to the samples per chunk that beInitStream reports (more: code 2); its output
// never exceeds the output buffer size reported there. After beDeinitStream a
// stream takes no more samples (code 4) but must still be closed.
typedef BE_ERR (*BeInitStreamFunc)(PBE_CONFIG config, uint32_t* samplesPerChunk,
                                   uint32_t* outputBufferBytes, HBE_STREAM* stream);
typedef BE_ERR (*BeEncodeChunkFunc)(HBE_STREAM stream, uint32_t sampleCount, const int16_t* samples,
                                    uint8_t* output, uint32_t* outputBytes);
typedef BE_ERR (*BeDeinitStreamFunc)(HBE_STREAM stream, uint8_t* output, uint32_t* outputBytes);
typedef BE_ERR (*BeCloseStreamFunc)(HBE_STREAM stream);
typedef void (*BeVersionFunc)(PBE_VERSION version);
// Not one of the five: a library that reserves the Info frame exports it.
// Called after beDeinitStream and before beCloseStream, with the file the
// stream was written to from its start (an ID3v2 tag may have been put in
// front since); writes the frame over the one reserved. Code 2 for a stream
// that reserved none.
typedef BE_ERR (*BeWriteInfoTagFunc)(HBE_STREAM stream, const char* fileName);

#if defined(BE_EXPORTS)
#define BE_API __attribute__((visibility("default")))
#else
#define BE_API
#endif

BE_API BE_ERR beInitStream(PBE_CONFIG config, uint32_t* samplesPerChunk,
                           uint32_t* outputBufferBytes, HBE_STREAM* stream);
BE_API BE_ERR beEncodeChunk(HBE_STREAM stream, uint32_t sampleCount, const int16_t* samples,
                            uint8_t* output, uint32_t* outputBytes);
BE_API BE_ERR beDeinitStream(HBE_STREAM stream, uint8_t* output, uint32_t* outputBytes);
BE_API BE_ERR beCloseStream(HBE_STREAM stream);
BE_API void beVersion(PBE_VERSION version);
BE_API BE_ERR beWriteInfoTag(HBE_STREAM stream, const char* fileName);

#ifdef __cplusplus
}

static_assert(sizeof(BE_MP3_CONFIG) == 23, "BE_MP3_CONFIG must stay packed");
static_assert(sizeof(BE_CONFIG) == 4 + BE_CONFIG_FORMAT_BYTES, "BE_CONFIG must stay packed");
static_assert(sizeof(BE_LAME_CONFIG) == 22 * 4 + 2, "BE_LAME_CONFIG must stay packed");
static_assert(sizeof(BE_VERSION) == 8 + BE_HOMEPAGE_CHARS + 1 + BE_VERSION_RESERVED_BYTES,
              "BE_VERSION must stay packed");
#endif
