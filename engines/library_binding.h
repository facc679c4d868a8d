#pragma once

#include "encoders/be_interface.h"

#include <QString>

// The encoder libraries bound at start-up, told apart only by their index.
constexpr int BLADE_LIBRARY = 0; // "BladeEnc"
constexpr int LAME_LIBRARY = 1;  // "lame_enc"
constexpr int ENCODER_LIBRARY_COUNT = 2;

struct EncoderEntryPoints {
    BeInitStreamFunc beInitStream = nullptr;
    BeEncodeChunkFunc beEncodeChunk = nullptr;
    BeDeinitStreamFunc beDeinitStream = nullptr;
    BeCloseStreamFunc beCloseStream = nullptr;
    BeVersionFunc beVersion = nullptr;
    // Beyond the five, and optional: writes the Info frame the stream reserved.
    BeWriteInfoTagFunc beWriteInfoTag = nullptr;
};

// Loads both libraries and binds their five entry points, looking beside the
// program first, then in the private folder of the install the program belongs
// to, and then on the library search path. A library that lacks any
// entry point is released at once and stays unavailable until the next load.
// Called once at start-up on the main thread; returns the number available.
int LoadEncoderLibraries();

// Releases both libraries; every row becomes unavailable. Called at exit.
void UnloadEncoderLibraries();

// Index outside 0 .. 1 is simply unavailable.
bool IsEncoderLibraryAvailable(int index);

// 1 with the library's version record filled, 0 when it is not loaded.
int QueryEncoderLibraryVersion(int index, BE_VERSION* version);

// The bound entry points, or null when the library is unavailable. Valid
// until UnloadEncoderLibraries.
const EncoderEntryPoints* EncoderLibraryEntryPoints(int index);

// Where the libraries are looked for first (default: the program's folder),
// and whether the library search path is tried after it. For tests and for
// installations that keep the libraries elsewhere; takes effect at the next load.
void SetEncoderLibraryDirectory(const QString& directory, bool searchLibraryPath = true);
