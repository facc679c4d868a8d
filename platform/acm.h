#pragma once

#include "platform/acm_driver.h"
#include "platform/acm_types.h"

#include <cstdint>
#include <memory>

// The audio compression manager: a process-wide table of installed drivers,
// open driver instances and open streams. Every call is thread-safe. The
// standard drivers (libavcodec encoders) are installed on first use.

// Installs a driver; it is enumerated after the drivers installed before it.
MMRESULT acmDriverAdd(HACMDRIVERID* driverId, std::shared_ptr<AcmDriver> driver,
                      std::uint32_t flags);
// Uninstalls a driver; ACMERR_BUSY while an instance of it is open.
MMRESULT acmDriverRemove(HACMDRIVERID driverId, std::uint32_t flags);
// Installs a fresh set of the standard drivers (again, after a test removed
// them); returns how many were installed.
int acmInstallStandardDrivers();

// Calls `callback` for every installed driver with its support flags; `flags` must be 0.
MMRESULT acmDriverEnum(const ACMDRIVERENUMCB& callback, std::uintptr_t instance,
                       std::uint32_t flags);
MMRESULT acmDriverDetails(HACMDRIVERID driverId, ACMDRIVERDETAILS* details, std::uint32_t flags);

MMRESULT acmDriverOpen(HACMDRIVER* driver, HACMDRIVERID driverId, std::uint32_t flags);
// ACMERR_BUSY while a stream of the instance is open.
MMRESULT acmDriverClose(HACMDRIVER driver, std::uint32_t flags);

// ACM_METRIC_MAX_SIZE_FORMAT of a driver (open or by id);
// ACM_METRIC_COUNT_DRIVERS with a null driver.
MMRESULT acmMetrics(HACMDRIVER driver, std::uint32_t metric, std::uint32_t* value);
MMRESULT acmMetrics(HACMDRIVERID driverId, std::uint32_t metric, std::uint32_t* value);

// Enumerates the formats of an open driver. With ACM_FORMATENUMF_CONVERT,
// only the formats it can make from the source in details->pwfx. Formats
// larger than details->cbwfx are not reported.
MMRESULT acmFormatEnum(HACMDRIVER driver, ACMFORMATDETAILS* details,
                       const ACMFORMATENUMCB& callback, std::uintptr_t instance,
                       std::uint32_t flags);

// With a null driver, the first installed driver that can convert is used.
// ACM_STREAMOPENF_QUERY only asks (stream may then be null).
// ACMERR_NOTPOSSIBLE when no driver can make the conversion.
MMRESULT acmStreamOpen(HACMSTREAM* stream, HACMDRIVER driver, const WAVEFORMATEX& source,
                       const WAVEFORMATEX& destination, std::uint32_t flags);
MMRESULT acmStreamClose(HACMSTREAM stream, std::uint32_t flags);
// ACM_STREAMSIZEF_SOURCE: destination bytes for `input` source bytes;
// ACM_STREAMSIZEF_DESTINATION: the reverse.
MMRESULT acmStreamSize(HACMSTREAM stream, std::uint32_t input, std::uint32_t* output,
                       std::uint32_t flags);
// The buffers and lengths given here must be in the header again when it is
// unprepared; conversions may use shorter lengths.
MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, std::uint32_t flags);
MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, std::uint32_t flags);
// Synchronous: the done flag is set when the call returns successfully.
MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, std::uint32_t flags);
