#include "ServiceEvents.h"

#include "TestRegistry.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace torvanelo;
using namespace Qt::Literals::StringLiterals;

namespace {

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
    // On a private bus of our own (a real dbus-daemon) the test plays
    // logind; each session that ends is a logoff. Without a bus there is
    // no logoff, and no complaint.
    void logindsSessionRemovedIsALogoff() {
        QVERIFY(!ServiceEvents(
                     QDBusConnection::connectToBus(u"unix:path=/nonexistent"_s, u"none"_s), nullptr)
                     .listensForLogoff());
        QTemporaryDir folder;
        const QString at = u"unix:path="_s + folder.filePath(u"bus"_s);
        QProcess daemon;
        // It prints its address once it listens.
        daemon.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--nopidfile"_s,
                                        u"--print-address"_s, u"--address="_s + at});
        if (!daemon.waitForReadyRead(-1))
            QSKIP(qPrintable(u"no dbus-daemon here: "_s + daemon.errorString()));
        QDBusConnection logind = QDBusConnection::connectToBus(at, u"logind"_s);
        QDBusConnection ours = QDBusConnection::connectToBus(at, u"ours"_s);
        QVERIFY2(logind.isConnected() && ours.isConnected(),
                 qPrintable(ours.lastError().message()));
        QVERIFY(logind.registerService(u"org.freedesktop.login1"_s));
        ServiceEvents events(ours, nullptr);
        QVERIFY(events.listensForLogoff());
        int logoffs = 0;
        connect(&events, &ServiceEvents::UserLoggedOff, this, [&] { ++logoffs; });

        QVERIFY(logind.send(sessionRemoved(u"c1"_s)));
        QVERIFY(logind.send(sessionRemoved(u"c2"_s)));
        QTRY_COMPARE_WITH_TIMEOUT(logoffs, 2, 60000);
        daemon.terminate();
        daemon.waitForFinished(-1);
    }
};

TORVANELO_TEST(ServiceEventsTest);
#include "ServiceEventsTest.moc"
