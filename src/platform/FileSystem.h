#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace torvanelo {

enum class EntryType { File, Directory, Other };

struct DirectoryEntry {
    QString name; // decoded by decodeFileName: every byte of the real name survives
    EntryType type = EntryType::Other; // a symbolic link, fifo, socket or device is Other
};

struct FileInfo {
    EntryType type = EntryType::Other;
    qint64 size = 0;
    QDateTime modified;
};

enum class Replace { No, Yes };

// The open test's answer. Unsettled: the file system cannot tell whether
// another program has the file open, and the file was not seen unchanged
// yet; asked again after a while, the answer is Free or InUse.
enum class OpenState { Free, InUse, Unsettled };

// A folder held open. Every call made through path() reaches the very folder
// that was opened, whatever is done meanwhile to the name it was found under
// (a rename, a symbolic link put in its place).
class HeldFolder {
public:
    virtual ~HeldFolder() = default;
    // A path that resolves through the held descriptor itself.
    virtual QString path() const = 0;
    virtual int descriptor() const = 0;
    // Removes the folder, when it is empty, under the name it was opened by,
    // provided that name still names this folder.
    virtual bool removeIfEmpty() = 0;
};

// The lock a scan holds on its folder, released with the object.
class FolderLock {
public:
    virtual ~FolderLock() = default;
};

// The file calls of the engine and of the pair list. Paths are absolute, with
// '/' between folders; names are decoded as decodeFileName does. Every call
// reports failure through its result and never throws; nothing is retried.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Every entry of the folder except "." and "..", in the order the system
    // returns them; nullopt when the folder cannot be listed.
    virtual std::optional<std::vector<DirectoryEntry>> list(const QString& folder) const = 0;

    // The "attributes can be read" test: the path names an existing entry
    // (not following a final symbolic link).
    virtual bool exists(const QString& path) const = 0;
    virtual std::optional<FileInfo> info(const QString& path) const = 0;

    // The hidden flag is a persistent mark on the file that leaves its name
    // alone; a name beginning with '.' is not hidden in this sense.
    virtual bool isHidden(const QString& path) const = 0;
    virtual bool setHidden(const QString& path, bool hidden) = 0;
    // Hidden flag removed; owner read and write permission restored.
    virtual bool setNormal(const QString& path) = 0;

    // Removes a file (never a folder).
    virtual bool remove(const QString& path) = 0;

    // Creates a folder only the owner can enter; false when it exists or
    // cannot be made. removeFolder removes an empty folder only.
    virtual bool makeFolder(const QString& path) = 0;
    virtual bool removeFolder(const QString& path) = 0;

    // Creates a folder that only the process's user may enter and holds it;
    // nullptr when the name is taken or the folder cannot be made, or when
    // what can be opened under the name right after is not that folder.
    virtual std::unique_ptr<HeldFolder> makePrivateFolder(const QString& path) = 0;
    // Holds a folder that makePrivateFolder made earlier: a real folder,
    // never reached through a symbolic link, owned by the process's user and
    // closed to everyone else; nullptr for anything else under the name.
    virtual std::unique_ptr<HeldFolder> openPrivateFolder(const QString& path) = 0;

    // Takes the lock that keeps two programs from working on one folder at
    // once. nullptr with busy set when another holds it; a file system that
    // has no such locks (network shares) gives a lock that holds nothing.
    virtual std::unique_ptr<FolderLock> lockFolder(const QString& path, bool& busy) = 0;

    // True when both paths reach the same folder (through links or bind
    // mounts too).
    virtual bool isSameFolder(const QString& first, const QString& second) const = 0;

    // Moves a file. Within one file system this is one atomic rename; with
    // Replace::Yes an existing target is replaced atomically, with
    // Replace::No the move fails when the target exists. Across file systems
    // the data and extended attributes are copied to a temporary name in the
    // target folder, flushed, renamed into place, and only then is the source
    // deleted. A failed move leaves the source where it was and nothing under
    // the target name.
    virtual bool move(const QString& from, const QString& to, Replace replace) = 0;

    // Free when no other process has the file open (so nobody is still
    // writing it). Never blocks.
    virtual OpenState openState(const QString& path) = 0;

    // Flushes a file's data and attributes to disk, then the folder entry
    // that names it, so that a crash cannot take back what is there now: for
    // a copy that lets the other copy be deleted.
    virtual bool makeDurable(const QString& path) = 0;

    // Creates or replaces a small file with the given content, flushed to
    // disk before the call returns true.
    virtual bool writeFile(const QString& path, const QByteArray& content) = 0;
    // Creates a new small file that carries the hidden mark and its whole
    // content from the first moment it has its name: written and marked
    // unnamed, put in place without replacing anything, then flushed with
    // its folder before the call returns true. False when the name is taken.
    virtual bool createHidden(const QString& path, const QByteArray& content) = 0;
    // Appends bytes to a file, creating it when missing.
    virtual bool appendToFile(const QString& path, const QByteArray& content) = 0;
    // Reads a whole file of at most maxSize bytes; nullopt when it cannot be
    // read or is larger.
    virtual std::optional<QByteArray> readFile(const QString& path, qint64 maxSize) const = 0;
};

} // namespace torvanelo
