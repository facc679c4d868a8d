#include "platform/acm_libav_driver.h"

#include "platform/acm_libav_stream.h"

#include <algorithm>
#include <array>

extern "C" {
#include <libavcodec/version.h>
}

namespace {

// Rates of MPEG-1 Layer III, whose frames hold 1152 samples.
constexpr std::array MP3_RATES = {32000u, 44100u, 48000u};
constexpr std::array MP3_KBITS = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
// Rates offered when a caller asks for everything a driver can produce.
constexpr std::array COMMON_RATES = {8000u, 11025u, 16000u, 22050u, 32000u, 44100u, 48000u};
constexpr std::uint32_t REFERENCE_RATE = 44100;

bool IsUsablePcm(const WAVEFORMATEX& format) {
    return format.IsPcm() && (format.wBitsPerSample == 8 || format.wBitsPerSample == 16) &&
           format.nChannels >= 1 && format.nChannels <= 2 && format.nSamplesPerSec > 0 &&
           format.nBlockAlign == format.nChannels * (format.wBitsPerSample / 8);
}

} // namespace

bool HasLibavEncoder(const char* name) {
    return avcodec_find_encoder_by_name(name) != nullptr;
}

LibavAcmDriver::LibavAcmDriver(const LibavCodecEntry& entry) : entry(entry) {}

ACMDRIVERDETAILS LibavAcmDriver::Details() const {
    ACMDRIVERDETAILS details;
    details.fccType = ACMDRIVERDETAILS_FCCTYPE_AUDIOCODEC;
    details.wMid = CORVANE_ACM_MANUFACTURER_ID;
    details.wPid = entry.productId;
    details.vdwACM = 0x03320000;
    details.vdwDriver = (LIBAVCODEC_VERSION_MAJOR << 24) | (LIBAVCODEC_VERSION_MINOR << 16) |
                        LIBAVCODEC_VERSION_MICRO;
    details.fdwSupport = ACMDRIVERDETAILS_SUPPORTF_CODEC;
    details.cFormatTags = 2; // PCM and the codec's own tag
    details.cFilterTags = 0;
    details.szShortName = entry.shortName;
    details.szLongName = entry.longName;
    details.szFeatures = std::string("Encodes 8- and 16-bit PCM with libavcodec's ") +
                         entry.encoderName + " encoder.";
    return details;
}

std::vector<WAVEFORMATEX> LibavAcmDriver::FormatsFor(std::uint32_t sampleRate, int channels) const {
    std::lock_guard lock(cacheMutex);
    const auto key = std::make_pair(sampleRate, channels);
    if (auto found = cache.find(key); found != cache.end()) {
        return found->second;
    }
    std::vector<WAVEFORMATEX> formats;
    auto addIfOpens = [&](std::int64_t bitRate) {
        CodecContextPtr context =
            OpenLibavEncoder(entry, channels, static_cast<int>(sampleRate), bitRate);
        if (context) {
            if (auto format = DescribeLibavFormat(entry, *context)) {
                formats.push_back(*format);
            }
        }
    };
    if (entry.kind == LibavCodecKind::Mp3) {
        if (std::find(MP3_RATES.begin(), MP3_RATES.end(), sampleRate) != MP3_RATES.end()) {
            for (int kbits : MP3_KBITS) {
                addIfOpens(kbits * 1000LL);
            }
        }
    } else {
        addIfOpens(0);
    }
    cache[key] = formats;
    return formats;
}

std::vector<WAVEFORMATEX> LibavAcmDriver::Formats(const WAVEFORMATEX* source) const {
    std::vector<WAVEFORMATEX> formats;
    auto append = [&formats](const std::vector<WAVEFORMATEX>& more) {
        formats.insert(formats.end(), more.begin(), more.end());
    };
    if (source == nullptr) {
        for (std::uint32_t rate : COMMON_RATES) {
            append(FormatsFor(rate, 1));
            append(FormatsFor(rate, 2));
        }
        return formats;
    }
    if (!IsUsablePcm(*source)) {
        return formats;
    }
    for (int channels = 1; channels <= source->nChannels; ++channels) {
        append(FormatsFor(source->nSamplesPerSec, channels));
    }
    return formats;
}

std::uint32_t LibavAcmDriver::MaxFormatSize() const {
    // Extra bytes do not depend on the rate for these codecs.
    std::uint32_t largest = WAVEFORMATEX_HEADER_SIZE;
    for (int channels = 1; channels <= 2; ++channels) {
        for (const WAVEFORMATEX& format : FormatsFor(REFERENCE_RATE, channels)) {
            largest = std::max(largest, format.RecordSize());
        }
    }
    return largest;
}

MMRESULT LibavAcmDriver::OpenStream(const WAVEFORMATEX& source, const WAVEFORMATEX& destination,
                                    std::unique_ptr<AcmCodecStream>& stream) {
    const std::vector<WAVEFORMATEX> offered = Formats(&source);
    if (std::find(offered.begin(), offered.end(), destination) == offered.end()) {
        return ACMERR_NOTPOSSIBLE;
    }
    auto opened = std::make_unique<LibavAcmStream>(entry, source, destination);
    if (!opened->Open()) {
        return MMSYSERR_ERROR;
    }
    stream = std::move(opened);
    return MMSYSERR_NOERROR;
}
