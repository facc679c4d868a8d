#pragma once

class QFile;
class QString;

// Opens an existing regular file for reading front to back, others still
// allowed to read it. Returns 0, or the system error number of the failure.
// Directories, pipes and devices are refused without blocking (a pipe named
// like a WAV file would otherwise hang the caller).
long OpenForSequentialRead(QFile& file, const QString& path);
