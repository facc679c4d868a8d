#include "ui/dialogs/directory_check.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString Effective(const QString& setting, const QString& programDirectory) {
    return QDir::cleanPath(setting.isEmpty() ? programDirectory : setting);
}

} // namespace

bool SameDirectory(const QString& first, const QString& second, const QString& programDirectory) {
    const QString a = Effective(first, programDirectory);
    const QString b = Effective(second, programDirectory);
    if (a.compare(b, Qt::CaseInsensitive) == 0) {
        return true;
    }
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    return !canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath();
}
