#pragma once

class QFile;
class QString;

// Creates (or empties) a file for writing and opens `file` on it. Returns 0,
// or the system error number of the failure.
long CreateDestination(QFile& file, const QString& path);

// The system error number left by the last failed call on this thread.
long LastSystemError();
