#include "AtomicFile.h"

#include "NameCodec.h"
#include "linux/UniqueFd.h"
#include "linux/WriteAll.h"

#include <QRandomGenerator>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace torvanelo {

namespace {

// The bytes of the file that a write must replace: the path itself, or the
// final target of a symbolic link. Empty when it cannot be worked out (a
// dangling link, a path that is not a regular file). existing is set when the
// file is there.
QByteArray replacementTarget(const QString& path, struct stat& status, bool& existing) {
    QByteArray target = encodeFileName(path);
    existing = false;
    if (::lstat(target.constData(), &status) != 0)
        return errno == ENOENT ? target : QByteArray();
    if (S_ISLNK(status.st_mode)) {
        char* resolved = ::realpath(target.constData(), nullptr);
        if (resolved == nullptr)
            return {};
        target = QByteArray(resolved);
        std::free(resolved);
        if (::stat(target.constData(), &status) != 0)
            return {};
    }
    if (!S_ISREG(status.st_mode))
        return {};
    existing = true;
    return target;
}

// A new file next to the target, named like the program's other temporaries
// (".torvanelo-<name>-XXXXXX.tmp", within the 255-byte name limit). The
// returned descriptor is invalid when no file could be created.
int createTemporary(const QByteArray& target, QByteArray& temporaryPath) {
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : target.left(slash + 1);
    const QByteArray prefix = (slash < 0 ? QByteArray("./") : folder) + ".torvanelo-"
                              + target.mid(slash + 1).left(255 - 22) + '-';
    static constexpr char Letters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    // Another name is tried only when the random one is already taken.
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray candidate = prefix;
        for (int i = 0; i < 6; ++i)
            candidate.append(Letters[QRandomGenerator::global()->bounded(int(sizeof Letters - 1))]);
        candidate.append(".tmp");
        const int fd = ::open(candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            temporaryPath = candidate;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

// Reads the whole content of an open regular file from its start.
bool readFromStart(int fd, QByteArray& content) {
    content.clear();
    if (::lseek(fd, 0, SEEK_SET) != 0)
        return false;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        content.append(buffer, n);
    }
}

bool writeFromStart(int fd, const QByteArray& content) {
    return ::lseek(fd, 0, SEEK_SET) == 0
           && writeAll(fd, content.constData(), size_t(content.size()))
           && ::ftruncate(fd, off_t(content.size())) == 0 && ::fsync(fd) == 0;
}

// For a folder that takes no new file while the file itself may be written
// (a program folder the user cannot write to, holding a file the user owns):
// the content is written over the old one, flushed, and only then is the
// file cut to its new length. The space is reserved first, so a full disk
// refuses the write before a byte changes; should a write fail all the
// same, the old content is put back.
bool writeInPlace(const QByteArray& target, const struct stat& expected,
                  const QByteArray& content) {
    const UniqueFd fd(::open(target.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    if (fd.get() < 0 || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)
        || status.st_dev != expected.st_dev || status.st_ino != expected.st_ino)
        return false;
    QByteArray old;
    if (!readFromStart(fd.get(), old))
        return false;
    if (content.size() > 0 && ::fallocate(fd.get(), 0, 0, off_t(content.size())) != 0
        && errno != EOPNOTSUPP && errno != ENOSYS)
        return false;
    if (::lseek(fd.get(), 0, SEEK_SET) == 0
        && writeAll(fd.get(), content.constData(), size_t(content.size())) && ::fsync(fd.get()) == 0
        && ::ftruncate(fd.get(), off_t(content.size())) == 0 && ::fsync(fd.get()) == 0)
        return true;
    (void)writeFromStart(fd.get(), old);
    return false;
}

void syncFolderOf(const QByteArray& target) {
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : target.left(slash == 0 ? 1 : slash);
    const UniqueFd fd(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // The rename has happened either way; some file systems refuse to flush
    // a folder, which does not undo it.
    if (fd.get() >= 0)
        (void)::fsync(fd.get());
}

} // namespace

WholeFile readWholeFile(const QString& path) {
    WholeFile result;
    // O_NONBLOCK: a fifo put in the file's place must not hang the program;
    // it is refused below as not a regular file.
    const UniqueFd fd(::open(encodeFileName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        result.status = errno == ENOENT ? WholeFile::Status::Missing : WholeFile::Status::Failed;
        return result;
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        result.status = WholeFile::Status::Failed;
        return result;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            result.status = WholeFile::Status::Failed;
            result.content.clear();
            return result;
        }
        if (n == 0)
            break;
        result.content.append(buffer, n);
    }
    result.status = WholeFile::Status::Read;
    return result;
}

bool writeFileAtomically(const QString& path, const QByteArray& content) {
    struct stat existingStatus {};
    bool existing = false;
    const QByteArray target = replacementTarget(path, existingStatus, existing);
    if (target.isEmpty())
        return false;

    QByteArray temporaryPath;
    UniqueFd fd(createTemporary(target, temporaryPath));
    if (fd.get() < 0) {
        const bool folderRefuses = errno == EACCES || errno == EPERM;
        return folderRefuses && existing && writeInPlace(target, existingStatus, content);
    }
    const bool written = writeAll(fd.get(), content.constData(), size_t(content.size()))
                         && (!existing || ::fchmod(fd.get(), existingStatus.st_mode & 07777) == 0)
                         && ::fsync(fd.get()) == 0 && fd.close()
                         && ::rename(temporaryPath.constData(), target.constData()) == 0;
    if (!written) {
        fd.reset();
        ::unlink(temporaryPath.constData());
        return false;
    }
    syncFolderOf(target);
    return true;
}

bool removeFileIfPresent(const QString& path) {
    return ::unlink(encodeFileName(path).constData()) == 0 || errno == ENOENT;
}

} // namespace torvanelo
