#include "DesktopNotifier.h"

#include "TestRegistry.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

using namespace torvanelo;
using namespace Qt::Literals::StringLiterals;

namespace {

// The notification server of a desktop, as far as the program uses it.
class NotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList received;

public slots:
    uint Notify(const QString& application, uint replaces, const QString& icon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int timeout) {
        Q_UNUSED(icon);
        Q_UNUSED(actions);
        Q_UNUSED(hints);
        Q_UNUSED(timeout);
        received << u"%1|%2|%3|%4"_s.arg(application).arg(replaces).arg(summary, body);
        return 40 + uint(received.size());
    }
};

// A session bus of the test's own, so that no desktop of the machine sees
// the notifications.
struct PrivateBus {
    QProcess daemon;
    QString address;
    PrivateBus() {
        daemon.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
        if (!daemon.waitForStarted(-1))
            return;
        while (daemon.state() == QProcess::Running && !daemon.canReadLine())
            daemon.waitForReadyRead(-1);
        address = QString::fromUtf8(daemon.readLine()).trimmed();
    }
    ~PrivateBus() {
        daemon.kill();
        daemon.waitForFinished(-1);
    }
};

} // namespace

class DesktopNotifierTest : public QObject {
    Q_OBJECT

private slots:
    // A warning reaches the server with the product as application and the
    // folder's name escaped (servers read markup in the body); the next one
    // replaces it. Without a server the answer is 0, and nothing waits.
    void warningsReachTheServerEscaped() {
        PrivateBus bus;
        if (bus.address.isEmpty())
            QSKIP("dbus-daemon could not be started");
        QDBusConnection serverSide = QDBusConnection::connectToBus(bus.address, u"server"_s);
        QDBusConnection programSide = QDBusConnection::connectToBus(bus.address, u"program"_s);
        QVERIFY(serverSide.isConnected() && programSide.isConnected());

        DesktopNotifier withoutServer(programSide);
        QSignalSpy unanswered(&withoutServer, &DesktopNotifier::answered);
        withoutServer.notify(u"Torvanelo 1.0b"_s, u"text"_s);
        QTRY_COMPARE(unanswered.size(), 1);
        QCOMPARE(unanswered[0][0].toUInt(), 0u);

        NotificationServer server;
        QVERIFY(serverSide.registerObject(u"/org/freedesktop/Notifications"_s, &server,
                                          QDBusConnection::ExportAllSlots));
        QVERIFY(serverSide.registerService(u"org.freedesktop.Notifications"_s));
        DesktopNotifier notifier(programSide);
        QSignalSpy answered(&notifier, &DesktopNotifier::answered);
        notifier.notify(u"Torvanelo 1.0b"_s,
                        u"10:00:00 - Unknown source folder: /srv/<b>a&b</b>/"_s);
        QTRY_COMPARE(answered.size(), 1);
        notifier.notify(u"Torvanelo 1.0b"_s, u"10:00:10 - Unknown target folder: /t/"_s);
        QTRY_COMPARE(answered.size(), 2);
        QCOMPARE(
            server.received,
            (QStringList{u"Torvanelo|0|Torvanelo 1.0b|10:00:00 - Unknown source folder: "
                         u"/srv/&lt;b&gt;a&amp;b&lt;/b&gt;/"_s,
                         u"Torvanelo|41|Torvanelo 1.0b|10:00:10 - Unknown target folder: /t/"_s}));
        serverSide.unregisterService(u"org.freedesktop.Notifications"_s);
        QDBusConnection::disconnectFromBus(u"server"_s);
        QDBusConnection::disconnectFromBus(u"program"_s);
    }
};

TORVANELO_TEST(DesktopNotifierTest);
#include "DesktopNotifierTest.moc"
