#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <sys/types.h>

namespace torvanelo {

// A path that a process running as root must not trust: a user other than
// root could change what it holds or put something else in its place.
struct UntrustedPath {
    enum class Reason {
        OtherOwner,       // belongs to `owner`, not to root
        WritableByOthers, // group or others may write it
        Uncheckable,      // its folders cannot be walked (a loop of links, an I/O error)
    };
    QString path;
    Reason reason = Reason::WritableByOthers;
    uid_t owner = 0;

    friend bool operator==(const UntrustedPath&, const UntrustedPath&) = default;
};

// How the last name of a checked path counts.
enum class PathUse {
    // A file, or a folder used for what it holds: a folder above it with
    // the sticky bit (/tmp) may be writable by all, since only an entry's
    // owner may rename or remove it there.
    Content,
    // A folder whose new entries count (the program folder, where the
    // archiver is looked up): no sticky bit excuses it, since anyone who
    // may write it can add a name that is then read or run.
    NamesAdded,
};

// Walks the path from / down, following symbolic links to their targets
// (each link counts as the folder that holds it): every folder and the path
// itself must belong to root and be writable by root alone, except as
// PathUse says for the sticky bit. A missing path is fine as long as the
// nearest folder that is there, which could receive it, is root's alone.
// The first untrusted path met; nullopt when the path is root's.
std::optional<UntrustedPath> untrustedForRoot(const QString& path, PathUse use);

// What a process running as root reads and runs from places others might
// write.
struct RootTrustedSet {
    QString executable;
    QString programFolder;
    QStringList files;           // the parameters file and the pair file
    QStringList archiverFolders; // where the archiver is looked up, in order
    QString archiverName = QStringLiteral("rar");
    // The archiver the process runner would start; empty: the first
    // runnable one in archiverFolders, if any.
    QString archiver;

    // This process: the executable from /proc/self/exe, the program
    // folder's archiver folders followed by the absolute folders of PATH,
    // and the archiver the process runner finds there.
    static RootTrustedSet forThisProcess(const QString& programFolder, const QStringList& files);
};

// The first untrusted path of the set: the executable, the program folder,
// each file, each archiver folder in order up to the one that holds the
// archiver (a folder before it could receive an archiver later), and the
// archiver itself.
std::optional<UntrustedPath> untrustedForRoot(const RootTrustedSet& set);

// The effective user is root.
bool runsAsRoot();

// The system's own folders, where the tools the program calls (systemctl)
// are taken from.
QStringList systemToolFolders();

// The absolute path of a system tool: the first of the folders that holds
// it as a runnable regular file which belongs to root and is writable by
// root alone, as are all folders above it. Nothing else is looked at, PATH
// least of all: nobody but root can put a tool there. nullopt when no
// folder holds one that qualifies.
std::optional<QString> trustedSystemTool(const QString& name,
                                         const QStringList& folders = systemToolFolders());

// The path written for a shell, so that a fix can be pasted as it is:
// in single quotes where it holds anything but letters, digits and
// "/._-+,:@%", in $'...' with escapes where it holds control characters.
QString shellQuoted(const QString& path);

} // namespace torvanelo
