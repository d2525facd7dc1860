#include "ArchiveReader.h"
#include "Commands.h"
#include "DataCopy.h"
#include "Decompress.h"
#include "Names.h"
#include "PosixFile.h"
#include "RarError.h"
#include "linux/Xattr.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace torvanelo::rar {

namespace {

// The largest value Linux keeps in one extended attribute.
constexpr uint64_t MaxAttributeValue = 65536;
constexpr size_t MaxAttributeName = 255;

struct PlannedStream {
    std::string attributeName;
    const StoredStream* stored = nullptr;
};

struct PlannedMember {
    std::string fileName;
    const StoredMember* stored = nullptr;
    std::vector<PlannedStream> streams;
};

// Everything that can be decided without writing: names, duplicates,
// streams that cannot become attributes, files in the way.
std::vector<PlannedMember> plan(const ArchiveIndex& index, const struct stat& archive,
                                StreamForm form, const NoteSink& note) {
    std::vector<PlannedMember> planned;
    std::set<std::string> fileNames;
    for (const StoredMember& member : index.members) {
        if (member.kind != StoredMember::Kind::File)
            continue;
        const auto fileName = extractionName(member.storedName);
        if (!fileName)
            throw RarError(ExitCode::Unsupported,
                           "member " + quotedName(member.storedName) + " has no usable file name");
        if (!fileNames.insert(*fileName).second)
            throw RarError(ExitCode::Unsupported,
                           "two members would extract to " + quotedName(*fileName));
        struct stat existing {};
        if (::lstat(fileName->c_str(), &existing) == 0) {
            if (S_ISDIR(existing.st_mode))
                throw RarError(ExitCode::WriteError,
                               "cannot replace the folder " + quotedName(*fileName) + " by a file");
            if (existing.st_dev == archive.st_dev && existing.st_ino == archive.st_ino)
                throw RarError(ExitCode::WriteError, "member " + quotedName(member.storedName)
                                                         + " would replace the archive itself");
        }

        PlannedMember entry{*fileName, &member, {}};
        std::vector<std::string> streamNames;
        for (const StoredStream& stream : member.streams)
            streamNames.push_back(stream.streamName);
        const DecodedStreams decoded = attributeNamesForStreams(streamNames, form);
        if (!decoded.problem.empty())
            throw RarError(ExitCode::Damaged, "stream "
                                                  + quotedName(streamNames[decoded.problemStream])
                                                  + " of member " + quotedName(member.storedName)
                                                  + " " + decoded.problem);
        for (size_t i = 0; i < member.streams.size(); ++i) {
            const StoredStream& stream = member.streams[i];
            const std::string& attribute = decoded.attributeNames[i];
            const std::string what = "stream " + quotedName(stream.streamName) + " of member "
                                     + quotedName(member.storedName);
            if (attribute == xattr::HiddenMarkName) {
                // The hidden state travels as the member's attribute bit.
                note("ignored " + what + ": it would stand for the hidden attribute");
                continue;
            }
            if (attribute.size() > MaxAttributeName)
                throw RarError(ExitCode::Unsupported,
                               what + ": the name is too long for an extended attribute");
            if (stream.unpackedSize > MaxAttributeValue)
                throw RarError(ExitCode::Unsupported,
                               what + " holds " + std::to_string(stream.unpackedSize)
                                   + " bytes; an extended attribute holds at most 64 KiB");
            entry.streams.push_back({attribute, &stream});
        }
        planned.push_back(std::move(entry));
    }
    return planned;
}

void copyData(int archiveFd, const std::string& archivePath, const PlannedMember& member,
              int outFd) {
    const StoredMember& stored = *member.stored;
    uint64_t offset = stored.dataOffset;
    WritebackHint writeback(outFd);
    if (stored.compressed()) {
        decompress(archiveFd, stored, "member " + quotedName(stored.storedName), archivePath,
                   [&](const char* buffer, size_t count) {
                       writeAll(outFd, buffer, count, quotedName(member.fileName));
                       writeback.written(count);
                   });
        return;
    }
    const uint32_t crc = copyWithCrc(
        stored.size,
        [&](char* buffer, size_t count) {
            if (preadUpTo(archiveFd, buffer, count, offset, "the archive") != count)
                throw RarError(ExitCode::Damaged,
                               "the archive ends inside member " + quotedName(stored.storedName));
            offset += count;
        },
        [&](const char* buffer, size_t count) {
            writeAll(outFd, buffer, count, quotedName(member.fileName));
            writeback.written(count);
        });
    if (crc != stored.crc)
        throw RarError(ExitCode::Damaged,
                       "data CRC mismatch in member " + quotedName(stored.storedName));
}

void restoreStreams(int archiveFd, const std::string& archivePath, const PlannedMember& member,
                    int outFd) {
    for (const PlannedStream& stream : member.streams) {
        const StoredStream& stored = *stream.stored;
        const std::string what = "stream " + quotedName(stored.streamName) + " of member "
                                 + quotedName(member.stored->storedName);
        std::string value;
        if (stored.compressed()) {
            decompress(archiveFd, stored, what, archivePath,
                       [&](const char* bytes, size_t count) { value.append(bytes, count); });
        } else {
            value.resize(static_cast<size_t>(stored.size));
            if (preadUpTo(archiveFd, value.data(), value.size(), stored.dataOffset, "the archive")
                != value.size())
                throw RarError(ExitCode::Damaged, "the archive ends inside " + what);
            if (crc32Of(value) != stored.crc)
                throw RarError(ExitCode::Damaged, "data CRC mismatch in " + what);
        }
        if (!xattr::writeAttribute(outFd, stream.attributeName, value))
            throw RarError(ExitCode::WriteError,
                           systemReason("the file system refused extended attribute "
                                            + quotedName(stream.attributeName) + " of "
                                            + quotedName(member.fileName),
                                        errno));
    }
}

bool belongsToGroup(gid_t group) {
    if (group == ::getegid())
        return true;
    gid_t groups[256];
    const int count = ::getgroups(256, groups);
    return std::find(groups, groups + std::max(count, 0), group) != groups + std::max(count, 0);
}

TemporaryFile::FinalState finalState(const StoredMember& stored, mode_t umask) {
    TemporaryFile::FinalState state;
    if (stored.hostOs == HostOs::Windows) {
        state.hidden = stored.attributes & WindowsAttribute::Hidden;
        const bool readOnly = stored.attributes & WindowsAttribute::ReadOnly;
        state.mode = (readOnly ? 0444 : 0666) & ~umask;
    }
    // The permission bits the file had, whatever the umask here: it never
    // ends more open than it left.
    if (stored.unixMode)
        state.mode = static_cast<mode_t>(*stored.unixMode & 0777);
    // (uid_t)-1 would mean "leave as it is".
    const bool knownOwner = stored.uid && *stored.uid < 0xFFFFFFFF;
    const bool knownGroup = stored.gid && *stored.gid < 0xFFFFFFFF;
    if (::geteuid() == 0) {
        if (knownOwner)
            state.uid = static_cast<uid_t>(*stored.uid);
        if (knownGroup)
            state.gid = static_cast<gid_t>(*stored.gid);
    } else if (knownGroup) {
        // An ordinary user keeps the group where he belongs to it; in any
        // other group the file gets no group rights, and no set-ID bit.
        const auto group = static_cast<gid_t>(*stored.gid);
        if (belongsToGroup(group))
            state.gid = group;
        else
            state.mode &= ~mode_t(S_ISUID | S_ISGID | 0070);
    }
    if (::geteuid() != 0 && knownOwner && static_cast<uid_t>(*stored.uid) != ::geteuid())
        state.mode &= ~mode_t(S_ISUID);
    if (stored.mtime) {
        state.mtime = timespec{static_cast<time_t>(stored.mtime->seconds),
                               static_cast<long>(stored.mtime->nanoseconds)};
    }
    // Extracting deletes nothing and leaves the archive as it was, so a
    // crash can only lose the extracted copy, never the data: whoever deletes
    // the archive afterwards flushes what it keeps first (the program flushes
    // the delivered file and its folder).
    state.flushed = false;
    return state;
}

} // namespace

int extractArchive(const std::string& archivePath, StreamForm form, const NoteSink& note) {
    // O_NONBLOCK: a fifo in place of the archive must not block the open.
    Fd archive(::open(archivePath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!archive.valid())
        throw RarError(ExitCode::OpenError, systemReason("cannot open the archive", errno));
    struct stat status {};
    if (::fstat(archive.get(), &status) != 0)
        throw RarError(ExitCode::OpenError, systemReason("cannot examine the archive", errno));
    if (!S_ISREG(status.st_mode))
        throw RarError(ExitCode::OpenError, "not a regular file");

    // Only a hint for a larger read-ahead.
    ::posix_fadvise(archive.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    const ArchiveIndex index =
        readArchiveIndex(archive.get(), static_cast<uint64_t>(status.st_size));
    // Notes are told only once the archive has passed every check: a refusal
    // is one line.
    std::vector<std::string> notes = index.notes;
    const std::vector<PlannedMember> members =
        plan(index, status, form, [&notes](const std::string& text) { notes.push_back(text); });
    for (const std::string& text : notes)
        note(text);

    // Every member goes to a temporary file first; only when all of them are
    // complete and checked are they renamed into place.
    const mode_t umask = currentUmask();
    std::vector<std::unique_ptr<TemporaryFile>> written;
    for (const PlannedMember& member : members) {
        auto temporary = std::make_unique<TemporaryFile>(member.fileName);
        copyData(archive.get(), archivePath, member, temporary->fd());
        restoreStreams(archive.get(), archivePath, member, temporary->fd());
        temporary->close();
        written.push_back(std::move(temporary));
    }
    for (size_t i = 0; i < members.size(); ++i)
        written[i]->commit(finalState(*members[i].stored, umask));
    return static_cast<int>(members.size());
}

} // namespace torvanelo::rar
