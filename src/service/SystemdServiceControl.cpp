#include "SystemdServiceControl.h"

#include "NameCodec.h"
#include "ProcessRunner.h"
#include "ProgramFolder.h"
#include "RootGuard.h"
#include "SettingsStore.h"
#include "SystemLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <climits>
#include <pwd.h>
#include <unistd.h>

namespace torvanelo {

namespace {

QString executableOfThisProcess() {
    QByteArray target(PATH_MAX, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", target.data(), target.size());
    if (length <= 0 || length >= target.size())
        return {};
    target.truncate(length);
    return decodeFileName(target);
}

QString homeFolder() {
    const QByteArray home = qgetenv("HOME");
    if (home.startsWith('/'))
        return decodeFileName(home);
    const passwd* entry = ::getpwuid(::getuid());
    return entry != nullptr && entry->pw_dir != nullptr ? decodeFileName(entry->pw_dir) : QString();
}

QString userUnitFolderOfThisUser() {
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    if (dataHome.startsWith('/'))
        return decodeFileName(dataHome) + QStringLiteral("/systemd/user");
    const QString home = homeFolder();
    if (home.isEmpty())
        return {};
    return home + QStringLiteral("/.local/share/systemd/user");
}

// systemctl prints the state word on standard output; the captured output
// may hold warnings from standard error around it.
bool outputHasLine(const QByteArray& output, const QByteArray& word) {
    for (const QByteArray& line : output.split('\n')) {
        if (line.trimmed() == word)
            return true;
    }
    return false;
}

} // namespace

SystemdServiceSetup SystemdServiceSetup::forThisProcess(const QString& programFolder) {
    SystemdServiceSetup setup;
    setup.executable = executableOfThisProcess();
    setup.programFolder = programFolder;
    setup.userUnitFolder = userUnitFolderOfThisUser();
    const QByteArray unitFolder = qgetenv("TORVANELO_UNIT_FOLDER");
    if (unitFolder.startsWith('/'))
        setup.systemUnitFolder = decodeFileName(unitFolder);
    setup.startedAsService = qgetenv("TORVANELO_SERVICE") == "1";
    // A per-user folder (~/.config/torvanelo) is no home for a system
    // service.
    if (qgetenv("TORVANELO_HOME").isEmpty()
        && QDir::cleanPath(programFolder) != QDir::cleanPath(executableFolder()))
        setup.systemProgramFolder = SystemServiceProgramFolder;
    // The service's own search: its program folder, the folders of the
    // executable, then the PATH that systemd gives a service.
    setup.archiverFolders =
        QStringList{setup.systemProgramFolder.isEmpty() ? programFolder : setup.systemProgramFolder}
        + torvanelo::archiverFolders()
        + QStringList{QStringLiteral("/usr/local/sbin"), QStringLiteral("/usr/local/bin"),
                      QStringLiteral("/usr/sbin"),       QStringLiteral("/usr/bin"),
                      QStringLiteral("/sbin"),           QStringLiteral("/bin")};
    setup.archiverFolders.removeDuplicates();
    return setup;
}

SystemdServiceControl::SystemdServiceControl(ProcessRunner& runner, SystemLog& log,
                                             SystemdServiceSetup setup)
    : m_runner(runner)
    , m_log(log)
    , m_setup(std::move(setup)) {}

QString SystemdServiceControl::unitFilePath(UnitScope scope) const {
    const QString& folder =
        scope == UnitScope::System ? m_setup.systemUnitFolder : m_setup.userUnitFolder;
    if (folder.isEmpty())
        return {};
    return folder + u'/' + ServiceUnitName;
}

bool SystemdServiceControl::hasUnit(UnitScope scope) const {
    const QString path = unitFilePath(scope);
    // A symbolic link counts too: an administrator may link the unit there.
    return !path.isEmpty() && (QFileInfo::exists(path) || QFileInfo(path).isSymLink());
}

bool SystemdServiceControl::installedScope(UnitScope* scope) const {
    for (const UnitScope candidate : {UnitScope::System, UnitScope::User}) {
        if (hasUnit(candidate)) {
            *scope = candidate;
            return true;
        }
    }
    return false;
}

QString SystemdServiceControl::unitProgramFolder(UnitScope scope) const {
    return scope == UnitScope::System && !m_setup.systemProgramFolder.isEmpty()
               ? m_setup.systemProgramFolder
               : m_setup.programFolder;
}

RunResult SystemdServiceControl::query(UnitScope scope, const QString& arguments) const {
    const auto tool = trustedSystemTool(QStringLiteral("systemctl"), m_setup.toolFolders);
    // A quote would end the word of the command line.
    if (!tool || tool->contains(u'"'))
        return RunResult{};
    QString line = u'"' + *tool + QStringLiteral("\" ");
    if (scope == UnitScope::User)
        line += QStringLiteral("--user ");
    return m_runner.runCapturing(line + arguments);
}

bool SystemdServiceControl::systemctl(UnitScope scope, const QString& arguments) const {
    const RunResult result = query(scope, arguments);
    return result.started && !result.crashed && result.exitCode == 0;
}

bool SystemdServiceControl::IsInstalled() const {
    UnitScope scope;
    return installedScope(&scope);
}

bool SystemdServiceControl::IsRunning() const {
    for (const UnitScope scope : {UnitScope::System, UnitScope::User}) {
        if (!hasUnit(scope))
            continue;
        const RunResult result = query(scope, QStringLiteral("is-active ") + ServiceUnitName);
        if (result.started && outputHasLine(result.output, "active"))
            return true;
    }
    return false;
}

bool SystemdServiceControl::IsStartedAsService() const {
    return m_setup.startedAsService;
}

int SystemdServiceControl::StartType() const {
    UnitScope scope;
    if (!installedScope(&scope))
        return m_startType;
    const RunResult result = query(scope, QStringLiteral("is-enabled ") + ServiceUnitName);
    if (outputHasLine(result.output, "masked") || outputHasLine(result.output, "masked-runtime"))
        return 2;
    if (outputHasLine(result.output, "enabled"))
        return 0;
    return 1;
}

void SystemdServiceControl::setStartType(int startType) {
    m_startType = startType;
}

bool SystemdServiceControl::Interactive() const {
    UnitScope scope;
    if (!installedScope(&scope))
        return m_interactive;
    return scope == UnitScope::User;
}

void SystemdServiceControl::setInteractive(bool interactive) {
    m_interactive = interactive;
}

std::optional<UntrustedPath> SystemdServiceControl::untrustedForTheService() const {
    const UnitScope scope = m_interactive ? UnitScope::User : UnitScope::System;
    if (scope == UnitScope::User && !runsAsRoot())
        return std::nullopt;
    RootTrustedSet set;
    set.executable = m_setup.executable;
    set.programFolder = unitProgramFolder(scope);
    const SettingsStore names(set.programFolder);
    set.files = {names.settings().ParametersFile, names.settings().PairFile};
    set.archiverFolders = m_setup.archiverFolders;
    return untrustedForRoot(set);
}

QString SystemdServiceControl::installRefusal(int language) const {
    const auto untrusted = untrustedForTheService();
    return untrusted ? untrustedPathText(*untrusted, language) : QString();
}

bool SystemdServiceControl::Install() {
    const UnitScope scope = m_interactive ? UnitScope::User : UnitScope::System;
    const UnitScope other = m_interactive ? UnitScope::System : UnitScope::User;
    if (hasUnit(other) || untrustedForTheService())
        return false;
    const QString path = unitFilePath(scope);
    if (path.isEmpty())
        return false;
    // The program started by the unit must find the unit where it is.
    const QString unitFolder =
        scope == UnitScope::System && m_setup.systemUnitFolder != DefaultSystemUnitFolder
            ? m_setup.systemUnitFolder
            : QString();
    const std::optional<QByteArray> text =
        systemdUnitText(m_setup.executable, unitProgramFolder(scope), scope, unitFolder);
    if (!text)
        return false;

    const bool existed = hasUnit(scope);
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(*text) != text->size() || !file.commit())
        return false;

    const QString unit = QStringLiteral(" ") + ServiceUnitName;
    if (!systemctl(scope, QStringLiteral("daemon-reload"))) {
        // No service manager to take the unit: a fresh file is taken back so
        // that the program does not report a service that cannot run. Should
        // even that fail, IsInstalled reports the unit that stayed.
        if (!existed)
            QFile::remove(path);
        return false;
    }
    // Each start type undoes what the other two may have left (enable links,
    // a mask) before setting its own state.
    switch (m_startType) {
    case 0:
        return systemctl(scope, QStringLiteral("unmask") + unit)
               && systemctl(scope, QStringLiteral("enable") + unit);
    case 1:
        return systemctl(scope, QStringLiteral("disable") + unit)
               && systemctl(scope, QStringLiteral("unmask") + unit);
    default:
        return systemctl(scope, QStringLiteral("disable") + unit)
               && systemctl(scope, QStringLiteral("mask") + unit);
    }
}

bool SystemdServiceControl::Uninstall() {
    const QString unit = QStringLiteral(" ") + ServiceUnitName;
    bool succeeded = true;
    for (const UnitScope scope : {UnitScope::System, UnitScope::User}) {
        if (!hasUnit(scope))
            continue;
        // Every step runs even when one before failed: each removes part of
        // the registration.
        const QString stop =
            m_setup.startedAsService ? QStringLiteral("stop --no-block") : QStringLiteral("stop");
        succeeded = systemctl(scope, stop + unit) && succeeded;
        succeeded = systemctl(scope, QStringLiteral("disable") + unit) && succeeded;
        succeeded = systemctl(scope, QStringLiteral("unmask") + unit) && succeeded;
        succeeded = QFile::remove(unitFilePath(scope)) && succeeded;
        succeeded = systemctl(scope, QStringLiteral("daemon-reload")) && succeeded;
    }
    return succeeded;
}

void SystemdServiceControl::LogEvent(const QString& text, int eventType) {
    m_log.write(eventType == EventWarning ? LogLevel::Warning : LogLevel::Information, text);
}

} // namespace torvanelo
