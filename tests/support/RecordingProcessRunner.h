#pragma once

#include "ProcessRunner.h"

#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

namespace torvanelo::test {

// Stands in for the process runner: records every call and answers from a
// script. Results queued with queueResult are handed out one per call, in
// order, whatever the kind of call; when the queue is empty defaultResult
// answers (started, exit code 0). The effect callback runs for each call
// that started, before its result is returned, so a test can mimic what the program would
// have done (create an archive, delete its inputs).
class RecordingProcessRunner final : public ProcessRunner {
public:
    enum class Kind { RunAndWait, Capturing, ShellDetached };

    struct Run {
        Kind kind;
        QString commandLine;
        RunOptions options;
    };

    bool RunAndWait(const QString& commandLine, const RunOptions& options) override {
        return answer({Kind::RunAndWait, commandLine, options}).started;
    }
    // Recorded as the arguments joined by blanks.
    bool RunProgramAndWait(const QStringList& arguments, const RunOptions& options) override {
        return answer({Kind::RunAndWait, arguments.join(u' '), options}).started;
    }
    RunResult runCapturing(const QString& commandLine) override {
        return answer({Kind::Capturing, commandLine, RunOptions{}});
    }
    bool startShellDetached(const QString& shellCommand) override {
        return answer({Kind::ShellDetached, shellCommand, RunOptions{}}).started;
    }

    void queueResult(RunResult result) { m_queued.push_back(std::move(result)); }
    void queueNotStarted() { m_queued.push_back(RunResult{}); }

    // The command lines of the recorded runs of one kind, in order.
    QStringList commandLines(Kind kind) const {
        QStringList lines;
        for (const Run& run : runs) {
            if (run.kind == kind)
                lines.append(run.commandLine);
        }
        return lines;
    }

    std::vector<Run> runs;
    RunResult defaultResult{true, 0, false, QByteArray()};
    std::function<void(const Run&)> effect;

private:
    RunResult answer(const Run& run) {
        runs.push_back(run);
        RunResult result = defaultResult;
        if (!m_queued.empty()) {
            result = std::move(m_queued.front());
            m_queued.pop_front();
        }
        if (result.started && effect)
            effect(run);
        return result;
    }

    std::deque<RunResult> m_queued;
};

} // namespace torvanelo::test
