#pragma once

#include "engines/encode_blade.h"
#include "platform/acm_waveformat.h"

#include <QObject>
#include <QString>
#include <cstdint>

class EncodeControl;

// The chosen catalogue entry, as far as an encode needs it.
struct EncodeTarget {
    std::uint32_t driverId = 0;
    WAVEFORMATEX format;     // the chosen output format
    QString externalProgram; // the external encoder, when that is the driver
    const EncoderEntryPoints* library =
        nullptr;              // the library's entry points; null when unavailable
    int vbrQuality = -1;      // 0 to 9: a VBR preset (the LAME library, the external encoder)
    bool jointStereo = false; // the LAME library's stereo mode
};

// Reads the source's properties and hands the file to the engine of the
// target's driver. 1 started (exactly one MSG_ENCODE_DONE will follow), 0 not
// (no message follows). `seconds` receives the source's playing time.
int StartEncode(EncodeControl& control, QObject* window, int priority, const QString& source,
                const QString& destination, const EncodeTarget& target, double* seconds);
