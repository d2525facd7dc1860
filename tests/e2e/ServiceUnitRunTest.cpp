#include "ProgramFolder.h"
#include "RecordingSystemLog.h"
#include "ServiceEnvironment.h"
#include "SystemdServiceControl.h"
#include "TestRegistry.h"
#include "linux/LinuxProcessRunner.h"

#include <QTest>

#include <unistd.h>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

// The value of a unit's word as systemd hands it over: quotes taken off,
// "\\" and "\"" unescaped, "%%" back to "%".
QString unitWord(QByteArray word) {
    if (word.size() >= 2 && word.startsWith('"') && word.endsWith('"')) {
        QByteArray plain;
        for (qsizetype i = 1; i < word.size() - 1; ++i) {
            if (word[i] == '\\' && i + 1 < word.size() - 1)
                ++i;
            plain += word[i];
        }
        word = plain;
    }
    return QString::fromUtf8(word.replace("%%", "%"));
}

// What systemd starts for the unit: the program of ExecStart= with exactly
// the environment of its Environment= lines, and the PATH systemd gives
// every service.
struct UnitStart {
    QString program;
    QProcessEnvironment environment;
};

UnitStart startOf(const QByteArray& unit) {
    UnitStart start;
    start.environment.insert(u"PATH"_s, u"/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin"_s);
    for (const QByteArray& line : unit.split('\n')) {
        if (line.startsWith("ExecStart="))
            start.program = unitWord(line.mid(10));
        if (line.startsWith("Environment=")) {
            const QString assignment = unitWord(line.mid(12));
            const qsizetype equals = assignment.indexOf(u'=');
            start.environment.insert(assignment.left(equals), assignment.mid(equals + 1));
        }
    }
    return start;
}

} // namespace

// The built program as systemd starts it from the unit the program writes,
// and as root refusing files that others could change.
class ServiceUnitRunTest : public QObject {
    Q_OBJECT

private slots:
    // A unit outside systemd's default folder starts a program that knows
    // itself as the service: it logs its start (a plain application would
    // not) and runs its pass.
    void unitInAnotherFolderStartsTheService() {
        ProgramFolder site;
        QVERIFY(site.writeSettings("Automatique=1\r\nArretAutomatique=1\r\n"));
        const Original dropped{"dropped", "data", {{"user.a", "1"}}};
        QVERIFY(plant(site.in, dropped));
        SystemdServiceSetup setup{site.program, site.home, site.root.filePath(u"units"_s),
                                  site.root.filePath(u"user units"_s)};
        setup.toolFolders = {site.root.filePath(u"tools"_s)};
        QVERIFY(writeScript(setup.toolFolders[0] + u"/systemctl"_s, "#!/bin/sh\nexit 0\n"));
        LinuxProcessRunner runner;
        RecordingSystemLog installLog;
        SystemdServiceControl service(runner, installLog, setup);
        service.setStartType(1);
        QVERIFY(service.Install());

        const auto unit = readFile(service.unitFilePath(UnitScope::System));
        QVERIFY(unit);
        UnitStart start = startOf(*unit);
        QCOMPARE(start.program, site.program);
        SyslogSink log;
        QVERIFY(log.bound);
        start.environment.insert(u"TORVANELO_SYSLOG_SOCKET"_s, log.path);
        QProcess program;
        program.setProcessEnvironment(start.environment);
        program.setWorkingDirectory(u"/"_s);
        program.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        program.start(start.program, QStringList());
        QVERIFY2(program.waitForStarted(-1), qPrintable(program.errorString()));
        const QByteArray pid = QByteArray::number(program.processId());
        QVERIFY(program.waitForFinished(-1));
        QVERIFY2(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0,
                 program.readAllStandardError().constData());

        QCOMPARE(log.receivedWithoutStamps(),
                 QList<QByteArray>{"<14>Torvanelo[" + pid + "]: Torvanelo Service: started"});
        QCOMPARE(site.checkDelivered({dropped}), QString());
    }

    // As root, the program refuses to start while another user could change
    // what it reads or runs, on standard error and in the system log. A
    // sticky folder above (as /tmp) is no reason.
    void refusesAsRootWhatOthersMayChange_data() {
        QTest::addColumn<QString>("spoiled"); // below the site's root
        QTest::addColumn<QString>("how");     // "chmod MODE" or "chown"
        QTest::addColumn<QString>("refusal"); // %1: the path, %2: the user
        const QString writable =
            u"%1 can be written by users other than root (group or others). Fix it with: "
            u"chmod go-w %1"_s;
        QTest::newRow("program folder writable by its group")
            << u"home"_s << u"chmod 775"_s << writable;
        QTest::newRow("parameters file of another user")
            << u"home/Torvanelo.ini"_s << u"chown"_s
            << u"%1 belongs to user %2, not to root. Fix it with: chown root %1"_s;
        QTest::newRow("pair file writable by others")
            << u"home/Torvanelo.w"_s << u"chmod 646"_s << writable;
        QTest::newRow("folder above writable by others") << QString() << u"chmod 777"_s << writable;
        QTest::newRow("executable's folder writable by its group")
            << u"program"_s << u"chmod 775"_s << writable;
        QTest::newRow("sticky folder above") << QString() << u"chmod 1777"_s << QString();
    }
    void refusesAsRootWhatOthersMayChange() {
        QFETCH(QString, spoiled);
        QFETCH(QString, how);
        QFETCH(QString, refusal);
        if (::geteuid() != 0)
            QSKIP("the program checks its files only when it runs as root");
        ProgramFolder site;
        QVERIFY(site.writeSettings("Automatique=1\r\nArretAutomatique=1\r\n"));
        const Original dropped{"dropped", "data", {{"user.a", "1"}}};
        QVERIFY(plant(site.in, dropped));
        // A copy of the program with its archiver in a folder of its own.
        const QString folder = site.root.filePath(u"program"_s);
        site.program = folder + u"/torvanelo"_s;
        QVERIFY(QDir().mkpath(folder) && QFile::copy(buildDir() + u"/torvanelo"_s, site.program)
                && QFile::copy(rarPath(), folder + u"/rar"_s));
        SyslogSink log;
        const auto service = serviceEnvironment(log, site.root.filePath(u"units"_s));
        QVERIFY(service);

        const QString path = spoiled.isEmpty() ? site.root.path() : site.root.filePath(spoiled);
        if (how == u"chown"_s)
            QCOMPARE(::chown(QFile::encodeName(path).constData(), 1000, -1), 0);
        else
            QVERIFY(setMode(path, how.mid(6).toUInt(nullptr, 8)));
        const auto errors = site.run(refusal.isEmpty() ? 0 : 1, *service);
        QVERIFY(errors);
        if (refusal.isEmpty()) {
            QCOMPARE(site.checkDelivered({dropped}), QString());
            return;
        }
        const QString text =
            u"Torvanelo refuses to run as root: "_s
            + QString(refusal).replace(u"%1"_s, path).replace(u"%2"_s, userText(1000));
        QVERIFY2(errors->contains(text), qPrintable(*errors));
        const QList<QByteArray> entries = log.receivedWithoutStamps();
        QCOMPARE(entries.size(), 1);
        QVERIFY2(entries[0].startsWith("<12>Torvanelo[")
                     && entries[0].endsWith("]: " + text.toUtf8()),
                 entries[0].constData());
        QCOMPARE(checkIntact(site.in, dropped, false), QString());
        QCOMPARE(entryNames(site.middle) + entryNames(site.out), QStringList());
    }
};

TORVANELO_TEST(ServiceUnitRunTest);
#include "ServiceUnitRunTest.moc"
