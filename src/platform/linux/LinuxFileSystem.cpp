#include "LinuxFileSystem.h"

#include "NameCodec.h"
#include "linux/TemporaryName.h"
#include "linux/UniqueFd.h"
#include "linux/WriteAll.h"
#include "linux/Xattr.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace torvanelo {

namespace {

// Opening never blocks (a fifo, a file under someone else's lease) and never
// follows a final symbolic link.
constexpr int ReadFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
constexpr int WriteFlags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

// Past this many remembered paths the fallback open test starts afresh; it
// costs one more scan for the files seen then, and bounds the memory.
constexpr size_t MaxSightings = 65536;

// Read in pieces of this size when the kernel cannot copy by itself.
constexpr size_t CopyBufferSize = 1 << 20;

// The bytes of a path. An empty path, or one holding a NUL that the system
// would silently cut short, names nothing.
std::optional<QByteArray> nativePath(const QString& path) {
    QByteArray bytes = encodeFileName(path);
    if (bytes.isEmpty() || bytes.contains('\0')) {
        errno = EINVAL;
        return std::nullopt;
    }
    return bytes;
}

EntryType typeOfMode(mode_t mode) {
    if (S_ISREG(mode))
        return EntryType::File;
    if (S_ISDIR(mode))
        return EntryType::Directory;
    return EntryType::Other;
}

QDateTime toDateTime(const timespec& time) {
    return QDateTime::fromMSecsSinceEpoch(qint64(time.tv_sec) * 1000 + time.tv_nsec / 1000000);
}

bool sameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool isRegularEntry(const char* path) {
    struct stat status {};
    if (::lstat(path, &status) != 0)
        return false;
    if (!S_ISREG(status.st_mode)) {
        errno = EINVAL;
        return false;
    }
    return true;
}

bool isRegularFile(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        return false;
    if (!S_ISREG(status.st_mode)) {
        errno = EINVAL;
        return false;
    }
    return true;
}

// Opens an existing regular file. The entry is checked before it is opened,
// so that no device is ever opened, and again after, against a swap.
UniqueFd openRegular(const QByteArray& path, int flags = ReadFlags) {
    if (!isRegularEntry(path.constData()))
        return {};
    UniqueFd fd(::open(path.constData(), flags, 0666));
    if (fd.valid() && !isRegularFile(fd.get()))
        fd.reset();
    return fd;
}

// Sets or clears the hidden mark. The owner of a read-only file may not
// change its attributes, but may grant himself the write permission for the
// moment of the change.
bool setHiddenMarkOf(int fd, bool hidden) {
    if (xattr::setHiddenMark(fd, hidden))
        return true;
    if (errno != EACCES && errno != EPERM)
        return false;
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        return false;
    const mode_t mode = status.st_mode & 07777;
    if (status.st_uid != ::geteuid() || (mode & S_IWUSR) != 0) {
        errno = EACCES;
        return false;
    }
    if (::fchmod(fd, mode | S_IWUSR) != 0)
        return false;
    const bool changed = xattr::setHiddenMark(fd, hidden);
    const int error = errno;
    const bool restored = ::fchmod(fd, mode) == 0;
    if (!changed)
        errno = error;
    return changed && restored;
}

// Opens a regular file that the owner may not read: gives back the owner's
// read and write permission through a path-only descriptor, then opens the
// very same file through it.
UniqueFd openRestoringOwnerAccess(const QByteArray& path) {
    const UniqueFd handle(::open(path.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!handle.valid() || !isRegularFile(handle.get()))
        return {};
    struct stat status {};
    if (::fstat(handle.get(), &status) != 0)
        return {};
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(handle.get());
    if (::chmod(self.constData(), (status.st_mode & 07777) | S_IRUSR | S_IWUSR) != 0)
        return {};
    UniqueFd fd(::open(self.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.valid() && !isRegularFile(fd.get()))
        fd.reset();
    return fd;
}

// Renames within one file system. Replace::No never replaces: where the
// file system lacks RENAME_NOREPLACE (NFS, CIFS) a hard link, which fails on
// an existing name, stands in for it; where hard links are missing too, the
// target is tested just before the rename.
bool renameEntry(int fromFolder, const char* from, int toFolder, const char* to, Replace replace) {
    if (replace == Replace::Yes)
        return ::renameat(fromFolder, from, toFolder, to) == 0;
    if (::renameat2(fromFolder, from, toFolder, to, RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return false;
    if (::linkat(fromFolder, from, toFolder, to, 0) == 0) {
        if (::unlinkat(fromFolder, from, 0) == 0)
            return true;
        const int error = errno;
        ::unlinkat(toFolder, to, 0);
        errno = error;
        return false;
    }
    if (errno != EPERM && errno != EOPNOTSUPP)
        return false;
    struct stat status {};
    if (::fstatat(toFolder, to, &status, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return false;
    }
    if (errno != ENOENT)
        return false;
    return ::renameat(fromFolder, from, toFolder, to) == 0;
}

// Copies the rest of a file, by the kernel where it can (copy_file_range),
// otherwise through a buffer.
bool copyData(int from, int to) {
    for (;;) {
        const ssize_t copied = ::copy_file_range(from, nullptr, to, nullptr, 1 << 30, 0);
        if (copied > 0)
            continue;
        if (copied == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return false;
        break;
    }
    const auto buffer = std::make_unique<char[]>(CopyBufferSize);
    for (;;) {
        const ssize_t got = ::read(from, buffer.get(), CopyBufferSize);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (got == 0)
            return true;
        if (!writeAll(to, buffer.get(), static_cast<size_t>(got)))
            return false;
    }
}

// The folder and the name of a path ("/a/b" -> "/a", "b"; "/b" -> "/", "b").
std::pair<QByteArray, QByteArray> splitPath(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return {QByteArrayLiteral("."), path};
    return {slash == 0 ? QByteArrayLiteral("/") : path.left(slash), path.mid(slash + 1)};
}

// A temporary file in a folder, removed again unless it was renamed into
// place. Where the file system can, it has no name until it is complete:
// whatever is set on it first (the hidden mark) is there when anyone can see
// it, also after a kill at any point.
class TemporaryFile {
public:
    TemporaryFile(int folder, const QByteArray& finalName)
        : m_folder(folder)
        , m_finalName(finalName.toStdString()) {
        m_fd.reset(::openat(folder, ".", O_WRONLY | O_TMPFILE | O_CLOEXEC, 0600));
        if (m_fd.valid()) {
            m_unnamed = true;
            return;
        }
        // Another file of the same random name is no failure: draw again.
        for (int attempt = 0; attempt < 64; ++attempt) {
            const std::string name = temporaryNameFor(m_finalName, randomTemporaryPart());
            m_fd.reset(::openat(folder, name.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
            if (m_fd.valid()) {
                m_name = name;
                return;
            }
            if (errno != EEXIST)
                return;
        }
    }
    ~TemporaryFile() {
        m_fd.reset();
        if (!m_name.empty()) {
            const int error = errno;
            ::unlinkat(m_folder, m_name.c_str(), 0);
            errno = error;
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool created() const { return m_unnamed || !m_name.empty(); }
    int fd() const { return m_fd.get(); }
    bool close() { return m_fd.close(); }
    // Puts the file in place (an unnamed one first takes a temporary name,
    // as the final name may have to be replaced). The descriptor must still
    // be open for an unnamed file.
    bool renameTo(const QByteArray& finalName, Replace replace) {
        if (m_unnamed && !giveTemporaryName())
            return false;
        if (!renameEntry(m_folder, m_name.c_str(), m_folder, finalName.constData(), replace))
            return false;
        m_name.clear();
        return true;
    }

private:
    bool giveTemporaryName() {
        const std::string self = "/proc/self/fd/" + std::to_string(m_fd.get());
        for (int attempt = 0; attempt < 64; ++attempt) {
            const std::string name = temporaryNameFor(m_finalName, randomTemporaryPart());
            if (::linkat(AT_FDCWD, self.c_str(), m_folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                m_name = name;
                m_unnamed = false;
                return true;
            }
            if (errno != EEXIST)
                return false;
        }
        return false;
    }

    int m_folder;
    std::string m_finalName;
    UniqueFd m_fd;
    std::string m_name;
    bool m_unnamed = false;
};

bool hasMark(const std::vector<xattr::Attribute>& attributes) {
    for (const auto& attribute : attributes) {
        if (attribute.name == xattr::HiddenMarkName)
            return true;
    }
    return false;
}

struct Ownership {
    bool owner = false;
    bool group = false;
};

// Gives the copy, still closed to everyone but the process's user, the
// source's owner and group. Root gives both; an ordinary user keeps the
// group where he belongs to it, and otherwise the copy takes his own group,
// or the folder's where the folder hands its group down (set-group-ID).
bool giveOwnership(int copy, const struct stat& source, Ownership& kept) {
    if (::fchown(copy, source.st_uid, source.st_gid) != 0) {
        if (errno != EPERM)
            return false;
        if (::fchown(copy, static_cast<uid_t>(-1), source.st_gid) != 0 && errno != EPERM)
            return false;
    }
    struct stat now {};
    if (::fstat(copy, &now) != 0)
        return false;
    kept = {now.st_uid == source.st_uid, now.st_gid == source.st_gid};
    return true;
}

// The permission bits of a copy. Set-ID bits only where owner and group are
// the source's; and a group other than the source's gets no rights, so
// that no one reads the copy who could not read the file.
mode_t copyMode(const struct stat& source, const Ownership& kept) {
    if (kept.owner && kept.group)
        return source.st_mode & 07777;
    return source.st_mode & (kept.group ? 0777 : 0707);
}

// Everything of the source except its name goes into the temporary: data,
// user attributes, owner and times, flushed to disk. The temporary carries
// the hidden mark from the start, so that a leftover of an interruption is
// known for what it is; it keeps it until it is in place (finishInPlace). A
// target without any extended attributes takes a plain file that has none
// to carry. kept tells which of the source's owner and group the copy has.
bool fillTemporary(int source, const struct stat& sourceStatus,
                   const std::vector<xattr::Attribute>& attributes, int temporary,
                   Ownership& kept) {
    if (!xattr::setHiddenMark(temporary, true)) {
        if (errno != EOPNOTSUPP || !attributes.empty())
            return false;
    }
    if (!copyData(source, temporary))
        return false;
    for (const auto& attribute : attributes) {
        if (!xattr::writeAttribute(temporary, attribute.name, attribute.value))
            return false;
    }
    if (!giveOwnership(temporary, sourceStatus, kept))
        return false;
    const timespec times[2] = {sourceStatus.st_atim, sourceStatus.st_mtim};
    if (::futimens(temporary, times) != 0)
        return false;
    // A source written meanwhile is not taken: its copy may be torn.
    struct stat now {};
    if (::fstat(source, &now) != 0)
        return false;
    if (now.st_size != sourceStatus.st_size || !sameTime(now.st_mtim, sourceStatus.st_mtim)
        || !sameTime(now.st_ctim, sourceStatus.st_ctim)) {
        errno = EBUSY;
        return false;
    }
    return ::fsync(temporary) == 0;
}

// The copy, whole and under its final name, takes the source's hidden state
// (the mark goes before the mode: without write permission an ordinary user
// could no longer change it) and its permissions (set-id bits only where the
// owner and group were kept), flushed before the source goes.
bool finishInPlace(int copy, const struct stat& sourceStatus, bool sourceHidden,
                   const Ownership& kept) {
    if (!sourceHidden && !xattr::setHiddenMark(copy, false) && errno != EOPNOTSUPP)
        return false;
    return ::fchmod(copy, copyMode(sourceStatus, kept)) == 0 && ::fsync(copy) == 0;
}

// Moves a file to another file system: copy, flush, rename into place, and
// only then delete the source.
bool moveAcrossFileSystems(const QByteArray& from, const QByteArray& to, Replace replace) {
    const auto [targetFolder, targetName] = splitPath(to);
    const QByteArray sourceFolder = splitPath(from).first;
    if (targetName.isEmpty() || targetName == "." || targetName == "..") {
        errno = EINVAL;
        return false;
    }
    struct stat status {};
    if (replace == Replace::No) {
        if (::lstat(to.constData(), &status) == 0) {
            errno = EEXIST;
            return false;
        }
        if (errno != ENOENT)
            return false;
    }
    // The source must go afterwards; when it cannot, copying is in vain.
    if (::faccessat(AT_FDCWD, sourceFolder.constData(), W_OK | X_OK, AT_EACCESS) != 0)
        return false;

    const UniqueFd source = openRegular(from);
    if (!source.valid() || ::fstat(source.get(), &status) != 0)
        return false;
    const auto attributes = xattr::readUserAttributes(source.get(), true);
    if (!attributes)
        return false;
    const UniqueFd folder(::open(targetFolder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid())
        return false;
    TemporaryFile temporary(folder.get(), targetName);
    Ownership kept;
    if (!temporary.created()
        || !fillTemporary(source.get(), status, *attributes, temporary.fd(), kept)
        || !temporary.renameTo(targetName, replace))
        return false;

    // The copy is in place; its final state and the rename are made durable
    // before the source goes. Where any of it fails, the copy is taken back
    // and the source stays.
    const bool finished = finishInPlace(temporary.fd(), status, hasMark(*attributes), kept)
                          && temporary.close() && (::fsync(folder.get()) == 0 || errno == EINVAL);
    if (!finished || ::unlink(from.constData()) != 0) {
        const int error = errno;
        ::unlinkat(folder.get(), targetName.constData(), 0);
        errno = error;
        return false;
    }
    return true;
}

} // namespace

LinuxFileSystem::LinuxFileSystem(OpenTest openTest)
    : m_openTest(openTest) {}

std::optional<std::vector<DirectoryEntry>> LinuxFileSystem::list(const QString& folder) const {
    const auto path = nativePath(folder);
    if (!path)
        return std::nullopt;
    UniqueFd fd(::open(path->constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid())
        return std::nullopt;
    const std::unique_ptr<DIR, int (*)(DIR*)> directory(::fdopendir(fd.get()), &::closedir);
    if (!directory)
        return std::nullopt;
    fd.release();

    std::vector<DirectoryEntry> entries;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(directory.get());
        if (entry == nullptr) {
            if (errno != 0)
                return std::nullopt;
            return entries;
        }
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        EntryType type = EntryType::Other;
        if (entry->d_type == DT_REG) {
            type = EntryType::File;
        } else if (entry->d_type == DT_DIR) {
            type = EntryType::Directory;
        } else if (entry->d_type == DT_UNKNOWN) {
            struct stat status {};
            if (::fstatat(::dirfd(directory.get()), entry->d_name, &status, AT_SYMLINK_NOFOLLOW)
                == 0)
                type = typeOfMode(status.st_mode);
            else if (errno == ENOENT)
                continue; // gone since the folder was read
        }
        entries.push_back({decodeFileName(name), type});
    }
}

bool LinuxFileSystem::exists(const QString& path) const {
    const auto native = nativePath(path);
    struct stat status {};
    return native && ::lstat(native->constData(), &status) == 0;
}

std::optional<FileInfo> LinuxFileSystem::info(const QString& path) const {
    const auto native = nativePath(path);
    struct stat status {};
    if (!native || ::lstat(native->constData(), &status) != 0)
        return std::nullopt;
    return FileInfo{typeOfMode(status.st_mode), qint64(status.st_size), toDateTime(status.st_mtim)};
}

bool LinuxFileSystem::isHidden(const QString& path) const {
    const auto native = nativePath(path);
    if (!native)
        return false;
    const UniqueFd fd = openRegular(*native);
    return fd.valid() && xattr::hasHiddenMark(fd.get());
}

bool LinuxFileSystem::setHidden(const QString& path, bool hidden) {
    const auto native = nativePath(path);
    if (!native)
        return false;
    const UniqueFd fd = openRegular(*native);
    return fd.valid() && setHiddenMarkOf(fd.get(), hidden);
}

bool LinuxFileSystem::setNormal(const QString& path) {
    const auto native = nativePath(path);
    if (!native)
        return false;
    UniqueFd fd = openRegular(*native);
    if (!fd.valid() && errno == EACCES)
        fd = openRestoringOwnerAccess(*native);
    struct stat status {};
    if (!fd.valid() || ::fstat(fd.get(), &status) != 0)
        return false;
    const mode_t ownerAccess = S_IRUSR | S_IWUSR;
    if ((status.st_mode & ownerAccess) != ownerAccess
        && ::fchmod(fd.get(), (status.st_mode & 07777) | ownerAccess) != 0)
        return false;
    return xattr::setHiddenMark(fd.get(), false);
}

bool LinuxFileSystem::remove(const QString& path) {
    const auto native = nativePath(path);
    return native && ::unlink(native->constData()) == 0;
}

bool LinuxFileSystem::makeFolder(const QString& path) {
    const auto native = nativePath(path);
    return native && ::mkdir(native->constData(), 0700) == 0;
}

bool LinuxFileSystem::removeFolder(const QString& path) {
    const auto native = nativePath(path);
    return native && ::rmdir(native->constData()) == 0;
}

namespace {

// Only the process's user may be its owner, and nobody else may enter it.
bool isPrivateFolder(int fd, struct stat& status) {
    if (::fstat(fd, &status) != 0)
        return false;
    if (!S_ISDIR(status.st_mode) || status.st_uid != ::geteuid() || (status.st_mode & 077) != 0) {
        errno = EPERM;
        return false;
    }
    return true;
}

class LinuxHeldFolder final : public HeldFolder {
public:
    LinuxHeldFolder(UniqueFd parent, QByteArray name, UniqueFd folder, const struct stat& status)
        : m_parent(std::move(parent))
        , m_name(std::move(name))
        , m_folder(std::move(folder))
        , m_device(status.st_dev)
        , m_inode(status.st_ino) {}

    QString path() const override {
        return QStringLiteral("/proc/self/fd/") + QString::number(m_folder.get());
    }
    int descriptor() const override { return m_folder.get(); }
    bool removeIfEmpty() override {
        struct stat status {};
        if (::fstatat(m_parent.get(), m_name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            return false;
        if (status.st_dev != m_device || status.st_ino != m_inode) {
            errno = ESTALE;
            return false;
        }
        return ::unlinkat(m_parent.get(), m_name.constData(), AT_REMOVEDIR) == 0;
    }

private:
    UniqueFd m_parent;
    QByteArray m_name;
    UniqueFd m_folder;
    dev_t m_device;
    ino_t m_inode;
};

// The folder that holds a path, opened, and the path's last name.
std::optional<std::pair<UniqueFd, QByteArray>> openParent(const QString& path) {
    const auto native = nativePath(path);
    if (!native)
        return std::nullopt;
    auto [folder, name] = splitPath(*native);
    if (name.isEmpty() || name == "." || name == "..") {
        errno = EINVAL;
        return std::nullopt;
    }
    UniqueFd parent(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parent.valid())
        return std::nullopt;
    return std::make_pair(std::move(parent), name);
}

std::unique_ptr<HeldFolder> holdPrivateFolder(UniqueFd parent, const QByteArray& name) {
    UniqueFd folder(
        ::openat(parent.get(), name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat status {};
    if (!folder.valid() || !isPrivateFolder(folder.get(), status))
        return nullptr;
    return std::make_unique<LinuxHeldFolder>(std::move(parent), name, std::move(folder), status);
}

class LinuxFolderLock final : public FolderLock {
public:
    explicit LinuxFolderLock(UniqueFd fd)
        : m_fd(std::move(fd)) {}

private:
    UniqueFd m_fd; // the lock goes with the descriptor
};

} // namespace

std::unique_ptr<HeldFolder> LinuxFileSystem::makePrivateFolder(const QString& path) {
    auto parent = openParent(path);
    if (!parent || ::mkdirat(parent->first.get(), parent->second.constData(), 0700) != 0)
        return nullptr;
    return holdPrivateFolder(std::move(parent->first), parent->second);
}

std::unique_ptr<HeldFolder> LinuxFileSystem::openPrivateFolder(const QString& path) {
    auto parent = openParent(path);
    if (!parent)
        return nullptr;
    return holdPrivateFolder(std::move(parent->first), parent->second);
}

std::unique_ptr<FolderLock> LinuxFileSystem::lockFolder(const QString& path, bool& busy) {
    busy = false;
    const auto native = nativePath(path);
    if (!native)
        return nullptr;
    UniqueFd fd(::open(native->constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid())
        return nullptr;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) == 0)
        return std::make_unique<LinuxFolderLock>(std::move(fd));
    if (errno == EWOULDBLOCK) {
        busy = true;
        return nullptr;
    }
    // No such locks here (some network file systems): nothing to hold.
    return std::make_unique<LinuxFolderLock>(UniqueFd());
}

bool LinuxFileSystem::isSameFolder(const QString& first, const QString& second) const {
    const auto a = nativePath(first);
    const auto b = nativePath(second);
    struct stat one {};
    struct stat two {};
    return a && b && ::stat(a->constData(), &one) == 0 && ::stat(b->constData(), &two) == 0
           && S_ISDIR(one.st_mode) && one.st_dev == two.st_dev && one.st_ino == two.st_ino;
}

bool LinuxFileSystem::move(const QString& from, const QString& to, Replace replace) {
    const auto source = nativePath(from);
    const auto target = nativePath(to);
    if (!source || !target || !isRegularEntry(source->constData()))
        return false;
    if (renameEntry(AT_FDCWD, source->constData(), AT_FDCWD, target->constData(), replace))
        return true;
    if (errno != EXDEV)
        return false;
    return moveAcrossFileSystems(*source, *target, replace);
}

OpenState LinuxFileSystem::openState(const QString& path) {
    const auto native = nativePath(path);
    if (!native)
        return OpenState::InUse;
    const UniqueFd fd = openRegular(*native);
    struct stat status {};
    if (!fd.valid() || ::fstat(fd.get(), &status) != 0)
        return OpenState::InUse;
    if (m_openTest == OpenTest::Lease) {
        if (::fcntl(fd.get(), F_SETLEASE, F_WRLCK) == 0) {
            ::fcntl(fd.get(), F_SETLEASE, F_UNLCK);
            return OpenState::Free;
        }
        if (errno == EAGAIN)
            return OpenState::InUse; // another open file description exists
    }
    return compareWithLastSighting(*native,
                                   {qint64(status.st_size), status.st_mtim, status.st_ctim});
}

OpenState LinuxFileSystem::compareWithLastSighting(const QByteArray& path, const Sighting& now) {
    const auto known = m_sightings.find(path);
    if (known != m_sightings.end()) {
        const bool unchanged = known->second.size == now.size
                               && sameTime(known->second.modified, now.modified)
                               && sameTime(known->second.changed, now.changed);
        known->second = now;
        return unchanged ? OpenState::Free : OpenState::InUse;
    }
    if (m_sightings.size() >= MaxSightings)
        m_sightings.clear();
    m_sightings.emplace(path, now);
    return OpenState::Unsettled;
}

bool LinuxFileSystem::makeDurable(const QString& path) {
    const auto native = nativePath(path);
    if (!native)
        return false;
    const UniqueFd fd = openRegular(*native);
    if (!fd.valid() || ::fsync(fd.get()) != 0)
        return false;
    const UniqueFd folder(
        ::open(splitPath(*native).first.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // Some file systems cannot flush a folder (EINVAL); their entries are
    // written with the file.
    return folder.valid() && (::fsync(folder.get()) == 0 || errno == EINVAL);
}

namespace {

// Opens a regular file (created when missing) for writing, never through a
// final link nor into a fifo or device.
UniqueFd openForWriting(const QString& path, int extraFlags) {
    const auto native = nativePath(path);
    if (!native)
        return {};
    struct stat status {};
    if (::lstat(native->constData(), &status) == 0 && !S_ISREG(status.st_mode)) {
        errno = EINVAL;
        return {};
    }
    UniqueFd fd(::open(native->constData(), WriteFlags | extraFlags, 0666));
    if (fd.valid() && !isRegularFile(fd.get()))
        fd.reset();
    return fd;
}

} // namespace

bool LinuxFileSystem::writeFile(const QString& path, const QByteArray& content) {
    UniqueFd fd = openForWriting(path, O_TRUNC);
    if (!fd.valid())
        return false;
    return writeAll(fd.get(), content.constData(), size_t(content.size()))
           && ::fdatasync(fd.get()) == 0 && fd.close();
}

bool LinuxFileSystem::createHidden(const QString& path, const QByteArray& content) {
    auto parent = openParent(path);
    if (!parent)
        return false;
    const int folder = parent->first.get();
    TemporaryFile temporary(folder, parent->second);
    // Flushed once it has its name: a journalling file system then puts the
    // content, the mark and the new entry on disk in one commit, and the
    // folder's flush finds nothing left to write. Complete before it is
    // named, so a kill never leaves a part; a power cut before the flush can
    // leave a lone name file, which the next scan removes as it does any
    // name file without its data file.
    return temporary.created() && xattr::setHiddenMark(temporary.fd(), true)
           && writeAll(temporary.fd(), content.constData(), size_t(content.size()))
           && temporary.renameTo(parent->second, Replace::No) && ::fsync(temporary.fd()) == 0
           && temporary.close() && (::fsync(folder) == 0 || errno == EINVAL);
}

bool LinuxFileSystem::appendToFile(const QString& path, const QByteArray& content) {
    UniqueFd fd = openForWriting(path, O_APPEND);
    if (!fd.valid())
        return false;
    return writeAll(fd.get(), content.constData(), size_t(content.size())) && fd.close();
}

std::optional<QByteArray> LinuxFileSystem::readFile(const QString& path, qint64 maxSize) const {
    const auto native = nativePath(path);
    if (!native || maxSize < 0)
        return std::nullopt;
    const UniqueFd fd = openRegular(*native);
    if (!fd.valid())
        return std::nullopt;
    QByteArray content;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (got == 0)
            return content;
        if (content.size() + got > maxSize)
            return std::nullopt;
        content.append(buffer, got);
    }
}

} // namespace torvanelo
