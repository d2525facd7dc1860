#include "ProcessingController.h"

#include "ArchiveCounter.h"
#include "Clock.h"
#include "DailyLog.h"
#include "FileProcessor.h"
#include "FileSystem.h"
#include "FolderPair.h"
#include "FolderWarnings.h"
#include "HtmlText.h"
#include "NumericText.h"
#include "ProcessingView.h"
#include "ServiceControl.h"
#include "Settings.h"
#include "Texts.h"

#include <QDeadlineTimer>
#include <QThread>

#include <algorithm>
#include <limits>

namespace torvanelo {

namespace {

// The controls a series of passes must not have in use: they change the pair
// list or what a pass reads.
constexpr WindowControl LockedDuringPasses[] = {
    WindowControl::cmdAjouterDossierSource,
    WindowControl::cmdSupprimer,
    WindowControl::cmdModifierDossierSource,
    WindowControl::cmdModifierDossierCible,
    WindowControl::mnuDossiers,
    WindowControl::mnuTempo,
    WindowControl::mnuLangue,
    WindowControl::mnuQuitter,
    WindowControl::mnuDefinirLogs,
    WindowControl::mnuPurgeLogs,
    WindowControl::mnuService,
};

// Where the open test cannot ask the kernel, a file seen unchanged over this
// time is taken for one nobody writes (some file systems keep times to the
// second or two).
constexpr int OpenTestSettleMilliseconds = 2500;
constexpr int SettleStepMilliseconds = 20;

// The whole-number value of a pair's PassesLeft; empty or non-numeric is 0.
qint64 passesLeftValue(const QString& text) {
    const double value = roundHalfEven(leadingNumber(text));
    constexpr double Lowest = double(std::numeric_limits<qint32>::min());
    constexpr double Highest = double(std::numeric_limits<qint32>::max());
    return qint64(std::clamp(value, Lowest, Highest));
}

} // namespace

ProcessingController::ProcessingController(const Settings& settings, std::vector<FolderPair>& pairs,
                                           EngineServices services, ProcessingView& view,
                                           WarningView& warningView, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_pairs(pairs)
    , m_services(services)
    , m_view(view)
    , m_warningView(warningView) {}

ProcessingController::~ProcessingController() = default;

void ProcessingController::setStopped(bool stopped) {
    if (m_processingStopped == stopped)
        return;
    m_processingStopped = stopped;
    emit processingStoppedChanged(stopped);
}

void ProcessingController::YieldToUser() {
    const int turns = std::max<int>(1, m_settings.Performance);
    for (int turn = 0; turn < turns; ++turn)
        m_view.processEvents();
}

void ProcessingController::resetCountdown() {
    m_secondsToNextPass = m_settings.DefaultDelay;
}

void ProcessingController::cmdMiroir_Click() {
    // A start while a stopped pass is still ending would run a second pass
    // inside the first one.
    if (m_processingStopped && m_passRunning)
        return;

    const int language = m_settings.Language;
    m_secondsToNextPass = m_settings.DefaultDelay;
    m_view.setWaitProgress(0);
    m_view.setCopyProgress(0);

    if (m_processingStopped) {
        if (m_pairs.empty())
            return;
        m_view.setMessageText(QString());
        for (const WindowControl control : LockedDuringPasses)
            m_view.setControlEnabled(control, false);
        m_view.setStartStopLook(StartStopPicture::Stop,
                                Tr(language, u"Arrêter le traitement", u"Stop processing"),
                                Tr(language, u"&Arrêter le traitement", u"&Stop processing"));
        setStopped(false);
        m_startingPass = true;
        RunPass();
        m_startingPass = false;
        return;
    }

    m_view.setTimerEnabled(false);
    m_view.setTempoText(QString());
    for (const WindowControl control :
         {WindowControl::cmdAjouterDossierSource, WindowControl::cmdSupprimer,
          WindowControl::cmdModifierDossierSource, WindowControl::cmdModifierDossierCible,
          WindowControl::mnuDossiers, WindowControl::mnuService})
        m_view.setControlEnabled(control, true);
    // While the installed service runs, the program is ended by the service
    // manager, not by Quit.
    m_view.setControlEnabled(WindowControl::mnuQuitter,
                             !(m_services.service.IsInstalled() && m_services.service.IsRunning()));
    for (const WindowControl control : {WindowControl::mnuTempo, WindowControl::mnuLangue,
                                        WindowControl::mnuDefinirLogs, WindowControl::mnuPurgeLogs})
        m_view.setControlEnabled(control, true);
    m_view.setStartStopLook(StartStopPicture::Start,
                            Tr(language, u"Démarrer la compression/décompression",
                               u"Start compress/uncompress operations"),
                            Tr(language, u"&Démarrer la compression/décompression",
                               u"&Start compress/uncompress operations"));
    setStopped(true);
    m_view.setTrayTip(productTitle());
    m_view.restoreIfMinimized();
}

void ProcessingController::Timer1_Timer() {
    // A tick queued before the timer went off must not start a pass inside
    // a pass, nor run on after a stop.
    if (m_passRunning || m_processingStopped)
        return;
    if (m_secondsToNextPass < 1) {
        RunPass();
        // A stop during the pass leaves the window in its stopped look.
        if (m_processingStopped)
            return;
        m_secondsToNextPass = m_settings.DefaultDelay;
    }
    m_view.setTempoText(QString::number(m_secondsToNextPass) + QStringLiteral(" s"));
    m_view.setWaitProgress(m_settings.DefaultDelay - m_secondsToNextPass);
    --m_secondsToNextPass;
}

void ProcessingController::RunPass() {
    if (m_passRunning)
        return;
    m_passRunning = true;
    m_costs.startPass();
    const Clock& clock = m_services.clock;
    const QDateTime start = clock.now();

    m_view.setTempoText(QString());
    m_view.setTrayTip(
        productTitle()
        + Tr(m_settings.Language, u" - compression/décompression", u" - compress/uncompress"));
    // Every line of this pass goes into the journal of the day it started.
    DayJournal journal(m_services.files, m_settings, start.date(), m_locale);
    if (m_settings.LogEnabled)
        journal.open();
    m_view.setWaitProgress(0);
    m_view.setTimerEnabled(false);
    m_view.setTempoText(QString());

    m_counts = PassCounts();
    const std::size_t pairCount = m_pairs.size();
    if (pairCount > 0)
        m_view.setCopyProgressMaximum(int(pairCount));

    FileProcessor processor(
        m_services.files, m_services.runner, m_services.counter, m_settings, m_counts, &journal,
        [this] {
            YieldToUser();
            return m_processingStopped;
        },
        &m_costs);
    processor.setSettle([this] {
        const QDeadlineTimer deadline(OpenTestSettleMilliseconds);
        while (!deadline.hasExpired() && !m_processingStopped) {
            YieldToUser();
            QThread::msleep(SettleStepMilliseconds);
        }
    });
    FolderWarnings warnings(m_settings, clock, m_warningView, m_services.service,
                            m_services.runner);
    for (std::size_t i = 0; i < pairCount && i < m_pairs.size(); ++i) {
        m_view.setCopyProgress(int(i + 1));
        m_view.setTempoText(QString::number(i + 1) + u'/' + QString::number(pairCount));
        processPair(i, processor, warnings, journal);
        YieldToUser();
        if (m_processingStopped)
            break;
    }

    {
        // A failure leaves the end of the claimed numbers in the file, which
        // is beyond every number used.
        const PassCosts::Span span(&m_costs, PassCosts::Parameters);
        m_services.counter.save();
    }
    m_view.setCopyProgress(0);
    const QDateTime end = clock.now();
    // Two readings of the clock: a pass across midnight keeps a true duration.
    const qint64 duration = std::max<qint64>(0, start.msecsTo(end));
    const int language = m_settings.Language;
    const PassSummaryLines summary = PassSummary(m_counts, language, end, duration, m_locale);
    m_view.setMessageText(summary.line1 + QStringLiteral("\r\n") + summary.line2);
    const bool workDone = m_counts.FilesCompressed != 0 || m_counts.FilesUncompressed != 0;
    if (m_settings.LogEnabled && workDone)
        journal.append(EscapeHtml(summary.line1) + QStringLiteral("<br>")
                       + EscapeHtml(summary.line2) + QStringLiteral("<br><hr>"));
    m_view.setTempoText(QString());
    m_view.setTimerEnabled(!m_processingStopped);
    if (!m_pairs.empty() && m_settings.ShowFolderFiles)
        m_view.refreshFolderFiles(m_counts.FilesCompressed > 0 || m_counts.FilesUncompressed > 0);
    // A pass ended by the stop command leaves the stopped program's tip.
    m_view.setTrayTip(m_processingStopped
                          ? productTitle()
                          : productTitle() + Tr(language, u" - Attente", u" - Wait"));
    m_view.setTempoText(QString());
    m_passRunning = false;
    m_costs.reportPass(m_services.files, m_counts);
    emit passFinished();

    if (m_settings.StopAfterFirstPass) {
        YieldToUser();
        m_view.endProgram();
    }
}

void ProcessingController::processPair(std::size_t index, FileProcessor& processor,
                                       FolderWarnings& warnings, DayJournal& journal) {
    FolderPair& pair = m_pairs[index];
    if (pair.Source.isEmpty()) {
        ++m_counts.InvalidSources;
        return;
    }
    if (pair.Target.isEmpty()) {
        ++m_counts.InvalidTargets;
        return;
    }
    ++m_counts.SourceFolders;
    const PairPaths paths = MakePairPaths(pair.Source, pair.Target);
    FileSystem& files = m_services.files;
    if (!files.exists(paths.SourceFolder)) {
        ++m_counts.InvalidSources;
        warnings.deliver(FolderKind::Source, paths.SourceFolder, &journal);
        if (!files.exists(paths.TargetFolder)) {
            ++m_counts.InvalidTargets;
            warnings.deliver(FolderKind::Target, paths.TargetFolder, &journal);
        }
        return;
    }
    // A target that is the source itself (also through a link or a bind
    // mount) is no target: the pair would move its files onto themselves at
    // every pass.
    if (!files.exists(paths.TargetFolder)
        || files.isSameFolder(paths.SourceFolder, paths.TargetFolder)) {
        ++m_counts.InvalidTargets;
        warnings.deliver(FolderKind::Target, paths.TargetFolder, &journal);
        return;
    }
    if (!pair.enabled())
        return;
    const qint64 left = passesLeftValue(pair.PassesLeft) - 1;
    if (left < 1 || m_startingPass) {
        pair.PassesLeft = pair.IntervalCount;
        const bool compressMode = pair.compresses();
        // The pair is not touched again: the list may be reloaded while the
        // scan gives the window its turns.
        processor.ScanFolder(paths, compressMode);
    } else {
        pair.PassesLeft = QString::number(left);
    }
}

} // namespace torvanelo
