#pragma once

// Facts about the display, measured once and shared by the whole process.
struct DisplayCaps {
    int bitsPerPixel = 32;
    bool paletteDisplay = false; // exactly 8 bits per pixel
    bool largeFonts = false;     // 97 dots per inch and more
    int dotsPerInch = 96;
    double scaleFactor = 1.0; // dots per inch / 96
};

// Derives the display facts from raw device figures.
DisplayCaps ComputeDisplayCaps(int bitsPerPlane, int planes, int dotsPerInch);

// True up to 120 dots per inch; above that the skin layouts no longer fit.
bool DisplayFitsSkin(const DisplayCaps& caps);

// Measures the primary screen, stores the facts process-wide and fills the
// outputs (any may be null). Returns DisplayFitsSkin.
bool GetDisplayCaps(int* bitsPerPixel, bool* paletteDisplay, bool* largeFonts, int* dotsPerInch);

// The stored facts; measured on first use when GetDisplayCaps has not run.
const DisplayCaps& CurrentDisplayCaps();
// Replaces the stored facts (start-up overrides and tests).
void SetDisplayCaps(const DisplayCaps& caps);

// The display as if it had `dotsPerInch`, for as long as the scope lasts
// (pictures of the layouts for another display).
class DisplayCapsScope {
public:
    explicit DisplayCapsScope(int dotsPerInch) : saved(CurrentDisplayCaps()) {
        SetDisplayCaps(ComputeDisplayCaps(32, 1, dotsPerInch));
    }
    ~DisplayCapsScope() { SetDisplayCaps(saved); }
    DisplayCapsScope(const DisplayCapsScope&) = delete;
    DisplayCapsScope& operator=(const DisplayCapsScope&) = delete;

private:
    DisplayCaps saved;
};

// Windows-style font height for a point size: minus points x dpi / 72,
// truncated towards zero.
int FontHeightForPoints(double points, int dotsPerInch);
