#pragma once
// Tests run as root, whose file access ignores permission bits: a read-only file or folder would
// not stop a write. While a PermissionsApply lives, the calling thread has no capability that
// overrides permissions, so a 0444 file or a 0555 folder refuses writes as it would for any user.
// The program's file access happens on the GUI thread, the one that makes this object.
// ReadOnlyFolder and FileSizeLimit build the write faults of a read-only folder and a full disk.

#include <QDir>
#include <QFile>
#include <csignal>
#include <linux/capability.h>
#include <memory>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace testsupport {

class PermissionsApply {
  public:
    PermissionsApply() {
        header_.version = _LINUX_CAPABILITY_VERSION_3;
        header_.pid = 0;
        if (syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        active_ = syscall(SYS_capset, &header_, reduced) == 0;
    }
    ~PermissionsApply() {
        if (!active_)
            return;
        syscall(SYS_capset, &header_, saved_);
        // Raising capabilities again makes the kernel mark the process non-dumpable, which keeps
        // the leak checker's tracer from attaching to its threads at exit.
        prctl(PR_SET_DUMPABLE, 1, 0, 0, 0);
    }
    PermissionsApply(const PermissionsApply&) = delete;
    PermissionsApply& operator=(const PermissionsApply&) = delete;

  private:
    __user_cap_header_struct header_{};
    __user_cap_data_struct saved_[2]{};
    bool active_ = false;
};

// A folder the program cannot write into: no write permission, and no capability overriding it.
class ReadOnlyFolder {
  public:
    explicit ReadOnlyFolder(const QString& folder) : folder_(folder) {
        QFile::setPermissions(folder_, QFile::ReadOwner | QFile::ExeOwner);
        permissions_ = std::make_unique<PermissionsApply>();
    }
    ~ReadOnlyFolder() {
        permissions_.reset();
        QFile::setPermissions(folder_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
    // Whether a write really fails now (a process that ignores permissions cannot test this).
    bool effective() const {
        QFile probe(QDir(folder_).filePath(QStringLiteral("probe")));
        if (!probe.open(QIODevice::WriteOnly))
            return true;
        probe.remove();
        return false;
    }

  private:
    QString folder_;
    std::unique_ptr<PermissionsApply> permissions_;
};

// Every write past `bytes` fails with EFBIG, as a full disk fails a write part way.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit small = saved_;
        small.rlim_cur = bytes;
        handler_ = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit saved_{};
    void (*handler_)(int) = nullptr;
};

} // namespace testsupport
