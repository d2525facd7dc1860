#include "CpuBudget.h"

#include "RarError.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

namespace torvanelo::rar {

namespace {

// Only changed outside a budget's lifetime, when no SIGXCPU can come.
std::vector<std::string>& temporaries() {
    static std::vector<std::string> paths;
    return paths;
}
const std::string* exceededMessage = nullptr;

extern "C" void budgetExceeded(int) {
    for (const std::string& path : temporaries())
        ::unlink(path.c_str());
    if (exceededMessage != nullptr) {
        const ssize_t ignored =
            ::write(STDERR_FILENO, exceededMessage->data(), exceededMessage->size());
        (void)ignored;
    }
    ::_exit(static_cast<int>(ExitCode::Damaged));
}

rlim_t secondsUsed() {
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<rlim_t>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec);
}

} // namespace

void registerTemporary(const std::string& path) {
    temporaries().push_back(path);
}

void unregisterTemporary(const std::string& path) {
    auto& paths = temporaries();
    const auto found = std::find(paths.begin(), paths.end(), path);
    if (found != paths.end())
        paths.erase(found);
}

CpuBudget::CpuBudget(const std::string& message, unsigned baseSeconds)
    : m_message(message + "\n")
    , m_base(baseSeconds) {
    if (::getrlimit(RLIMIT_CPU, &m_saved) != 0)
        throw RarError(ExitCode::OutOfMemory, systemReason("reading the CPU-time limit", errno));
    struct sigaction action {};
    action.sa_handler = budgetExceeded;
    sigemptyset(&action.sa_mask);
    if (::sigaction(SIGXCPU, &action, nullptr) != 0)
        throw RarError(ExitCode::OutOfMemory, systemReason("setting the CPU-time guard", errno));
    exceededMessage = &m_message;
    m_start = secondsUsed();
    setLimit(m_start + m_base);
}

CpuBudget::~CpuBudget() {
    ::setrlimit(RLIMIT_CPU, &m_saved);
    exceededMessage = nullptr;
}

void CpuBudget::produced(uint64_t bytes) {
    const rlim_t limit = m_start + m_base + static_cast<rlim_t>(bytes / BytesPerSecond);
    if (limit != m_current)
        setLimit(limit);
}

void CpuBudget::setLimit(rlim_t seconds) {
    // Never beyond what the caller's own limits allow.
    struct rlimit limit = m_saved;
    if (m_saved.rlim_cur == RLIM_INFINITY || seconds < m_saved.rlim_cur)
        limit.rlim_cur = seconds;
    if (::setrlimit(RLIMIT_CPU, &limit) != 0)
        throw RarError(ExitCode::OutOfMemory, systemReason("setting the CPU-time limit", errno));
    m_current = seconds;
}

} // namespace torvanelo::rar
