#pragma once

// Writing a whole buffer to a descriptor, going on after short writes and
// interruptions. Qt-free: shared by the file system layer and the config.

#include <cerrno>
#include <cstddef>
#include <unistd.h>

namespace torvanelo {

// False on the first write error (errno tells why).
inline bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace torvanelo
