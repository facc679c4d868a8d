#pragma once

#include "platform/acm.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// Drivers that reproduce what real codecs do to their callers. Their
// "encoding" copies the source, so a caller's output can be compared with its
// input byte for byte.
namespace fakeacm {

enum class Behaviour {
    PassThrough,    // uses everything, writes it all
    KeepsInputBack, // uses half of each call's input (whole blocks)
    SilentUntilEnd, // takes everything, writes only when the end flag comes
    Refuses,        // every stream open fails with ACMERR_NOTPOSSIBLE
    OverClaims,     // reports more source used than it was given
};

// What the layer handed the driver, for tests to look at.
struct Log {
    std::vector<std::uint32_t> sourceLengths;
    std::vector<std::uint32_t> flags;
    std::vector<WAVEFORMATEX> enumerationSources;
};

inline constexpr std::uint16_t FAKE_TAG = 0x7F01;

inline WAVEFORMATEX FakeFormat(std::uint16_t channels = 2, std::size_t extraBytes = 2) {
    WAVEFORMATEX format = WAVEFORMATEX::Pcm(channels, 44100, 16);
    format.wFormatTag = FAKE_TAG;
    format.SetExtra(std::vector<std::uint8_t>(extraBytes, 0xAB));
    return format;
}

class Stream : public AcmCodecStream {
public:
    Stream(Behaviour behaviour, std::shared_ptr<Log> log, std::uint16_t block, int delayMs = 0)
        : behaviour(behaviour), log(std::move(log)), block(block), delayMs(delayMs) {}

    std::uint32_t DestinationSize(std::uint32_t sourceBytes) const override { return sourceBytes; }
    std::uint32_t SourceSize(std::uint32_t destinationBytes) const override {
        return destinationBytes;
    }

    AcmConversion Convert(std::span<const std::uint8_t> source, std::span<std::uint8_t> destination,
                          std::uint32_t flags) override {
        // A slow codec, so that a worker can be caught between its chunks.
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        log->sourceLengths.push_back(static_cast<std::uint32_t>(source.size()));
        log->flags.push_back(flags);
        AcmConversion done;
        std::size_t take = std::min(source.size(), destination.size());
        switch (behaviour) {
        case Behaviour::KeepsInputBack:
            take =
                std::max<std::size_t>(take / 2 / block * block, std::min<std::size_t>(take, block));
            [[fallthrough]];
        case Behaviour::PassThrough:
            std::memcpy(destination.data(), source.data(), take);
            done.sourceUsed = done.destinationUsed = static_cast<std::uint32_t>(take);
            break;
        case Behaviour::SilentUntilEnd: {
            held.insert(held.end(), source.begin(), source.end());
            done.sourceUsed = static_cast<std::uint32_t>(source.size());
            if (flags & ACM_STREAMCONVERTF_END) {
                const std::size_t out = std::min(held.size(), destination.size());
                std::memcpy(destination.data(), held.data(), out);
                held.erase(held.begin(), held.begin() + static_cast<std::ptrdiff_t>(out));
                done.destinationUsed = static_cast<std::uint32_t>(out);
            }
            break;
        }
        case Behaviour::OverClaims:
            done.sourceUsed = static_cast<std::uint32_t>(source.size()) + 1;
            break;
        case Behaviour::Refuses:
            done.result = MMSYSERR_ERROR;
            break;
        }
        return done;
    }

private:
    Behaviour behaviour;
    std::shared_ptr<Log> log;
    std::uint16_t block;
    int delayMs;
    std::vector<std::uint8_t> held;
};

class Driver : public AcmDriver {
public:
    explicit Driver(Behaviour behaviour, std::vector<WAVEFORMATEX> formats = {FakeFormat()})
        : behaviour(behaviour), formats(std::move(formats)) {
        details.fccType = ACMDRIVERDETAILS_FCCTYPE_AUDIOCODEC;
        details.wMid = 901;
        details.wPid = 1;
        details.fdwSupport = ACMDRIVERDETAILS_SUPPORTF_CODEC;
        details.cFormatTags = 2;
        details.szShortName = "Fake";
        details.szLongName = "Fake codec";
    }

    ACMDRIVERDETAILS Details() const override { return details; }

    // Offers its formats from 16-bit PCM at their own rate.
    std::vector<WAVEFORMATEX> Formats(const WAVEFORMATEX* source) const override {
        if (source == nullptr || anySource) {
            return formats;
        }
        log->enumerationSources.push_back(*source);
        std::vector<WAVEFORMATEX> offered;
        for (const WAVEFORMATEX& format : formats) {
            if (source->IsPcm() && source->wBitsPerSample == 16 &&
                source->nSamplesPerSec == format.nSamplesPerSec) {
                offered.push_back(format);
            }
        }
        return offered;
    }

    std::uint32_t MaxFormatSize() const override {
        std::uint32_t largest = WAVEFORMATEX_HEADER_SIZE;
        for (const WAVEFORMATEX& format : formats) {
            largest = std::max(largest, format.RecordSize());
        }
        return largest;
    }

    MMRESULT OpenStream(const WAVEFORMATEX& source, const WAVEFORMATEX& destination,
                        std::unique_ptr<AcmCodecStream>& stream) override {
        const auto offered = Formats(&source);
        if (behaviour == Behaviour::Refuses ||
            std::find(offered.begin(), offered.end(), destination) == offered.end()) {
            return ACMERR_NOTPOSSIBLE;
        }
        stream = std::make_unique<Stream>(behaviour, log, source.nBlockAlign, delayMs);
        return MMSYSERR_NOERROR;
    }

    ACMDRIVERDETAILS details;
    std::shared_ptr<Log> log = std::make_shared<Log>();
    bool anySource = false; // offers its formats from every source, not only 16-bit PCM
    int delayMs = 0;        // each conversion takes at least this long

private:
    Behaviour behaviour;
    std::vector<WAVEFORMATEX> formats;
};

// Installs a fake driver and returns its id (0 on failure).
inline HACMDRIVERID Install(const std::shared_ptr<Driver>& driver) {
    HACMDRIVERID id = 0;
    return acmDriverAdd(&id, driver, 0) == MMSYSERR_NOERROR ? id : 0;
}

// An MP3-like format as codecs offer it: a byte rate and no sample size.
inline WAVEFORMATEX Mp3Like(std::uint16_t channels, std::uint32_t byteRate) {
    WAVEFORMATEX format = FakeFormat(channels, 12);
    format.nAvgBytesPerSec = byteRate;
    format.nBlockAlign = 1;
    format.wBitsPerSample = 0;
    return format;
}

// A pass-through codec named "Codec <manufacturer>/<product>", "Long ..." in full.
inline std::shared_ptr<Driver> Codec(std::uint16_t manufacturer, std::uint16_t product,
                                     std::vector<WAVEFORMATEX> formats) {
    auto driver = std::make_shared<Driver>(Behaviour::PassThrough, std::move(formats));
    driver->details.wMid = manufacturer;
    driver->details.wPid = product;
    driver->details.szShortName =
        "Codec " + std::to_string(manufacturer) + "/" + std::to_string(product);
    driver->details.szLongName = "Long " + driver->details.szShortName;
    return driver;
}

} // namespace fakeacm

inline std::vector<HACMDRIVERID> InstalledDriverIds() {
    std::vector<HACMDRIVERID> ids;
    acmDriverEnum(
        [&ids](HACMDRIVERID id, std::uintptr_t, std::uint32_t) {
            ids.push_back(id);
            return true;
        },
        0, 0);
    return ids;
}

// Removes every installed driver for a test and reinstalls the standard ones
// afterwards.
class IsolatedAcmDrivers {
public:
    IsolatedAcmDrivers() { RemoveAll(); }
    ~IsolatedAcmDrivers() {
        RemoveAll();
        acmInstallStandardDrivers();
    }
    IsolatedAcmDrivers(const IsolatedAcmDrivers&) = delete;
    IsolatedAcmDrivers& operator=(const IsolatedAcmDrivers&) = delete;

private:
    static void RemoveAll() {
        for (HACMDRIVERID id : InstalledDriverIds()) {
            acmDriverRemove(id, 0);
        }
    }
};
