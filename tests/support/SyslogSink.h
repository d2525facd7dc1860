#pragma once

#include <QFile>
#include <QList>
#include <QTemporaryDir>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace torvanelo::test {

// A datagram socket bound in a temporary folder, standing in for the log
// daemon's socket.
class SyslogSink {
public:
    SyslogSink() {
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        std::memcpy(address.sun_path, name.constData(), std::size_t(name.size()));
        bound = m_fd >= 0
                && ::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~SyslogSink() { ::close(m_fd); }

    // Every datagram waiting, in order.
    QList<QByteArray> received() {
        QList<QByteArray> all;
        QByteArray buffer(256 * 1024, '\0');
        for (ssize_t size;
             (size = ::recv(m_fd, buffer.data(), std::size_t(buffer.size()), 0)) >= 0;)
            all.append(buffer.left(size));
        return all;
    }
    // The same, each without its time stamp.
    QList<QByteArray> receivedWithoutStamps();
    void shrinkQueue() {
        const int size = 4096;
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("log"));
    bool bound = false;

private:
    int m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
};

// The part of an entry after its time stamp ("<14>Jan  5 09:03:07 ").
inline QByteArray withoutStamp(const QByteArray& datagram) {
    const qsizetype close = datagram.indexOf('>');
    return datagram.left(close + 1) + datagram.mid(close + 1 + 16);
}

inline QList<QByteArray> SyslogSink::receivedWithoutStamps() {
    QList<QByteArray> entries = received();
    for (QByteArray& entry : entries)
        entry = withoutStamp(entry);
    return entries;
}

} // namespace torvanelo::test
