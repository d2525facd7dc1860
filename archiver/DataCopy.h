#pragma once

// Copies a run of bytes through two bounded buffers while a second thread
// computes their CRC32, so that checksumming overlaps the reads and writes
// of large files instead of adding to them.

#include <cstddef>
#include <cstdint>
#include <functional>

namespace torvanelo::rar {

// `read(buffer, count)` must fill exactly `count` bytes or throw; `write`
// must write them all or throw. Returns the CRC32 of the `size` bytes.
using ReadExactly = std::function<void(char* buffer, size_t count)>;
using WriteAll = std::function<void(const char* buffer, size_t count)>;
uint32_t copyWithCrc(uint64_t size, const ReadExactly& read, const WriteAll& write);

// Starts writeback of what has been written to `fd` every few MiB, so the
// final fsync of a large file finds most of it already on its way to disk.
class WritebackHint {
public:
    explicit WritebackHint(int fd, uint64_t start = 0)
        : m_fd(fd)
        , m_start(start)
        , m_end(start) {}
    void written(size_t count);

private:
    int m_fd;
    uint64_t m_start;
    uint64_t m_end;
};

} // namespace torvanelo::rar
