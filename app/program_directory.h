#pragma once

#include <QString>

// The program's own directory, ending with '/': the default source and output
// directory and the home of "error.log". It is the executable's directory, or
// the per-user data directory when that one is not writable (an installed copy).
QString ProgramDirectory();

// Chooses the directory as above; called once at start-up.
QString FindProgramDirectory();

// Sets it (start-up, and tests that need a directory of their own).
void SetProgramDirectory(const QString& directory);
