#include "SingleInstance.h"

#include "NameCodec.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

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

} // namespace

SingleInstance::SingleInstance(const QString& executablePath) {
    const QByteArray key =
        QCryptographicHash::hash(encodeFileName(executablePath), QCryptographicHash::Sha256)
            .toHex()
            .left(16);
    m_lock = std::make_unique<QLockFile>(lockFolder() + QStringLiteral("/torvanelo-")
                                         + QString::fromLatin1(key) + QStringLiteral(".lock"));
    // Never stale by age, so a long-running copy keeps its lock; a lock
    // whose process has died is taken over.
    m_lock->setStaleLockTime(0);
}

bool SingleInstance::acquire() {
    return m_lock->isLocked() || m_lock->tryLock(0);
}

} // namespace torvanelo
