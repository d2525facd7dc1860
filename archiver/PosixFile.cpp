#include "PosixFile.h"

#include "CpuBudget.h"
#include "Names.h"
#include "linux/TemporaryName.h"
#include "linux/Xattr.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace torvanelo::rar {

namespace {

bool marksUnsupported(int error) {
    return error == ENOTSUP || error == EOPNOTSUPP;
}

// An unnamed file in `folder`, marked hidden before it gets its temporary
// name, so that no moment exists in which a leftover would lack the mark.
// Invalid when the file system has no unnamed files or /proc is missing; the
// caller then falls back to creating the name first.
Fd markedUnnamedFile(const std::string& folder, const std::string& prefix,
                     const std::string& finalName, std::string& path) {
    Fd fd(::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (!fd.valid()) {
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)
            return Fd();
        throw RarError(ExitCode::CreateError,
                       systemReason("creating a temporary file in " + quotedName(folder), errno));
    }
    if (!xattr::setHiddenMark(fd.get(), true) && !marksUnsupported(errno))
        throw RarError(
            ExitCode::CreateError,
            systemReason("marking a temporary file in " + quotedName(folder) + " hidden", errno));
    const std::string self = "/proc/self/fd/" + std::to_string(fd.get());
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = prefix + temporaryNameFor(finalName, randomTemporaryPart());
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return fd;
        if (errno != EEXIST)
            break;
    }
    if (errno == ENOENT || errno == EXDEV || errno == EPERM)
        return Fd();
    throw RarError(ExitCode::CreateError,
                   systemReason("creating a temporary file in " + quotedName(folder), errno));
}

} // namespace

std::string systemReason(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

Fd::~Fd() {
    if (m_fd >= 0)
        ::close(m_fd);
}

Fd& Fd::operator=(Fd&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.release();
    }
    return *this;
}

int Fd::release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

bool Fd::close() {
    if (m_fd < 0)
        return true;
    const int fd = release();
    // Linux releases the descriptor even when close reports an error.
    return ::close(fd) == 0 || errno == EINTR;
}

void writeAll(int fd, const void* bytes, size_t size, const std::string& what) {
    const auto* p = static_cast<const char*>(bytes);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw RarError(ExitCode::WriteError, systemReason("writing " + what, errno));
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
}

void pwriteAll(int fd, const void* bytes, size_t size, uint64_t offset, const std::string& what) {
    const auto* p = static_cast<const char*>(bytes);
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, p, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw RarError(ExitCode::WriteError, systemReason("writing " + what, errno));
        }
        p += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
}

size_t readUpTo(int fd, void* bytes, size_t size, const std::string& what) {
    auto* p = static_cast<char*>(bytes);
    size_t total = 0;
    while (total < size) {
        const ssize_t n = ::read(fd, p + total, size - total);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw RarError(ExitCode::OpenError, systemReason("reading " + what, errno));
        }
        if (n == 0)
            break;
        total += static_cast<size_t>(n);
    }
    return total;
}

size_t preadUpTo(int fd, void* bytes, size_t size, uint64_t offset, const std::string& what) {
    auto* p = static_cast<char*>(bytes);
    size_t total = 0;
    while (total < size) {
        const ssize_t n = ::pread(fd, p + total, size - total, static_cast<off_t>(offset + total));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw RarError(ExitCode::OpenError, systemReason("reading " + what, errno));
        }
        if (n == 0)
            break;
        total += static_cast<size_t>(n);
    }
    return total;
}

mode_t currentUmask() {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

void syncFolder(const std::string& folder) {
    Fd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid())
        throw RarError(ExitCode::WriteError,
                       systemReason("opening folder " + quotedName(folder), errno));
    if (::fsync(fd.get()) != 0 && errno != EINVAL)
        throw RarError(ExitCode::WriteError,
                       systemReason("syncing folder " + quotedName(folder), errno));
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string lastComponent(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

TemporaryFile::TemporaryFile(const std::string& finalPath)
    : m_finalPath(finalPath) {
    const std::string folder = folderOf(finalPath);
    const std::string prefix = finalPath.find('/') == std::string::npos
                                   ? std::string()
                                   : (folder == "/" ? folder : folder + "/");
    const std::string finalName = lastComponent(finalPath);
    m_fd = markedUnnamedFile(folder, prefix, finalName, m_path);
    if (!m_fd.valid()) {
        // mkostemps fills the six X with letters and digits, the random part
        // of the shared temporary name pattern.
        m_path = prefix + temporaryNameFor(finalName, std::string(TemporaryRandomLength, 'X'));
        const int fd =
            ::mkostemps(m_path.data(), static_cast<int>(TemporaryNameSuffix.size()), O_CLOEXEC);
        if (fd < 0)
            throw RarError(
                ExitCode::CreateError,
                systemReason("creating a temporary file in " + quotedName(folder), errno));
        m_fd = Fd(fd);
        if (!xattr::setHiddenMark(fd, true) && !marksUnsupported(errno)) {
            const int error = errno;
            ::unlink(m_path.c_str());
            throw RarError(ExitCode::CreateError,
                           systemReason("marking " + quotedName(m_path) + " hidden", error));
        }
    }
    struct stat status {};
    if (::fstat(m_fd.get(), &status) != 0) {
        const int error = errno;
        ::unlink(m_path.c_str());
        throw RarError(ExitCode::CreateError,
                       systemReason("examining " + quotedName(m_path), error));
    }
    m_device = status.st_dev;
    m_inode = status.st_ino;
    registerTemporary(m_path);
}

TemporaryFile::~TemporaryFile() {
    if (!m_committed) {
        ::unlink(m_path.c_str());
        unregisterTemporary(m_path);
    }
}

void TemporaryFile::close() {
    if (!m_fd.close())
        throw RarError(ExitCode::WriteError, systemReason("closing " + quotedName(m_path), errno));
}

void TemporaryFile::reopen() {
    Fd fd(::open(m_path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.valid())
        throw RarError(ExitCode::WriteError,
                       systemReason("reopening " + quotedName(m_path), errno));
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0)
        throw RarError(ExitCode::WriteError,
                       systemReason("examining " + quotedName(m_path), errno));
    if (status.st_dev != m_device || status.st_ino != m_inode)
        throw RarError(ExitCode::WriteError, quotedName(m_path) + " was replaced by another file");
    m_fd = std::move(fd);
}

void TemporaryFile::commit(const FinalState& state) {
    if (!m_fd.valid())
        reopen();
    const int fd = m_fd.get();
    if (state.mtime) {
        const struct timespec times[2] = {{0, UTIME_OMIT}, *state.mtime};
        if (::futimens(fd, times) != 0)
            throw RarError(ExitCode::WriteError,
                           systemReason("setting the time of " + quotedName(m_path), errno));
    }
    // The mark stays until the rename: a run killed before it leaves a
    // marked temporary, which the program removes as the redundant copy it
    // is, never a visible file it would take for the user's.
    if (state.flushed && ::fsync(fd) != 0)
        throw RarError(ExitCode::WriteError, systemReason("syncing " + quotedName(m_path), errno));
    if (::rename(m_path.c_str(), m_finalPath.c_str()) != 0)
        throw RarError(ExitCode::WriteError, systemReason("renaming " + quotedName(m_path) + " to "
                                                              + quotedName(m_finalPath),
                                                          errno));
    m_committed = true;
    unregisterTemporary(m_path);
    // In place now, whole. The mark goes before the mode: without write
    // permission an ordinary user could no longer change it. A run killed in
    // between leaves the file complete but marked; the program unmarks an
    // archive of its own that it finds so.
    if (!xattr::setHiddenMark(fd, state.hidden) && !(marksUnsupported(errno) && !state.hidden))
        throw RarError(
            ExitCode::WriteError,
            systemReason("setting the hidden mark of " + quotedName(m_finalPath), errno));
    if ((state.uid || state.gid)
        && ::fchown(fd, state.uid ? *state.uid : static_cast<uid_t>(-1),
                    state.gid ? *state.gid : static_cast<gid_t>(-1))
               != 0)
        throw RarError(ExitCode::WriteError,
                       systemReason("setting the owner of " + quotedName(m_finalPath), errno));
    if (::fchmod(fd, state.mode) != 0)
        throw RarError(ExitCode::WriteError,
                       systemReason("setting the mode of " + quotedName(m_finalPath), errno));
    close();
}

} // namespace torvanelo::rar
