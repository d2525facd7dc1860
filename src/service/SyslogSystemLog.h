#pragma once

#include "SystemLog.h"

#include <QByteArray>
#include <QDateTime>

namespace torvanelo {

// The system log through syslog(3), which journald collects: ident
// "Torvanelo" with the process id, facility user, information as LOG_INFO and
// warnings as LOG_WARNING. Writing never fails visibly: without a log daemon
// the entry is dropped, as the event log's failures are.
//
// When the environment variable TORVANELO_SYSLOG_SOCKET names a socket, the
// entries go to that datagram socket instead, in the form syslog(3) sends to
// /dev/log (for tests, and for a log daemon that listens elsewhere). A
// socket nobody listens on, or one that is full, drops the entry: the
// program never waits for the log.
class SyslogSystemLog final : public SystemLog {
public:
    // The socket of TORVANELO_SYSLOG_SOCKET, or syslog(3) when it is unset or
    // empty.
    SyslogSystemLog();
    // The given datagram socket; an empty path means syslog(3).
    explicit SyslogSystemLog(const QString& socketPath);
    ~SyslogSystemLog() override;
    SyslogSystemLog(const SyslogSystemLog&) = delete;
    SyslogSystemLog& operator=(const SyslogSystemLog&) = delete;

    void write(LogLevel level, const QString& text) override;

private:
    QByteArray m_socketPath;
    int m_socket = -1;
};

// The syslog priority of a level.
int syslogPriority(LogLevel level);

// One entry as syslog(3) sends it: "<PRI>Mmm dd hh:mm:ss Torvanelo[pid]: "
// and the text in UTF-8, PRI being facility user with the level's priority.
QByteArray syslogDatagram(LogLevel level, const QString& text, const QDateTime& localTime,
                          qint64 processId);

} // namespace torvanelo
