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

struct StoredStream {
    std::string streamName; // as stored, e.g. ":Zone.Identifier"
    uint64_t blockOffset = 0;
    uint64_t dataOffset = 0;
    uint64_t size = 0;
    uint32_t crc = 0;
};

struct StoredMember {
    enum class Kind { File, Directory, Link };
    Kind kind = Kind::File;
    std::string storedName;
    uint64_t blockOffset = 0; // start of the file header
    uint64_t dataOffset = 0;
    uint64_t size = 0; // data size (store: the file size)
    uint32_t crc = 0;
    uint64_t hostOs = HostOs::Windows;
    uint64_t attributes = 0;
    std::optional<ModificationTime> mtime;
    std::vector<StoredStream> streams;
};

struct ArchiveIndex {
    std::vector<StoredMember> members;
    std::vector<std::string> notes; // what was skipped, for standard error
};

// Reads the index of the archive open at `fd` whose size is `fileSize`.
// Refuses (RarError) RAR 4 and unknown signatures, encrypted headers or
// members, compressed, solid or multi-volume data, damaged or truncated
// headers, header CRC mismatches, directories with data, members without a
// CRC32, unknown required block types and a missing end-of-archive header.
// Skips other service headers (comment, quick open, ACL, ...), unknown extra
// records and unknown block types marked skippable.
ArchiveIndex readArchiveIndex(int fd, uint64_t fileSize);

} // namespace torvanelo::rar
