#include "ServiceRun.h"

#include "ProcessingController.h"
#include "ServiceEvents.h"
#include "Settings.h"
#include "frmKelvadon.h"

namespace torvanelo {

ServiceRun::ServiceRun(frmKelvadon& window, ProcessingController& controller,
                       ServiceControl& service, const Settings& settings)
    : QObject(&window)
    , m_window(window)
    , m_controller(controller)
    , m_events(new ServiceEvents(this)) {
    // The log entries are connected first, so that the stop is logged before
    // anything reacts to it.
    logServiceEvents(*m_events, service, [&settings] { return int(settings.Language); });
    connect(m_events, &ServiceEvents::ServiceStopped, this, &ServiceRun::onServiceStopped);
    connect(&m_controller, &ProcessingController::passFinished, this, [this] {
        if (m_stopping)
            leave();
    });
    m_events->reportStarted();
}

void ServiceRun::onServiceStopped() {
    if (m_stopping)
        return;
    m_stopping = true;
    if (!m_controller.ProcessingStopped()) {
        // The stop command brings a hidden window back; a service that is
        // ending keeps it where it was.
        const bool hidden = m_window.isHidden();
        m_controller.cmdMiroir_Click();
        if (hidden)
            m_window.minimizeToTray();
    }
    // A pass in hand (this may run inside one of its turns) finishes its
    // file and returns first; its end leaves.
    if (!m_controller.passRunning())
        leave();
}

void ServiceRun::leave() {
    if (!m_window.exitRequested())
        m_window.exitProgram(0);
}

} // namespace torvanelo
