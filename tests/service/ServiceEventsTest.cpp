#include "ServiceEvents.h"

#include "TestRegistry.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <signal.h>

using namespace torvanelo;
using namespace Qt::Literals::StringLiterals;

namespace {

// The events of one instance, in the order they arrive.
std::shared_ptr<QStringList> record(ServiceEvents& events) {
    auto seen = std::make_shared<QStringList>();
    const auto note = [&events, seen](auto signal, const QString& what) {
        QObject::connect(&events, signal, &events, [seen, what] { *seen << what; });
    };
    note(&ServiceEvents::ServiceStopped, u"stopped"_s);
    note(&ServiceEvents::ServicePaused, u"paused"_s);
    note(&ServiceEvents::ServiceContinued, u"continued"_s);
    note(&ServiceEvents::UserLoggedOff, u"logoff"_s);
    return seen;
}

QDBusConnection unreachableBus() {
    return QDBusConnection::connectToBus(u"unix:path=/nonexistent/torvanelo-test-bus"_s,
                                         u"unreachable"_s);
}

QDBusMessage sessionRemoved(const QString& id) {
    QDBusMessage message = QDBusMessage::createSignal(
        u"/org/freedesktop/login1"_s, u"org.freedesktop.login1.Manager"_s, u"SessionRemoved"_s);
    message << id
            << QVariant::fromValue(QDBusObjectPath(u"/org/freedesktop/login1/session/"_s + id));
    return message;
}

} // namespace

class ServiceEventsTest : public QObject {
    Q_OBJECT

private slots:
    // Real signals to this process, each reported once, even to a receiver
    // that turns the event loop (the pass's wait does) while the next comes.
    void signalsBecomeEventsEachOnce() {
        ServiceEvents events(unreachableBus(), nullptr);
        QVERIFY(events.catchesSignals() && !events.listensForLogoff());
        const auto seen = record(events);
        connect(&events, &ServiceEvents::ServicePaused, this, [&] {
            QCOMPARE(::raise(SIGCONT), 0);
            QTRY_COMPARE(seen->size(), 2);
        });
        // Were SIGTSTP or SIGTERM not caught, the process would stop or end.
        QCOMPARE(::raise(SIGTSTP), 0);
        QTRY_COMPARE(seen->size(), 2);
        QCOMPARE(::raise(SIGTERM), 0);
        QTRY_COMPARE(seen->size(), 3);
        QTest::qWait(0);
        QCOMPARE(*seen, (QStringList{u"paused"_s, u"continued"_s, u"stopped"_s}));
    }

    // On a private bus of our own (a real dbus-daemon) the test plays
    // logind; each session that ends is a logoff.
    void logindsSessionRemovedIsALogoff() {
        QTemporaryDir folder;
        QProcess daemon;
        daemon.start(u"dbus-daemon"_s,
                     {u"--session"_s, u"--nofork"_s, u"--nopidfile"_s, u"--print-address"_s,
                      u"--address=unix:path="_s + folder.filePath(u"bus"_s)});
        QByteArray address;
        while (!address.contains('\n') && daemon.waitForReadyRead(-1))
            address += daemon.readAllStandardOutput();
        if (!address.contains('\n'))
            QSKIP(qPrintable(u"no dbus-daemon here: "_s + daemon.errorString()));
        const auto bus = [&](const QString& name) {
            return QDBusConnection::connectToBus(QString::fromUtf8(address.trimmed()), name);
        };
        QDBusConnection logind = bus(u"logind"_s);
        QDBusConnection ours = bus(u"ours"_s);
        QVERIFY2(logind.isConnected() && ours.isConnected(),
                 qPrintable(ours.lastError().message()));
        QVERIFY(logind.registerService(u"org.freedesktop.login1"_s));
        {
            ServiceEvents events(ours, nullptr);
            QVERIFY(events.listensForLogoff());
            const auto seen = record(events);

            QVERIFY(logind.send(sessionRemoved(u"c1"_s)));
            QVERIFY(logind.send(sessionRemoved(u"c2"_s)));
            QTRY_COMPARE_WITH_TIMEOUT(*seen, (QStringList{u"logoff"_s, u"logoff"_s}), 60000);
        }
        for (const QString& name : {u"logind"_s, u"ours"_s})
            QDBusConnection::disconnectFromBus(name);
        daemon.terminate();
        daemon.waitForFinished(-1);
    }
};

TORVANELO_TEST(ServiceEventsTest);
#include "ServiceEventsTest.moc"
