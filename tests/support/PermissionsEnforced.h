#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace torvanelo::test {

// For its lifetime the calling thread obeys file permissions and ownership
// as an ordinary user does, even as root: the capabilities that override
// them (and the one that grants leases on other users' files) leave the
// effective set, and come back from the permitted set afterwards. Without
// root, they are not there to begin with.
class PermissionsEnforced {
public:
    PermissionsEnforced() {
        if (::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH)
                                  | (1u << CAP_FOWNER) | (1u << CAP_LEASE));
        m_active = ::syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~PermissionsEnforced() {
        if (m_active)
            (void)::syscall(SYS_capset, &m_header, m_saved);
    }
    PermissionsEnforced(const PermissionsEnforced&) = delete;
    PermissionsEnforced& operator=(const PermissionsEnforced&) = delete;

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_active = false;
};

} // namespace torvanelo::test
