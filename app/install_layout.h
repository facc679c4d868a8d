#pragma once

#include <QString>

// Where an installed copy keeps its parts, relative to the install prefix:
// the program's private folder (program, encoder libraries, x3enc), the shared
// data folder (help, the x3enc registration) and the folder of commands.
QString InstallProgramFolder(); // e.g. "lib/corvane-encoder"
QString InstallDataFolder();    // e.g. "share/corvane-encoder"
QString InstallBinFolder();     // e.g. "bin"

// The install prefix a program in `programDirectory` belongs to: the folder
// above its private folder, or above the command folder (a copy of the
// program in bin/). Empty when the directory is in neither place.
QString InstallPrefixOf(const QString& programDirectory);

// The install's data folder, when it exists; empty otherwise.
QString InstalledDataDirectory(const QString& programDirectory);

// The install's private folder, when it exists and is not the program's own
// directory (whose files are found "beside the program" already); else empty.
QString InstalledLibraryDirectory(const QString& programDirectory);

// File name of the x3enc registration in the data folder. It holds "Path",
// the folder of x3enc, in the same form as the machine-wide setting; a
// relative path counts from the registration's own folder.
inline constexpr const char* X3ENC_REGISTRATION_FILE = "x3enc.conf";

// The folder that the install's registration names, absolute; empty when
// there is no registration or no "Path" in it.
QString RegisteredExternalEncoderFolder(const QString& programDirectory);
