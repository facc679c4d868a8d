#pragma once

#include "engines/catalogue.h"
#include "engines/catalogue_sources.h"
#include "engines/encode_start.h"

#include <optional>

// The compression manager's MP3 codec at 128 kbit/s stereo, from a catalogue
// of the installed codecs only; nothing when there is none.
inline std::optional<EncodeTarget> AcmMp3Target() {
    EncoderCatalogue catalogue;
    CatalogueSources sources;
    sources.isLibraryAvailable = [](int) { return false; };
    sources.externalEncoderFolder = [] { return std::optional<QString>(); };
    catalogue.Build(sources);
    for (int d = 0; d < catalogue.DriverCount(); ++d) {
        for (int f = 0; f < catalogue.FormatCount(d); ++f) {
            const WAVEFORMATEX& candidate = catalogue.Format(d, f)->format;
            if (candidate.wFormatTag == WAVE_FORMAT_MPEGLAYER3 && candidate.nChannels == 2 &&
                candidate.nAvgBytesPerSec == 16000) {
                EncodeTarget target;
                target.driverId = catalogue.Driver(d)->id;
                target.format = candidate;
                return target;
            }
        }
    }
    return std::nullopt;
}
