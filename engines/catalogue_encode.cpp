#include "engines/catalogue.h"

#include "engines/encode_control.h"
#include "engines/encode_start.h"
#include "engines/library_binding.h"

int EncoderCatalogue::StartEncode(QObject* window, int priority, const QString& source,
                                  const QString& destination, int driver, int format,
                                  double* seconds) {
    return StartEncodeOn(EncodeControl::Shared(), window, priority, source, destination, driver,
                         format, seconds, false);
}

int EncoderCatalogue::StartEncodeOn(EncodeControl& control, QObject* window, int priority,
                                    const QString& source, const QString& destination, int driver,
                                    int format, double* seconds, bool jointStereo) const {
    if (driver < 0 || driver >= DriverCount() || format < 0 || format >= FormatCount(driver)) {
        return 0;
    }
    EncodeTarget target;
    target.driverId = Driver(driver)->id;
    target.format = Format(driver, format)->format;
    target.vbrQuality = Format(driver, format)->vbrQuality;
    target.jointStereo = jointStereo && HasStereoModes(driver);
    target.externalProgram = ExternalEncoderPath();
    if (target.driverId == BLADE_DRIVER_ID) {
        target.library = EncoderLibraryEntryPoints(BLADE_LIBRARY);
    } else if (target.driverId == LAME_DRIVER_ID) {
        target.library = EncoderLibraryEntryPoints(LAME_LIBRARY);
    }
    return ::StartEncode(control, window, priority, source, destination, target, seconds);
}

void EncoderCatalogue::PauseEncode() {
    EncodeControl::Shared().PauseEncode();
}

void EncoderCatalogue::ResumeEncode() {
    EncodeControl::Shared().ResumeEncode();
}

void EncoderCatalogue::SetEncodePriority(int level) {
    EncodeControl::Shared().SetEncodePriority(level);
}

void EncoderCatalogue::CancelEncode() {
    EncodeControl::Shared().CancelEncode();
}

bool EncoderCatalogue::IsEncodeCancelled() const {
    return EncodeControl::Shared().IsEncodeCancelled();
}

bool EncoderCatalogue::IsExternalEncoderRunning() const {
    return EncodeControl::Shared().IsExternalEncoderRunning();
}
