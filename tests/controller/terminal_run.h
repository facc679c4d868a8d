#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace testsupport {

struct TerminalRun {
    QByteArray output;  // what the program wrote to its terminal
    bool ended = false; // false: killed after the time limit
    int exitCode = -1;
};

// Runs a program with a pseudo-terminal as its standard output and error,
// `columns` wide, and collects everything it writes there.
TerminalRun RunOnTerminal(const QString& program, const QStringList& arguments,
                          const QProcessEnvironment& environment, const QString& directory,
                          int timeoutMs, unsigned short columns = 200);

} // namespace testsupport
