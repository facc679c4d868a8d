#include "net/unc.h"

#include "app/trace.h"
#include "net/unc_tables.h"
#include "queue/machine_name.h"
#include "queue/queue_entry.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QHostAddress>
#include <QHostInfo>
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

// The network name of a path below a FUSE tree of shares; empty when the
// path is not inside one of its shares.
QStringList FuseShareParts(const MountRow& row, const QString& full) {
    const QStringList below =
        Below(full, QDir::cleanPath(row.mountPoint)).split(u'/', Qt::SkipEmptyParts);
    QString host;
    QString share;
    switch (FuseSmbOf(row)) {
    case FuseSmb::Gvfs:
        if (!below.isEmpty() && ParseGvfsShare(below[0], host, share)) {
            return QStringList{host, share} + below.mid(1);
        }
        return {};
    case FuseSmb::Smbnetfs:
        return below.size() >= 2 ? below : QStringList();
    case FuseSmb::None:
        break;
    }
    return {};
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
    if (holder == nullptr) {
        return QString();
    }
    SmbMount mount;
    if (!ParseSmbSource(*holder, mount)) {
        const QStringList parts = FuseShareParts(*holder, full);
        return parts.isEmpty() ? QString() : JoinUnc(parts);
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

namespace {

bool IsAddress(const QString& host) {
    QHostAddress address;
    return address.setAddress(host) && address.protocol() == QAbstractSocket::IPv4Protocol;
}

// A host name's IPv4 addresses, looked up once in a while.
bool ResolvesTo(const QString& host, const QHostAddress& wanted) {
    constexpr qint64 KEEP_MS = 60000;
    struct Lookup {
        qint64 at = 0;
        QList<QHostAddress> addresses;
    };
    static QHash<QString, Lookup> cache;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    Lookup& lookup = cache[host.toLower()];
    if (lookup.at == 0 || now - lookup.at > KEEP_MS) {
        lookup.addresses = QHostInfo::fromName(host).addresses();
        lookup.at = now;
    }
    return lookup.addresses.contains(wanted);
}

// Whether a mount from `mountHost` reaches the server that calls itself
// `uncHost` and that this machine knows at `serverAddress`.
bool BelongsToServer(const QString& mountHost, const QString& uncHost,
                     const QString& serverAddress) {
    if (mountHost.compare(uncHost, Qt::CaseInsensitive) == 0) {
        return true;
    }
    const bool literal = IsAddress(mountHost);
    // A computer name is the host name up to its first dot, cut to 15.
    if (!literal && mountHost.section(u'.', 0, 0)
                            .left(MACHINE_NAME_LENGTH)
                            .compare(uncHost, Qt::CaseInsensitive) == 0) {
        return true;
    }
    const QHostAddress server(serverAddress);
    if (server.isNull()) {
        return false;
    }
    return literal ? QHostAddress(mountHost) == server : ResolvesTo(mountHost, server);
}

// A host or share name that cannot be a step out of a folder.
bool SafeName(const QString& name) {
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(QChar(0));
}

// The child of `folder` named `name` in any case, or empty.
QString ChildInAnyCase(const QString& folder, const QString& name) {
    for (const QString& entry : QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0) {
            return folder + u'/' + entry;
        }
    }
    return QString();
}

UncMapping Mapped(const QString& path) {
    UncMapping mapping;
    mapping.localPath = path;
    return mapping;
}

UncMapping Problem(UncProblem problem, const QString& mountedFrom = QString()) {
    UncMapping mapping;
    mapping.problem = problem;
    mapping.mountedFrom = mountedFrom;
    return mapping;
}

} // namespace

UncMapping MapUncPath(const QString& uncPath, const QString& serverAddress) {
    if (!IsUncPath(uncPath)) {
        return Problem(UncProblem::NoMount);
    }
    const QStringList parts = uncPath.mid(2).split(QRegularExpression(QStringLiteral("[\\\\/]")));
    QStringList rest;
    if (parts.size() < 2 || !SafeName(parts[0]) || !SafeName(parts[1]) ||
        !SafeComponents(parts.mid(2), rest)) {
        Trace("cunc:getlocalfilename: refused %s\n", uncPath.toUtf8().constData());
        return Problem(UncProblem::Escapes);
    }
    const QString& host = parts[0];
    const QString& share = parts[1];
    const auto sameShare = [&share](const QString& name) {
        return name.compare(share, Qt::CaseInsensitive) == 0;
    };
    QStringList mountedFrom;
    const UncTables& tables = CurrentUncTables();
    for (const MountRow& row : ReadMountTable(tables.mountInfoPath)) {
        SmbMount mount;
        if (ParseSmbSource(row, mount)) {
            QStringList below = rest;
            if (!sameShare(mount.share) || !StripPrefix(below, mount.subPath)) {
                continue;
            }
            if (BelongsToServer(mount.host, host, serverAddress)) {
                return Mapped(Under(mount.mountPoint, below));
            }
            mountedFrom << mount.host;
            continue;
        }
        const QString point = QDir::cleanPath(row.mountPoint);
        if (FuseSmbOf(row) == FuseSmb::Gvfs) {
            for (const QString& entry : QDir(point).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
                QString mountHost;
                QString mountShare;
                if (!ParseGvfsShare(entry, mountHost, mountShare) || !sameShare(mountShare)) {
                    continue;
                }
                if (BelongsToServer(mountHost, host, serverAddress)) {
                    return Mapped(Under(point + u'/' + entry, rest));
                }
                mountedFrom << mountHost;
            }
        } else if (FuseSmbOf(row) == FuseSmb::Smbnetfs) {
            // Its tree shows a host when asked for it: by address first, which
            // needs no name service.
            for (const QString& name : QStringList{serverAddress, host, host.toLower()}) {
                const QString shareFolder =
                    SafeName(name) ? ChildInAnyCase(point + u'/' + name, share) : QString();
                if (!shareFolder.isEmpty()) {
                    return Mapped(Under(shareFolder, rest));
                }
            }
        }
    }
    if (host.compare(ComputerNameForShares(), Qt::CaseInsensitive) == 0) {
        for (const ExportedShare& exported :
             ReadExportedShares(tables.smbConfPath, tables.usershareDir)) {
            if (sameShare(exported.name)) {
                return Mapped(Under(exported.path, rest));
            }
        }
    }
    if (!mountedFrom.isEmpty()) {
        mountedFrom.removeDuplicates();
        return Problem(UncProblem::NameMismatch, mountedFrom.join(QStringLiteral(", ")));
    }
    return Problem(UncProblem::NoMount);
}

QString getlocalfilename(const QString& uncPath) {
    return MapUncPath(uncPath).localPath;
}

QString DescribeUncProblem(const QString& uncPath, const UncMapping& mapping,
                           const QString& serverAddress) {
    const QStringList parts = uncPath.mid(2).split(QRegularExpression(QStringLiteral("[\\\\/]")));
    const QString host = parts.value(0);
    const QString share = parts.value(1);
    switch (mapping.problem) {
    case UncProblem::None:
        break;
    case UncProblem::NoMount:
        return QStringLiteral("The server's file %1 cannot be reached from this machine: no "
                              "share %2 of the server is mounted here.")
            .arg(uncPath, share);
    case UncProblem::Escapes:
        return QStringLiteral("The server's path %1 was refused: it leads out of its share.")
            .arg(uncPath);
    case UncProblem::NameMismatch:
        return QStringLiteral("The server's file %1 cannot be reached from this machine: the "
                              "share %2 is mounted here from %3, which is not the server %4%5.")
            .arg(uncPath, share, mapping.mountedFrom, host,
                 serverAddress.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(serverAddress));
    }
    return QString();
}
