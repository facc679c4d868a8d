#pragma once

#include <QSet>
#include <QString>

// Canonical paths of the files in `directory` that some process (this one
// included) holds open for writing, as far as /proc shows it. Empty where
// /proc is not available.
QSet<QString> FilesOpenForWriting(const QString& directory);
