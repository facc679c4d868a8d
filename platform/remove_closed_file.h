#pragma once

#include <QByteArray>
#include <unistd.h>

// Removes a file this program has just closed. A share mounted through FUSE
// may close the file only after close() has returned and refuses to delete it
// meanwhile (EBUSY), so the removal is tried again for up to two seconds.
// 0 when the file is gone (or was never there), else the last error number.
// `unlinkFile` stands in for unlink(2), so the waiting can be tried without a share.
int RemoveClosedFile(const QByteArray& path, int (*unlinkFile)(const char*) = ::unlink);
