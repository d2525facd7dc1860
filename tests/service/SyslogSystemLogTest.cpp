#include "SyslogSystemLog.h"

#include "SyslogSink.h"
#include "TestRegistry.h"

#include <QTemporaryDir>
#include <QTest>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

class SyslogSystemLogTest : public QObject {
    Q_OBJECT

private slots:
    // The traditional form, whatever the locale: English month, day padded
    // with a blank. Lines of the Windows form become Linux lines; format
    // directives and accents pass as they are.
    void datagramHasTheSyslogForm_data() {
        QTest::addColumn<LogLevel>("level");
        QTest::addColumn<QDateTime>("time");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("datagram");
        QTest::newRow("warning") << LogLevel::Warning
                                 << QDateTime(QDate(2023, 12, 31), QTime(23, 59, 59))
                                 << u"Torvanelo Service: logoff user"_s
                                 << QByteArray("<12>Dec 31 23:59:59 Torvanelo[42]: Torvanelo "
                                               "Service: logoff user");
        QTest::newRow("information, two lines")
            << LogLevel::Information << QDateTime(QDate(2024, 1, 5), QTime(9, 3, 7))
            << u"installé\r\n(%s %n 100%)"_s
            << QByteArray("<14>Jan  5 09:03:07 Torvanelo[42]: install\xc3\xa9\n(%s %n 100%)");
    }
    void datagramHasTheSyslogForm() {
        QFETCH(LogLevel, level);
        QFETCH(QDateTime, time);
        QFETCH(QString, text);
        QTEST(syslogDatagram(level, text, time, 42), "datagram");
    }

    // The program never waits for the log and no text upsets it: syslog(3)
    // must not read the text as a format; a socket nobody listens on, a
    // name too long for a socket or a full queue drop the entry.
    void entriesThatCannotGoAreDropped() {
        SyslogSystemLog system;
        for (const QString& text : {u"%s%n%x%%%p"_s, u"a\r\nb"_s, QString(100000, u'x')})
            system.write(LogLevel::Warning, text);
        QTemporaryDir nobody;
        SyslogSystemLog(nobody.filePath(u"no socket"_s)).write(LogLevel::Information, u"lost"_s);
        SyslogSystemLog(u"/tmp/"_s + QString(200, u'x')).write(LogLevel::Warning, u"lost"_s);

        SyslogSink sink;
        QVERIFY(sink.bound);
        sink.shrinkQueue();
        SyslogSystemLog log(sink.path);
        for (int n = 0; n < 5000; ++n)
            log.write(LogLevel::Information, QString(1000, u'e'));
        const qsizetype kept = sink.received().size();
        QVERIFY(kept > 0 && kept < 5000);
        // The socket takes entries again once read.
        log.write(LogLevel::Information, u"after"_s);
        const QList<QByteArray> after = sink.received();
        QCOMPARE(after.size(), 1);
        QVERIFY(after.front().endsWith("]: after"));
    }
};

TORVANELO_TEST(SyslogSystemLogTest);
#include "SyslogSystemLogTest.moc"
