#include "net/writer_part.h"

#include "engines/output_part.h"
#include "queue/queue_entry.h"

QString WriterTag(const QString& machineName) {
    QString tag;
    for (const QChar c : machineName.left(MACHINE_NAME_LENGTH).toLower()) {
        const char16_t u = c.unicode();
        if ((u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9') || u == u'-' || u == u'_' ||
            u == u'#') {
            tag += c;
        } else {
            tag += QStringLiteral("%%1").arg(u & 0xFF, 2, 16, QChar(u'0')).toUpper();
        }
    }
    return tag;
}

QString WriterOutputBase(const QString& output, const QString& machineName) {
    return output + u'.' + WriterTag(machineName);
}

QString WriterPartPath(const QString& output, const QString& machineName) {
    return PartPathOf(WriterOutputBase(output, machineName));
}
