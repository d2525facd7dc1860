#include "ArchiveReader.h"
#include "ArchiveWriter.h"
#include "Commands.h"
#include "Decompress.h"
#include "Names.h"
#include "PosixFile.h"
#include "RarError.h"
#include "linux/Xattr.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace torvanelo::rar {

namespace {

struct Match {
    std::string name;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    struct timespec mtime {};
    mode_t mode = 0;
};

bool sameFile(const struct stat& a, dev_t device, ino_t inode) {
    return a.st_dev == device && a.st_ino == inode;
}

bool sameContentStamp(const struct stat& a, const Match& match) {
    return a.st_size == match.size && a.st_mtim.tv_sec == match.mtime.tv_sec
           && a.st_mtim.tv_nsec == match.mtime.tv_nsec;
}

// The regular files of the folder whose names match, sorted by name bytes.
// Symbolic links and other non-regular entries are never taken.
std::vector<Match> listMatches(int folderFd, const std::string& wildcard,
                               const std::optional<struct stat>& archive, const NoteSink& note) {
    const int listFd = ::dup(folderFd);
    if (listFd < 0)
        throw RarError(ExitCode::OpenError, systemReason("cannot list the folder", errno));
    DIR* dir = ::fdopendir(listFd);
    if (dir == nullptr) {
        const int error = errno;
        ::close(listFd);
        throw RarError(ExitCode::OpenError, systemReason("cannot list the folder", error));
    }
    std::vector<Match> matches;
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            error = errno;
            break;
        }
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || !matchesWildcard(wildcard, name))
            continue;
        struct stat status {};
        if (::fstatat(folderFd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT) // gone meanwhile
                continue;
            error = errno;
            break;
        }
        if (archive && sameFile(status, archive->st_dev, archive->st_ino))
            continue;
        if (!S_ISREG(status.st_mode)) {
            note("skipped " + quotedName(name) + ": not a regular file");
            continue;
        }
        matches.push_back(
            {name, status.st_dev, status.st_ino, status.st_size, status.st_mtim, status.st_mode});
    }
    ::closedir(dir);
    if (error != 0)
        throw RarError(ExitCode::OpenError, systemReason("cannot list the folder", error));
    std::sort(matches.begin(), matches.end(),
              [](const Match& a, const Match& b) { return a.name < b.name; });
    return matches;
}

// Copies the members of the existing archive that no new file replaces,
// checking the CRC32 of every stored byte on the way.
void carryMembers(ArchiveOutput& output, int archiveFd, const std::string& archivePath,
                  const ArchiveIndex& index, const std::set<std::string>& replaced) {
    const std::string what = "the existing archive";
    // Stored data is checked on its way through; compressed data is decoded
    // (and thrown away) to check it first.
    const auto carry = [&](const StoredData& data, uint64_t blockOffset, const std::string& name) {
        if (data.compressed())
            decompress(archiveFd, data, name + " of " + what, archivePath,
                       [](const char*, size_t) {});
        output.appendRange(archiveFd, blockOffset, data.dataOffset - blockOffset, what);
        const uint32_t crc = output.appendRange(archiveFd, data.dataOffset, data.size, what);
        if (!data.compressed() && data.crc && crc != *data.crc)
            throw RarError(ExitCode::Damaged, "data CRC mismatch in " + name + " of " + what);
    };
    for (const StoredMember& member : index.members) {
        if (replaced.count(member.storedName) != 0)
            continue;
        const std::string name = "member " + quotedName(member.storedName);
        if (member.kind == StoredMember::Kind::File) {
            carry(member, member.blockOffset, name);
        } else {
            output.appendRange(archiveFd, member.blockOffset,
                               member.dataOffset + member.size - member.blockOffset, what);
        }
        for (const StoredStream& stream : member.streams)
            carry(stream, stream.blockOffset,
                  "stream " + quotedName(stream.streamName) + " of " + name);
    }
}

void addStreams(ArchiveWriter& writer, int fd, const std::string& name, StreamForm form,
                const NoteSink& note) {
    auto attributes = xattr::listUserAttributeNames(fd, false);
    if (!attributes)
        throw RarError(
            ExitCode::OpenError,
            systemReason("cannot list the extended attributes of " + quotedName(name), errno));
    // A stable order: the same file always gives the same archive.
    std::sort(attributes->begin(), attributes->end());
    const std::vector<std::optional<std::string>> streamNames =
        streamNamesForAttributes(*attributes, form);
    for (size_t i = 0; i < attributes->size(); ++i) {
        const std::string& attribute = (*attributes)[i];
        const std::optional<std::string>& streamName = streamNames[i];
        if (!streamName) {
            note("skipped extended attribute " + quotedName(attribute) + " of " + quotedName(name)
                 + ": no stream name for it");
            continue;
        }
        const auto value = xattr::readAttribute(fd, attribute);
        if (!value) {
            if (errno == ENODATA) // removed meanwhile
                continue;
            throw RarError(ExitCode::OpenError,
                           systemReason("cannot read extended attribute " + quotedName(attribute)
                                            + " of " + quotedName(name),
                                        errno));
        }
        writer.addStream(*streamName, *value);
    }
}

void addFile(ArchiveWriter& writer, int folderFd, const Match& match, const AddOptions& options,
             const NoteSink& note) {
    const std::string& name = match.name;
    Fd fd(::openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid())
        throw RarError(ExitCode::OpenError, systemReason("cannot open " + quotedName(name), errno));
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0)
        throw RarError(ExitCode::OpenError,
                       systemReason("cannot examine " + quotedName(name), errno));
    if (!S_ISREG(status.st_mode) || !sameFile(status, match.device, match.inode))
        throw RarError(ExitCode::OpenError,
                       quotedName(name) + " was replaced while being archived");

    // Only a hint for a larger read-ahead.
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    FileEntry entry;
    entry.name = name;
    entry.size = static_cast<uint64_t>(status.st_size);
    entry.attributes = WindowsAttribute::Archive;
    if (xattr::hasHiddenMark(fd.get()))
        entry.attributes |= WindowsAttribute::Hidden;
    if ((status.st_mode & 0222) == 0)
        entry.attributes |= WindowsAttribute::ReadOnly;
    entry.mtimeSeconds = status.st_mtim.tv_sec;
    entry.mtimeNanoseconds = static_cast<uint32_t>(status.st_mtim.tv_nsec);
    entry.mode = static_cast<uint32_t>(status.st_mode & 07777);
    entry.uid = status.st_uid;
    entry.gid = status.st_gid;
    writer.addFile(entry, fd.get());

    struct stat after {};
    if (::fstat(fd.get(), &after) != 0)
        throw RarError(ExitCode::OpenError,
                       systemReason("cannot examine " + quotedName(name), errno));
    if (after.st_size != status.st_size || after.st_mtim.tv_sec != status.st_mtim.tv_sec
        || after.st_mtim.tv_nsec != status.st_mtim.tv_nsec)
        throw RarError(ExitCode::OpenError, quotedName(name) + " changed while being archived");
    if (options.saveStreams)
        addStreams(writer, fd.get(), name, options.streamForm, note);
}

// Deletes the archived files that are still the very files archived.
void deleteArchived(int folderFd, const std::vector<Match>& matches, const NoteSink& note) {
    std::optional<RarError> failure;
    for (const Match& match : matches) {
        struct stat status {};
        std::string problem;
        if (::fstatat(folderFd, match.name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            problem = systemReason("cannot examine " + quotedName(match.name), errno);
        else if (!sameFile(status, match.device, match.inode) || !sameContentStamp(status, match))
            problem = quotedName(match.name) + " changed after it was archived; it is kept";
        else if (::unlinkat(folderFd, match.name.c_str(), 0) != 0)
            problem = systemReason("cannot delete " + quotedName(match.name), errno);
        if (problem.empty())
            continue;
        if (failure)
            note(problem);
        else
            failure.emplace(ExitCode::WriteError, problem);
    }
    // The deletions are not flushed: the archive already is, under its name,
    // and files that a crash brings back are the program's hidden leftovers,
    // which it gives back their names and packs again.
    if (failure)
        throw *failure;
}

// Takes the temporary's mark off the finished archive.
void unmarkArchive(const std::string& path) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid())
        throw RarError(ExitCode::WriteError, systemReason("cannot reopen the archive", errno));
    if (!xattr::setHiddenMark(fd.get(), false) && errno != ENOTSUP && errno != EOPNOTSUPP)
        throw RarError(ExitCode::WriteError,
                       systemReason("cannot unmark the archive " + quotedName(path), errno));
}

bool holdsWildcard(const std::string& name) {
    return name.find_first_of("?*") != std::string::npos;
}

// A file named exactly: no listing of its folder, and an error when it is
// missing or not a regular file, never a silent skip.
Match exactMatch(int folderFd, const std::string& name, const std::optional<struct stat>& archive) {
    struct stat status {};
    if (::fstatat(folderFd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        throw RarError(ExitCode::OpenError, systemReason("cannot find " + quotedName(name), errno));
    if (!S_ISREG(status.st_mode))
        throw RarError(ExitCode::OpenError, quotedName(name) + " is not a regular file");
    if (archive && sameFile(status, archive->st_dev, archive->st_ino))
        throw RarError(ExitCode::BadCommandLine, quotedName(name) + " is the archive itself");
    return {name, status.st_dev, status.st_ino, status.st_size, status.st_mtim, status.st_mode};
}

// Every file the operands name, sorted by name bytes, each once.
std::vector<Match> collectMatches(int folderFd, const std::vector<std::string>& operands,
                                  const std::optional<struct stat>& archive, const NoteSink& note) {
    std::vector<Match> matches;
    for (const std::string& operand : operands) {
        const std::string name = lastComponent(operand);
        if (holdsWildcard(name)) {
            auto found = listMatches(folderFd, name, archive, note);
            matches.insert(matches.end(), found.begin(), found.end());
        } else {
            matches.push_back(exactMatch(folderFd, name, archive));
        }
    }
    std::sort(matches.begin(), matches.end(),
              [](const Match& a, const Match& b) { return a.name < b.name; });
    matches.erase(std::unique(matches.begin(), matches.end(),
                              [](const Match& a, const Match& b) { return a.name == b.name; }),
                  matches.end());
    return matches;
}

} // namespace

int addFiles(const AddOptions& options, const NoteSink& note) {
    if (options.files.empty())
        throw RarError(ExitCode::BadCommandLine, "no files named");
    const std::string folder = folderOf(options.files.front());
    for (const std::string& operand : options.files) {
        if (lastComponent(operand).empty())
            throw RarError(ExitCode::BadCommandLine, "the pattern names no files");
        if (folderOf(operand) != folder)
            throw RarError(ExitCode::BadCommandLine, "the files must all be in one folder");
    }
    if (lastComponent(options.archivePath).empty())
        throw RarError(ExitCode::BadCommandLine, "the archive path names a folder");

    Fd archive(::open(options.archivePath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    std::optional<struct stat> archiveStatus;
    if (archive.valid()) {
        struct stat status {};
        if (::fstat(archive.get(), &status) != 0)
            throw RarError(ExitCode::OpenError, systemReason("cannot examine the archive", errno));
        if (!S_ISREG(status.st_mode))
            throw RarError(ExitCode::OpenError, "the archive is not a regular file");
        archiveStatus = status;
    } else if (errno != ENOENT) {
        throw RarError(ExitCode::OpenError, systemReason("cannot open the archive", errno));
    }

    Fd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folderFd.valid())
        throw RarError(ExitCode::OpenError,
                       systemReason("cannot open the folder " + quotedName(folder), errno));
    const std::vector<Match> matches =
        collectMatches(folderFd.get(), options.files, archiveStatus, note);
    if (matches.empty())
        throw RarError(ExitCode::NoFilesMatch,
                       "no files match " + quotedName(options.files.front()));
    std::set<std::string> newNames;
    for (const Match& match : matches) {
        if (match.name.find('\\') != std::string::npos)
            throw RarError(ExitCode::Unsupported,
                           "cannot store " + quotedName(match.name)
                               + ": a backslash separates folders in archive member names");
        newNames.insert(match.name);
    }

    ArchiveIndex existing;
    if (archiveStatus) {
        try {
            existing =
                readArchiveIndex(archive.get(), static_cast<uint64_t>(archiveStatus->st_size));
        } catch (const RarError& error) {
            throw RarError(error.code(), std::string("existing archive: ") + error.what());
        }
    }

    TemporaryFile temporary(options.archivePath);
    ArchiveOutput output(temporary.fd(), "the archive");
    ArchiveWriter writer(output);
    writer.begin();
    if (archiveStatus)
        carryMembers(output, archive.get(), options.archivePath, existing, newNames);
    for (const Match& match : matches)
        addFile(writer, folderFd.get(), match, options, note);
    writer.finish();

    TemporaryFile::FinalState state;
    // A new archive is never more open than the most private file it holds:
    // its data must not be readable where the file's was not.
    mode_t mode = 0666 & ~currentUmask();
    for (const Match& match : matches)
        mode &= (match.mode & 0666) | 0600;
    state.mode = archiveStatus ? (archiveStatus->st_mode & 0777) : mode;
    // With -df the archive keeps the mark of a temporary until the files are
    // gone: a run killed in between leaves a marked archive beside marked
    // files, which tells that the archive is complete and the files are the
    // redundant copy, never a visible archive beside files it still holds.
    state.hidden = options.deleteFiles;
    temporary.commit(state);
    syncFolder(folderOf(options.archivePath));

    if (options.deleteFiles) {
        deleteArchived(folderFd.get(), matches, note);
        unmarkArchive(options.archivePath);
    }
    return static_cast<int>(matches.size());
}

} // namespace torvanelo::rar
