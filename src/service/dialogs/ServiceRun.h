#pragma once

#include <QObject>

namespace torvanelo {

class ProcessingController;
class ServiceControl;
class ServiceEvents;
class frmKelvadon;
struct Settings;

// The program while it runs as the service: made by start-up once it finds
// the program started as the installed service, before the first pass.
//
// Every service event (started, stopped, paused, continued, a user logging
// off) is written to the system log in the language of the moment; "started"
// is written when this object is made. Pause and continue change nothing
// else.
//
// A stop (SIGTERM) is logged first. Then, since it may arrive in the middle
// of a pass (between two steps of one file, while the archiver runs), it only
// asks: the passes are stopped as the stop command does, which the pass sees
// after the file in hand, and the program ends with status 0 once the pass
// in hand has returned (at once when none runs). So no file is left
// half-moved.
class ServiceRun final : public QObject {
    Q_OBJECT

public:
    // window is the parent; service must outlive this object.
    ServiceRun(frmKelvadon& window, ProcessingController& controller, ServiceControl& service,
               const Settings& settings);

    ServiceEvents& events() const { return *m_events; }
    // A stop was received: the program ends once no pass runs.
    bool stopping() const { return m_stopping; }

private:
    void onServiceStopped();
    void leave();

    frmKelvadon& m_window;
    ProcessingController& m_controller;
    ServiceEvents* m_events = nullptr;
    bool m_stopping = false;
};

} // namespace torvanelo
