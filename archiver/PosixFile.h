#pragma once

// Thin, checked wrappers over the POSIX file calls the archiver needs. Every
// failure becomes a RarError naming what failed.

#include "RarError.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

namespace torvanelo::rar {

// Owns one file descriptor.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd)
        : m_fd(fd) {}
    ~Fd();
    Fd(Fd&& other) noexcept
        : m_fd(other.release()) {}
    Fd& operator=(Fd&& other) noexcept;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release();
    // Closes and reports a failure of close itself (it can carry a delayed
    // write error).
    bool close();

private:
    int m_fd = -1;
};

// Writes everything or throws (ExitCode::WriteError, "writing <what>: ...").
void writeAll(int fd, const void* bytes, size_t size, const std::string& what);
void pwriteAll(int fd, const void* bytes, size_t size, uint64_t offset, const std::string& what);
// Reads up to size bytes; fewer only at the end of the file. Throws
// (ExitCode::OpenError) on a read error.
size_t readUpTo(int fd, void* bytes, size_t size, const std::string& what);
size_t preadUpTo(int fd, void* bytes, size_t size, uint64_t offset, const std::string& what);

// The process umask, read without changing it for good.
mode_t currentUmask();

void syncFolder(const std::string& folder);

// The folder and the last component of a path ("." for a bare name).
std::string folderOf(const std::string& path);
std::string lastComponent(const std::string& path);

// A file created under a fresh ".torvanelo-<final name>-XXXXXX.tmp" name in
// the folder of its final path, carrying the hidden mark while it is a
// temporary (where the file system keeps marks at all). Removed again when
// destroyed before commit() has renamed it into place.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& finalPath);
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int fd() const { return m_fd.get(); }
    const std::string& path() const { return m_path; }
    const std::string& finalPath() const { return m_finalPath; }

    // Closes the descriptor (a file of many members need not keep all open).
    void close();

    struct FinalState {
        bool hidden = false;
        mode_t mode = 0644;
        std::optional<struct timespec> mtime;
        // Set (before the mode) where given.
        std::optional<uid_t> uid;
        std::optional<gid_t> gid;
        // Flushed to disk before the rename: for a file whose making lets
        // something else be deleted.
        bool flushed = true;
    };
    // Gives the file its final time, syncs it when asked, renames it over the
    // final path, and only then gives it its final mark, owner and mode, so
    // that it carries the mark for as long as it is a temporary and is never
    // more open than 0600 before its mode is set. The folder itself is
    // not synced here, nor the mark and mode.
    void commit(const FinalState& state);

private:
    void reopen();

    std::string m_finalPath;
    std::string m_path;
    Fd m_fd;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    bool m_committed = false;
};

} // namespace torvanelo::rar
