#pragma once

#include "ServiceEventText.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>
#include <signal.h>

class QSocketNotifier;

namespace torvanelo {

class ServiceControl;

// The events of the service, as signals on the event loop's thread:
//   ServiceStopped   SIGTERM (what "systemctl stop" sends)
//   ServicePaused    SIGTSTP ("systemctl kill --kill-whom=main -s TSTP"); it
//                    no longer suspends the process, the program only logs it
//   ServiceContinued SIGCONT
//   UserLoggedOff    logind's SessionRemoved on the given bus (any session
//                    of the machine that ends); absent, without a word, when
//                    the bus cannot be reached
//   ServiceStarted   sent by reportStarted(), when start-up finds the program
//                    started by the unit
//
// The signal handlers only write the signal's number into a pipe; the pipe is
// read on the event loop, so every receiver runs on the event loop's thread.
// Mind that the process runner's wait turns the event loop while the archiver
// runs (it holds back user input only): these signals can arrive in the
// middle of a pass, between two steps of one file. A receiver of
// ServiceStopped must therefore only set flags (stop requested, leave the
// event loop once the pass has returned), never end the pass or the program
// on the spot: the file in hand is finished first.
//
// Once ServiceStopped was sent, later SIGTERM, SIGTSTP and SIGCONT are not
// reported: systemd follows its SIGTERM with a SIGCONT (to wake a suspended
// process), which is no "continued".
//
// One instance catches the signals at a time; the previous handlers come back
// when it is destroyed. Make it when the program runs as the service: while it
// lives, a terminal's Ctrl+Z no longer suspends the program.
class ServiceEvents final : public QObject {
    Q_OBJECT

public:
    // Listens for logoffs on the system bus.
    explicit ServiceEvents(QObject* parent = nullptr);
    ServiceEvents(const QDBusConnection& bus, QObject* parent);
    ~ServiceEvents() override;

    // False when the signals could not be caught (another instance holds
    // them, or no pipe could be made).
    bool catchesSignals() const { return m_catching; }
    // True when logind's logoffs are listened to.
    bool listensForLogoff() const { return m_listening; }

    // Sends ServiceStarted; the argument (the unit's name) is not used.
    void reportStarted();

signals:
    void ServiceStarted(const QString& argument);
    void ServiceStopped();
    void ServicePaused();
    void ServiceContinued();
    void UserLoggedOff();

private slots:
    void onSessionRemoved(const QString& sessionId);

private:
    bool catchSignals();
    void releaseSignals();
    void readSignals();
    void dispatchSignal(int signalNumber);

    QDBusConnection m_bus;
    bool m_catching = false;
    bool m_listening = false;
    bool m_stopped = false;
    int m_readFd = -1;
    int m_writeFd = -1;
    QSocketNotifier* m_notifier = nullptr;
    struct sigaction m_previous[3] = {};
};

// Writes one entry per event through control.LogEvent: the event's text in
// the language that language() gives when the event arrives, with the event's
// type. Call it before connecting the stop reaction, so that the stop entry is
// written first. control must outlive events.
void logServiceEvents(ServiceEvents& events, ServiceControl& control,
                      std::function<int()> language);

} // namespace torvanelo
