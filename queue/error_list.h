#pragma once

#include <QString>
#include <QStringList>

// The lines of the error log as the Errors dialog lists them: pieces of at
// most 1023 characters, trailing CR/LF removed, empty pieces skipped. Empty
// when the log cannot be read.
QStringList LoadErrors(const QString& logPath);
// Deletes the log; true when it is gone afterwards.
bool OnClearErrors(const QString& logPath);
