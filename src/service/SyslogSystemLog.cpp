#include "SyslogSystemLog.h"

#include <QString>

#include <syslog.h>

namespace torvanelo {

int syslogPriority(LogLevel level) {
    return level == LogLevel::Warning ? LOG_WARNING : LOG_INFO;
}

SyslogSystemLog::SyslogSystemLog() {
    // openlog keeps the pointer, so the ident must live as long as the process.
    static const char ident[] = "Torvanelo";
    ::openlog(ident, LOG_PID, LOG_USER);
}

void SyslogSystemLog::write(LogLevel level, const QString& text) {
    // Texts made for the Windows event log separate lines with CR LF; syslog
    // daemons would show the CR as "#015".
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    ::syslog(syslogPriority(level), "%s", line.toUtf8().constData());
}

} // namespace torvanelo
