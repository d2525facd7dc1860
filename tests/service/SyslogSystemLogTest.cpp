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
    // with a blank; lines of the Windows form become Linux lines; format
    // directives and accents pass as they are. (The information level comes
    // through the built program's stop test.)
    void datagramHasTheSyslogForm() {
        QCOMPARE(syslogDatagram(LogLevel::Warning, u"install\u00e9\r\n(%s %n 100%)"_s,
                                QDateTime(QDate(2024, 1, 5), QTime(9, 3, 7)), 42),
                 QByteArray("<12>Jan  5 09:03:07 Torvanelo[42]: install\xc3\xa9\n(%s %n 100%)"));
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
