#include "PlatformTestSupport.h"

#include "FileSystem.h"
#include "NameCodec.h"
#include "TestFiles.h"
#include "linux/LinuxFileSystem.h"

#include <QDir>

#include <cerrno>
#include <cstdlib>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace torvanelo::test {

EnvironmentOverride::EnvironmentOverride(const char* name, const std::optional<QByteArray>& value)
    : m_name(name) {
    if (const char* former = ::getenv(name))
        m_former = QByteArray(former);
    if (value)
        ::setenv(name, value->constData(), 1);
    else
        ::unsetenv(name);
}

EnvironmentOverride::~EnvironmentOverride() {
    if (m_former)
        ::setenv(m_name.constData(), m_former->constData(), 1);
    else
        ::unsetenv(m_name.constData());
}

bool canSwitchUser() {
    return ::geteuid() == 0;
}

int runAsNobody(const std::function<int()>& work) {
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(NobodyId) != 0 || ::setuid(NobodyId) != 0)
            ::_exit(255);
        ::_exit(work());
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::optional<struct stat> lstatOf(const QString& path) {
    struct stat status {};
    if (::lstat(encodeFileName(path).constData(), &status) != 0)
        return std::nullopt;
    return status;
}

bool makeFifo(const QString& path) {
    return ::mkfifo(encodeFileName(path).constData(), 0644) == 0;
}

bool makeSymlink(const QString& target, const QString& link) {
    return ::symlink(encodeFileName(target).constData(), encodeFileName(link).constData()) == 0;
}

bool setMode(const QString& path, mode_t mode) {
    return ::chmod(encodeFileName(path).constData(), mode) == 0;
}

bool setOwner(const QString& path, uid_t owner) {
    return ::lchown(encodeFileName(path).constData(), owner, owner) == 0;
}

QStringList temporaryLeftovers(const QString& folder) {
    QStringList leftovers;
    const auto entries = LinuxFileSystem().list(folder);
    if (!entries)
        return {QStringLiteral("(folder cannot be listed)")};
    for (const auto& entry : *entries) {
        if (entry.name.startsWith(QStringLiteral(".torvanelo-")))
            leftovers.append(entry.name);
    }
    return leftovers;
}

SecondFileSystem::SecondFileSystem() {
    QString mountError;
    m_folder = std::make_unique<ScratchFolder>();
    if (m_folder->isValid()) {
        m_mount = std::make_unique<ScratchMount>(m_folder->path(), "tmpfs", "size=64m");
        if (!m_mount->mounted()) {
            mountError = m_mount->error();
            m_mount.reset();
            m_folder = std::make_unique<ScratchFolder>(QStringLiteral("/dev/shm"));
        }
    }
    const auto here = lstatOf(QDir::tempPath());
    const auto there = m_folder->isValid() ? lstatOf(m_folder->path()) : std::nullopt;
    if (!here || !there)
        m_reason =
            QStringLiteral("no second file system: %1, and no folder in /dev/shm").arg(mountError);
    else if (here->st_dev == there->st_dev)
        m_reason = QStringLiteral("no second file system: %1, and /dev/shm is on the same one "
                                  "as the temporary folder")
                       .arg(mountError);
    else if (!supportsUserAttributes(m_folder->path()))
        m_reason = QStringLiteral("the second file system (%1) takes no user extended attributes")
                       .arg(m_folder->path());
}

} // namespace torvanelo::test
