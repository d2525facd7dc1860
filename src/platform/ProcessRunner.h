#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace torvanelo {

struct RunOptions {
    bool show = false;     // show the program's output live (the archiver console)
    QString workingFolder; // empty: the caller's current folder
    // A held folder to work in, by its descriptor (wins over workingFolder):
    // the program starts in that very folder, whatever its name names now.
    int workingFolderDescriptor = -1;
    // "NAME=value" entries for the program's environment, on top of ours; an
    // entry replaces our variable of the same name.
    QStringList environment;
};

struct RunResult {
    bool started = false; // false: the program could not be started
    int exitCode = -1;    // meaningful only when started and it exited normally
    bool crashed = false; // ended by a signal
    QByteArray output;    // standard output and error, when captured
};

// Receives the live output of a program run with RunOptions::show (the
// archiver console). begin and end bracket each run that started; output
// comes in pieces as the program writes them, standard output and error
// interleaved. exitCode is the program's exit status, or -1 when crashed.
class ConsoleSink {
public:
    virtual ~ConsoleSink() = default;
    virtual void begin(const QString& commandLine) = 0;
    virtual void output(const QByteArray& bytes) = 0;
    virtual void end(int exitCode, bool crashed) = 0;
};

// Starts programs without a shell. The command line is split into arguments
// by the Windows rules (double quotes group, no escapes); the first word is
// looked up in the program folder first, then in PATH, never in the current
// folder. A line that cannot be split safely is not run.
class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;

    // Runs the command line and waits for its end, without a time limit.
    // True when the process could be created; its exit code is not judged.
    virtual bool RunAndWait(const QString& commandLine, const RunOptions& options) = 0;
    // The same with the arguments given one by one, the program first: no
    // splitting, so an argument may hold any character, quotes included.
    virtual bool RunProgramAndWait(const QStringList& arguments, const RunOptions& options) = 0;

    // Runs the command line, waits and returns its exit status and captured
    // output (used for service manager queries).
    virtual RunResult runCapturing(const QString& commandLine) = 0;

    // Starts "/bin/sh -c shellCommand" without waiting, output discarded
    // (the administrator's own command line, e.g. the net send warning).
    virtual bool startShellDetached(const QString& shellCommand) = 0;
};

} // namespace torvanelo
