#pragma once

#include <QString>

// Capitals at word starts only: every non-letter starts a word, an upper-case
// letter inside a word becomes lower case ("MYPC" -> "Mypc",
// "PC2SERVER" -> "Pc2Server"); lower-case letters stay.
QString CapitalizeName(const QString& text);

// This computer's name: the host name up to its first dot, at most 15
// characters; empty when it cannot be read.
QString ComputerName();
