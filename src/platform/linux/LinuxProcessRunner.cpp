#include "LinuxProcessRunner.h"

#include "NameCodec.h"
#include "ProgramFolder.h"
#include "linux/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace torvanelo {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto WaitHookInterval = std::chrono::milliseconds(50);
constexpr qsizetype MaxCapturedOutput = 16 * 1024 * 1024;
// The search path of the C library when PATH is not set at all.
constexpr char DefaultSearchPath[] = "/bin:/usr/bin";

enum class Output { Discard, Pipe };

struct Child {
    pid_t pid = -1;
    UniqueFd pidfd;  // readable once the child has ended; absent on old kernels
    UniqueFd output; // read end of the output pipe, non-blocking
};

using OutputHandler = std::function<void(const QByteArray&)>;

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

bool isRunnable(const QString& path) {
    const QByteArray bytes = encodeFileName(path);
    struct stat status {};
    if (bytes.contains('\0') || ::stat(bytes.constData(), &status) != 0 || !S_ISREG(status.st_mode)
        || (status.st_mode & 0111) == 0)
        return false;
    return ::faccessat(AT_FDCWD, bytes.constData(), X_OK, AT_EACCESS) == 0;
}

QStringList searchFolders() {
    QStringList folders = archiverFolders();
    const char* path = ::getenv("PATH");
    const QByteArray elements = path != nullptr ? QByteArray(path) : QByteArray(DefaultSearchPath);
    for (const QByteArray& element : elements.split(':'))
        folders.append(decodeFileName(element));
    // Only absolute folders: an empty or relative one names the current folder.
    folders.removeIf([](const QString& folder) { return !folder.startsWith(u'/'); });
    return folders;
}

// A file descriptor off the standard numbers 0 to 2, so that setting up the
// child's standard streams cannot overwrite it even when ours are closed.
UniqueFd aboveStandardStreams(UniqueFd fd) {
    if (!fd.valid() || fd.get() > 2)
        return fd;
    return UniqueFd(::fcntl(fd.get(), F_DUPFD_CLOEXEC, 3));
}

class SpawnSetup {
public:
    SpawnSetup() {
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup() {
        ::posix_spawn_file_actions_destroy(&actions);
        ::posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

// An added environment entry needs a name before its '=' and no NUL.
bool isEnvironmentEntry(const QByteArray& entry) {
    return entry.indexOf('=') > 0 && !entry.contains('\0');
}

// Our environment with the added entries, each replacing ours of its name.
// Only pointers are gathered: the texts stay where they are.
std::vector<char*> environmentWith(const std::vector<QByteArray>& added) {
    std::vector<char*> entries;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string_view ours(*entry);
        const bool replaced = std::any_of(added.begin(), added.end(), [&](const QByteArray& a) {
            const auto nameEnd = std::size_t(a.indexOf('=')) + 1;
            return ours.substr(0, nameEnd) == std::string_view(a.constData(), nameEnd);
        });
        if (!replaced)
            entries.push_back(*entry);
    }
    for (const QByteArray& entry : added)
        entries.push_back(const_cast<char*>(entry.constData()));
    entries.push_back(nullptr);
    return entries;
}

// Starts a program with the given arguments: standard input from /dev/null,
// output to /dev/null or a pipe, no descriptor of ours inherited, signal
// dispositions and mask reset; our environment plus `environment`.
std::optional<Child> spawnProgram(const QByteArray& program,
                                  const std::vector<QByteArray>& arguments,
                                  const QByteArray& workingFolder, Output output,
                                  bool newSession = false, int workingFolderFd = -1,
                                  const std::vector<QByteArray>& environment = {}) {
    const bool holdsNul = std::any_of(arguments.begin(), arguments.end(),
                                      [](const QByteArray& a) { return a.contains('\0'); });
    if (holdsNul || workingFolder.contains('\0')
        || !std::all_of(environment.begin(), environment.end(), isEnvironmentEntry))
        return std::nullopt;

    UniqueFd readEnd;
    UniqueFd writeEnd;
    if (output == Output::Pipe) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return std::nullopt;
        readEnd.reset(ends[0]);
        writeEnd = aboveStandardStreams(UniqueFd(ends[1]));
        if (!writeEnd.valid() || ::fcntl(readEnd.get(), F_SETFL, O_NONBLOCK) != 0)
            return std::nullopt;
    }

    SpawnSetup setup;
    int failed = 0;
    if (workingFolderFd >= 0)
        failed |= ::posix_spawn_file_actions_addfchdir_np(&setup.actions, workingFolderFd);
    else if (!workingFolder.isEmpty())
        failed |= ::posix_spawn_file_actions_addchdir_np(&setup.actions, workingFolder.constData());
    failed |= ::posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
    if (output == Output::Pipe) {
        failed |= ::posix_spawn_file_actions_adddup2(&setup.actions, writeEnd.get(), 1);
        failed |= ::posix_spawn_file_actions_adddup2(&setup.actions, writeEnd.get(), 2);
    } else {
        failed |= ::posix_spawn_file_actions_addopen(&setup.actions, 1, "/dev/null", O_WRONLY, 0);
        failed |= ::posix_spawn_file_actions_adddup2(&setup.actions, 1, 2);
    }
    failed |= ::posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);

    sigset_t signalSet;
    sigemptyset(&signalSet);
    failed |= ::posix_spawnattr_setsigmask(&setup.attributes, &signalSet);
    sigfillset(&signalSet);
    sigdelset(&signalSet, SIGKILL);
    sigdelset(&signalSet, SIGSTOP);
    failed |= ::posix_spawnattr_setsigdefault(&setup.attributes, &signalSet);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (newSession)
        flags |= POSIX_SPAWN_SETSID;
    failed |= ::posix_spawnattr_setflags(&setup.attributes, flags);
    if (failed != 0)
        return std::nullopt;

    std::vector<char*> argv;
    for (const QByteArray& argument : arguments)
        argv.push_back(const_cast<char*>(argument.constData()));
    argv.push_back(nullptr);

    std::vector<char*> envp;
    if (!environment.empty())
        envp = environmentWith(environment);

    pid_t pid = -1;
    const int error = ::posix_spawn(&pid, program.constData(), &setup.actions, &setup.attributes,
                                    argv.data(), envp.empty() ? environ : envp.data());
    if (error != 0) {
        errno = error;
        return std::nullopt;
    }
    Child child;
    child.pid = pid;
    child.pidfd.reset(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    child.output = std::move(readEnd);
    return child;
}

std::optional<Child> startProgram(const QStringList& words, const QString& workingFolder,
                                  int workingFolderFd, Output output,
                                  const QStringList& environment = {}) {
    if (words.isEmpty())
        return std::nullopt;
    const auto program = LinuxProcessRunner::findProgram(words.first());
    if (!program)
        return std::nullopt;
    std::vector<QByteArray> arguments;
    for (const QString& word : words)
        arguments.push_back(encodeFileName(word));
    std::vector<QByteArray> entries;
    for (const QString& entry : environment)
        entries.push_back(encodeFileName(entry));
    return spawnProgram(encodeFileName(*program), arguments, encodeFileName(workingFolder), output,
                        false, workingFolderFd, entries);
}

std::optional<Child> startCommandLine(const QString& commandLine, const QString& workingFolder,
                                      int workingFolderFd, Output output) {
    const auto words = LinuxProcessRunner::splitCommandLine(commandLine);
    if (!words)
        return std::nullopt;
    return startProgram(*words, workingFolder, workingFolderFd, output);
}

// The arguments as one line for the console's title: each in double quotes
// where it holds a blank.
QString displayLine(const QStringList& arguments) {
    QStringList shown;
    for (const QString& argument : arguments)
        shown.append(argument.contains(u' ') || argument.isEmpty() ? u'"' + argument + u'"'
                                                                   : argument);
    return shown.join(u' ');
}

// Reads what the pipe holds now, without waiting; closes it at its end.
void drain(UniqueFd& pipe, const OutputHandler& onOutput) {
    char buffer[65536];
    while (pipe.valid()) {
        const ssize_t got = ::read(pipe.get(), buffer, sizeof buffer);
        if (got > 0) {
            onOutput(QByteArray(buffer, got));
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else if (got < 0 && errno == EAGAIN) {
            return;
        } else {
            pipe.reset();
        }
    }
}

// Waits for the child's end without a time limit, handing on its output and
// calling the hook about every 50 ms; reaps the child.
RunResult waitFor(Child& child, const std::function<void()>& hook, const OutputHandler& onOutput) {
    RunResult result;
    result.started = true;
    auto lastHook = Clock::now();
    int status = 0;
    for (;;) {
        const pid_t ended = ::waitpid(child.pid, &status, WNOHANG);
        if (ended == child.pid)
            break;
        if (ended < 0 && errno != EINTR) {
            drain(child.output, onOutput);
            return result; // reaped elsewhere: the status is unknown
        }

        pollfd watched[2];
        nfds_t count = 0;
        if (child.pidfd.valid())
            watched[count++] = {child.pidfd.get(), POLLIN, 0};
        if (child.output.valid())
            watched[count++] = {child.output.get(), POLLIN, 0};
        int timeout = -1;
        if (hook) {
            const auto due = lastHook + WaitHookInterval - Clock::now();
            timeout = int(std::max<qint64>(
                0, std::chrono::duration_cast<std::chrono::milliseconds>(due).count() + 1));
        } else if (!child.pidfd.valid()) {
            timeout = int(WaitHookInterval.count());
        }
        if (::poll(watched, count, timeout) < 0 && errno != EINTR) {
            // Cannot watch any more: stop reading so the child cannot stall
            // on a full pipe, and wait for its end.
            child.output.reset();
            while (::waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        if (child.output.valid())
            drain(child.output, onOutput);
        if (hook && Clock::now() - lastHook >= WaitHookInterval) {
            hook();
            lastHook = Clock::now();
        }
    }
    // Take what the program wrote last, but never wait for descendants of it
    // that still hold the pipe open.
    drain(child.output, onOutput);
    child.output.reset();
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.crashed = true;
    }
    return result;
}

} // namespace

bool LinuxProcessRunner::RunAndWait(const QString& commandLine, const RunOptions& options) {
    const auto words = splitCommandLine(commandLine);
    return words && runAndWait(*words, commandLine, options);
}

bool LinuxProcessRunner::RunProgramAndWait(const QStringList& arguments,
                                           const RunOptions& options) {
    return runAndWait(arguments, displayLine(arguments), options);
}

bool LinuxProcessRunner::runAndWait(const QStringList& arguments, const QString& shownLine,
                                    const RunOptions& options) {
    // The sink of this run, even if the hook changes it meanwhile.
    ConsoleSink* const sink = options.show ? m_sink : nullptr;
    auto child =
        startProgram(arguments, options.workingFolder, options.workingFolderDescriptor,
                     sink != nullptr ? Output::Pipe : Output::Discard, options.environment);
    if (!child)
        return false;
    if (sink != nullptr)
        sink->begin(shownLine);
    const RunResult result = waitFor(*child, m_waitHook, [sink](const QByteArray& bytes) {
        if (sink != nullptr)
            sink->output(bytes);
    });
    if (sink != nullptr)
        sink->end(result.exitCode, result.crashed);
    return true;
}

RunResult LinuxProcessRunner::runCapturing(const QString& commandLine) {
    auto child = startCommandLine(commandLine, QString(), -1, Output::Pipe);
    if (!child)
        return RunResult{};
    QByteArray captured;
    RunResult result = waitFor(*child, m_waitHook, [&captured](const QByteArray& bytes) {
        captured.append(bytes.left(std::max<qsizetype>(0, MaxCapturedOutput - captured.size())));
    });
    result.output = captured;
    return result;
}

bool LinuxProcessRunner::startShellDetached(const QString& shellCommand) {
    // The outer shell puts the command in the background and ends at once;
    // the command, orphaned, is reaped by the system. The text travels as a
    // positional parameter, so no quoting of it is needed.
    const std::vector<QByteArray> arguments{QByteArrayLiteral("/bin/sh"), QByteArrayLiteral("-c"),
                                            QByteArrayLiteral("/bin/sh -c \"$1\" &"),
                                            QByteArrayLiteral("sh"), encodeFileName(shellCommand)};
    auto child = spawnProgram(arguments.front(), arguments, QByteArray(), Output::Discard, true);
    if (!child)
        return false;
    const RunResult result = waitFor(*child, m_waitHook, [](const QByteArray&) {});
    return !result.crashed && result.exitCode == 0;
}

std::optional<QStringList> LinuxProcessRunner::splitCommandLine(const QString& commandLine) {
    QStringList words;
    QString word;
    bool inWord = false;
    bool quoted = false;
    for (const QChar c : commandLine) {
        if (c == u'"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && isBlank(c)) {
            if (inWord)
                words.append(word);
            word.clear();
            inWord = false;
        } else {
            word.append(c);
            inWord = true;
        }
    }
    if (quoted)
        return std::nullopt;
    if (inWord)
        words.append(word);
    if (words.isEmpty())
        return std::nullopt;
    return words;
}

std::optional<QString> LinuxProcessRunner::findProgram(const QString& word) {
    if (word.isEmpty())
        return std::nullopt;
    if (word.contains(u'/')) {
        if (word.startsWith(u'/') && isRunnable(word))
            return word;
        return std::nullopt;
    }
    for (const QString& folder : searchFolders()) {
        const QString candidate = folder.endsWith(u'/') ? folder + word : folder + u'/' + word;
        if (isRunnable(candidate))
            return candidate;
    }
    return std::nullopt;
}

} // namespace torvanelo
