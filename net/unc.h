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

// The local path of \\HOST\SHARE\rest on this machine: through its SMB mounts
// of //HOST/SHARE (host and share in any case), or through its own exported
// share when HOST is this computer. Empty when no mapping exists, or when a
// component ("." or "..") could leave the share.
QString getlocalfilename(const QString& uncPath);
