#pragma once

#include "app/encoder_settings.h"

#include <QString>

// The output file an encode of `sourcePath` writes: the output directory, then
// the source's file name. The name keeps its extension only when renaming is
// off and the output cannot land beside the source; otherwise its last
// extension becomes ".MP3". Directories are compared without regard to case,
// and the source's own directory counts as well as the configured source
// directory, so an encode never writes over its own source file.
// Pure: looks at the strings only, never at the disk.
QString MakeOutputPath(const QString& sourcePath, const QString& outputDirectory,
                       const QString& sourceDirectory, bool renameToMp3);

// The same with "To Dir", "From Dir" and "Rename to MP3" of the settings (an
// empty directory setting meaning the program directory).
QString MakeOutputPath(const QString& sourcePath, const EncoderSettings& settings,
                       const QString& programDirectory);

// True when two directory paths name the same directory as far as their text
// tells: case, repeated and trailing separators and "." / ".." steps aside.
bool SameDirectoryText(const QString& first, const QString& second);
