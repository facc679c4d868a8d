#pragma once

#include <QString>
#include <vector>

// Where the network-path mapping reads this machine's mounts and shares.
// Tests point these at files they write.
struct UncTables {
    QString mountInfoPath = QStringLiteral("/proc/self/mountinfo");
    QString smbConfPath = QStringLiteral("/etc/samba/smb.conf");
    QString usershareDir = QStringLiteral("/var/lib/samba/usershares");
    QString computerName; // empty: this computer's name
};

void SetUncTables(const UncTables& tables);
const UncTables& CurrentUncTables();

// One mounted file system.
struct MountRow {
    QString mountPoint;
    QString fsType;
    QString source;
};

// A mount of a remote SMB share //host/share[/subPath].
struct SmbMount {
    QString mountPoint;
    QString host;
    QString share;
    QString subPath; // components below the share, '/'-separated; may be empty
};

// A share this machine exports.
struct ExportedShare {
    QString name;
    QString path; // clean absolute path
};

std::vector<MountRow> ReadMountTable(const QString& mountInfoPath);
// The SMB rows of a mount table; false for any other file system.
bool ParseSmbSource(const MountRow& row, SmbMount& mount);

// FUSE file systems that hold SMB shares below their mount point.
enum class FuseSmb {
    None,
    Gvfs,     // the desktop's: MOUNT/smb-share:server=HOST,share=SHARE[,...]/...
    Smbnetfs, // MOUNT/HOST/SHARE/...
};
FuseSmb FuseSmbOf(const MountRow& row);
// HOST and SHARE of a gvfs folder name; false for anything else.
bool ParseGvfsShare(const QString& folderName, QString& host, QString& share);
// The disk shares of smb.conf and of the user-share definitions.
std::vector<ExportedShare> ReadExportedShares(const QString& smbConfPath,
                                              const QString& usershareDir);
