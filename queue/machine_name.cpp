#include "queue/machine_name.h"

#include "queue/queue_entry.h"

#include <QSysInfo>

QString CapitalizeName(const QString& text) {
    QString result = text;
    bool wordStart = true;
    for (QChar& c : result) {
        if (!c.isLetter()) {
            wordStart = true;
        } else if (c.isUpper()) {
            if (wordStart) {
                wordStart = false;
            } else {
                c = c.toLower();
            }
        }
    }
    return result;
}

QString ComputerName() {
    QString name = QSysInfo::machineHostName();
    const qsizetype dot = name.indexOf(u'.');
    if (dot >= 0) {
        name.truncate(dot);
    }
    return name.left(MACHINE_NAME_LENGTH);
}
