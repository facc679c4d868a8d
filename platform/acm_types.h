#pragma once

#include "platform/acm_waveformat.h"
#include "platform/fourcc.h"

#include <cstdint>
#include <functional>
#include <string>

// Results, flags and records of the compression manager, with the numbers the
// callers already know.
using MMRESULT = std::uint32_t;

inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMSYSERR_NOMEM = 7;
inline constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
inline constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT ACMERR_NOTPOSSIBLE = 512;
inline constexpr MMRESULT ACMERR_BUSY = 513;
inline constexpr MMRESULT ACMERR_UNPREPARED = 514;

// A driver identifier names an installed driver; it stays unique for the
// process's life (a removed driver's number is never given out again).
using HACMDRIVERID = std::uint32_t;
// Open driver instances and streams; the zero value is "no handle".
enum class HACMDRIVER : std::uint32_t {};
enum class HACMSTREAM : std::uint32_t {};

inline constexpr std::uint32_t ACMDRIVERDETAILS_FCCTYPE_AUDIOCODEC = MakeFourCC('a', 'u', 'd', 'c');
inline constexpr std::uint32_t ACMDRIVERDETAILS_SUPPORTF_CODEC = 0x00000001;
inline constexpr std::uint32_t ACMDRIVERDETAILS_SUPPORTF_CONVERTER = 0x00000002;
inline constexpr std::uint32_t ACMDRIVERDETAILS_SUPPORTF_FILTER = 0x00000004;

// Text limits, counted without the terminator of the fixed-size originals.
inline constexpr std::size_t ACMDRIVERDETAILS_SHORTNAME_CHARS = 31;
inline constexpr std::size_t ACMDRIVERDETAILS_LONGNAME_CHARS = 127;
inline constexpr std::size_t ACMDRIVERDETAILS_COPYRIGHT_CHARS = 79;
inline constexpr std::size_t ACMDRIVERDETAILS_LICENSING_CHARS = 127;
inline constexpr std::size_t ACMDRIVERDETAILS_FEATURES_CHARS = 511;
inline constexpr std::size_t ACMFORMATDETAILS_FORMAT_CHARS = 127;

struct ACMDRIVERDETAILS {
    std::uint32_t fccType = 0;
    std::uint32_t fccComp = 0;
    std::uint16_t wMid = 0;
    std::uint16_t wPid = 0;
    std::uint32_t vdwACM = 0;
    std::uint32_t vdwDriver = 0;
    std::uint32_t fdwSupport = 0;
    std::uint32_t cFormatTags = 0;
    std::uint32_t cFilterTags = 0;
    std::string szShortName;
    std::string szLongName;
    std::string szCopyright;
    std::string szLicensing;
    std::string szFeatures;
};

inline constexpr std::uint32_t ACM_METRIC_COUNT_DRIVERS = 1;
inline constexpr std::uint32_t ACM_METRIC_MAX_SIZE_FORMAT = 50;

inline constexpr std::uint32_t ACM_FORMATENUMF_WFORMATTAG = 0x00010000;
inline constexpr std::uint32_t ACM_FORMATENUMF_NCHANNELS = 0x00020000;
inline constexpr std::uint32_t ACM_FORMATENUMF_NSAMPLESPERSEC = 0x00040000;
inline constexpr std::uint32_t ACM_FORMATENUMF_WBITSPERSAMPLE = 0x00080000;
inline constexpr std::uint32_t ACM_FORMATENUMF_CONVERT = 0x00100000;

// In: cbwfx is the caller's format buffer size, pwfx the source format when
// enumerating with ACM_FORMATENUMF_CONVERT, dwFormatTag the tag asked for
// with ACM_FORMATENUMF_WFORMATTAG. Each callback sees the found format in pwfx.
struct ACMFORMATDETAILS {
    std::uint32_t dwFormatIndex = 0;
    std::uint32_t dwFormatTag = 0;
    std::uint32_t fdwSupport = 0;
    WAVEFORMATEX pwfx;
    std::uint32_t cbwfx = 0;
    std::string szFormat;
};

// Return false to stop the enumeration.
using ACMDRIVERENUMCB =
    std::function<bool(HACMDRIVERID, std::uintptr_t instance, std::uint32_t support)>;
using ACMFORMATENUMCB = std::function<bool(HACMDRIVERID, ACMFORMATDETAILS& details,
                                           std::uintptr_t instance, std::uint32_t support)>;

inline constexpr std::uint32_t ACM_STREAMOPENF_QUERY = 0x00000001;
inline constexpr std::uint32_t ACM_STREAMOPENF_ASYNC = 0x00000002;
inline constexpr std::uint32_t ACM_STREAMOPENF_NONREALTIME = 0x00000004;

inline constexpr std::uint32_t ACM_STREAMSIZEF_SOURCE = 0x00000000;
inline constexpr std::uint32_t ACM_STREAMSIZEF_DESTINATION = 0x00000001;

inline constexpr std::uint32_t ACM_STREAMCONVERTF_BLOCKALIGN = 0x00000004;
inline constexpr std::uint32_t ACM_STREAMCONVERTF_START = 0x00000010;
inline constexpr std::uint32_t ACM_STREAMCONVERTF_END = 0x00000020;

inline constexpr std::uint32_t ACMSTREAMHEADER_STATUSF_DONE = 0x00010000;
inline constexpr std::uint32_t ACMSTREAMHEADER_STATUSF_PREPARED = 0x00020000;

// The structure size callers put into cbStruct, as on the platforms that
// defined the call.
inline constexpr std::uint32_t ACMSTREAMHEADER_SIZE = 84;

struct ACMSTREAMHEADER {
    std::uint32_t cbStruct = 0;
    std::uint32_t fdwStatus = 0;
    std::uintptr_t dwUser = 0;
    std::uint8_t* pbSrc = nullptr;
    std::uint32_t cbSrcLength = 0;
    std::uint32_t cbSrcLengthUsed = 0;
    std::uintptr_t dwSrcUser = 0;
    std::uint8_t* pbDst = nullptr;
    std::uint32_t cbDstLength = 0;
    std::uint32_t cbDstLengthUsed = 0;
    std::uintptr_t dwDstUser = 0;
};
