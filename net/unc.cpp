#include "net/unc.h"

#include "app/trace.h"
#include "net/unc_tables.h"
#include "queue/machine_name.h"
#include "queue/queue_entry.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

namespace {

// Part of `path` below `base`, or a null string when `base` does not cover it.
QString Below(const QString& path, const QString& base) {
    if (base == u"/") {
        return path.mid(1);
    }
    if (path == base) {
        return QStringLiteral(""); // covered, nothing below
    }
    if (path.startsWith(base) && path.size() > base.size() && path[base.size()] == u'/') {
        return path.mid(base.size() + 1);
    }
    return QString();
}

QString ComputerNameForShares() {
    const UncTables& tables = CurrentUncTables();
    return tables.computerName.isEmpty() ? ComputerName() : tables.computerName;
}

QString JoinUnc(const QStringList& parts) {
    return QStringLiteral("\\\\") + parts.join(u'\\');
}

QString Backslashed(const QString& rest) {
    QString out = rest;
    out.replace(u'/', u'\\');
    return out;
}

QString UncFromMount(const QString& full) {
    // The deepest mount holds the path; only an SMB one has a network name.
    const MountRow* holder = nullptr;
    const std::vector<MountRow> rows = ReadMountTable(CurrentUncTables().mountInfoPath);
    qsizetype depth = -1;
    for (const MountRow& row : rows) {
        const QString point = QDir::cleanPath(row.mountPoint);
        if (!Below(full, point).isNull() && point.size() > depth) {
            holder = &row;
            depth = point.size();
        }
    }
    SmbMount mount;
    if (!holder || !ParseSmbSource(*holder, mount)) {
        return QString();
    }
    QStringList parts{mount.host, mount.share};
    if (!mount.subPath.isEmpty()) {
        parts << Backslashed(mount.subPath);
    }
    const QString rest = Below(full, mount.mountPoint);
    if (!rest.isEmpty()) {
        parts << Backslashed(rest);
    }
    return JoinUnc(parts);
}

QString UncFromShares(const QString& full, const QString& computer) {
    const UncTables& tables = CurrentUncTables();
    const std::vector<ExportedShare> shares =
        ReadExportedShares(tables.smbConfPath, tables.usershareDir);
    const ExportedShare* best = nullptr;
    for (const ExportedShare& share : shares) {
        if (!Below(full, share.path).isNull() && (!best || share.path.size() > best->path.size())) {
            best = &share;
        }
    }
    if (!best) {
        return QString();
    }
    QStringList parts{computer.toUpper(), best->name.toUpper()};
    const QString rest = Below(full, best->path);
    if (!rest.isEmpty()) {
        parts << Backslashed(rest);
    }
    return JoinUnc(parts);
}

// Components of a network path below \\HOST\SHARE; false when one of them
// could step out of the share.
bool SafeComponents(const QStringList& parts, QStringList& rest) {
    for (const QString& part : parts) {
        if (part.isEmpty()) {
            continue;
        }
        if (part == u"." || part == u".." || part.contains(QChar(0))) {
            return false;
        }
        rest << part;
    }
    return true;
}

// `rest` without the leading components `prefix`, compared without case.
bool StripPrefix(QStringList& rest, const QString& prefix) {
    const QStringList head = prefix.split(u'/', Qt::SkipEmptyParts);
    if (head.size() > rest.size()) {
        return false;
    }
    for (qsizetype i = 0; i < head.size(); ++i) {
        if (head[i].compare(rest[i], Qt::CaseInsensitive) != 0) {
            return false;
        }
    }
    rest = rest.mid(head.size());
    return true;
}

QString Under(const QString& base, const QStringList& rest) {
    if (rest.isEmpty()) {
        return base;
    }
    return base == u"/" ? QStringLiteral("/") + rest.join(u'/') : base + u'/' + rest.join(u'/');
}

} // namespace

bool IsUncPath(const QString& path) {
    return path.startsWith(u"\\\\");
}

QString getuncfilename(const QString& path) {
    if (IsUncPath(path) || path.isEmpty()) {
        return path;
    }
    const QString full = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (!full.startsWith(u'/')) {
        return path;
    }
    const QString computer = ComputerNameForShares();
    if (computer.isEmpty()) {
        return path;
    }
    QString result = UncFromMount(full);
    if (result.isEmpty()) {
        result = UncFromShares(full, computer);
    }
    if (result.isEmpty()) {
        return path;
    }
    if (result.toUtf8().size() > PATH_LENGTH) {
        Trace("cunc:getuncfilename: %s is too long for a network path\n",
              result.toUtf8().constData());
        return path;
    }
    Trace("cunc:getuncfilename: %s is %s\n", full.toUtf8().constData(),
          result.toUtf8().constData());
    return result;
}

QString getlocalfilename(const QString& uncPath) {
    if (!IsUncPath(uncPath)) {
        return QString();
    }
    const QStringList parts = uncPath.mid(2).split(QRegularExpression(QStringLiteral("[\\\\/]")));
    if (parts.size() < 2 || parts[0].isEmpty() || parts[1].isEmpty()) {
        return QString();
    }
    const QString& host = parts[0];
    const QString& share = parts[1];
    QStringList rest;
    if (!SafeComponents(parts.mid(2), rest)) {
        Trace("cunc:getlocalfilename: refused %s\n", uncPath.toUtf8().constData());
        return QString();
    }
    const UncTables& tables = CurrentUncTables();
    for (const MountRow& row : ReadMountTable(tables.mountInfoPath)) {
        SmbMount mount;
        QStringList below = rest;
        if (ParseSmbSource(row, mount) && mount.host.compare(host, Qt::CaseInsensitive) == 0 &&
            mount.share.compare(share, Qt::CaseInsensitive) == 0 &&
            StripPrefix(below, mount.subPath)) {
            return Under(mount.mountPoint, below);
        }
    }
    if (host.compare(ComputerNameForShares(), Qt::CaseInsensitive) == 0) {
        for (const ExportedShare& exported :
             ReadExportedShares(tables.smbConfPath, tables.usershareDir)) {
            if (exported.name.compare(share, Qt::CaseInsensitive) == 0) {
                return Under(exported.path, rest);
            }
        }
    }
    return QString();
}
