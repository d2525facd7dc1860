#pragma once

#include "SystemLog.h"

namespace torvanelo {

// The system log through syslog(3), which journald collects: ident
// "Torvanelo" with the process id, facility user, information as LOG_INFO and
// warnings as LOG_WARNING. Writing never fails visibly: without a log daemon
// the entry is dropped, as the event log's failures are.
class SyslogSystemLog final : public SystemLog {
public:
    SyslogSystemLog();
    void write(LogLevel level, const QString& text) override;
};

// The syslog priority of a level.
int syslogPriority(LogLevel level);

} // namespace torvanelo
