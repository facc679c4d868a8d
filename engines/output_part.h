#pragma once

#include <QString>

// An output is written under a temporary name beside its final one and only
// renamed into place once it is whole, so a crash never leaves a truncated
// file under the final name.
inline constexpr char PART_SUFFIX[] = ".part";

// "<final>.part"; empty for an empty path.
QString PartPathOf(const QString& finalPath);

// True for a name that is an unfinished output.
bool IsPartPath(const QString& path);

// Flushes the temporary file to disk and renames it over the final name.
// False (with the temporary file left alone) when it is missing or the
// rename fails; `error` then receives the system error number.
bool CommitPart(const QString& finalPath, long* error = nullptr);

// Removes the temporary file of this output, if any; the final file stays.
void DiscardPart(const QString& finalPath);
