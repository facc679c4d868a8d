#include "net/unc_tables.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QUrl>

namespace {

constexpr qint64 MAX_TABLE_BYTES = 4 * 1024 * 1024;

UncTables& Tables() {
    static UncTables tables;
    return tables;
}

QStringList ReadLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    // /proc files report size 0, so read up to the bound rather than by size.
    const QByteArray bytes = file.read(MAX_TABLE_BYTES);
    return QString::fromUtf8(bytes).split(u'\n');
}

// Mount tables write blanks, tabs, newlines and backslashes as \ooo.
QString Unescape(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 3 < text.size() && text[i + 1].isDigit() &&
            text[i + 2].isDigit() && text[i + 3].isDigit()) {
            bool ok = false;
            const int code = text.mid(i + 1, 3).toInt(&ok, 8);
            if (ok && code > 0 && code < 256) {
                out.append(QChar(code));
                i += 3;
                continue;
            }
        }
        out.append(text[i]);
    }
    return out;
}

QString CleanShareName(QString name) {
    return name.trimmed();
}

bool UsablePath(const QString& path) {
    return path.startsWith(u'/') && !path.contains(u'%');
}

void ReadSmbConf(const QString& path, std::vector<ExportedShare>& shares) {
    QString section;
    QString sharePath;
    bool printable = false;
    bool available = true;
    const auto flush = [&] {
        const QString lower = section.toLower();
        if (!section.isEmpty() && lower != u"global" && lower != u"homes" && lower != u"printers" &&
            !printable && available && UsablePath(sharePath)) {
            shares.push_back({section, QDir::cleanPath(sharePath)});
        }
        sharePath.clear();
        printable = false;
        available = true;
    };
    QString pending;
    for (const QString& raw : ReadLines(path)) {
        QString line = pending + raw.trimmed();
        pending.clear();
        if (line.endsWith(u'\\')) {
            line.chop(1);
            pending = line;
            continue;
        }
        if (line.isEmpty() || line.startsWith(u'#') || line.startsWith(u';')) {
            continue;
        }
        if (line.startsWith(u'[')) {
            const qsizetype close = line.indexOf(u']');
            if (close > 1) {
                flush();
                section = CleanShareName(line.mid(1, close - 1));
            }
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0) {
            continue;
        }
        const QString key = line.left(equals).remove(u' ').remove(u'\t').toLower();
        const QString value = line.mid(equals + 1).trimmed();
        const QString flag = value.toLower();
        const bool yes = flag == u"yes" || flag == u"true" || flag == u"1";
        if (key == u"path" || key == u"directory") {
            sharePath = value;
        } else if (key == u"printable" || key == u"printok") {
            printable = yes;
        } else if (key == u"available") {
            available = yes;
        }
    }
    flush();
}

void ReadUsershares(const QString& directory, std::vector<ExportedShare>& shares) {
    if (directory.isEmpty()) {
        return; // QDir would take the current directory
    }
    const QDir dir(directory);
    for (const QString& file : dir.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name)) {
        QString name = file;
        QString sharePath;
        for (const QString& raw : ReadLines(dir.filePath(file))) {
            const QString line = raw.trimmed();
            if (line.startsWith(u"path=")) {
                sharePath = line.mid(5);
            } else if (line.startsWith(u"sharename=")) {
                name = line.mid(10);
            }
        }
        if (!name.isEmpty() && UsablePath(sharePath)) {
            shares.push_back({name, QDir::cleanPath(sharePath)});
        }
    }
}

} // namespace

void SetUncTables(const UncTables& tables) {
    Tables() = tables;
}

const UncTables& CurrentUncTables() {
    return Tables();
}

std::vector<MountRow> ReadMountTable(const QString& mountInfoPath) {
    std::vector<MountRow> rows;
    for (const QString& line : ReadLines(mountInfoPath)) {
        const QStringList fields = line.split(u' ', Qt::SkipEmptyParts);
        const qsizetype separator = fields.indexOf(QStringLiteral("-"));
        if (fields.size() < 5 || separator < 6 || separator + 2 >= fields.size()) {
            continue;
        }
        rows.push_back(
            {Unescape(fields[4]), fields[separator + 1], Unescape(fields[separator + 2])});
    }
    return rows;
}

bool ParseSmbSource(const MountRow& row, SmbMount& mount) {
    if (row.fsType != u"cifs" && row.fsType != u"smb3") {
        return false;
    }
    QString source = row.source;
    source.replace(u'\\', u'/');
    if (!source.startsWith(u"//")) {
        return false;
    }
    const QStringList parts = source.mid(2).split(u'/', Qt::SkipEmptyParts);
    if (parts.size() < 2) {
        return false;
    }
    mount.mountPoint = QDir::cleanPath(row.mountPoint);
    mount.host = parts[0];
    mount.share = parts[1];
    mount.subPath = parts.mid(2).join(u'/');
    return true;
}

FuseSmb FuseSmbOf(const MountRow& row) {
    if (row.fsType == u"fuse.gvfsd-fuse") {
        return FuseSmb::Gvfs;
    }
    if (row.fsType == u"fuse.smbnetfs") {
        return FuseSmb::Smbnetfs;
    }
    return FuseSmb::None;
}

bool ParseGvfsShare(const QString& folderName, QString& host, QString& share) {
    static const QString PREFIX = QStringLiteral("smb-share:");
    if (!folderName.startsWith(PREFIX)) {
        return false;
    }
    host.clear();
    share.clear();
    for (const QString& pair : folderName.mid(PREFIX.size()).split(u',')) {
        const qsizetype equals = pair.indexOf(u'=');
        const QString key = pair.left(equals);
        // gvfs escapes its separators in values as %XX.
        const QString value = QUrl::fromPercentEncoding(pair.mid(equals + 1).toUtf8());
        if (equals > 0 && key == u"server") {
            host = value;
        } else if (equals > 0 && key == u"share") {
            share = value;
        }
    }
    return !host.isEmpty() && !share.isEmpty();
}

std::vector<ExportedShare> ReadExportedShares(const QString& smbConfPath,
                                              const QString& usershareDir) {
    std::vector<ExportedShare> shares;
    ReadSmbConf(smbConfPath, shares);
    ReadUsershares(usershareDir, shares);
    return shares;
}
