#include "DataCopy.h"

#include "RarFormat.h"

#include <algorithm>
#include <condition_variable>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <thread>

namespace torvanelo::rar {

namespace {

// Small chunks stay in the processor's cache between the read, the CRC and
// the write; a few of them let the reading and the checksumming run apart.
constexpr size_t ChunkSize = size_t{256} << 10;
constexpr size_t ChunkCount = 8;
constexpr uint64_t WritebackStep = uint64_t{8} << 20;

// Computes the running CRC32 of the chunks handed to it, in the order given.
// At most ChunkCount - 1 chunks wait at a time, so the buffer about to be
// refilled is never one still being read here.
class CrcThread {
public:
    CrcThread()
        : m_thread([this] { run(); }) {}
    ~CrcThread() {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    CrcThread(const CrcThread&) = delete;
    CrcThread& operator=(const CrcThread&) = delete;

    void submit(const char* bytes, size_t count) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_submitted - m_done < ChunkCount - 1; });
        m_queue[m_submitted % ChunkCount] = {bytes, count};
        ++m_submitted;
        m_changed.notify_all();
    }
    // Waits until every chunk handed over is done.
    uint32_t result() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_done == m_submitted; });
        return m_crc;
    }

private:
    struct Chunk {
        const char* bytes = nullptr;
        size_t count = 0;
    };

    void run() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_stop || m_done != m_submitted; });
            if (m_done == m_submitted)
                return;
            const Chunk chunk = m_queue[m_done % ChunkCount];
            const uint32_t crc = m_crc;
            lock.unlock();
            const uint32_t next = crc32Of(chunk.bytes, chunk.count, crc);
            lock.lock();
            m_crc = next;
            ++m_done;
            m_changed.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    Chunk m_queue[ChunkCount];
    uint64_t m_submitted = 0;
    uint64_t m_done = 0;
    uint32_t m_crc = 0;
    bool m_stop = false;
    std::thread m_thread;
};

} // namespace

uint32_t copyWithCrc(uint64_t size, const ReadExactly& read, const WriteAll& write) {
    if (size <= ChunkSize) {
        // One chunk: a thread would only add to the cost.
        std::unique_ptr<char[]> buffer(new char[std::max<size_t>(size, 1)]);
        read(buffer.get(), size);
        write(buffer.get(), size);
        return crc32Of(buffer.get(), size);
    }
    std::unique_ptr<char[]> buffers(new char[ChunkSize * ChunkCount]);
    CrcThread crc;
    uint64_t left = size;
    for (uint64_t turn = 0; left > 0; ++turn) {
        char* buffer = buffers.get() + (turn % ChunkCount) * ChunkSize;
        const size_t count = static_cast<size_t>(std::min<uint64_t>(left, ChunkSize));
        read(buffer, count);
        crc.submit(buffer, count);
        write(buffer, count);
        left -= count;
    }
    return crc.result();
}

void WritebackHint::written(size_t count) {
    m_end += count;
    if (m_end - m_start < WritebackStep)
        return;
    // Only a hint: a failure shows up again at fsync.
    ::sync_file_range(m_fd, static_cast<off_t>(m_start), static_cast<off_t>(m_end - m_start),
                      SYNC_FILE_RANGE_WRITE);
    m_start = m_end;
}

} // namespace torvanelo::rar
