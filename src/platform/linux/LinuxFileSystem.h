#pragma once

#include "FileSystem.h"

#include <ctime>
#include <map>

namespace torvanelo {

// FileSystem on Linux. Every call works on the raw bytes of names
// (encodeFileName), so every name the file system holds can be listed,
// moved and deleted; a path holding a NUL character is refused. A final
// symbolic link is never followed: a link is an entry of type Other, never
// hidden, never moved, never opened or written through.
//
// The hidden flag is the extended attribute user.torvanelo.hidden; it belongs
// to regular files only.
//
// The open test (openState) takes a write lease on the file and drops it at
// once: the kernel grants a write lease only while no other open file
// description of the file exists, for reading or writing. Where leases are
// not available (the file system has none, as NFS, CIFS or FUSE; the file
// belongs to another user and the process lacks CAP_LEASE; leases switched off
// in /proc/sys/fs/leases-enable), the test falls back to watching the file:
// Free when size, modification and change times are the same as at the
// previous call for the same path, InUse when they changed, Unsettled at the
// first sighting. The caller asks again after a settling time, so an idle
// file is taken in the same scan; the fallback cannot see a program that
// holds a file open without writing it.
//
// Held folders are reached through /proc/self/fd, so /proc must be mounted.
class LinuxFileSystem final : public FileSystem {
public:
    enum class OpenTest {
        Lease,      // write lease, falling back where leases are not available
        ChangeOnly, // always the fallback
    };

    explicit LinuxFileSystem(OpenTest openTest = OpenTest::Lease);

    std::optional<std::vector<DirectoryEntry>> list(const QString& folder) const override;
    bool exists(const QString& path) const override;
    std::optional<FileInfo> info(const QString& path) const override;

    bool isHidden(const QString& path) const override;
    // Works on a read-only file too when the process may change the file: as
    // its owner the write permission is granted for the moment of the change.
    bool setHidden(const QString& path, bool hidden) override;
    bool setNormal(const QString& path) override;

    bool remove(const QString& path) override;
    bool makeFolder(const QString& path) override;
    bool removeFolder(const QString& path) override;

    // Only regular files are moved; a folder, a symbolic link or any other
    // entry is refused. Across file systems the copy carries the data, every
    // "user." extended attribute (the hidden mark included), the modification
    // and access times, the permission bits and, where the process may set
    // it, the owner. It is written under a temporary name (TemporaryName.h)
    // in the target folder and flushed before it takes the final name. A
    // target that refuses an attribute to carry, a source that changes while
    // it is copied, or a source that cannot be deleted afterwards fails the
    // move: the temporary is removed and the source stays as it was.
    bool move(const QString& from, const QString& to, Replace replace) override;

    std::unique_ptr<HeldFolder> makePrivateFolder(const QString& path) override;
    std::unique_ptr<HeldFolder> openPrivateFolder(const QString& path) override;
    std::unique_ptr<FolderLock> lockFolder(const QString& path, bool& busy) override;
    bool isSameFolder(const QString& first, const QString& second) const override;

    OpenState openState(const QString& path) override;
    bool makeDurable(const QString& path) override;

    bool writeFile(const QString& path, const QByteArray& content) override;
    bool createHidden(const QString& path, const QByteArray& content) override;
    bool appendToFile(const QString& path, const QByteArray& content) override;
    std::optional<QByteArray> readFile(const QString& path, qint64 maxSize) const override;

private:
    struct Sighting {
        qint64 size = 0;
        timespec modified{};
        timespec changed{};
    };

    OpenState compareWithLastSighting(const QByteArray& path, const Sighting& now);

    OpenTest m_openTest;
    // The fallback open test's memory of each path's last size and time.
    std::map<QByteArray, Sighting> m_sightings;
};

} // namespace torvanelo
