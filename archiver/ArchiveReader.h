#pragma once

// Reads the structure of a RAR 5.0 archive: every header is checked (CRC,
// bounds, fields) before anything is extracted, and what this program
// cannot read is refused with a RarError. Data areas are not read here.

#include "RarFormat.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace torvanelo::rar {

// The data area of a member or stream: stored, or compressed by one of
// the RAR 5.0 methods.
struct StoredData {
    uint64_t dataOffset = 0;
    uint64_t size = 0; // bytes in the archive
    uint64_t unpackedSize = 0;
    uint64_t compression = 0; // compression information as stored
    std::optional<uint32_t> crc;
    std::string blake2; // BLAKE2sp digest, when the header has one
    bool compressed() const { return Compression::method(compression) != 0; }
};

struct StoredStream : StoredData {
    std::string streamName; // as stored, e.g. ":Zone.Identifier"
    uint64_t blockOffset = 0;
};

struct StoredMember : StoredData {
    enum class Kind { File, Directory, Link };
    Kind kind = Kind::File;
    std::string storedName;
    uint64_t blockOffset = 0; // start of the file header
    uint64_t hostOs = HostOs::Windows;
    uint64_t attributes = 0;
    std::optional<ModificationTime> mtime;
    // Permission bits: from our own record beside Windows attributes, or
    // from the mode of a Unix-host member.
    std::optional<uint32_t> unixMode;
    std::optional<uint64_t> uid;
    std::optional<uint64_t> gid;
    std::vector<StoredStream> streams;
};

struct ArchiveIndex {
    std::vector<StoredMember> members;
    std::vector<std::string> notes; // what was skipped, for standard error
};

// Reads the index of the archive open at `fd` whose size is `fileSize`.
// Refuses (RarError) RAR 4 and unknown signatures, encrypted headers or
// members, solid or multi-volume data, compression of an unknown algorithm
// version or with a dictionary beyond 64 MiB, damaged or truncated headers,
// header CRC mismatches, directories with data, members with neither a
// CRC32 nor (compressed) a BLAKE2sp digest, unknown required block types and
// a missing end-of-archive header.
// Skips other service headers (comment, quick open, ACL, ...), unknown extra
// records and unknown block types marked skippable.
ArchiveIndex readArchiveIndex(int fd, uint64_t fileSize);

} // namespace torvanelo::rar
