#include "SyslogSystemLog.h"

#include "TestRegistry.h"

#include <QTest>

#include <syslog.h>

using namespace torvanelo;

class SyslogSystemLogTest : public QObject {
    Q_OBJECT

private slots:
    void levelsMapToSyslogPriorities() {
        QCOMPARE(syslogPriority(LogLevel::Information), LOG_INFO);
        QCOMPARE(syslogPriority(LogLevel::Warning), LOG_WARNING);
    }

    // The real system log: entries go out (or are dropped where no log
    // daemon listens) without failing, whatever the text holds.
    void writesToTheRealSystemLog_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << QStringLiteral("Torvanelo Service: test entry of the test suite");
        QTest::newRow("format directives") << QStringLiteral("%s%n%x%%%p Torvanelo test");
        QTest::newRow("two lines") << QStringLiteral("Torvanelo Service installé\r\n(test)");
        QTest::newRow("empty") << QString();
        QTest::newRow("long") << QString(100000, u'x');
    }
    void writesToTheRealSystemLog() {
        QFETCH(QString, text);
        SyslogSystemLog log;
        log.write(LogLevel::Information, text);
        log.write(LogLevel::Warning, text);
    }
};

TORVANELO_TEST(SyslogSystemLogTest);
#include "SyslogSystemLogTest.moc"
