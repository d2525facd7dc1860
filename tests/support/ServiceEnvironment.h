#pragma once

#include "SyslogSink.h"
#include "TestFiles.h"

#include <QDir>
#include <QProcessEnvironment>

#include <optional>

namespace torvanelo::test {

// What the service manager hands the program it starts, with the sink as
// the system log. With a unit folder, a stand-in for the installed unit is
// written there and the program is told where it is. nullopt when the sink
// is not bound or the unit cannot be written.
inline std::optional<QProcessEnvironment> serviceEnvironment(const SyslogSink& log,
                                                             const QString& unitFolder = {}) {
    if (!log.bound)
        return std::nullopt;
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("TORVANELO_SERVICE"), QStringLiteral("1"));
    environment.insert(QStringLiteral("TORVANELO_SYSLOG_SOCKET"), log.path);
    if (!unitFolder.isEmpty()) {
        if (!QDir().mkpath(unitFolder)
            || !writeFile(unitFolder + QStringLiteral("/torvanelo.service"), "# unit\n"))
            return std::nullopt;
        environment.insert(QStringLiteral("TORVANELO_UNIT_FOLDER"), unitFolder);
    }
    return environment;
}

} // namespace torvanelo::test
