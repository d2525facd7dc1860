#include "ArchiveReader.h"

#include "Names.h"
#include "PosixFile.h"
#include "RarError.h"

#include <string_view>

namespace torvanelo::rar {

namespace {

constexpr uint64_t UnixFileTypeMask = 0170000;
constexpr uint64_t UnixRegularFile = 0100000;

std::string at(uint64_t offset) {
    return " at offset " + std::to_string(offset);
}

[[noreturn]] void damaged(const std::string& reason) {
    throw RarError(ExitCode::Damaged, reason);
}
[[noreturn]] void unsupported(const std::string& reason) {
    throw RarError(ExitCode::Unsupported, reason);
}

// Reads fields of one header, never past `end`.
class Cursor {
public:
    Cursor(const std::string& bytes, size_t pos, size_t end, uint64_t blockOffset)
        : m_bytes(reinterpret_cast<const unsigned char*>(bytes.data()))
        , m_pos(pos)
        , m_end(end)
        , m_blockOffset(blockOffset) {}

    size_t pos() const { return m_pos; }
    size_t left() const { return m_end - m_pos; }

    uint64_t number(const char* field) {
        const VintResult result = decodeVint(m_bytes + m_pos, m_end - m_pos);
        if (result.status == VintStatus::Malformed)
            damaged(std::string("malformed number (") + field + ") in the header"
                    + at(m_blockOffset));
        if (result.status == VintStatus::Truncated)
            damaged(std::string("truncated header") + at(m_blockOffset) + " (" + field + ")");
        m_pos += result.length;
        return result.value;
    }
    uint32_t uint32(const char* field) {
        need(4, field);
        const uint32_t value = readUint32(m_bytes + m_pos);
        m_pos += 4;
        return value;
    }
    uint64_t uint64(const char* field) {
        need(8, field);
        const uint64_t value = readUint64(m_bytes + m_pos);
        m_pos += 8;
        return value;
    }
    std::string bytes(uint64_t count, const char* field) {
        need(count, field);
        std::string value(reinterpret_cast<const char*>(m_bytes + m_pos),
                          static_cast<size_t>(count));
        m_pos += static_cast<size_t>(count);
        return value;
    }
    void skip(uint64_t count, const char* field) {
        need(count, field);
        m_pos += static_cast<size_t>(count);
    }

private:
    void need(uint64_t count, const char* field) const {
        if (count > m_end - m_pos)
            damaged(std::string("truncated header") + at(m_blockOffset) + " (" + field + ")");
    }

    const unsigned char* m_bytes;
    size_t m_pos;
    size_t m_end;
    uint64_t m_blockOffset;
};

struct Block {
    uint64_t offset = 0;
    uint64_t type = 0;
    uint64_t flags = 0;
    std::string body;       // from the header type to the end of the extra area
    size_t fieldsStart = 0; // first type-specific field
    size_t extraStart = 0;
    uint64_t dataOffset = 0;
    uint64_t dataSize = 0;
    uint64_t end() const { return dataOffset + dataSize; }
};

Block readBlock(int fd, uint64_t fileSize, uint64_t offset) {
    if (offset >= fileSize)
        damaged("the archive ends without an end-of-archive header (truncated?)");
    unsigned char prefix[7] = {};
    const size_t got = preadUpTo(fd, prefix, sizeof prefix, offset, "the archive");
    if (got < 6)
        damaged("truncated header" + at(offset));
    const VintResult size = decodeVint(prefix + 4, got - 4 < 3 ? got - 4 : 3);
    if (size.status != VintStatus::Ok) {
        if (got - 4 < 3)
            damaged("truncated header" + at(offset));
        damaged("header size field longer than 3 bytes" + at(offset));
    }
    if (size.value == 0)
        damaged("header size 0" + at(offset));
    const uint64_t bodyOffset = offset + 4 + size.length;
    if (size.value > fileSize || bodyOffset > fileSize - size.value)
        damaged("header" + at(offset) + " runs past the end of the archive");

    Block block;
    block.offset = offset;
    block.body.resize(static_cast<size_t>(size.value));
    if (preadUpTo(fd, block.body.data(), block.body.size(), bodyOffset, "the archive")
        != block.body.size())
        damaged("truncated header" + at(offset));
    const uint32_t storedCrc = readUint32(prefix);
    const uint32_t crc = crc32Of(block.body, crc32Of(prefix + 4, size.length));
    if (crc != storedCrc)
        damaged("header CRC mismatch" + at(offset));

    Cursor cursor(block.body, 0, block.body.size(), offset);
    block.type = cursor.number("header type");
    block.flags = cursor.number("header flags");
    const uint64_t extraSize = (block.flags & HeaderFlag::Extra) ? cursor.number("extra size") : 0;
    block.dataSize = (block.flags & HeaderFlag::Data) ? cursor.number("data size") : 0;
    block.fieldsStart = cursor.pos();
    if (extraSize > cursor.left())
        damaged("extra area larger than its header" + at(offset));
    block.extraStart = block.body.size() - static_cast<size_t>(extraSize);
    block.dataOffset = bodyOffset + size.value;
    if (block.dataSize > fileSize - block.dataOffset)
        damaged("data of the block" + at(offset) + " runs past the end of the archive");
    return block;
}

// The fields and records a file or service header holds.
struct Entry {
    uint64_t fileFlags = 0;
    uint64_t unpackedSize = 0;
    uint64_t attributes = 0;
    std::optional<uint32_t> crc;
    uint64_t compression = 0;
    uint64_t hostOs = 0;
    std::string name;
    std::optional<ModificationTime> mtime;
    bool encrypted = false;
    bool redirection = false;
    std::optional<uint64_t> unknownHash;
    std::string blake2;
    std::optional<std::string> serviceData;
    std::optional<uint32_t> unixMode;
    std::optional<uint64_t> uid;
    std::optional<uint64_t> gid;
    std::optional<uint64_t> version;
};

constexpr size_t Blake2Size = 32;
// The largest dictionary the decoder takes.
constexpr uint64_t MaxDictionary = uint64_t{64} << 20;

void readOwnerRecord(Cursor& record, Entry& entry) {
    const uint64_t flags = record.number("owner flags");
    for (const uint64_t name : {OwnerFlag::UserName, OwnerFlag::GroupName}) {
        if (flags & name)
            record.skip(record.number("owner name length"), "owner name");
    }
    if (flags & OwnerFlag::NumericUser)
        entry.uid = record.number("user id");
    if (flags & OwnerFlag::NumericGroup)
        entry.gid = record.number("group id");
}

void readTimeRecord(Cursor& record, Entry& entry) {
    const uint64_t flags = record.number("time flags");
    const bool unixFormat = flags & TimeFlag::UnixFormat;
    std::optional<ModificationTime> mtime;
    for (const uint64_t which : {TimeFlag::Mtime, TimeFlag::Ctime, TimeFlag::Atime}) {
        if (!(flags & which))
            continue;
        ModificationTime time;
        if (unixFormat)
            time.seconds = record.uint32("time");
        else
            time = fromFileTime(record.uint64("time"));
        if (which == TimeFlag::Mtime)
            mtime = time;
    }
    if (unixFormat && (flags & TimeFlag::Nanoseconds) && (flags & TimeFlag::Mtime)) {
        const uint32_t nanoseconds = record.uint32("nanoseconds") & 0x3FFFFFFF;
        if (nanoseconds < 1000000000)
            mtime->nanoseconds = nanoseconds;
    }
    if (mtime)
        entry.mtime = mtime;
}

Entry readEntry(const Block& block) {
    Entry entry;
    Cursor fields(block.body, block.fieldsStart, block.extraStart, block.offset);
    entry.fileFlags = fields.number("file flags");
    entry.unpackedSize = fields.number("unpacked size");
    entry.attributes = fields.number("attributes");
    if (entry.fileFlags & FileFlag::UnixMtime)
        entry.mtime = ModificationTime{fields.uint32("mtime"), 0};
    if (entry.fileFlags & FileFlag::Crc)
        entry.crc = fields.uint32("data CRC32");
    entry.compression = fields.number("compression information");
    entry.hostOs = fields.number("host system");
    const uint64_t nameLength = fields.number("name length");
    entry.name = fields.bytes(nameLength, "name");

    const size_t extraEnd = block.body.size();
    Cursor extra(block.body, block.extraStart, extraEnd, block.offset);
    while (extra.left() > 0) {
        const uint64_t recordSize = extra.number("extra record size");
        if (recordSize == 0 || recordSize > extra.left())
            damaged("extra record size out of bounds in the header" + at(block.offset));
        size_t recordEnd = extra.pos() + static_cast<size_t>(recordSize);
        Cursor record(block.body, extra.pos(), recordEnd, block.offset);
        const uint64_t type = record.number("extra record type");
        if (type == RecordType::ServiceData && block.type == ServiceBlock
            && recordEnd + 1 == extraEnd) {
            // RAR 5.21 and older wrote this record one byte short.
            recordEnd = extraEnd;
            record = Cursor(block.body, record.pos(), recordEnd, block.offset);
        }
        switch (type) {
        case RecordType::Encryption:
            entry.encrypted = true;
            break;
        case RecordType::Hash: {
            const uint64_t hashType = record.number("hash type");
            if (hashType != 0)
                entry.unknownHash = hashType;
            else
                entry.blake2 = record.bytes(Blake2Size, "BLAKE2sp digest");
            break;
        }
        case RecordType::Time:
            readTimeRecord(record, entry);
            break;
        case RecordType::Redirection:
            entry.redirection = true;
            break;
        case RecordType::ServiceData:
            entry.serviceData = record.bytes(record.left(), "service data");
            break;
        case RecordType::Version:
            record.number("version flags");
            entry.version = record.number("version");
            break;
        case RecordType::Owner:
            readOwnerRecord(record, entry);
            break;
        case RecordType::UnixMode:
            entry.unixMode = static_cast<uint32_t>(record.number("mode") & 07777);
            break;
        default: // records unknown here
            break;
        }
        extra.skip(recordEnd - extra.pos(), "extra record");
    }
    return entry;
}

// Refusals shared by file and service headers.
void checkReadable(const Block& block, const Entry& entry, const std::string& what) {
    if (block.flags & (HeaderFlag::SplitBefore | HeaderFlag::SplitAfter))
        unsupported(what + " continues in another volume (multi-volume archives are not read)");
    if (entry.encrypted)
        unsupported(what + " is encrypted");
    const uint64_t version = entry.compression & Compression::VersionMask;
    const uint64_t method = Compression::method(entry.compression);
    if (entry.compression & Compression::Solid)
        unsupported(what + " is part of a solid stream");
    if (version > 1 || (method != 0 && version != 0))
        unsupported(what + " uses an unknown compression algorithm version "
                    + std::to_string(version));
    if (method != 0 && Compression::dictionarySize(entry.compression) > MaxDictionary)
        unsupported(what + " needs a dictionary of "
                    + std::to_string(Compression::dictionarySize(entry.compression) >> 20)
                    + " MiB; at most 64 MiB are taken");
    if (entry.fileFlags & FileFlag::UnknownSize)
        unsupported(what + " has no known size");
    if (entry.hostOs != HostOs::Windows && entry.hostOs != HostOs::Unix)
        unsupported(what + " comes from an unknown host system " + std::to_string(entry.hostOs));
    if (entry.unknownHash)
        unsupported(what + " has an unknown hash type " + std::to_string(*entry.unknownHash));
}

// Where the data lies and how it is checked.
void describeData(StoredData& data, const Block& block, const Entry& entry,
                  const std::string& what) {
    data.dataOffset = block.dataOffset;
    data.size = block.dataSize;
    data.unpackedSize = entry.unpackedSize;
    data.compression = entry.compression;
    data.crc = entry.crc;
    data.blake2 = entry.blake2;
    if (!data.compressed() && block.dataSize != entry.unpackedSize)
        damaged(what + ": stored size differs from its size" + at(block.offset));
    // The decoder checks a BLAKE2sp digest itself; stored data has only ours.
    if (!entry.crc && (!data.compressed() || entry.blake2.empty()))
        unsupported(what + " has no CRC32 to check its data against");
}

void addFile(ArchiveIndex& index, const Block& block, const Entry& entry) {
    if (entry.name.empty())
        damaged("member without a name" + at(block.offset));
    // An older version of a file: RAR names it "NAME;N".
    const std::string name =
        entry.version ? entry.name + ";" + std::to_string(*entry.version) : entry.name;
    const std::string what = "member " + quotedName(name);
    StoredMember member;
    member.storedName = name;
    member.blockOffset = block.offset;
    member.dataOffset = block.dataOffset;
    member.size = block.dataSize;
    member.hostOs = entry.hostOs;
    member.attributes = entry.attributes;
    member.mtime = entry.mtime;
    if (entry.fileFlags & FileFlag::Directory) {
        if (block.dataSize != 0)
            damaged("directory " + quotedName(entry.name) + " holds data" + at(block.offset));
        member.kind = StoredMember::Kind::Directory;
        index.notes.push_back("skipped directory " + quotedName(entry.name));
    } else if (entry.redirection) {
        // A link has an unpacked size but no data of its own.
        member.kind = StoredMember::Kind::Link;
        index.notes.push_back("skipped link " + quotedName(entry.name));
    } else if (entry.hostOs == HostOs::Unix && (entry.attributes & UnixFileTypeMask) != 0
               && (entry.attributes & UnixFileTypeMask) != UnixRegularFile) {
        // A Unix symbolic link, device or fifo recorded by its mode alone.
        member.kind = StoredMember::Kind::Link;
        index.notes.push_back("skipped special file " + quotedName(entry.name));
    } else {
        checkReadable(block, entry, what);
        describeData(member, block, entry, what);
        if (entry.hostOs == HostOs::Unix)
            member.unixMode = static_cast<uint32_t>(entry.attributes & 07777);
        else
            member.unixMode = entry.unixMode;
        member.uid = entry.uid;
        member.gid = entry.gid;
    }
    index.members.push_back(std::move(member));
}

void addService(ArchiveIndex& index, const Block& block, const Entry& entry) {
    if (entry.name != StreamServiceName)
        return; // comment, quick open, ACL, recovery record, ...: not ours to restore
    if (index.members.empty()) {
        index.notes.push_back("skipped a stream that belongs to no file");
        return;
    }
    StoredMember& member = index.members.back();
    const std::string name = entry.serviceData.value_or(std::string());
    const std::string what =
        "stream " + quotedName(name) + " of member " + quotedName(member.storedName);
    checkReadable(block, entry, what);
    if (!entry.serviceData)
        damaged("stream without a name after member " + quotedName(member.storedName)
                + at(block.offset));
    StoredStream stream;
    stream.streamName = name;
    stream.blockOffset = block.offset;
    describeData(stream, block, entry, what);
    member.streams.push_back(std::move(stream));
}

} // namespace

ArchiveIndex readArchiveIndex(int fd, uint64_t fileSize) {
    if (fileSize == 0)
        damaged("empty file, not a RAR archive");
    char start[8] = {};
    const size_t got = preadUpTo(fd, start, sizeof start, 0, "the archive");
    const std::string_view head(start, got);
    if (head.substr(0, Rar4Signature.size()) == Rar4Signature)
        unsupported("RAR 4 archive; only RAR 5.0 archives are read");
    if (head != Signature) {
        if (head.substr(0, 6) == Signature.substr(0, 6) && got == 8)
            unsupported("unknown RAR format version");
        damaged("not a RAR archive");
    }

    ArchiveIndex index;
    uint64_t offset = Signature.size();
    bool mainSeen = false;
    for (;;) {
        const Block block = readBlock(fd, fileSize, offset);
        if (!mainSeen && block.type != MainBlock) {
            if (block.type == EncryptionBlock)
                unsupported("encrypted headers (archive protected by a password)");
            damaged("no main archive header" + at(offset));
        }
        switch (block.type) {
        case MainBlock: {
            if (mainSeen)
                damaged("second main archive header" + at(offset));
            mainSeen = true;
            Cursor fields(block.body, block.fieldsStart, block.extraStart, offset);
            const uint64_t archiveFlags = fields.number("archive flags");
            if (archiveFlags & (ArchiveFlag::Volume | ArchiveFlag::VolumeNumber))
                unsupported("part of a multi-volume archive");
            if (archiveFlags & ArchiveFlag::Solid)
                unsupported("solid archive");
            break;
        }
        case FileBlock:
            addFile(index, block, readEntry(block));
            break;
        case ServiceBlock:
            addService(index, block, readEntry(block));
            break;
        case EncryptionBlock:
            unsupported("encrypted headers (archive protected by a password)");
        case EndBlock: {
            // RAR writes the end flags; some writers leave them out.
            Cursor fields(block.body, block.fieldsStart, block.extraStart, offset);
            const uint64_t endFlags = fields.left() > 0 ? fields.number("end flags") : 0;
            if (endFlags & 0x0001)
                unsupported("part of a multi-volume archive");
            return index;
        }
        default:
            if (!(block.flags & HeaderFlag::SkipIfUnknown))
                unsupported("unknown header type " + std::to_string(block.type) + at(offset));
            break;
        }
        offset = block.end();
    }
}

} // namespace torvanelo::rar
