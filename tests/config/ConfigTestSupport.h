#pragma once

#include "NameCodec.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <dirent.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace torvanelo::test {

// For its lifetime the process obeys file permissions even as root: the
// capabilities that override them leave the effective set and come back from
// the permitted set afterwards. Without root, permissions apply anyway.
class PermissionsEnforced {
public:
    PermissionsEnforced() {
        if (::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
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

inline bool makeFolder(const QString& path) {
    return ::mkdir(encodeFileName(path).constData(), 0755) == 0;
}

inline bool changeMode(const QString& path, mode_t mode) {
    return ::chmod(encodeFileName(path).constData(), mode) == 0;
}

inline mode_t modeOf(const QString& path) {
    struct stat status {};
    return ::stat(encodeFileName(path).constData(), &status) == 0 ? status.st_mode & 07777 : 0;
}

// Every name in the folder except "." and "..", sorted.
inline QStringList namesIn(const QString& folder) {
    QStringList names;
    DIR* dir = ::opendir(encodeFileName(folder).constData());
    if (dir == nullptr)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(decodeFileName(name));
    }
    ::closedir(dir);
    names.sort();
    return names;
}

} // namespace torvanelo::test
