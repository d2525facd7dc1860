#include "SingleInstance.h"

#include "NameCodec.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace torvanelo {

namespace {

// The user's runtime folder: private to the user and emptied at logout.
// A system service has none; root's lock then goes to /run, where no other
// user can put a file of that name in its way (as anyone could in /tmp).
QString lockFolder() {
    const QString runtime = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime;
    if (::geteuid() == 0 && QFileInfo(QStringLiteral("/run")).isDir())
        return QStringLiteral("/run");
    return QDir::tempPath();
}

QString hashed(const QByteArray& identity) {
    return QString::fromLatin1(
        QCryptographicHash::hash(identity, QCryptographicHash::Sha256).toHex().left(16));
}

// The program folder as the file system knows it: the same folder reached
// through a link, a bind mount or another spelling has the same identity.
// A folder that cannot be examined falls back to its path as given.
QByteArray folderIdentity(const QString& folder) {
    struct stat status {};
    const QByteArray path = encodeFileName(folder);
    if (::stat(path.constData(), &status) == 0)
        return "folder:" + QByteArray::number(quint64(status.st_dev)) + ':'
               + QByteArray::number(quint64(status.st_ino));
    return "folder path:" + path;
}

} // namespace

SingleInstance::SingleInstance(const QString& executablePath, const QString& programFolder) {
    const QString folder = lockFolder() + QStringLiteral("/torvanelo-");
    for (const QString& key :
         {hashed(encodeFileName(executablePath)), hashed(folderIdentity(programFolder))})
        m_locks.push_back({folder + key + QStringLiteral(".socket"),
                           encodeFileName(folder + key + QStringLiteral(".lock"))});
}

SingleInstance::~SingleInstance() {
    for (Lock& lock : m_locks)
        release(lock);
}

bool SingleInstance::take(Lock& lock) {
    // The holder removes its file when it lets go: a lock taken on a file
    // that has meanwhile left its name is taken again on the new one.
    for (int attempt = 0; attempt < 16; ++attempt) {
        const int fd =
            ::open(lock.path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return false;
        }
        struct stat held {};
        struct stat named {};
        if (::fstat(fd, &held) == 0 && ::stat(lock.path.constData(), &named) == 0
            && held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            lock.fd = fd;
            return true;
        }
        ::close(fd);
    }
    return false;
}

void SingleInstance::release(Lock& lock) {
    if (lock.fd < 0)
        return;
    ::unlink(lock.path.constData());
    ::close(lock.fd);
    lock.fd = -1;
}

bool SingleInstance::acquire() {
    m_refusedBy.clear();
    for (Lock& lock : m_locks) {
        if (lock.fd < 0 && !take(lock)) {
            m_refusedBy = lock.rendezvous;
            for (Lock& taken : m_locks)
                release(taken);
            return false;
        }
    }
    return true;
}

std::vector<QString> SingleInstance::rendezvousNames() const {
    std::vector<QString> names;
    for (const Lock& lock : m_locks) {
        if (lock.fd >= 0)
            names.push_back(lock.rendezvous);
    }
    return names;
}

} // namespace torvanelo
