#include "app/command_line.h"

bool HasLogOption(const QStringList& arguments) {
    const QString commandLine = arguments.mid(1).join(QLatin1Char(' ')).toLower();
    return commandLine.contains(QStringLiteral("-log"));
}
