#include "ScratchMount.h"

#include "NameCodec.h"

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

namespace torvanelo::test {

ScratchMount::ScratchMount(const QString& folder, const QByteArray& type, const QByteArray& options)
    : m_folder(folder)
    , m_type(type)
    , m_options(options) {
    if (::geteuid() != 0) {
        m_error = QStringLiteral("mounting a scratch %1 needs root").arg(QString::fromLatin1(type));
        return;
    }
    const QByteArray path = encodeFileName(folder);
    if (::mount(type.constData(), path.constData(), type.constData(), MS_NOSUID | MS_NODEV,
                options.isEmpty() ? nullptr : options.constData())
        != 0) {
        m_error = QStringLiteral("cannot mount a scratch %1: %2")
                      .arg(QString::fromLatin1(type), QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    m_mounted = true;
}

ScratchMount::~ScratchMount() {
    // Detached, so that a file a test left open cannot keep it mounted.
    if (m_mounted)
        ::umount2(encodeFileName(m_folder).constData(), MNT_DETACH);
}

bool ScratchMount::setReadOnly(bool readOnly) {
    if (!m_mounted)
        return false;
    unsigned long flags = MS_REMOUNT | MS_NOSUID | MS_NODEV;
    if (readOnly)
        flags |= MS_RDONLY;
    return ::mount(m_type.constData(), encodeFileName(m_folder).constData(), m_type.constData(),
                   flags, m_options.isEmpty() ? nullptr : m_options.constData())
           == 0;
}

} // namespace torvanelo::test
