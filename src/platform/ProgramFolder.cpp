#include "ProgramFolder.h"

#include "NameCodec.h"

#include <QCoreApplication>

#include <fcntl.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// Where an installation puts the archiver and the help documents, relative
// to the prefix whose bin/ holds the executable; the install rules use the
// same folders.
#ifndef TORVANELO_ARCHIVER_INSTALL_DIR
#define TORVANELO_ARCHIVER_INSTALL_DIR "lib/torvanelo"
#endif
#ifndef TORVANELO_DATA_INSTALL_DIR
#define TORVANELO_DATA_INSTALL_DIR "share/torvanelo"
#endif

namespace torvanelo {

namespace {

QString withoutTrailingSlash(QString folder) {
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    return folder;
}

QString inFolder(const QString& folder, const QString& name) {
    return folder == u"/" ? u'/' + name : folder + u'/' + name;
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

bool isRegularFile(const QString& path) {
    struct stat status {};
    return ::stat(encodeFileName(path).constData(), &status) == 0 && S_ISREG(status.st_mode);
}

bool isWritableFolder(const QString& folder) {
    const QByteArray bytes = encodeFileName(folder);
    struct stat status {};
    return ::stat(bytes.constData(), &status) == 0 && S_ISDIR(status.st_mode)
           && ::faccessat(AT_FDCWD, bytes.constData(), W_OK | X_OK, AT_EACCESS) == 0;
}

// Folders the package manager fills: root may write them, but a program
// installed there keeps no settings beside itself.
bool isSystemProgramFolder(const QString& folder) {
    static const QStringList systemFolders{
        QStringLiteral("/bin"),           QStringLiteral("/sbin"),
        QStringLiteral("/usr/bin"),       QStringLiteral("/usr/sbin"),
        QStringLiteral("/usr/local/bin"), QStringLiteral("/usr/local/sbin"),
        QStringLiteral("/usr/games"),     QStringLiteral("/usr/local/games")};
    return systemFolders.contains(withoutTrailingSlash(folder));
}

QString absoluteFromEnvironment(const char* name) {
    const QByteArray value = qgetenv(name);
    if (!value.startsWith('/'))
        return QString(); // unset, empty or relative: not to be used
    return withoutTrailingSlash(decodeFileName(value));
}

QString userHome() {
    if (const QString home = absoluteFromEnvironment("HOME"); !home.isEmpty())
        return home;
    std::string buffer(16384, '\0');
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0
        || found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] != '/')
        return QString();
    return withoutTrailingSlash(decodeFileName(QByteArray(found->pw_dir)));
}

// $XDG_CONFIG_HOME/torvanelo, by default ~/.config/torvanelo; empty when
// this user has no home folder.
QString userConfigFolder() {
    QString base = absoluteFromEnvironment("XDG_CONFIG_HOME");
    if (base.isEmpty()) {
        const QString home = userHome();
        if (home.isEmpty())
            return QString();
        base = inFolder(home, QStringLiteral(".config"));
    }
    return inFolder(base, QStringLiteral("torvanelo"));
}

// Creates the folder and whichever of its parents are missing, each with
// mode 0700 whatever the umask. A failure is left for the first file
// written there to report.
void createPrivateFolder(const QString& folder) {
    const QByteArray path = encodeFileName(folder);
    struct stat status {};
    if (::stat(path.constData(), &status) == 0)
        return;
    for (qsizetype slash = path.indexOf('/', 1);; slash = path.indexOf('/', slash + 1)) {
        const QByteArray prefix = slash < 0 ? path : path.left(slash);
        if (::mkdir(prefix.constData(), 0700) == 0)
            (void)::chmod(prefix.constData(), 0700);
        else if (errno != EEXIST)
            return;
        if (slash < 0)
            return;
    }
}

// <prefix>/<subfolder> for an executable in <prefix>/bin; empty otherwise,
// so that a build folder or an unpacked copy looks nowhere outside itself.
QString installedFolder(const QString& executableFolder, const QString& subfolder) {
    const QString folder = withoutTrailingSlash(executableFolder);
    const qsizetype slash = folder.lastIndexOf(u'/');
    if (slash < 0 || QStringView(folder).mid(slash + 1) != u"bin")
        return QString();
    const QString prefix = slash == 0 ? QStringLiteral("/") : folder.left(slash);
    return inFolder(prefix, subfolder);
}

QStringList withInstalledFolder(QStringList folders, const QString& subfolder) {
    if (const QString installed = installedFolder(executableFolder(), subfolder);
        !installed.isEmpty())
        folders.append(installed);
    folders.removeDuplicates();
    return folders;
}

} // namespace

QString programFolder() {
    return programFolderBeside(executableFolder());
}

QString programFolderBeside(const QString& executableFolder) {
    const QByteArray home = qgetenv("TORVANELO_HOME");
    if (!home.isEmpty()) {
        QString folder = decodeFileName(home);
        // A relative name counts from the current folder, which the program
        // never changes after its start.
        if (!folder.startsWith(u'/'))
            folder = currentFolder() + u'/' + folder;
        return withoutTrailingSlash(folder);
    }
    // A copy that keeps its files beside itself goes on doing so, even
    // where it could not write them now.
    if (isRegularFile(inFolder(executableFolder, QStringLiteral("Torvanelo.ini")))
        || isRegularFile(inFolder(executableFolder, QStringLiteral("Torvanelo.w"))))
        return executableFolder;
    if (!isSystemProgramFolder(executableFolder) && isWritableFolder(executableFolder))
        return executableFolder;
    const QString own = userConfigFolder();
    if (own.isEmpty())
        return executableFolder;
    createPrivateFolder(own);
    return own;
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

QStringList archiverFolders() {
    return withInstalledFolder({programFolder(), executableFolder()},
                               QStringLiteral(TORVANELO_ARCHIVER_INSTALL_DIR));
}

QStringList helpFolders(const QString& programFolder) {
    return withInstalledFolder({programFolder, executableFolder()},
                               QStringLiteral(TORVANELO_DATA_INSTALL_DIR));
}

} // namespace torvanelo
