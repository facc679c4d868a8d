#pragma once

#include <QString>

// A client writes a server's output under a partial name of its own,
// "<output>.<writer>.part", so two machines that were given the same file
// (the server gave up on the first, which may still be writing) never share
// a file. Clients never rename: the server renames the part of the machine
// it handed the file to, and only that one.

// The machine's log-in name as a file-name part: lower case (the server
// capitalises names), cut like a machine name, and anything that is not a
// letter, digit, '-', '_' or '#' written as %XX.
QString WriterTag(const QString& machineName);
// "<output>.<writer>": its PartPathOf is the writer's partial output.
QString WriterOutputBase(const QString& output, const QString& machineName);
QString WriterPartPath(const QString& output, const QString& machineName);
