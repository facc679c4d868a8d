#pragma once

#include <QString>

// True when the path begins with two backslashes.
bool IsUncPath(const QString& path);

// The network form of a local path, \\HOST\SHARE\rest, so another machine can
// open it: through the SMB mount the path lies on, or through a share this
// machine exports (the longest covering share path wins; computer and share
// names in capitals). Otherwise, or when the result would not fit a 260-byte
// path, the path itself. Nothing is opened, so an output that does not exist
// yet resolves too.
QString getuncfilename(const QString& path);

// Why a network path has no local path here.
enum class UncProblem {
    None,
    NoMount,      // no mount of that share at all
    Escapes,      // a component ("." or "..") could leave the share
    NameMismatch, // the share is mounted, but from a host that is not the server
};

struct UncMapping {
    QString localPath; // empty unless `problem` is None
    UncProblem problem = UncProblem::None;
    QString mountedFrom; // NameMismatch: the hosts the share is mounted from
};

// The local path of \\HOST\SHARE\rest on this machine, through a mount of
// SHARE (any case) that belongs to the server: a kernel mount (cifs, smb3), a
// desktop mount (gvfs: MOUNT/smb-share:server=H,share=S/...) or a FUSE SMB
// client's tree (smbnetfs: MOUNT/H/S/...). A mount belongs to the server when
// its host H is HOST, or H's name up to its first dot is a name of which HOST
// is the 15-character cut, or H is `serverAddress` or resolves to it. When
// HOST is this computer, its own exported share serves too.
UncMapping MapUncPath(const QString& uncPath, const QString& serverAddress = QString());
// The local path alone; empty when there is none.
QString getlocalfilename(const QString& uncPath);
// The user's sentence for a path that could not be mapped.
QString DescribeUncProblem(const QString& uncPath, const UncMapping& mapping,
                           const QString& serverAddress);
