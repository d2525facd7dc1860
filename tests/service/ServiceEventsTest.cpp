#include "ServiceEvents.h"

#include "FakeServiceControl.h"
#include "TestRegistry.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <signal.h>
#include <unistd.h>

using namespace torvanelo;
using namespace torvanelo::test;

namespace {

// The events in the order they arrive.
struct EventRecorder {
    QStringList seen;
    void watch(ServiceEvents& events) {
        QObject::connect(&events, &ServiceEvents::ServiceStarted, &events,
                         [this](const QString&) { seen << QStringLiteral("started"); });
        QObject::connect(&events, &ServiceEvents::ServiceStopped, &events,
                         [this] { seen << QStringLiteral("stopped"); });
        QObject::connect(&events, &ServiceEvents::ServicePaused, &events,
                         [this] { seen << QStringLiteral("paused"); });
        QObject::connect(&events, &ServiceEvents::ServiceContinued, &events,
                         [this] { seen << QStringLiteral("continued"); });
        QObject::connect(&events, &ServiceEvents::UserLoggedOff, &events,
                         [this] { seen << QStringLiteral("logoff"); });
    }
};

QDBusConnection unreachableBus() {
    return QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/torvanelo-test-bus"), QStringLiteral("unreachable"));
}

void (*handlerOf(int signalNumber))(int) {
    struct sigaction current = {};
    ::sigaction(signalNumber, nullptr, &current);
    return current.sa_handler;
}

// A private message bus of our own (a real dbus-daemon child) on which the
// test plays logind.
class PrivateBus {
public:
    ~PrivateBus() {
        for (const QString& name : m_connections)
            QDBusConnection::disconnectFromBus(name);
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.terminate();
            m_daemon.waitForFinished(-1);
        }
    }
    // Empty when no bus can be started here.
    QString start(QString* whyNot) {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty()) {
            *whyNot = QStringLiteral("dbus-daemon is not installed");
            return {};
        }
        m_daemon.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                QStringLiteral("--nopidfile"), QStringLiteral("--print-address"),
                                QStringLiteral("--address=unix:path=") + m_folder.path()
                                    + QStringLiteral("/bus")});
        QByteArray line;
        while (!line.contains('\n') && m_daemon.waitForReadyRead(-1))
            line += m_daemon.readAllStandardOutput();
        if (!line.contains('\n')) {
            *whyNot = QStringLiteral("dbus-daemon did not start: ")
                      + QString::fromUtf8(m_daemon.readAllStandardError());
            return {};
        }
        return QString::fromUtf8(line.trimmed());
    }
    QDBusConnection connect(const QString& address, const QString& name) {
        m_connections << name;
        return QDBusConnection::connectToBus(address, name);
    }

private:
    QTemporaryDir m_folder;
    QProcess m_daemon;
    QStringList m_connections;
};

QDBusMessage sessionRemoved(const QString& id) {
    QDBusMessage message = QDBusMessage::createSignal(
        QStringLiteral("/org/freedesktop/login1"), QStringLiteral("org.freedesktop.login1.Manager"),
        QStringLiteral("SessionRemoved"));
    message << id
            << QVariant::fromValue(
                   QDBusObjectPath(QStringLiteral("/org/freedesktop/login1/session/") + id));
    return message;
}

constexpr int BusWait = 60000;

} // namespace

// Receives a marker signal sent by the test on the bus.
class MarkerReceiver : public QObject {
    Q_OBJECT
public:
    int count = 0;
public slots:
    void onMarker() { ++count; }
};

class ServiceEventsTest : public QObject {
    Q_OBJECT

private slots:
    void entryTexts_data() {
        QTest::addColumn<ServiceEvent>("event");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("type");
        const struct {
            ServiceEvent event;
            const char* name;
            const char* french;
            const char* english;
            int type;
        } rows[] = {
            {ServiceEvent::Started, "started", "Torvanelo Service: démarré",
             "Torvanelo Service: started", 4},
            {ServiceEvent::Stopped, "stopped", "Torvanelo Service: arrêté",
             "Torvanelo Service: stopped", 4},
            {ServiceEvent::Paused, "paused", "Torvanelo Service: suspendu",
             "Torvanelo Service: paused", 4},
            {ServiceEvent::Continued, "continued", "Torvanelo Service: reprise",
             "Torvanelo Service: continued", 4},
            {ServiceEvent::UserLoggedOff, "logoff", "Torvanelo Service: utilisateur déconnecté",
             "Torvanelo Service: logoff user", 2},
        };
        for (const auto& row : rows) {
            const QString french = QString::fromUtf8(row.french);
            const QString english = QString::fromUtf8(row.english);
            QTest::addRow("%s, French", row.name) << row.event << 1 << french << row.type;
            QTest::addRow("%s, English", row.name) << row.event << 0 << english << row.type;
            QTest::addRow("%s, language 2", row.name) << row.event << 2 << english << row.type;
            QTest::addRow("%s, language -1", row.name) << row.event << -1 << english << row.type;
        }
    }
    void entryTexts() {
        QFETCH(ServiceEvent, event);
        QFETCH(int, language);
        QFETCH(QString, text);
        QFETCH(int, type);
        QCOMPARE(ServiceEventText(event, language), text);
        QCOMPARE(ServiceEventType(event), type);
    }

    void signalsToTheProcessBecomeEvents() {
        ServiceEvents events(unreachableBus(), nullptr);
        QVERIFY(events.catchesSignals());
        EventRecorder recorder;
        recorder.watch(events);

        // Were SIGTSTP not caught, the process would stop here.
        QCOMPARE(::kill(::getpid(), SIGTSTP), 0);
        QTRY_COMPARE(recorder.seen, QStringList{QStringLiteral("paused")});
        QCOMPARE(::kill(::getpid(), SIGCONT), 0);
        QTRY_COMPARE(recorder.seen.size(), 2);
        QCOMPARE(::kill(::getpid(), SIGTSTP), 0);
        QTRY_COMPARE(recorder.seen.size(), 3);
        QCOMPARE(::kill(::getpid(), SIGCONT), 0);
        QTRY_COMPARE(recorder.seen.size(), 4);
        // Were SIGTERM not caught, the test would end here.
        QCOMPARE(::kill(::getpid(), SIGTERM), 0);
        QTRY_COMPARE(recorder.seen.size(), 5);
        QCOMPARE(recorder.seen, QStringList({QStringLiteral("paused"), QStringLiteral("continued"),
                                             QStringLiteral("paused"), QStringLiteral("continued"),
                                             QStringLiteral("stopped")}));
    }

    void nothingButTheStopIsReportedAfterAStop() {
        ServiceEvents events(unreachableBus(), nullptr);
        EventRecorder recorder;
        recorder.watch(events);
        // raise() runs the handler before it returns, so all four are in the
        // pipe before the event loop reads any of them.
        QCOMPARE(::raise(SIGTERM), 0);
        QCOMPARE(::raise(SIGCONT), 0);
        QCOMPARE(::raise(SIGTSTP), 0);
        QCOMPARE(::raise(SIGTERM), 0);
        QTRY_VERIFY(!recorder.seen.isEmpty());
        QCOMPARE(recorder.seen, QStringList{QStringLiteral("stopped")});
    }

    void aReceiverTurningTheEventLoopSeesEachSignalOnce() {
        // The pass's wait turns the event loop from inside a receiver.
        ServiceEvents events(unreachableBus(), nullptr);
        EventRecorder recorder;
        recorder.watch(events);
        bool nested = false;
        connect(&events, &ServiceEvents::ServicePaused, this, [&] {
            if (nested)
                return;
            nested = true;
            QCOMPARE(::raise(SIGCONT), 0);
            QTRY_COMPARE(recorder.seen.size(), 2);
        });
        QCOMPARE(::raise(SIGTSTP), 0);
        QTRY_VERIFY(nested);
        QCOMPARE(recorder.seen,
                 QStringList({QStringLiteral("paused"), QStringLiteral("continued")}));
    }

    void oneInstanceCatchesTheSignalsAndGivesThemBack() {
        const auto termBefore = handlerOf(SIGTERM);
        const auto tstpBefore = handlerOf(SIGTSTP);
        const auto contBefore = handlerOf(SIGCONT);
        {
            ServiceEvents first(unreachableBus(), nullptr);
            QVERIFY(first.catchesSignals());
            QVERIFY(handlerOf(SIGTERM) != termBefore);
            {
                ServiceEvents second(unreachableBus(), nullptr);
                QVERIFY(!second.catchesSignals());
            }
            // The second one's end left the first one's handlers in place.
            EventRecorder recorder;
            recorder.watch(first);
            QCOMPARE(::kill(::getpid(), SIGTSTP), 0);
            QTRY_COMPARE(recorder.seen, QStringList{QStringLiteral("paused")});
        }
        QVERIFY(handlerOf(SIGTERM) == termBefore);
        QVERIFY(handlerOf(SIGTSTP) == tstpBefore);
        QVERIFY(handlerOf(SIGCONT) == contBefore);
        // And a new instance can catch them again.
        ServiceEvents again(unreachableBus(), nullptr);
        QVERIFY(again.catchesSignals());
    }

    void entriesAreWrittenInTheLanguageOfTheMoment() {
        ServiceEvents events(unreachableBus(), nullptr);
        FakeServiceControl control;
        int language = 1;
        logServiceEvents(events, control, [&language] { return language; });

        events.reportStarted();
        QCOMPARE(::raise(SIGTSTP), 0);
        QTRY_COMPARE(control.events.size(), size_t(2));
        language = 0;
        QCOMPARE(::raise(SIGCONT), 0);
        QTRY_COMPARE(control.events.size(), size_t(3));
        emit events.UserLoggedOff();
        language = 1;
        QCOMPARE(::raise(SIGTERM), 0);
        QTRY_COMPARE(control.events.size(), size_t(5));

        const std::vector<FakeServiceControl::Event> expected = {
            {QStringLiteral("Torvanelo Service: démarré"), 4},
            {QStringLiteral("Torvanelo Service: suspendu"), 4},
            {QStringLiteral("Torvanelo Service: continued"), 4},
            {QStringLiteral("Torvanelo Service: logoff user"), 2},
            {QStringLiteral("Torvanelo Service: arrêté"), 4},
        };
        QVERIFY(control.events == expected);
    }

    void theStopEntryIsWrittenBeforeTheStopReaction() {
        ServiceEvents events(unreachableBus(), nullptr);
        FakeServiceControl control;
        logServiceEvents(events, control, [] { return 0; });
        size_t entriesAtReaction = 0;
        bool reacted = false;
        connect(&events, &ServiceEvents::ServiceStopped, this, [&] {
            entriesAtReaction = control.events.size();
            reacted = true;
        });
        QCOMPARE(::raise(SIGTERM), 0);
        QTRY_VERIFY(reacted);
        QCOMPARE(entriesAtReaction, size_t(1));
        QCOMPARE(control.events.front().text, QStringLiteral("Torvanelo Service: stopped"));
    }

    void withoutABusThereIsNoLogoffAndNoComplaint() {
        ServiceEvents events(unreachableBus(), nullptr);
        QVERIFY(!events.listensForLogoff());
        QVERIFY(events.catchesSignals());
        // The system bus of this machine, whatever it is: listening follows
        // from whether it can be reached.
        ServiceEvents onSystemBus;
        QCOMPARE(onSystemBus.listensForLogoff(), QDBusConnection::systemBus().isConnected());
    }

    void logindsSessionRemovedIsALogoff() {
        PrivateBus bus;
        QString whyNot;
        const QString address = bus.start(&whyNot);
        if (address.isEmpty())
            QSKIP(qPrintable(whyNot));
        QDBusConnection logind = bus.connect(address, QStringLiteral("logind"));
        QDBusConnection impostor = bus.connect(address, QStringLiteral("impostor"));
        QDBusConnection ours = bus.connect(address, QStringLiteral("ours"));
        QVERIFY2(logind.isConnected() && impostor.isConnected() && ours.isConnected(),
                 qPrintable(ours.lastError().message()));
        QVERIFY(logind.registerService(QStringLiteral("org.freedesktop.login1")));

        ServiceEvents events(ours, nullptr);
        QVERIFY(events.listensForLogoff());
        EventRecorder recorder;
        recorder.watch(events);

        // Anyone may send a signal that looks like logind's; only the owner
        // of logind's name is believed. The impostor's marker, sent after
        // its fake, arrives after it.
        MarkerReceiver marker;
        QVERIFY(ours.connect(impostor.baseService(), QStringLiteral("/test"),
                             QStringLiteral("test.Marker"), QStringLiteral("Marker"), &marker,
                             SLOT(onMarker())));
        QVERIFY(impostor.send(sessionRemoved(QStringLiteral("c9"))));
        QVERIFY(impostor.send(QDBusMessage::createSignal(
            QStringLiteral("/test"), QStringLiteral("test.Marker"), QStringLiteral("Marker"))));
        QTRY_COMPARE_WITH_TIMEOUT(marker.count, 1, BusWait);
        QVERIFY(recorder.seen.isEmpty());

        QVERIFY(logind.send(sessionRemoved(QStringLiteral("c1"))));
        QTRY_COMPARE_WITH_TIMEOUT(recorder.seen, QStringList{QStringLiteral("logoff")}, BusWait);
        QVERIFY(logind.send(sessionRemoved(QStringLiteral("c2"))));
        QTRY_COMPARE_WITH_TIMEOUT(recorder.seen.size(), 2, BusWait);
    }
};

TORVANELO_TEST(ServiceEventsTest);
#include "ServiceEventsTest.moc"
