#pragma once

// Writes a RAR 5.0 archive (store method) to an open file, front to back,
// with bounded memory: file data is copied through one buffer while its
// CRC32 is computed, and the CRC slot of the file header is filled in
// afterwards.

#include "DataCopy.h"
#include "RarFormat.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace torvanelo::rar {

// An output file written through one buffer, whose already written bytes
// can still be patched.
class ArchiveOutput {
public:
    ArchiveOutput(int fd, std::string label);
    ~ArchiveOutput();
    ArchiveOutput(const ArchiveOutput&) = delete;
    ArchiveOutput& operator=(const ArchiveOutput&) = delete;

    uint64_t position() const { return m_flushed + m_used; }
    void append(std::string_view bytes);
    void patch(uint64_t offset, std::string_view bytes);
    // Copies exactly `size` bytes read from the current position of `fd` and
    // returns their CRC32. A file that ends early or holds more than `size`
    // bytes is an error: it changed while being copied.
    uint32_t appendFile(int fd, uint64_t size, const std::string& what);
    // Copies bytes [offset, offset + size) of `fd` and returns their CRC32.
    uint32_t appendRange(int fd, uint64_t offset, uint64_t size, const std::string& what);
    void flush();

private:
    uint32_t appendBuffered(uint64_t size, const ReadExactly& read);
    uint32_t appendDirect(uint64_t size, const ReadExactly& read);
    char* freeSpace() { return m_buffer.get() + m_used; }
    size_t freeSize() const;
    void written(size_t bytes);

    int m_fd;
    std::string m_label;
    std::unique_ptr<char[]> m_buffer;
    size_t m_used = 0;
    uint64_t m_flushed = 0;
    WritebackHint m_writeback;
};

// What the file header of one member says.
struct FileEntry {
    std::string name; // stored name, no folder
    uint64_t size = 0;
    uint64_t attributes = WindowsAttribute::Archive;
    int64_t mtimeSeconds = 0;
    uint32_t mtimeNanoseconds = 0;
    // Permission bits and owner, in records beside the Windows attributes.
    std::optional<uint32_t> mode = std::nullopt;
    std::optional<uint64_t> uid = std::nullopt;
    std::optional<uint64_t> gid = std::nullopt;
};

class ArchiveWriter {
public:
    explicit ArchiveWriter(ArchiveOutput& output)
        : m_output(output) {}

    // Signature and main header.
    void begin();
    // The file header and `entry.size` bytes read from `dataFd`.
    void addFile(const FileEntry& entry, int dataFd);
    // One stream of the file added last: an STM service header and its data.
    void addStream(std::string_view streamName, std::string_view value);
    // The end-of-archive header, then everything is handed to the file.
    void finish();

    ArchiveOutput& output() { return m_output; }

private:
    ArchiveOutput& m_output;
};

} // namespace torvanelo::rar
