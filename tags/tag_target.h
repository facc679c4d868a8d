#pragma once

#include <QString>

// What the tag functions need to know of a queued file: its status and the
// facts that name its output MP3.
struct TagFileTarget {
    int status = 0;          // the entry's queue status (1 Encoding, 3 Paused)
    QString outputPath;      // output of the current or last encode; may be empty
    QString sourcePath;      // the source WAV file
    QString outputDirectory; // "To Dir", already resolved
    QString sourceDirectory; // "From Dir", already resolved
    bool renameToMp3 = true;
};

inline constexpr int TAG_STATUS_ENCODING = 1;
inline constexpr int TAG_STATUS_PAUSED = 3;

// A file being encoded or paused is neither read nor written.
bool IsTagFileBusy(int status);

// The entry's output MP3: `outputPath` when set, else the name an encode
// would give it now.
QString FindOutputMp3(const QString& outputPath, const QString& sourcePath,
                      const QString& outputDirectory, const QString& sourceDirectory,
                      bool renameToMp3);
QString FindOutputMp3(const TagFileTarget& target);

// An existing regular file that this process may read and write.
bool IsReadWritableFile(const QString& path);
