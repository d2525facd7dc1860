#pragma once

#include "NameCodec.h"
#include "PermissionsEnforced.h"
#include "ScratchFolder.h"
#include "ScratchMount.h"
#include "TestFiles.h"

#include <QDir>
#include <QTest>

#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace torvanelo::test {

// Sets (or, with nullopt, removes) an environment variable for the life of
// the object; the former value comes back afterwards.
class EnvironmentOverride {
public:
    EnvironmentOverride(const char* name, const std::optional<QByteArray>& value)
        : m_name(name)
        , m_former(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt) {
        value ? qputenv(name, *value) : qunsetenv(name);
    }
    ~EnvironmentOverride() {
        m_former ? qputenv(m_name.constData(), *m_former) : qunsetenv(m_name.constData());
    }
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

private:
    QByteArray m_name;
    std::optional<QByteArray> m_former;
};

inline constexpr uid_t NobodyId = 65534;

// What f returns when run with an ordinary user's rights while path has the
// given mode; the owner gets full rights on path back afterwards.
template <class F>
auto asOrdinaryUser(const QString& path, unsigned mode, F f) {
    if (!setMode(path, mode))
        QTest::qFail("cannot change the mode for the test", __FILE__, __LINE__);
    auto result = [&] {
        const PermissionsEnforced ordinaryUser;
        return f();
    }();
    if (!setMode(path, 0700))
        QTest::qFail("cannot restore the mode after the test", __FILE__, __LINE__);
    return result;
}

inline std::optional<struct stat> lstatOf(const QString& path) {
    struct stat status {};
    if (::lstat(encodeFileName(path).constData(), &status) != 0)
        return std::nullopt;
    return status;
}

inline bool makeFifo(const QString& path) {
    return ::mkfifo(encodeFileName(path).constData(), 0644) == 0;
}

inline bool makeSymlink(const QString& target, const QString& link) {
    return ::symlink(encodeFileName(target).constData(), encodeFileName(link).constData()) == 0;
}

inline bool setOwner(const QString& path, uid_t owner) {
    return ::lchown(encodeFileName(path).constData(), owner, owner) == 0;
}

// An empty folder on another file system than QDir::tempPath(), taking user
// extended attributes: a scratch tmpfs where mounting is possible, otherwise
// a folder in /dev/shm. skipReason() is empty when it is usable.
class SecondFileSystem {
public:
    SecondFileSystem() {
        m_mount = std::make_unique<ScratchMount>(m_folder->path(), "tmpfs", "size=64m");
        if (!m_mount->mounted())
            m_folder = std::make_unique<ScratchFolder>(QStringLiteral("/dev/shm"));
        const auto here = lstatOf(QDir::tempPath());
        const auto there = lstatOf(m_folder->path());
        if (!here || !there || here->st_dev == there->st_dev)
            m_reason = QStringLiteral("no second file system: %1, and /dev/shm is missing or on "
                                      "the same one as the temporary folder")
                           .arg(m_mount->error());
        else if (!supportsUserAttributes(m_folder->path()))
            m_reason = m_folder->path() + QStringLiteral(" takes no user extended attributes");
    }
    QString skipReason() const { return m_reason; }
    QString path() const { return m_folder->path(); }

private:
    std::unique_ptr<ScratchFolder> m_folder = std::make_unique<ScratchFolder>();
    std::unique_ptr<ScratchMount> m_mount;
    QString m_reason;
};

} // namespace torvanelo::test
