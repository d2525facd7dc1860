#pragma once

#include "EnvironmentOverride.h"
#include "NameCodec.h"
#include "PermissionsEnforced.h"
#include "ScratchFolder.h"
#include "TestFiles.h"

#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace torvanelo::test {

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

} // namespace torvanelo::test
