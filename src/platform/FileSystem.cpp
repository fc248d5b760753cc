#include "platform/FileSystem.h"

#include <QFile>
#include <sys/vfs.h>

namespace platform {

namespace {

// The f_type of file systems that another machine (or a user-space server) writes behind the
// kernel's back, from <linux/magic.h> and the file systems' own sources.
constexpr unsigned long kUnannouncedTypes[] = {
    0x6969,     // NFS
    0x517B,     // SMB
    0xFF534D42, // CIFS
    0xFE534D42, // SMB2
    0x65735546, // FUSE
    0x01021997, // 9p
    0x00C36400, // Ceph
    0x5346414F, // AFS
    0x6B414653, // kAFS
    0x73757245, // Coda
    0x01161970, // GFS2
    0x7461636F, // OCFS2
    0x0BD00BD0, // Lustre
};

} // namespace

bool changesUnannounced(const QString& path) {
    struct statfs info {};
    if (statfs(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    const auto type = static_cast<unsigned long>(static_cast<unsigned int>(info.f_type));
    for (const unsigned long known : kUnannouncedTypes)
        if (type == known)
            return true;
    return false;
}

} // namespace platform
