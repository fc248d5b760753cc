#pragma once
// What the kind of file system under a path means for a program that waits for a file to change.

#include <QString>

namespace platform {

// True when the file system holding `path` (a file or folder) may change without the kernel
// telling this machine: a network or user-space file system (NFS, SMB/CIFS, FUSE, 9p, …), where
// a write from another machine raises no change event. Such a file must be looked at from time to
// time. False for a local file system, and when the path cannot be looked at.
bool changesUnannounced(const QString& path);

} // namespace platform
