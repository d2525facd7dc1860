#pragma once

#include <QString>

namespace torvanelo {

enum class LogLevel { Information, Warning };

// The system log (syslog/journald on Linux).
class SystemLog {
public:
    virtual ~SystemLog() = default;
    virtual void write(LogLevel level, const QString& text) = 0;
};

} // namespace torvanelo
