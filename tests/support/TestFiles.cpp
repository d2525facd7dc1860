#include "TestFiles.h"

#include "NameCodec.h"
#include "linux/UniqueFd.h"
#include "linux/Xattr.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace torvanelo::test {

QString buildDir() {
    const QByteArray fromEnvironment = qgetenv("TORVANELO_BUILD_DIR");
    return fromEnvironment.isEmpty() ? QStringLiteral(TORVANELO_DEFAULT_BUILD_DIR)
                                     : QString::fromLocal8Bit(fromEnvironment);
}

QString rarPath() {
    return buildDir() + QStringLiteral("/rar");
}

bool writeFile(const QString& path, const QByteArray& content) {
    const UniqueFd fd(
        ::open(encodeFileName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    QFile file;
    return fd.valid() && file.open(fd.get(), QIODevice::WriteOnly)
           && file.write(content) == content.size() && file.flush();
}

std::optional<QByteArray> readFile(const QString& path) {
    const UniqueFd fd(::open(encodeFileName(path).constData(), O_RDONLY | O_CLOEXEC));
    QFile file;
    if (!fd.valid() || !file.open(fd.get(), QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray content = file.readAll();
    return file.error() == QFileDevice::NoError ? std::optional(content) : std::nullopt;
}

std::optional<Attributes> readAttributes(const QString& path) {
    const UniqueFd fd(::open(encodeFileName(path).constData(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        return std::nullopt;
    const auto list = xattr::readUserAttributes(fd.get(), false);
    if (!list)
        return std::nullopt;
    Attributes attributes;
    for (const auto& attribute : *list)
        attributes[attribute.name] = attribute.value;
    return attributes;
}

bool writeAttributes(const QString& path, const Attributes& attributes) {
    const UniqueFd fd(::open(encodeFileName(path).constData(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        return false;
    for (const auto& [name, value] : attributes) {
        if (!xattr::writeAttribute(fd.get(), name, value))
            return false;
    }
    return true;
}

bool supportsUserAttributes(const QString& folder) {
    const QString probe = folder + QStringLiteral("/.xattr-probe");
    if (!writeFile(probe, QByteArray()))
        return false;
    const bool supported = writeAttributes(probe, {{"user.probe", "1"}});
    QFile::remove(probe);
    return supported;
}

QStringList namesIn(const QString& folder) {
    QStringList names;
    DIR* directory = ::opendir(encodeFileName(folder).constData());
    if (directory == nullptr)
        return names;
    while (const dirent* entry = ::readdir(directory)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(decodeFileName(name));
    }
    ::closedir(directory);
    names.sort();
    return names;
}

bool setMode(const QString& path, unsigned mode) {
    return ::chmod(encodeFileName(path).constData(), mode_t(mode)) == 0;
}

bool writeScript(const QString& path, const QByteArray& script) {
    return QDir().mkpath(QFileInfo(path).path()) && writeFile(path, script) && setMode(path, 0755);
}

QString userText(unsigned uid) {
    const passwd* entry = ::getpwuid(uid_t(uid));
    return entry ? QString::fromLocal8Bit(entry->pw_name) + QStringLiteral(" (%1)").arg(uid)
                 : QString::number(uid);
}

} // namespace torvanelo::test
