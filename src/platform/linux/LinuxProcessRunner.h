#pragma once

#include "ProcessRunner.h"

#include <QStringList>

#include <functional>
#include <optional>

namespace torvanelo {

// ProcessRunner on Linux: posix_spawn, never a shell (except for
// startShellDetached, whose text is a shell command by definition).
//
// Every program gets /dev/null as standard input, so it can never wait for
// an answer, and runs in the working folder of RunOptions when one is given
// (the runner's own current folder never changes). Hidden, its output goes to
// /dev/null; shown, to the console sink, or to /dev/null without one.
//
// Waiting has no time limit; meanwhile the wait hook is called about every
// 50 ms (the window repaints itself there). Every child is reaped: no run
// leaves a zombie behind.
class LinuxProcessRunner final : public ProcessRunner {
public:
    bool RunAndWait(const QString& commandLine, const RunOptions& options) override;
    bool RunProgramAndWait(const QStringList& arguments, const RunOptions& options) override;
    // Standard output and error together; at most 16 MiB of them are kept,
    // the rest is read and dropped so the program never stalls on a full pipe.
    RunResult runCapturing(const QString& commandLine) override;
    // Returns as soon as the command is under way; its process is not a
    // child of ours, so nothing is left to reap.
    bool startShellDetached(const QString& shellCommand) override;

    // Not owned; nullptr discards the output of shown programs.
    void setConsoleSink(ConsoleSink* sink) { m_sink = sink; }
    void setWaitHook(std::function<void()> hook) { m_waitHook = std::move(hook); }

    // The words of a command line by the Windows rules: blanks (space, tab)
    // separate words outside double quotes; a double quote opens or closes a
    // quoted part and is removed; there is no escape character, so
    // ab"c d"e is the one word "abc de" and "" is an empty word. nullopt for
    // an unbalanced quote or a line without words: such a line is not run.
    static std::optional<QStringList> splitCommandLine(const QString& commandLine);

    // The program a first word names. A word with '/' must be an absolute
    // path; a bare name is looked up in the program folder, the executable's
    // folder, then each absolute folder of PATH, never in the current folder
    // (an empty or relative PATH element would mean it, and is skipped).
    // Only a regular file the process may execute counts.
    static std::optional<QString> findProgram(const QString& word);

private:
    bool runAndWait(const QStringList& arguments, const QString& shownLine,
                    const RunOptions& options);

    ConsoleSink* m_sink = nullptr;
    std::function<void()> m_waitHook;
};

} // namespace torvanelo
