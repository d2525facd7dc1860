#include "ProgramFolder.h"

#include "NameCodec.h"

#include <QCoreApplication>

#include <string>
#include <unistd.h>

namespace torvanelo {

namespace {

QString withoutTrailingSlash(QString folder) {
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    return folder;
}

QString currentFolder() {
    std::string buffer(4096, '\0');
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() >= (1u << 20))
            return QString();
        buffer.resize(buffer.size() * 2);
    }
    return decodeFileName(QByteArray(buffer.c_str()));
}

} // namespace

QString programFolder() {
    const QByteArray home = qgetenv("TORVANELO_HOME");
    if (home.isEmpty())
        return executableFolder();
    QString folder = decodeFileName(home);
    // A relative name counts from the current folder, which the program
    // never changes after its start.
    if (!folder.startsWith(u'/'))
        folder = currentFolder() + u'/' + folder;
    return withoutTrailingSlash(folder);
}

QString executableFolder() {
    std::string buffer(4096, '\0');
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0)
            return QCoreApplication::applicationDirPath();
        if (size_t(length) < buffer.size()) {
            const QString path = decodeFileName(QByteArray(buffer.data(), length));
            const qsizetype slash = path.lastIndexOf(u'/');
            return slash <= 0 ? QStringLiteral("/") : path.left(slash);
        }
        if (buffer.size() >= (1u << 20))
            return QCoreApplication::applicationDirPath();
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace torvanelo
