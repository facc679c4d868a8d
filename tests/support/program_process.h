#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QVariantMap>

// The headless program run as a process of its own by the tests.
namespace testsupport {

// Its environment for a run under `root`: settings and data of its own
// there, and no display.
QProcessEnvironment ProgramEnvironment(const QString& root);

// A settings file that encodes the WAVs of `from` into `to` with `workers`,
// with any more settings.
void WriteProgramSettings(const QString& file, const QString& from, const QString& to, int workers,
                          const QVariantMap& more = {});

// What the program's error log (beside the program) holds.
QString ReadProgramErrorLog(const QString& program);

} // namespace testsupport
