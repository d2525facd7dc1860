#include "SyslogSystemLog.h"

#include "NameCodec.h"

#include <QString>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <syslog.h>
#include <unistd.h>

namespace torvanelo {

namespace {

// Texts made for the Windows event log separate lines with CR LF; syslog
// daemons would show the CR as "#015".
QByteArray entryText(const QString& text) {
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return line.toUtf8();
}

} // namespace

int syslogPriority(LogLevel level) {
    return level == LogLevel::Warning ? LOG_WARNING : LOG_INFO;
}

QByteArray syslogDatagram(LogLevel level, const QString& text, const QDateTime& localTime,
                          qint64 processId) {
    // The time stamp of the traditional syslog form: English month, day
    // padded with a blank, whatever the user's locale.
    static const char* const Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate date = localTime.date();
    const QTime time = localTime.time();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%s %2d %02d:%02d:%02d", Months[(date.month() + 11) % 12],
                  date.day(), time.hour(), time.minute(), time.second());
    return '<' + QByteArray::number(LOG_USER | syslogPriority(level)) + '>' + stamp + " Torvanelo["
           + QByteArray::number(processId) + "]: " + entryText(text);
}

SyslogSystemLog::SyslogSystemLog()
    : SyslogSystemLog(decodeFileName(qgetenv("TORVANELO_SYSLOG_SOCKET"))) {}

SyslogSystemLog::SyslogSystemLog(const QString& socketPath) {
    if (socketPath.isEmpty()) {
        // openlog keeps the pointer, so the ident must live as long as the
        // process.
        static const char ident[] = "Torvanelo";
        ::openlog(ident, LOG_PID, LOG_USER);
        return;
    }
    m_socketPath = encodeFileName(socketPath);
    m_socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
}

SyslogSystemLog::~SyslogSystemLog() {
    if (m_socket >= 0)
        ::close(m_socket);
}

void SyslogSystemLog::write(LogLevel level, const QString& text) {
    if (m_socketPath.isEmpty()) {
        ::syslog(syslogPriority(level), "%s", entryText(text).constData());
        return;
    }
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (m_socket < 0 || m_socketPath.size() >= qsizetype(sizeof address.sun_path))
        return;
    std::memcpy(address.sun_path, m_socketPath.constData(), std::size_t(m_socketPath.size()));
    const QByteArray datagram =
        syslogDatagram(level, text, QDateTime::currentDateTime(), qint64(::getpid()));
    // Dropped on any failure: nobody listening, a full queue, an entry too
    // large for one datagram.
    ssize_t sent;
    do {
        sent = ::sendto(m_socket, datagram.constData(), std::size_t(datagram.size()),
                        MSG_DONTWAIT | MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&address),
                        socklen_t(sizeof address));
    } while (sent < 0 && errno == EINTR);
}

} // namespace torvanelo
