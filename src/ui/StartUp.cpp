#include "StartUp.h"

#include "FolderPairList.h"
#include "ProcessRunner.h"
#include "ProgramFolder.h"
#include "ProcessingController.h"
#include "QtTranslations.h"
#include "ServiceControl.h"
#include "SettingsStore.h"
#include "Texts.h"
#include "UserPrompts.h"
#include "WaitCursor.h"
#include "WindowTexts.h"
#include "frmKelvadon.h"

#include <cstdio>

namespace torvanelo {

namespace {

// A parameters file that is there but cannot be read as text: defaults in
// its place would have a batch job wait for ever. Said on standard error
// (the box of a headless run goes there by itself), in the system log when
// the service manager started the program, and in a box at the screen.
void reportParametersFault(const QString& text, ServiceControl& service, UserPrompts& prompts) {
    if (service.IsStartedAsService())
        service.LogEvent(text, EventWarning);
    if (prompts.canAnswer()) {
        QString line = text;
        line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        std::fprintf(stderr, "%s: %s\n", qPrintable(ProductName), line.toLocal8Bit().constData());
        std::fflush(stderr);
    }
    prompts.message(nullptr, UserPrompts::Icon::Error, UserPrompts::Buttons::Ok, ProductName, text);
}

} // namespace

StartUp::StartUp(SettingsStore& store, frmKelvadon& window, ProcessingController& controller,
                 StartUpServices services)
    : m_store(store)
    , m_window(window)
    , m_controller(controller)
    , m_services(std::move(services)) {}

bool StartUp::run() {
    // The title, and the product name under the mode picture.
    QString title = productTitle();
    m_window.setTitleText(title, true);

    // The language comes first: the refusal below speaks it.
    m_store.readLanguage();
    const int language = m_store.settings().Language;
    useQtTranslations(language);
    if (m_services.acquireSingleInstance && !m_services.acquireSingleInstance()) {
        m_services.prompts.message(nullptr, UserPrompts::Icon::Warning, UserPrompts::Buttons::Ok,
                                   ProductName, alreadyRunningText(language));
        m_window.exitProgram(1);
        return false;
    }
    const ParametersFileState parameters = m_store.parametersFile().state();
    if (parameters == ParametersFileState::Unreadable
        || parameters == ParametersFileState::NotText) {
        reportParametersFault(
            parametersFileFaultText(language, parameters, m_store.parametersFile().path()),
            m_services.service, m_services.prompts);
        m_window.exitProgram(1);
        return false;
    }

    const MachineNames& machine = m_services.machine;
    if (!machine.host.trimmed().isEmpty())
        title += QStringLiteral("   ") + machine.host.trimmed();
    if (!machine.user.trimmed().isEmpty())
        title += QStringLiteral("; ") + machine.user.trimmed();
    if (!machine.system.isEmpty())
        title += QStringLiteral("; ") + machine.system;
    m_window.setTitleText(title, false);

    if (!settleServiceMode())
        return false;

    m_store.readRemaining();
    m_window.showSettingsMarks();
    m_window.placeAtStoredPosition();
    m_window.addTrayIcon();
    m_window.updateCountdownRange();
    // ProcessingStopped holds from the controller's construction.
    m_window.setControlEnabled(WindowControl::mnuService, true);
    m_window.ApplyLanguage();

    // Only whether the archiver can be started counts, not what it answers.
    m_archiverPresent = m_services.runner.RunAndWait(QStringLiteral("rar -?"), RunOptions{});
    // A service stop that came while the check ran has ended the program.
    if (m_window.exitRequested())
        return false;
    if (!m_archiverPresent) {
        m_services.prompts.message(&m_window, UserPrompts::Icon::Error, UserPrompts::Buttons::Ok,
                                   archiverMissingTitle(),
                                   archiverMissingText(m_store.settings().Language,
                                                       {m_store.programFolder(),
                                                        executableFolder()}));
        m_window.disableStart();
    }

    const PairFileFault fault = [this] {
        const WaitCursor hourglass;
        return m_window.LoadFolderPairs();
    }();
    if (fault != PairFileFault::None) {
        m_window.endOnPairFileFault(fault);
        return false;
    }

    // Nor does a program that was ended on the way start its passes.
    if (m_window.exitRequested())
        return false;
    automaticStart();
    return !m_window.exitRequested();
}

bool StartUp::settleServiceMode() {
    ServiceControl& service = m_services.service;
    const bool installed = service.IsInstalled();
    if (installed && service.IsStartedAsService()) {
        m_serviceMode = true;
        m_window.setControlEnabled(WindowControl::mnuQuitter, false);
        m_window.setModeDisplay(ProgramMode::Service);
        if (m_serviceModeHandler)
            m_serviceModeHandler();
        return true;
    }
    if (installed) {
        const int language = m_store.settings().Language;
        const auto answer = m_services.prompts.message(nullptr, UserPrompts::Icon::Question,
                                                       UserPrompts::Buttons::YesNo, ProductName,
                                                       serviceInstalledQuestion(language));
        if (answer != UserPrompts::Answer::Yes) {
            m_window.exitProgram(0);
            return false;
        }
        if (!service.Uninstall()) {
            // The service may still run on the same folders: two copies
            // must never work side by side, so this one gives way.
            m_services.prompts.message(nullptr, UserPrompts::Icon::Error, UserPrompts::Buttons::Ok,
                                       ProductName, serviceNotRemovedText(language));
            m_window.exitProgram(1);
            return false;
        }
        service.LogEvent(serviceRemovedText(language), EventInformation);
        m_store.setAutoStart(false);
    }
    m_window.setModeDisplay(ProgramMode::Application);
    return true;
}

void StartUp::automaticStart() {
    const Settings& settings = m_store.settings();
    if (settings.AutoStart && m_archiverPresent) {
        m_window.minimizeToTray();
        if (settings.StopAfterFirstPass) {
            m_window.showStartSplash();
            m_controller.YieldToUser();
        }
        m_controller.cmdMiroir_Click();
    } else if (m_serviceMode) {
        // The service starts its passes whatever the check found: it has no
        // window on which the user could start them later.
        m_window.minimizeToTray();
        m_controller.cmdMiroir_Click();
    } else {
        m_window.show();
    }

    // A batch job (no screen, the end after the first pass asked) whose
    // passes could not start, for want of a folder pair or of the archiver,
    // would wait for ever for a user who is not there: it ends now, in
    // failure when the archiver is missing.
    if (settings.AutoStart && settings.StopAfterFirstPass && !m_serviceMode
        && !m_services.prompts.canAnswer() && m_controller.ProcessingStopped()
        && !m_window.exitRequested())
        m_window.exitProgram(m_archiverPresent ? 0 : 1);
}

} // namespace torvanelo
