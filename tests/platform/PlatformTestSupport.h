#pragma once

#include "ScratchFolder.h"
#include "ScratchMount.h"

#include <QByteArray>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <sys/stat.h>

namespace torvanelo::test {

// Sets (or, with nullopt, removes) an environment variable for the life of
// the object; the former value comes back afterwards.
class EnvironmentOverride {
public:
    EnvironmentOverride(const char* name, const std::optional<QByteArray>& value);
    ~EnvironmentOverride();
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

private:
    QByteArray m_name;
    std::optional<QByteArray> m_former;
};

// Runs work in a child process under the unprivileged user "nobody"
// (65534) and returns its result (0..255), or -1 when the child could not
// run. Only as root; check canSwitchUser() first.
bool canSwitchUser();
int runAsNobody(const std::function<int()>& work);
inline constexpr uid_t NobodyId = 65534;

std::optional<struct stat> lstatOf(const QString& path);
bool makeFifo(const QString& path);
bool makeSymlink(const QString& target, const QString& link);
bool setMode(const QString& path, mode_t mode);
bool setOwner(const QString& path, uid_t owner);

// Names in the folder left by a move's temporary files.
QStringList temporaryLeftovers(const QString& folder);

// An empty folder on another file system than the temporary folders of the
// tests (which live in QDir::tempPath()), taking user extended attributes:
// a scratch tmpfs when mounting is possible, otherwise a folder in /dev/shm.
class SecondFileSystem {
public:
    SecondFileSystem();
    bool usable() const { return m_reason.isEmpty(); }
    QString skipReason() const { return m_reason; }
    QString path() const { return m_folder->path(); }

private:
    std::unique_ptr<ScratchFolder> m_folder;
    std::unique_ptr<ScratchMount> m_mount;
    QString m_reason;
};

} // namespace torvanelo::test
