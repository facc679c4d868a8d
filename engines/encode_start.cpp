#include "engines/encode_start.h"

#include "app/error_log.h"
#include "engines/catalogue.h"
#include "engines/encode_acm.h"
#include "engines/encode_control.h"
#include "engines/wave_reader.h"

int StartEncode(EncodeControl& control, QObject* window, int priority, const QString& source,
                const QString& destination, const EncodeTarget& target, double* seconds) {
    WaveProperties properties;
    if (GetWaveProperties(source, &properties) != WAVE_OK) {
        AddError(QString::asprintf("Couldn't get wave properties for %s", qPrintable(source)));
        return 0;
    }
    control.BeginEncode();
    if (seconds != nullptr) {
        *seconds = properties.durationSeconds;
    }
    switch (target.driverId) {
    case XING_DRIVER_ID:
        return control.StartExternal(window, priority, target.externalProgram, source, destination,
                                     target.format.nAvgBytesPerSec * 8, target.vbrQuality)
                   ? 1
                   : 0;
    case BLADE_DRIVER_ID:
        return StartLibraryEncode(control, BLADE_LIBRARY, target.library, window, priority, source,
                                  destination, target.format.nAvgBytesPerSec);
    case LAME_DRIVER_ID:
        return StartLibraryEncode(control, LAME_LIBRARY, target.library, window, priority, source,
                                  destination, target.format.nAvgBytesPerSec,
                                  StreamChoice{target.vbrQuality, target.jointStereo});
    default:
        return StartAcmEncode(control, window, priority, target.driverId, source, destination,
                              properties, target.format);
    }
}
