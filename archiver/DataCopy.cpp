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

constexpr size_t ChunkSize = size_t{1} << 20;
constexpr uint64_t WritebackStep = uint64_t{8} << 20;

// Computes the running CRC32 of the chunks handed to it, one at a time, in
// the order given.
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

    // Waits until the previous chunk is done, then hands over the next.
    void submit(const char* bytes, size_t count) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_pending == nullptr; });
        m_pending = bytes;
        m_pendingCount = count;
        m_changed.notify_all();
    }
    // Waits until every chunk handed over is done.
    uint32_t result() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_pending == nullptr; });
        return m_crc;
    }

private:
    void run() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_stop || m_pending != nullptr; });
            if (m_pending == nullptr)
                return;
            const char* bytes = m_pending;
            const size_t count = m_pendingCount;
            const uint32_t crc = m_crc;
            lock.unlock();
            const uint32_t next = crc32Of(bytes, count, crc);
            lock.lock();
            m_crc = next;
            m_pending = nullptr;
            m_changed.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    const char* m_pending = nullptr;
    size_t m_pendingCount = 0;
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
    std::unique_ptr<char[]> buffers[2] = {std::unique_ptr<char[]>(new char[ChunkSize]),
                                          std::unique_ptr<char[]>(new char[ChunkSize])};
    CrcThread crc;
    uint64_t left = size;
    for (int which = 0; left > 0; which ^= 1) {
        const size_t count = static_cast<size_t>(std::min<uint64_t>(left, ChunkSize));
        // This buffer's previous chunk was written in the previous-but-one
        // turn, and submit() below waits for its CRC before handing on.
        read(buffers[which].get(), count);
        crc.submit(buffers[which].get(), count);
        write(buffers[which].get(), count);
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
