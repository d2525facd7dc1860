#include "SystemdUnit.h"

namespace torvanelo {

QByteArray quoteUnitWord(const QString& word) {
    QByteArray quoted;
    quoted.reserve(word.size() + 2);
    quoted += '"';
    for (const char byte : word.toUtf8()) {
        switch (byte) {
        case '\\':
            quoted += "\\\\";
            break;
        case '"':
            quoted += "\\\"";
            break;
        case '%':
            quoted += "%%";
            break;
        default:
            quoted += byte;
        }
    }
    quoted += '"';
    return quoted;
}

bool isUnitSafePath(const QString& path) {
    if (!path.startsWith(u'/') || !path.isValidUtf16())
        return false;
    for (const QChar c : path) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    }
    return true;
}

bool isUnitSafeExecutable(const QString& path) {
    return isUnitSafePath(path) && !path.contains(u'\\') && !path.contains(u'"')
           && !path.contains(u'\'');
}

std::optional<QByteArray> systemdUnitText(const QString& executable, const QString& programFolder,
                                          UnitScope scope, const QString& unitFolder) {
    if (!isUnitSafeExecutable(executable) || !isUnitSafePath(programFolder)
        || (!unitFolder.isEmpty() && !isUnitSafePath(unitFolder)))
        return std::nullopt;

    const bool system = scope == UnitScope::System;
    QByteArray text;
    text += "# Written by Torvanelo's service installation; removed by it.\n";
    text += "[Unit]\n";
    text += "Description=Torvanelo Service\n";
    if (system) {
        // The folder pairs may lie on network file systems: start once they
        // are mounted.
        text += "Wants=network-online.target\n";
        text += "After=network-online.target remote-fs.target\n";
    } else {
        // User sessions begin after remote file systems are mounted (logins
        // wait for systemd-user-sessions.service); a user manager cannot
        // order itself after system targets.
        text += "PartOf=graphical-session.target\n";
        text += "After=graphical-session.target\n";
    }
    text += "\n[Service]\n";
    text += "Type=exec\n";
    text += "ExecStart=" + quoteUnitWord(executable) + '\n';
    text += "Environment=TORVANELO_SERVICE=1\n";
    text +=
        "Environment=" + quoteUnitWord(QStringLiteral("TORVANELO_HOME=") + programFolder) + '\n';
    if (!unitFolder.isEmpty())
        text += "Environment="
                + quoteUnitWord(QStringLiteral("TORVANELO_UNIT_FOLDER=") + unitFolder) + '\n';
    if (system && programFolder == SystemServiceProgramFolder)
        text += "StateDirectory=torvanelo\n";
    if (system)
        text += "Environment=QT_QPA_PLATFORM=offscreen\n";
    // SIGTERM to the program only: it finishes the file in hand, waiting for
    // its archiver, and then ends; the archiver is never cut off by the stop.
    text += "KillMode=mixed\n";
    text += "TimeoutStopSec=10min\n";
    text += "\n[Install]\n";
    text += system ? "WantedBy=multi-user.target\n" : "WantedBy=graphical-session.target\n";
    return text;
}

} // namespace torvanelo
