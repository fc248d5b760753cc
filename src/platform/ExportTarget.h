#pragma once
// Where an export may write, decided before anything is written.

#include <QString>

namespace platform {

struct ExportTarget {
    QString path;    // the file to replace: the given path, or the file its links lead to
    QString refusal; // empty when the export may go ahead; otherwise why not, as one sentence
};

// Checks the path an export is about to replace. A new name is fine when its folder exists; an
// existing file must be a regular file of this user (a device, FIFO, socket or folder is never
// replaced, nor another user's file). A symbolic link is followed only when every link on the
// way and the file at its end belong to this user and no link sits in a folder another user can
// write; a dangling link is refused. On success `path` names the file to replace, so that the
// write lands there and the links stay as they are. The Schedule file in use (`scheduleFile`) is
// never replaced, whatever name, link or hard link leads to it: it is the same file when device
// and inode are.
ExportTarget checkExportTarget(const QString& path, const QString& scheduleFile);

} // namespace platform
