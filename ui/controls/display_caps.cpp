#include "ui/controls/display_caps.h"

#include <QGuiApplication>
#include <QScreen>
#include <optional>

namespace {

std::optional<DisplayCaps>& StoredCaps() {
    static std::optional<DisplayCaps> caps;
    return caps;
}

DisplayCaps MeasureScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return ComputeDisplayCaps(32, 1, 96);
    }
    return ComputeDisplayCaps(screen->depth(), 1, qRound(screen->logicalDotsPerInchY()));
}

} // namespace

DisplayCaps ComputeDisplayCaps(int bitsPerPlane, int planes, int dotsPerInch) {
    DisplayCaps caps;
    caps.bitsPerPixel = bitsPerPlane * planes;
    caps.paletteDisplay = caps.bitsPerPixel == 8;
    caps.dotsPerInch = dotsPerInch;
    caps.scaleFactor = dotsPerInch / 96.0;
    caps.largeFonts = dotsPerInch >= 97;
    return caps;
}

bool DisplayFitsSkin(const DisplayCaps& caps) {
    return caps.dotsPerInch <= 120;
}

bool GetDisplayCaps(int* bitsPerPixel, bool* paletteDisplay, bool* largeFonts, int* dotsPerInch) {
    const DisplayCaps caps = MeasureScreen();
    StoredCaps() = caps;
    if (bitsPerPixel != nullptr) {
        *bitsPerPixel = caps.bitsPerPixel;
    }
    if (paletteDisplay != nullptr) {
        *paletteDisplay = caps.paletteDisplay;
    }
    if (largeFonts != nullptr) {
        *largeFonts = caps.largeFonts;
    }
    if (dotsPerInch != nullptr) {
        *dotsPerInch = caps.dotsPerInch;
    }
    return DisplayFitsSkin(caps);
}

const DisplayCaps& CurrentDisplayCaps() {
    if (!StoredCaps()) {
        StoredCaps() = MeasureScreen();
    }
    return *StoredCaps();
}

void SetDisplayCaps(const DisplayCaps& caps) {
    StoredCaps() = caps;
}

int FontHeightForPoints(double points, int dotsPerInch) {
    return -static_cast<int>(points * dotsPerInch / 72.0);
}
