#pragma once

#include "PassCosts.h"
#include "PassSummary.h"

#include <QLocale>
#include <QObject>

#include <vector>

namespace torvanelo {

class ArchiveCounter;
class Clock;
class FileProcessor;
class FileSystem;
class FolderWarnings;
class DayJournal;
class ProcessRunner;
class ProcessingView;
class ServiceControl;
class WarningView;
struct FolderPair;
struct Settings;

// What the passes use from outside.
struct EngineServices {
    FileSystem& files;
    ProcessRunner& runner;
    ArchiveCounter& counter;
    const Clock& clock;
    ServiceControl& service;
};

// The series of processing passes and its start/stop command. States:
//  - Stopped (ProcessingStopped, timer off): the start command runs a first
//    pass at once, with every enabled pair due, and the timer then counts
//    down from the default delay;
//  - Waiting (timer on): each tick counts SecondsToNextPass down and runs the
//    next pass when it is below 1;
//  - In a pass (timer off): a stop takes effect at the next turn given to the
//    window, after the entry in hand; the pass still shows its summary.
// Settings and the pair list are owned elsewhere and read afresh at each use;
// the pass updates each pair's PassesLeft in place.
class ProcessingController final : public QObject {
    Q_OBJECT

public:
    ProcessingController(const Settings& settings, std::vector<FolderPair>& pairs,
                         EngineServices services, ProcessingView& view, WarningView& warningView,
                         QObject* parent = nullptr);
    ~ProcessingController() override;

    bool ProcessingStopped() const { return m_processingStopped; }
    bool StartingPass() const { return m_startingPass; }
    int SecondsToNextPass() const { return m_secondsToNextPass; }
    bool passRunning() const { return m_passRunning; }
    // The counts of the last pass that ended.
    const PassCounts& lastPassCounts() const { return m_counts; }

    // The locale of dates and numbers in the summary and the journal.
    void setLocale(const QLocale& locale) { m_locale = locale; }

    // The start/stop command (cmdMiroir and mnuDemarrer).
    void cmdMiroir_Click();
    void mnuDemarrer_Click() { cmdMiroir_Click(); }
    // The one-second tick of Timer1.
    void Timer1_Timer();
    // One pass over the pairs, in list order.
    void RunPass();
    // Gives the window Performance turns of its message loop.
    void YieldToUser();
    // Restarts the countdown from DefaultDelay, so that after a change of the
    // delay the next pass comes a full delay later.
    void resetCountdown();

signals:
    void processingStoppedChanged(bool stopped);
    void passFinished();

private:
    void processPair(std::size_t index, FileProcessor& processor, FolderWarnings& warnings,
                     DayJournal& journal);
    void setStopped(bool stopped);

    const Settings& m_settings;
    std::vector<FolderPair>& m_pairs;
    EngineServices m_services;
    ProcessingView& m_view;
    WarningView& m_warningView;
    QLocale m_locale;

    bool m_processingStopped = true;
    bool m_startingPass = false;
    bool m_passRunning = false;
    int m_secondsToNextPass = 0;
    PassCounts m_counts;
    // Where each pass spends its time, when TORVANELO_COSTS asks for it.
    PassCosts m_costs = PassCosts::fromEnvironment();
};

} // namespace torvanelo
