#include "ArchiveWriter.h"

#include "Names.h"
#include "PosixFile.h"
#include "RarError.h"

#include <algorithm>
#include <cstring>

namespace torvanelo::rar {

namespace {

constexpr size_t BufferSize = size_t{1} << 20;
// Data at least this large bypasses the buffer and is copied with the CRC32
// computed alongside.
constexpr uint64_t DirectCopySize = uint64_t{256} << 10;

} // namespace

ArchiveOutput::ArchiveOutput(int fd, std::string label)
    : m_fd(fd)
    , m_label(std::move(label))
    , m_buffer(new char[BufferSize])
    , m_writeback(fd) {}

ArchiveOutput::~ArchiveOutput() = default;

size_t ArchiveOutput::freeSize() const {
    return BufferSize - m_used;
}

void ArchiveOutput::written(size_t bytes) {
    m_used += bytes;
    if (m_used == BufferSize)
        flush();
}

void ArchiveOutput::append(std::string_view bytes) {
    while (!bytes.empty()) {
        const size_t chunk = std::min(bytes.size(), freeSize());
        std::memcpy(freeSpace(), bytes.data(), chunk);
        bytes.remove_prefix(chunk);
        written(chunk);
    }
}

void ArchiveOutput::patch(uint64_t offset, std::string_view bytes) {
    if (offset + bytes.size() > position())
        throw RarError(ExitCode::WriteError, "internal error: patch beyond the written part");
    if (offset < m_flushed) {
        const size_t onDisk =
            static_cast<size_t>(std::min<uint64_t>(m_flushed - offset, bytes.size()));
        pwriteAll(m_fd, bytes.data(), onDisk, offset, m_label);
        bytes.remove_prefix(onDisk);
        offset += onDisk;
    }
    if (!bytes.empty())
        std::memcpy(m_buffer.get() + (offset - m_flushed), bytes.data(), bytes.size());
}

uint32_t ArchiveOutput::appendFile(int fd, uint64_t size, const std::string& what) {
    const auto readExactly = [&](char* buffer, size_t count) {
        if (readUpTo(fd, buffer, count, what) != count)
            throw RarError(ExitCode::OpenError, what + " became shorter while being archived");
    };
    const uint32_t crc = size >= DirectCopySize ? appendDirect(size, readExactly)
                                                : appendBuffered(size, readExactly);
    char probe = 0;
    if (readUpTo(fd, &probe, 1, what) != 0)
        throw RarError(ExitCode::OpenError, what + " grew while being archived");
    return crc;
}

uint32_t ArchiveOutput::appendRange(int fd, uint64_t offset, uint64_t size,
                                    const std::string& what) {
    const auto readExactly = [&](char* buffer, size_t count) {
        if (preadUpTo(fd, buffer, count, offset, what) != count)
            throw RarError(ExitCode::Damaged, what + " ends unexpectedly");
        offset += count;
    };
    return size >= DirectCopySize ? appendDirect(size, readExactly)
                                  : appendBuffered(size, readExactly);
}

uint32_t ArchiveOutput::appendBuffered(uint64_t size, const ReadExactly& read) {
    uint32_t crc = 0;
    while (size > 0) {
        const size_t count = static_cast<size_t>(std::min<uint64_t>(size, freeSize()));
        read(freeSpace(), count);
        crc = crc32Of(freeSpace(), count, crc);
        size -= count;
        written(count);
    }
    return crc;
}

uint32_t ArchiveOutput::appendDirect(uint64_t size, const ReadExactly& read) {
    flush();
    return copyWithCrc(size, read, [this](const char* bytes, size_t count) {
        writeAll(m_fd, bytes, count, m_label);
        m_flushed += count;
        m_writeback.written(count);
    });
}

void ArchiveOutput::flush() {
    if (m_used == 0)
        return;
    writeAll(m_fd, m_buffer.get(), m_used, m_label);
    m_flushed += m_used;
    m_writeback.written(m_used);
    m_used = 0;
}

void ArchiveWriter::begin() {
    m_output.append(archiveStart());
}

void ArchiveWriter::addFile(const FileEntry& entry, int dataFd) {
    EntryHeader header;
    header.type = FileBlock;
    header.size = entry.size;
    header.attributes = entry.attributes;
    header.hostOs = HostOs::Windows;
    header.name = entry.name;
    header.extra = timeRecord(entry.mtimeSeconds, entry.mtimeNanoseconds);
    if (entry.uid || entry.gid) {
        std::string owner = vint((entry.uid ? OwnerFlag::NumericUser : 0)
                                 | (entry.gid ? OwnerFlag::NumericGroup : 0));
        if (entry.uid)
            appendVint(owner, *entry.uid);
        if (entry.gid)
            appendVint(owner, *entry.gid);
        header.extra += extraRecord(RecordType::Owner, owner);
    }
    if (entry.mode)
        header.extra += extraRecord(RecordType::UnixMode, vint(*entry.mode));
    FramedHeader framed = buildEntryHeader(header);
    const uint64_t headerOffset = m_output.position();
    m_output.append(framed.bytes);
    const uint32_t crc = m_output.appendFile(dataFd, entry.size, quotedName(entry.name));
    setDataCrc(framed, crc);
    m_output.patch(headerOffset, framed.bytes);
}

void ArchiveWriter::addStream(std::string_view streamName, std::string_view value) {
    EntryHeader header;
    header.type = ServiceBlock;
    header.headerFlags = HeaderFlag::Data | HeaderFlag::Child;
    header.size = value.size();
    header.attributes = 0;
    header.dataCrc = crc32Of(value);
    header.hostOs = HostOs::Windows;
    header.name = std::string(StreamServiceName);
    header.extra = extraRecord(RecordType::ServiceData, streamName);
    m_output.append(buildEntryHeader(header).bytes);
    m_output.append(value);
}

void ArchiveWriter::finish() {
    m_output.append(endOfArchive());
    m_output.flush();
}

} // namespace torvanelo::rar
