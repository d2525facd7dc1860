#pragma once

// A bound on the processor time a decoder may spend, so that hostile data
// cannot keep it looping: a base allowance plus time in proportion to the
// bytes it has produced, enforced by the kernel (RLIMIT_CPU). Past it the
// process removes the temporary files it registered, prints `message` and
// ends with the exit status of a damaged archive. The previous limit comes
// back when the budget is destroyed.

#include <cstdint>
#include <string>
#include <sys/resource.h>

namespace torvanelo::rar {

class CpuBudget {
public:
    static constexpr unsigned DefaultBaseSeconds = 10;
    // Output granted per second of processor time: far below what the
    // decoder reaches on real data.
    static constexpr uint64_t BytesPerSecond = uint64_t{4} << 20;

    CpuBudget(const std::string& message, unsigned baseSeconds = DefaultBaseSeconds);
    ~CpuBudget();
    CpuBudget(const CpuBudget&) = delete;
    CpuBudget& operator=(const CpuBudget&) = delete;

    // The decoder has produced `bytes` so far.
    void produced(uint64_t bytes);

private:
    void setLimit(rlim_t seconds);

    std::string m_message;
    struct rlimit m_saved {};
    rlim_t m_start = 0;
    rlim_t m_current = 0;
    unsigned m_base;
};

// Temporary files removed when the budget is exceeded.
void registerTemporary(const std::string& path);
void unregisterTemporary(const std::string& path);

} // namespace torvanelo::rar
