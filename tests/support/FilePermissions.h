#pragma once
// Tests run as root, whose file access ignores permission bits: a read-only file or folder would
// not stop a write. While a PermissionsApply lives, the calling thread has no capability that
// overrides permissions, so a 0444 file or a 0555 folder refuses writes as it would for any user.
// The program's file access happens on the GUI thread, the one that makes this object.

#include <linux/capability.h>
#include <sys/prctl.h>
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

} // namespace testsupport
