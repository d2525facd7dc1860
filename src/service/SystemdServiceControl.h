#pragma once

#include "ProcessRunner.h"
#include "RootSafety.h"
#include "ServiceControl.h"
#include "SystemdUnit.h"

#include <QString>

namespace torvanelo {

class SystemLog;

// What the systemd back-end needs to know about this program and this
// machine. The unit folders are the ones systemd reads; tests point them at
// temporary folders.
struct SystemdServiceSetup {
    QString executable;    // absolute path of the program the unit starts
    QString programFolder; // the service's TORVANELO_HOME (parameters file, pair file)
    // System units live in the local administrator's vendor folder, not in
    // /etc/systemd/system: "systemctl mask" puts its /dev/null link into
    // /etc/systemd/system and refuses when a unit file is already there.
    QString systemUnitFolder = DefaultSystemUnitFolder;
    // $XDG_DATA_HOME/systemd/user, for the same reason (mask links go to
    // ~/.config/systemd/user).
    QString userUnitFolder;
    bool startedAsService = false; // TORVANELO_SERVICE is "1" in this process
    // The system unit's TORVANELO_HOME, when not programFolder.
    QString systemProgramFolder = {};
    // Where systemctl is taken from (tests name a folder of their own).
    QStringList toolFolders = systemToolFolders();
    // Where the service would look for the archiver, in order.
    QStringList archiverFolders = {};

    // This process: the executable from /proc/self/exe, the user unit folder
    // of the user running it, and TORVANELO_SERVICE read from the environment.
    // TORVANELO_UNIT_FOLDER, when it holds an absolute path, names the folder
    // of the system unit instead of the default (for tests, and for packages
    // that install units elsewhere, e.g. /usr/lib/systemd/system). A program
    // that keeps its settings away from its executable (installed in
    // /usr/bin, without TORVANELO_HOME) gives the system service
    // /var/lib/torvanelo.
    static SystemdServiceSetup forThisProcess(const QString& programFolder);
};

// MyService on systemd: the service is the unit torvanelo.service.
//
// Not interactive: a system unit (needs root), started at boot, headless
// (QT_QPA_PLATFORM=offscreen). Interactive: a user unit of the user who
// installs it, started with that user's graphical session and stopped with
// it. At most one of the two is installed; Install refuses while the other
// one exists, so two copies never work on the same folders.
//
// Start types: 0 automatic = enabled, 1 manual = installed but neither
// enabled nor masked, 2 (or any other value) disabled = masked.
//
// Every systemctl call goes through the ProcessRunner, by its absolute path
// in the system's own folders (never a systemctl found where users may
// write); without one there, every call fails. Results are returned, never
// thrown; no call waits for user input.
class SystemdServiceControl final : public ServiceControl {
public:
    SystemdServiceControl(ProcessRunner& runner, SystemLog& log, SystemdServiceSetup setup);

    // The unit file of either scope exists.
    bool IsInstalled() const override;
    // systemctl is-active reports the installed unit active.
    bool IsRunning() const override;
    bool IsStartedAsService() const override;

    // Installed: read back from systemctl is-enabled ("enabled" 0, "masked"
    // 2, anything else 1). Not installed: the value last set (0 at first).
    int StartType() const override;
    // Stored for the next Install; an installed unit is not changed.
    void setStartType(int startType) override;
    // Installed: whether it is the user unit. Not installed: the value last
    // set (false at first).
    bool Interactive() const override;
    void setInteractive(bool interactive) override;

    // Writes the unit of the chosen scope atomically, reloads the manager and
    // applies the start type; does not start the service. Installing over a
    // unit of the same scope rewrites it. Fails, with nothing left behind,
    // when the paths cannot be written into a unit, when the other scope's
    // unit exists, when the file cannot be written or when the manager cannot
    // reload; a failed start-type command leaves the unit installed and
    // returns false. A unit that would run as root (a system unit, or any
    // unit installed by root) is refused, before anything is written, while
    // a user other than root could change its program, archiver, program
    // folder or files (installRefusal).
    bool Install() override;
    QString installRefusal(int language) const override;

    // Removes every installed unit: stops the service first (a removed unit
    // whose program still runs would work on the folders beside the program
    // started by hand), then disables, unmasks, deletes the file and reloads.
    // From inside the service itself the stop is queued (--no-block), since
    // waiting for our own end would wait for ever. True when no unit file is
    // left and every command succeeded; nothing installed is success.
    bool Uninstall() override;

    // Type 2 (EventWarning) is a warning, every other type information.
    void LogEvent(const QString& text, int eventType) override;

    // The unit file of the scope.
    QString unitFilePath(UnitScope scope) const;
    // The TORVANELO_HOME of the scope's unit.
    QString unitProgramFolder(UnitScope scope) const;

private:
    std::optional<UntrustedPath> untrustedForTheService() const;
    bool hasUnit(UnitScope scope) const;
    bool installedScope(UnitScope* scope) const;
    RunResult query(UnitScope scope, const QString& arguments) const;
    // The command ran and exited with status 0.
    bool systemctl(UnitScope scope, const QString& arguments) const;

    ProcessRunner& m_runner;
    SystemLog& m_log;
    SystemdServiceSetup m_setup;
    int m_startType = 0;
    bool m_interactive = false;
};

} // namespace torvanelo
