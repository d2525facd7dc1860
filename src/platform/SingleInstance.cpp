#include "SingleInstance.h"

#include "NameCodec.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

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
         {hashed(encodeFileName(executablePath)), hashed(folderIdentity(programFolder))}) {
        Lock lock{folder + key + QStringLiteral(".socket"),
                  std::make_unique<QLockFile>(folder + key + QStringLiteral(".lock"))};
        // Never stale by age, so a long-running copy keeps its lock; a lock
        // whose process has died is taken over.
        lock.file->setStaleLockTime(0);
        m_locks.push_back(std::move(lock));
    }
}

bool SingleInstance::acquire() {
    m_refusedBy.clear();
    for (Lock& lock : m_locks) {
        if (!lock.file->isLocked() && !lock.file->tryLock(0)) {
            m_refusedBy = lock.rendezvous;
            for (Lock& taken : m_locks)
                taken.file->unlock();
            return false;
        }
    }
    return true;
}

std::vector<QString> SingleInstance::rendezvousNames() const {
    std::vector<QString> names;
    for (const Lock& lock : m_locks) {
        if (lock.file->isLocked())
            names.push_back(lock.rendezvous);
    }
    return names;
}

} // namespace torvanelo
