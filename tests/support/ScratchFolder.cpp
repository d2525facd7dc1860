#include "ScratchFolder.h"

#include "NameCodec.h"

#include <QDir>

#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace torvanelo::test {

namespace {

// Empties the folder open as fd (which it closes), staying on device.
bool emptyFolder(int fd, dev_t device) {
    DIR* directory = ::fdopendir(fd);
    if (directory == nullptr) {
        ::close(fd);
        return false;
    }
    bool removed = true;
    while (const dirent* entry = ::readdir(directory)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        struct stat status {};
        if (::fstatat(::dirfd(directory), name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
            removed = false;
            continue;
        }
        if (S_ISDIR(status.st_mode)) {
            if (status.st_dev != device) {
                removed = false; // a file system mounted here: leave it alone
                continue;
            }
            ::fchmodat(::dirfd(directory), name, 0700, 0);
            const int child =
                ::openat(::dirfd(directory), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            removed = child >= 0 && emptyFolder(child, device) && removed;
            removed = ::unlinkat(::dirfd(directory), name, AT_REMOVEDIR) == 0 && removed;
        } else {
            removed = ::unlinkat(::dirfd(directory), name, 0) == 0 && removed;
        }
    }
    ::closedir(directory);
    return removed;
}

} // namespace

bool removeTree(const QString& folder) {
    const QByteArray path = encodeFileName(folder);
    struct stat status {};
    if (::lstat(path.constData(), &status) != 0 || !S_ISDIR(status.st_mode))
        return false;
    ::chmod(path.constData(), 0700);
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool emptied = emptyFolder(fd, status.st_dev);
    return ::rmdir(path.constData()) == 0 && emptied;
}

ScratchFolder::ScratchFolder()
    : ScratchFolder(QDir::tempPath()) {}

ScratchFolder::ScratchFolder(const QString& base) {
    QByteArray pattern = encodeFileName(base) + "/torvanelo-test-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr)
        m_path = decodeFileName(pattern);
}

ScratchFolder::~ScratchFolder() {
    if (isValid())
        removeTree(m_path);
}

} // namespace torvanelo::test
