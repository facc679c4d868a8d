#pragma once

#include <QString>
#include <functional>
#include <optional>

// What the catalogue learns from outside the compression manager. Tests set
// these hooks; the program uses DefaultCatalogueSources.
struct CatalogueSources {
    // Whether encoder library 0 (Blade) or 1 (LAME) is loaded and bound.
    std::function<bool(int library)> isLibraryAvailable;
    // The external encoder's machine-wide install folder, if recorded.
    std::function<std::optional<QString>()> externalEncoderFolder;
};

// The folder comes from the machine-wide settings of the external encoder
// ("Xing Technology Corp.", "XingMP3 Encoder", value "Path"), or, when that
// folder does not hold it, from the registration file of the install the
// program belongs to; the library check is the library binding's.
CatalogueSources DefaultCatalogueSources(std::function<bool(int library)> isLibraryAvailable);

// File name of the external encoder program in its folder.
QString ExternalEncoderFileName();
