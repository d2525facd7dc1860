#include "EnvironmentGuard.h"
#include "SyslogSink.h"
#include "SyslogSystemLog.h"
#include "SystemdServiceControl.h"
#include "TestRegistry.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

// What tests and packaging point elsewhere: the system log's socket and the
// folder of the system unit.
class ServiceSeamsTest : public QObject {
    Q_OBJECT

private slots:
    void datagramHasTheSyslogForm_data() {
        QTest::addColumn<int>("level");
        QTest::addColumn<QDateTime>("time");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("datagram");
        const QDateTime january(QDate(2024, 1, 5), QTime(9, 3, 7));
        const QDateTime december(QDate(2023, 12, 31), QTime(23, 59, 59));
        QTest::newRow("information")
            << int(LogLevel::Information) << january << u"Torvanelo Service: started"_s
            << QByteArray("<14>Jan  5 09:03:07 Torvanelo[42]: Torvanelo "
                          "Service: started");
        QTest::newRow("warning") << int(LogLevel::Warning) << december
                                 << u"Torvanelo Service: logoff user"_s
                                 << QByteArray("<12>Dec 31 23:59:59 Torvanelo[42]: Torvanelo "
                                               "Service: logoff user");
        // Lines of the Windows form become Linux lines; format directives
        // and non-ASCII text pass as they are.
        QTest::newRow("two lines, accents, directives")
            << int(LogLevel::Information) << january << u"installé\r\n(%s %n 100%)"_s
            << QByteArray("<14>Jan  5 09:03:07 Torvanelo[42]: install\xc3\xa9\n(%s %n 100%)");
        QTest::newRow("empty") << int(LogLevel::Information) << january << QString()
                               << QByteArray("<14>Jan  5 09:03:07 Torvanelo[42]: ");
    }
    void datagramHasTheSyslogForm() {
        QFETCH(int, level);
        QFETCH(QDateTime, time);
        QFETCH(QString, text);
        QFETCH(QByteArray, datagram);
        QCOMPARE(syslogDatagram(LogLevel(level), text, time, 42), datagram);
    }

    void entriesGoToTheNamedSocket() {
        SyslogSink sink;
        QVERIFY(sink.bound);
        EnvironmentGuard guard("TORVANELO_SYSLOG_SOCKET");
        qputenv("TORVANELO_SYSLOG_SOCKET", QFile::encodeName(sink.path));
        SyslogSystemLog log;
        log.write(LogLevel::Information, u"Torvanelo Service: démarré"_s);
        log.write(LogLevel::Warning, u"12:00:00 - Unknown source folder: /srv/a\r\nb/"_s);
        const QByteArray pid = QByteArray::number(qint64(::getpid()));
        const QList<QByteArray> expected{
            "<14>Torvanelo[" + pid + "]: Torvanelo Service: d\xc3\xa9marr\xc3\xa9",
            "<12>Torvanelo[" + pid + "]: 12:00:00 - Unknown source folder: /srv/a\nb/"};
        QList<QByteArray> received = sink.received();
        for (QByteArray& datagram : received)
            datagram = withoutStamp(datagram);
        QCOMPARE(received, expected);
    }

    // The program never waits for the log: without a listener, with a
    // full queue or with a name too long for a socket, entries are dropped.
    void entriesThatCannotGoAreDropped() {
        {
            QTemporaryDir nobody;
            SyslogSystemLog log(nobody.filePath(u"no socket here"_s));
            log.write(LogLevel::Information, u"lost"_s);
        }
        {
            SyslogSystemLog log(u"/tmp/"_s + QString(200, u'x'));
            log.write(LogLevel::Warning, u"lost"_s);
        }
        SyslogSink sink;
        QVERIFY(sink.bound);
        sink.shrinkQueue();
        SyslogSystemLog log(sink.path);
        for (int n = 0; n < 5000; ++n)
            log.write(LogLevel::Information, QString(1000, u'e'));
        const qsizetype kept = sink.received().size();
        QVERIFY(kept > 0);
        QVERIFY(kept < 5000);
        // The socket takes entries again once read.
        log.write(LogLevel::Information, u"after"_s);
        const QList<QByteArray> after = sink.received();
        QCOMPARE(after.size(), 1);
        QVERIFY(after.front().endsWith("]: after"));
    }

    void unitFolderFromTheEnvironment_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("folder");
        QTest::newRow("absolute") << QByteArray("/opt/units/system") << u"/opt/units/system"_s;
        QTest::newRow("relative is ignored")
            << QByteArray("units") << u"/usr/local/lib/systemd/system"_s;
        QTest::newRow("empty is ignored") << QByteArray() << u"/usr/local/lib/systemd/system"_s;
    }
    void unitFolderFromTheEnvironment() {
        QFETCH(QByteArray, value);
        QFETCH(QString, folder);
        EnvironmentGuard guard("TORVANELO_UNIT_FOLDER");
        qputenv("TORVANELO_UNIT_FOLDER", value);
        QCOMPARE(SystemdServiceSetup::forThisProcess(u"/p"_s).systemUnitFolder, folder);
    }
};

TORVANELO_TEST(ServiceSeamsTest);
#include "ServiceSeamsTest.moc"
