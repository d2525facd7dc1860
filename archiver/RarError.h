#pragma once

// Failures of the archiver: each carries the exit status it ends the run
// with and one line of explanation for standard error.

#include <stdexcept>
#include <string>

namespace torvanelo::rar {

// Exit statuses, listed by `rar -?`. The numbers follow the ones RAR tools
// use for the same situations, so scripts written for them read ours alike.
enum class ExitCode : int {
    Success = 0,
    Unsupported = 2,    // a member or archive feature this program cannot read
    Damaged = 3,        // bad signature, header or data checksum, truncation
    WriteError = 5,     // writing, syncing, renaming or deleting failed
    OpenError = 6,      // an archive, folder or input file cannot be opened or read
    BadCommandLine = 7, // unknown command or switch, missing argument
    OutOfMemory = 8,    // memory exhausted or another unexpected failure
    CreateError = 9,    // a temporary file cannot be created
    NoFilesMatch = 10,  // the pattern of `a` matched no file
};

class RarError : public std::runtime_error {
public:
    RarError(ExitCode code, const std::string& reason)
        : std::runtime_error(reason)
        , m_code(code) {}
    ExitCode code() const { return m_code; }

private:
    ExitCode m_code;
};

// The reason text of a failed system call: "what: strerror(errno)".
std::string systemReason(const std::string& what, int error);

} // namespace torvanelo::rar
