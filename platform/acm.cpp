#include "platform/acm.h"

#include "platform/acm_standard_drivers.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <vector>

namespace {

// Cuts at `limit` bytes without splitting a UTF-8 sequence.
std::string Bounded(std::string text, std::size_t limit) {
    if (text.size() <= limit) {
        return text;
    }
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    text.resize(cut);
    return text;
}

struct PreparedHeader {
    std::uint8_t* source = nullptr;
    std::uint32_t sourceLength = 0;
    std::uint8_t* destination = nullptr;
    std::uint32_t destinationLength = 0;
};

struct StreamState {
    std::mutex mutex;
    std::unique_ptr<AcmCodecStream> codec;
    WAVEFORMATEX source;
    std::map<const ACMSTREAMHEADER*, PreparedHeader> prepared;
};

struct DriverEntry {
    std::shared_ptr<AcmDriver> driver;
    int openCount = 0;
};

struct InstanceEntry {
    HACMDRIVERID driverId = 0;
    std::shared_ptr<AcmDriver> driver;
    int streamCount = 0;
};

struct StreamEntry {
    HACMDRIVERID driverId = 0;
    HACMDRIVER instance{}; // null when the layer picked the driver itself
    std::shared_ptr<StreamState> state;
};

class Registry {
public:
    static Registry& Get() {
        static Registry registry;
        return registry;
    }

    // Called at the top of every public call.
    std::unique_lock<std::mutex> Lock() {
        std::unique_lock lock(mutex);
        if (!standardInstalled) {
            standardInstalled = true;
            for (auto& driver : MakeStandardAcmDrivers()) {
                AddLocked(std::move(driver));
            }
        }
        return lock;
    }

    HACMDRIVERID AddLocked(std::shared_ptr<AcmDriver> driver) {
        HACMDRIVERID id = nextDriverId++;
        drivers[id] = DriverEntry{std::move(driver), 0};
        return id;
    }

    std::uint32_t NewHandle() { return nextHandle++; }

    std::map<HACMDRIVERID, DriverEntry> drivers;
    std::map<std::uint32_t, InstanceEntry> instances;
    std::map<std::uint32_t, StreamEntry> streams;

private:
    std::mutex mutex;
    bool standardInstalled = false;
    // Well clear of the catalogue's own driver numbers (9997 to 9999).
    HACMDRIVERID nextDriverId = 0x10000;
    std::uint32_t nextHandle = 1;
};

std::shared_ptr<AcmDriver> DriverById(Registry& registry, HACMDRIVERID id) {
    auto found = registry.drivers.find(id);
    return found == registry.drivers.end() ? nullptr : found->second.driver;
}

InstanceEntry* InstanceByHandle(Registry& registry, HACMDRIVER handle) {
    auto found = registry.instances.find(static_cast<std::uint32_t>(handle));
    return found == registry.instances.end() ? nullptr : &found->second;
}

std::shared_ptr<StreamState> StreamByHandle(Registry& registry, HACMSTREAM handle) {
    auto found = registry.streams.find(static_cast<std::uint32_t>(handle));
    return found == registry.streams.end() ? nullptr : found->second.state;
}

// A driver by id, looked up under the registry's lock.
std::shared_ptr<AcmDriver> LockedDriverById(HACMDRIVERID id) {
    Registry& registry = Registry::Get();
    auto lock = registry.Lock();
    return DriverById(registry, id);
}

// The stream of a handle, looked up under the registry's lock; the state then
// lives on while the caller holds it, even if the stream is closed meanwhile.
std::shared_ptr<StreamState> LockedStreamByHandle(HACMSTREAM handle) {
    Registry& registry = Registry::Get();
    auto lock = registry.Lock();
    return StreamByHandle(registry, handle);
}

bool MatchesFilter(const WAVEFORMATEX& format, const ACMFORMATDETAILS& details,
                   const WAVEFORMATEX& source, std::uint32_t flags) {
    if ((flags & ACM_FORMATENUMF_WFORMATTAG) && format.wFormatTag != details.dwFormatTag) {
        return false;
    }
    if ((flags & ACM_FORMATENUMF_NCHANNELS) && format.nChannels != source.nChannels) {
        return false;
    }
    if ((flags & ACM_FORMATENUMF_NSAMPLESPERSEC) &&
        format.nSamplesPerSec != source.nSamplesPerSec) {
        return false;
    }
    if ((flags & ACM_FORMATENUMF_WBITSPERSAMPLE) &&
        format.wBitsPerSample != source.wBitsPerSample) {
        return false;
    }
    return true;
}

} // namespace

MMRESULT acmDriverAdd(HACMDRIVERID* driverId, std::shared_ptr<AcmDriver> driver,
                      std::uint32_t flags) {
    if (driverId == nullptr || !driver) {
        return MMSYSERR_INVALPARAM;
    }
    if (flags != 0) {
        return MMSYSERR_INVALFLAG;
    }
    Registry& registry = Registry::Get();
    auto lock = registry.Lock();
    *driverId = registry.AddLocked(std::move(driver));
    return MMSYSERR_NOERROR;
}

MMRESULT acmDriverRemove(HACMDRIVERID driverId, std::uint32_t flags) {
    if (flags != 0) {
        return MMSYSERR_INVALFLAG;
    }
    Registry& registry = Registry::Get();
    auto lock = registry.Lock();
    auto found = registry.drivers.find(driverId);
    if (found == registry.drivers.end()) {
        return MMSYSERR_INVALHANDLE;
    }
    if (found->second.openCount > 0) {
        return ACMERR_BUSY;
    }
    registry.drivers.erase(found);
    return MMSYSERR_NOERROR;
}

int acmInstallStandardDrivers() {
    Registry& registry = Registry::Get();
    auto lock = registry.Lock();
    int count = 0;
    for (auto& driver : MakeStandardAcmDrivers()) {
        registry.AddLocked(std::move(driver));
        ++count;
    }
    return count;
}

MMRESULT acmDriverEnum(const ACMDRIVERENUMCB& callback, std::uintptr_t instance,
                       std::uint32_t flags) {
    if (!callback) {
        return MMSYSERR_INVALPARAM;
    }
    if (flags != 0) {
        return MMSYSERR_INVALFLAG;
    }
    // The callback runs without the lock, so it may call back into the layer.
    std::vector<std::pair<HACMDRIVERID, std::shared_ptr<AcmDriver>>> snapshot;
    {
        Registry& registry = Registry::Get();
        auto lock = registry.Lock();
        for (const auto& [id, entry] : registry.drivers) {
            snapshot.emplace_back(id, entry.driver);
        }
    }
    for (const auto& [id, driver] : snapshot) {
        if (!callback(id, instance, driver->Details().fdwSupport)) {
            break;
        }
    }
    return MMSYSERR_NOERROR;
}

MMRESULT acmDriverDetails(HACMDRIVERID driverId, ACMDRIVERDETAILS* details, std::uint32_t flags) {
    if (details == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if (flags != 0) {
        return MMSYSERR_INVALFLAG;
    }
    const std::shared_ptr<AcmDriver> driver = LockedDriverById(driverId);
    if (!driver) {
        return MMSYSERR_INVALHANDLE;
    }
    ACMDRIVERDETAILS found = driver->Details();
    found.szShortName = Bounded(std::move(found.szShortName), ACMDRIVERDETAILS_SHORTNAME_CHARS);
    found.szLongName = Bounded(std::move(found.szLongName), ACMDRIVERDETAILS_LONGNAME_CHARS);
    found.szCopyright = Bounded(std::move(found.szCopyright), ACMDRIVERDETAILS_COPYRIGHT_CHARS);
    found.szLicensing = Bounded(std::move(found.szLicensing), ACMDRIVERDETAILS_LICENSING_CHARS);
    found.szFeatures = Bounded(std::move(found.szFeatures), ACMDRIVERDETAILS_FEATURES_CHARS);
    *details = std::move(found);
    return MMSYSERR_NOERROR;
}

MMRESULT acmDriverOpen(HACMDRIVER* driver, HACMDRIVERID driverId, std::uint32_t flags) {
    if (driver == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    if (flags != 0) {
        return MMSYSERR_INVALFLAG;
    }
    Registry& registry = Registry::Get();
    auto lock = registry.Lock();
    auto found = registry.drivers.find(driverId);
    if (found == registry.drivers.end()) {
        return MMSYSERR_INVALHANDLE;
    }
    const std::uint32_t handle = registry.NewHandle();
    registry.instances[handle] = InstanceEntry{driverId, found->second.driver, 0};
    ++found->second.openCount;
    *driver = static_cast<HACMDRIVER>(handle);
    return MMSYSERR_NOERROR;
}

MMRESULT acmDriverClose(HACMDRIVER driver, std::uint32_t flags) {
    if (flags != 0) {
        return MMSYSERR_INVALFLAG;
    }
    Registry& registry = Registry::Get();
    auto lock = registry.Lock();
    InstanceEntry* instance = InstanceByHandle(registry, driver);
    if (instance == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (instance->streamCount > 0) {
        return ACMERR_BUSY;
    }
    auto entry = registry.drivers.find(instance->driverId);
    if (entry != registry.drivers.end()) {
        --entry->second.openCount;
    }
    registry.instances.erase(static_cast<std::uint32_t>(driver));
    return MMSYSERR_NOERROR;
}

MMRESULT acmMetrics(HACMDRIVER driver, std::uint32_t metric, std::uint32_t* value) {
    if (value == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    std::shared_ptr<AcmDriver> found;
    {
        Registry& registry = Registry::Get();
        auto lock = registry.Lock();
        if (metric == ACM_METRIC_COUNT_DRIVERS && driver == HACMDRIVER{}) {
            *value = static_cast<std::uint32_t>(registry.drivers.size());
            return MMSYSERR_NOERROR;
        }
        InstanceEntry* instance = InstanceByHandle(registry, driver);
        if (instance == nullptr) {
            return MMSYSERR_INVALHANDLE;
        }
        found = instance->driver;
    }
    if (metric != ACM_METRIC_MAX_SIZE_FORMAT) {
        return MMSYSERR_NOTSUPPORTED;
    }
    *value = found->MaxFormatSize();
    return MMSYSERR_NOERROR;
}

MMRESULT acmMetrics(HACMDRIVERID driverId, std::uint32_t metric, std::uint32_t* value) {
    if (value == nullptr) {
        return MMSYSERR_INVALPARAM;
    }
    const std::shared_ptr<AcmDriver> found = LockedDriverById(driverId);
    if (!found) {
        return MMSYSERR_INVALHANDLE;
    }
    if (metric != ACM_METRIC_MAX_SIZE_FORMAT) {
        return MMSYSERR_NOTSUPPORTED;
    }
    *value = found->MaxFormatSize();
    return MMSYSERR_NOERROR;
}

MMRESULT acmFormatEnum(HACMDRIVER driver, ACMFORMATDETAILS* details,
                       const ACMFORMATENUMCB& callback, std::uintptr_t instance,
                       std::uint32_t flags) {
    if (details == nullptr || !callback) {
        return MMSYSERR_INVALPARAM;
    }
    constexpr std::uint32_t known = ACM_FORMATENUMF_WFORMATTAG | ACM_FORMATENUMF_NCHANNELS |
                                    ACM_FORMATENUMF_NSAMPLESPERSEC |
                                    ACM_FORMATENUMF_WBITSPERSAMPLE | ACM_FORMATENUMF_CONVERT;
    if ((flags & ~known) != 0) {
        return MMSYSERR_INVALFLAG;
    }
    std::shared_ptr<AcmDriver> found;
    HACMDRIVERID driverId = 0;
    {
        Registry& registry = Registry::Get();
        auto lock = registry.Lock();
        InstanceEntry* entry = InstanceByHandle(registry, driver);
        if (entry == nullptr) {
            return MMSYSERR_INVALHANDLE;
        }
        found = entry->driver;
        driverId = entry->driverId;
    }
    const WAVEFORMATEX source = details->pwfx;
    const bool convert = (flags & ACM_FORMATENUMF_CONVERT) != 0;
    const std::vector<WAVEFORMATEX> formats = found->Formats(convert ? &source : nullptr);
    const std::uint32_t support = found->Details().fdwSupport;
    std::uint32_t index = 0;
    for (const WAVEFORMATEX& format : formats) {
        if (!MatchesFilter(format, *details, source, flags) ||
            format.RecordSize() > details->cbwfx) {
            continue;
        }
        details->dwFormatIndex = index++;
        details->dwFormatTag = format.wFormatTag;
        details->fdwSupport = support;
        details->pwfx = format;
        details->szFormat.clear();
        if (!callback(driverId, *details, instance, support)) {
            break;
        }
    }
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamOpen(HACMSTREAM* stream, HACMDRIVER driver, const WAVEFORMATEX& source,
                       const WAVEFORMATEX& destination, std::uint32_t flags) {
    constexpr std::uint32_t known =
        ACM_STREAMOPENF_QUERY | ACM_STREAMOPENF_ASYNC | ACM_STREAMOPENF_NONREALTIME;
    if ((flags & ~known) != 0) {
        return MMSYSERR_INVALFLAG;
    }
    const bool query = (flags & ACM_STREAMOPENF_QUERY) != 0;
    if (stream == nullptr && !query) {
        return MMSYSERR_INVALPARAM;
    }
    // Every conversion here is synchronous.
    if (flags & ACM_STREAMOPENF_ASYNC) {
        return ACMERR_NOTPOSSIBLE;
    }

    std::vector<std::pair<HACMDRIVERID, std::shared_ptr<AcmDriver>>> candidates;
    {
        Registry& registry = Registry::Get();
        auto lock = registry.Lock();
        if (driver != HACMDRIVER{}) {
            InstanceEntry* instance = InstanceByHandle(registry, driver);
            if (instance == nullptr) {
                return MMSYSERR_INVALHANDLE;
            }
            candidates.emplace_back(instance->driverId, instance->driver);
        } else {
            for (const auto& [id, entry] : registry.drivers) {
                candidates.emplace_back(id, entry.driver);
            }
        }
    }

    MMRESULT result = ACMERR_NOTPOSSIBLE;
    for (const auto& [id, candidate] : candidates) {
        auto state = std::make_shared<StreamState>();
        result = candidate->OpenStream(source, destination, state->codec);
        if (result != MMSYSERR_NOERROR) {
            continue;
        }
        if (!state->codec) {
            result = MMSYSERR_ERROR;
            continue;
        }
        if (query) {
            return MMSYSERR_NOERROR;
        }
        state->source = source;
        Registry& registry = Registry::Get();
        auto lock = registry.Lock();
        if (driver != HACMDRIVER{}) {
            InstanceEntry* instance = InstanceByHandle(registry, driver);
            if (instance == nullptr) {
                return MMSYSERR_INVALHANDLE; // closed meanwhile by another thread
            }
            ++instance->streamCount;
        } else {
            auto entry = registry.drivers.find(id);
            if (entry == registry.drivers.end()) {
                continue; // removed meanwhile
            }
            ++entry->second.openCount;
        }
        const std::uint32_t handle = registry.NewHandle();
        registry.streams[handle] = StreamEntry{id, driver, std::move(state)};
        *stream = static_cast<HACMSTREAM>(handle);
        return MMSYSERR_NOERROR;
    }
    return result;
}

MMRESULT acmStreamClose(HACMSTREAM stream, std::uint32_t flags) {
    if (flags != 0) {
        return MMSYSERR_INVALFLAG;
    }
    std::shared_ptr<StreamState> state;
    {
        Registry& registry = Registry::Get();
        auto lock = registry.Lock();
        auto found = registry.streams.find(static_cast<std::uint32_t>(stream));
        if (found == registry.streams.end()) {
            return MMSYSERR_INVALHANDLE;
        }
        if (found->second.instance != HACMDRIVER{}) {
            if (InstanceEntry* instance = InstanceByHandle(registry, found->second.instance)) {
                --instance->streamCount;
            }
        } else {
            auto entry = registry.drivers.find(found->second.driverId);
            if (entry != registry.drivers.end()) {
                --entry->second.openCount;
            }
        }
        state = std::move(found->second.state);
        registry.streams.erase(found);
    }
    // A conversion still running on another thread finishes before the codec goes.
    std::lock_guard streamLock(state->mutex);
    state->codec.reset();
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamSize(HACMSTREAM stream, std::uint32_t input, std::uint32_t* output,
                       std::uint32_t flags) {
    if (output == nullptr || input == 0) {
        return MMSYSERR_INVALPARAM;
    }
    if (flags != ACM_STREAMSIZEF_SOURCE && flags != ACM_STREAMSIZEF_DESTINATION) {
        return MMSYSERR_INVALFLAG;
    }
    std::shared_ptr<StreamState> state = LockedStreamByHandle(stream);
    if (!state) {
        return MMSYSERR_INVALHANDLE;
    }
    std::lock_guard streamLock(state->mutex);
    const std::uint32_t size = flags == ACM_STREAMSIZEF_SOURCE
                                   ? state->codec->DestinationSize(input)
                                   : state->codec->SourceSize(input);
    if (size == 0) {
        return ACMERR_NOTPOSSIBLE;
    }
    *output = size;
    return MMSYSERR_NOERROR;
}

namespace {

MMRESULT WithStream(HACMSTREAM stream, ACMSTREAMHEADER* header,
                    const std::function<MMRESULT(StreamState&)>& action) {
    if (header == nullptr || header->cbStruct != ACMSTREAMHEADER_SIZE) {
        return MMSYSERR_INVALPARAM;
    }
    std::shared_ptr<StreamState> state = LockedStreamByHandle(stream);
    if (!state) {
        return MMSYSERR_INVALHANDLE;
    }
    std::lock_guard streamLock(state->mutex);
    if (!state->codec) {
        return MMSYSERR_INVALHANDLE;
    }
    return action(*state);
}

} // namespace

MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, std::uint32_t flags) {
    if (flags != 0) {
        return MMSYSERR_INVALFLAG;
    }
    return WithStream(stream, header, [header](StreamState& state) {
        if (state.prepared.contains(header)) {
            return MMSYSERR_NOERROR;
        }
        if (header->pbSrc == nullptr || header->cbSrcLength == 0 || header->pbDst == nullptr ||
            header->cbDstLength == 0) {
            return MMSYSERR_INVALPARAM;
        }
        state.prepared[header] =
            PreparedHeader{header->pbSrc, header->cbSrcLength, header->pbDst, header->cbDstLength};
        header->fdwStatus |= ACMSTREAMHEADER_STATUSF_PREPARED;
        return MMSYSERR_NOERROR;
    });
}

MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, std::uint32_t flags) {
    if (flags != 0) {
        return MMSYSERR_INVALFLAG;
    }
    return WithStream(stream, header, [header](StreamState& state) {
        auto found = state.prepared.find(header);
        if (found == state.prepared.end()) {
            return ACMERR_UNPREPARED;
        }
        const PreparedHeader& prepared = found->second;
        if (header->pbSrc != prepared.source || header->cbSrcLength != prepared.sourceLength ||
            header->pbDst != prepared.destination ||
            header->cbDstLength != prepared.destinationLength) {
            return MMSYSERR_INVALPARAM;
        }
        state.prepared.erase(found);
        header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
        return MMSYSERR_NOERROR;
    });
}

MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, std::uint32_t flags) {
    constexpr std::uint32_t known =
        ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_END;
    if ((flags & ~known) != 0) {
        return MMSYSERR_INVALFLAG;
    }
    return WithStream(stream, header, [header, flags](StreamState& state) {
        auto found = state.prepared.find(header);
        if (found == state.prepared.end()) {
            return ACMERR_UNPREPARED;
        }
        const PreparedHeader& prepared = found->second;
        if (header->pbSrc != prepared.source || header->cbSrcLength > prepared.sourceLength ||
            header->pbDst != prepared.destination ||
            header->cbDstLength > prepared.destinationLength) {
            return MMSYSERR_INVALPARAM;
        }
        header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_DONE;
        header->cbSrcLengthUsed = 0;
        header->cbDstLengthUsed = 0;

        std::uint32_t sourceLength = header->cbSrcLength;
        const std::uint32_t block = state.source.nBlockAlign;
        if ((flags & ACM_STREAMCONVERTF_BLOCKALIGN) && block > 1) {
            sourceLength -= sourceLength % block;
        }
        const AcmConversion done = state.codec->Convert(
            std::span<const std::uint8_t>(header->pbSrc, sourceLength),
            std::span<std::uint8_t>(header->pbDst, header->cbDstLength), flags);
        if (done.result != MMSYSERR_NOERROR) {
            return done.result;
        }
        // A codec that claims more than it was given would make callers
        // read past their buffers.
        if (done.sourceUsed > sourceLength || done.destinationUsed > header->cbDstLength) {
            return MMSYSERR_ERROR;
        }
        header->cbSrcLengthUsed = done.sourceUsed;
        header->cbDstLengthUsed = done.destinationUsed;
        header->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
        return MMSYSERR_NOERROR;
    });
}
