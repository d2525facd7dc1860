#include "ServiceEvents.h"

#include "ServiceControl.h"
#include "SystemdUnit.h"

#include <QMetaObject>
#include <QPointer>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace torvanelo {

namespace {

constexpr int CaughtSignals[3] = {SIGTERM, SIGTSTP, SIGCONT};

// The write end of the pipe of the instance that catches the signals.
std::atomic<int> signalPipe{-1};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void onServiceSignal(int signalNumber) {
    // Async-signal-safe: one write(), errno kept for the interrupted code. A
    // full pipe drops the byte; a flood of signals loses nothing that matters.
    const int savedErrno = errno;
    const int fd = signalPipe.load();
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signalNumber);
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

const QString Login1Service = QStringLiteral("org.freedesktop.login1");
const QString Login1Path = QStringLiteral("/org/freedesktop/login1");
const QString Login1Manager = QStringLiteral("org.freedesktop.login1.Manager");
const QString SessionRemoved = QStringLiteral("SessionRemoved");
// Qt DBus connects bus signals by signature text only, and wants it in the
// normalized form. The slot takes the session id alone: an object path
// argument would need Qt DBus's own type registration, which it makes only
// on some of its paths.
QByteArray sessionRemovedSlot() {
    return QMetaObject::normalizedSignature(SLOT(onSessionRemoved(QString)));
}

} // namespace

ServiceEvents::ServiceEvents(QObject* parent)
    : ServiceEvents(QDBusConnection::systemBus(), parent) {}

ServiceEvents::ServiceEvents(const QDBusConnection& bus, QObject* parent)
    : QObject(parent)
    , m_bus(bus) {
    m_catching = catchSignals();
    // Only the owner of logind's name can send these: the bus itself checks
    // the sender, and Qt DBus matches it against the name's owner.
    if (m_bus.isConnected())
        m_listening = m_bus.connect(Login1Service, Login1Path, Login1Manager, SessionRemoved, this,
                                    sessionRemovedSlot().constData());
}

ServiceEvents::~ServiceEvents() {
    if (m_listening)
        m_bus.disconnect(Login1Service, Login1Path, Login1Manager, SessionRemoved, this,
                         sessionRemovedSlot().constData());
    releaseSignals();
}

bool ServiceEvents::catchSignals() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    int expected = -1;
    if (!signalPipe.compare_exchange_strong(expected, fds[1])) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    m_readFd = fds[0];
    m_writeFd = fds[1];

    struct sigaction action = {};
    action.sa_handler = onServiceSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls (the runner's wait, file calls) resume.
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i) {
        if (::sigaction(CaughtSignals[i], &action, &m_previous[i]) != 0) {
            for (int j = 0; j < i; ++j)
                ::sigaction(CaughtSignals[j], &m_previous[j], nullptr);
            signalPipe.store(-1);
            ::close(m_readFd);
            ::close(m_writeFd);
            m_readFd = m_writeFd = -1;
            return false;
        }
    }

    m_notifier = new QSocketNotifier(m_readFd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ServiceEvents::readSignals);
    return true;
}

void ServiceEvents::releaseSignals() {
    if (!m_catching)
        return;
    // Handlers first, so that no signal writes to a closed descriptor.
    for (int i = 0; i < 3; ++i)
        ::sigaction(CaughtSignals[i], &m_previous[i], nullptr);
    signalPipe.store(-1);
    delete m_notifier;
    m_notifier = nullptr;
    ::close(m_readFd);
    ::close(m_writeFd);
    m_readFd = m_writeFd = -1;
    m_catching = false;
}

void ServiceEvents::readSignals() {
    // Everything pending is read before anything is sent, so that a receiver
    // turning the event loop finds the pipe empty.
    QByteArray pending;
    char buffer[64];
    for (;;) {
        const ssize_t count = ::read(m_readFd, buffer, sizeof buffer);
        if (count > 0) {
            pending.append(buffer, count);
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        break;
    }
    const QPointer<ServiceEvents> alive(this);
    for (const char byte : pending) {
        if (!alive)
            return;
        dispatchSignal(static_cast<unsigned char>(byte));
    }
}

void ServiceEvents::dispatchSignal(int signalNumber) {
    if (m_stopped)
        return;
    switch (signalNumber) {
    case SIGTERM:
        m_stopped = true;
        emit ServiceStopped();
        break;
    case SIGTSTP:
        emit ServicePaused();
        break;
    case SIGCONT:
        emit ServiceContinued();
        break;
    default:
        break;
    }
}

void ServiceEvents::reportStarted() {
    emit ServiceStarted(ServiceUnitName);
}

void ServiceEvents::onSessionRemoved(const QString& sessionId) {
    Q_UNUSED(sessionId);
    emit UserLoggedOff();
}

void logServiceEvents(ServiceEvents& events, ServiceControl& control,
                      std::function<int()> language) {
    const auto log = [&control, language](ServiceEvent event) {
        control.LogEvent(ServiceEventText(event, language()), ServiceEventType(event));
    };
    QObject::connect(&events, &ServiceEvents::ServiceStarted, &events,
                     [log](const QString&) { log(ServiceEvent::Started); });
    QObject::connect(&events, &ServiceEvents::ServiceStopped, &events,
                     [log] { log(ServiceEvent::Stopped); });
    QObject::connect(&events, &ServiceEvents::ServicePaused, &events,
                     [log] { log(ServiceEvent::Paused); });
    QObject::connect(&events, &ServiceEvents::ServiceContinued, &events,
                     [log] { log(ServiceEvent::Continued); });
    QObject::connect(&events, &ServiceEvents::UserLoggedOff, &events,
                     [log] { log(ServiceEvent::UserLoggedOff); });
}

} // namespace torvanelo
