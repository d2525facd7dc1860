#include "SystemdServiceControl.h"

#include "RecordingProcessRunner.h"
#include "RecordingSystemLog.h"
#include "TestFiles.h"
#include "TestRegistry.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

const QByteArray SystemUnit = R"(# Written by Torvanelo's service installation; removed by it.
[Unit]
Description=Torvanelo Service
Wants=network-online.target
After=network-online.target remote-fs.target

[Service]
Type=exec
ExecStart="/opt/Torvanelo 100%%/torvanelo"
Environment=TORVANELO_SERVICE=1
Environment="TORVANELO_HOME=/srv/the \"pairs\" \\ $HOME"
Environment=QT_QPA_PLATFORM=offscreen
KillMode=mixed
TimeoutStopSec=10min

[Install]
WantedBy=multi-user.target
)";

// A user unit runs in the graphical session, with its window.
QByteArray userUnit() {
    return QByteArray(SystemUnit)
        .replace("Wants=network-online.target\nAfter=network-online.target remote-fs.target\n",
                 "PartOf=graphical-session.target\nAfter=graphical-session.target\n")
        .replace("Environment=QT_QPA_PLATFORM=offscreen\n", "")
        .replace("multi-user.target", "graphical-session.target");
}

// The control over temporary unit folders that do not exist yet; systemctl
// answers from the runner's script.
struct Fixture {
    QTemporaryDir root;
    RecordingProcessRunner runner;
    RecordingSystemLog log;
    SystemdServiceSetup setup{u"/opt/Torvanelo 100%/torvanelo"_s, u"/srv/the \"pairs\" \\ $HOME"_s,
                              root.filePath(u"lib/systemd/system"_s),
                              root.filePath(u"home/.local/share/systemd/user"_s)};

    SystemdServiceControl control(bool interactive) {
        SystemdServiceControl made(runner, log, setup);
        made.setInteractive(interactive);
        return made;
    }
    QString unit(bool user) const {
        return (user ? setup.userUnitFolder : setup.systemUnitFolder) + u"/torvanelo.service"_s;
    }
    // systemctl's calls (every one captures its answer), each without
    // "systemctl " and the unit's name: "--user enable, daemon-reload".
    QString commands() const {
        return runner.commandLines(RecordingProcessRunner::Kind::Capturing)
            .join(u", "_s)
            .remove(u"systemctl "_s)
            .remove(u" torvanelo.service"_s);
    }
    bool place(const QString& path) {
        return QDir().mkpath(QFileInfo(path).path()) && writeFile(path, "[Unit]\n");
    }
    // Every file below the root with its content (folders may stay).
    QStringList tree() const {
        QStringList files;
        QDirIterator it(root.path(), QDir::Files | QDir::System | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            files << path + u' ' + QString::fromUtf8(readFile(path).value_or("-"));
        }
        files.sort();
        return files;
    }
};

// systemd-analyze verify on a unit file: "exit N: " and what it said.
QString verify(const QString& unitFile, bool user) {
    // The user manager that verify builds wants a private runtime folder.
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setEnvironment(QProcess::systemEnvironment() << u"XDG_RUNTIME_DIR="_s + runtime.path());
    process.start(u"systemd-analyze"_s, user ? QStringList{u"--user"_s, u"verify"_s, unitFile}
                                             : QStringList{u"verify"_s, unitFile});
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit)
        return u"cannot run: "_s + process.errorString();
    return u"exit %1: "_s.arg(process.exitCode()) + QString::fromUtf8(process.readAll());
}

} // namespace

class SystemdServiceControlTest : public QObject {
    Q_OBJECT

private slots:
    // The unit alone (no temporary of the atomic write, nothing in the other
    // scope), then the commands of the start type.
    void installWritesTheUnitAndItsStartType_data() {
        QTest::addColumn<bool>("interactive");
        QTest::addColumn<int>("startType");
        QTest::addColumn<QString>("commands");
        const QString steps[] = {u"unmask, %1enable"_s, u"disable, %1unmask"_s,
                                 u"disable, %1mask"_s};
        for (const bool user : {false, true})
            for (const int type : {0, 1, 2, 5})
                QTest::addRow("%s, start type %d", user ? "user" : "system", type)
                    << user << type
                    << (u"%1daemon-reload, %1"_s + steps[std::min(type, 2)])
                           .arg(user ? u"--user "_s : QString());
    }
    void installWritesTheUnitAndItsStartType() {
        QFETCH(bool, interactive);
        QFETCH(int, startType);
        Fixture f;
        SystemdServiceControl control = f.control(interactive);
        control.setStartType(startType);
        QVERIFY(control.Install() && control.IsInstalled());
        QTEST(f.commands(), "commands");
        QCOMPARE(f.tree(), QStringList{f.unit(interactive) + u' '
                                       + QString::fromUtf8(interactive ? userUnit() : SystemUnit)});
    }

    // Paths that would not reach the program as they are (or would add lines
    // to the unit), the other scope's unit, no folder to write into: nothing
    // is written and systemctl is not asked. Without a service manager to
    // take it, a fresh unit is taken back (no service that cannot run is
    // reported) and a unit that was there stays.
    void installRefusesAndLeavesEverythingAlone_data() {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QString>("path"); // for an executable or a folder
        QTest::newRow("relative executable") << u"executable"_s << u"torvanelo"_s;
        QTest::newRow("line break") << u"folder"_s << u"/opt\n[Service]\nUser=nobody"_s;
        QTest::newRow("delete character") << u"folder"_s << u"/opt/a\x7f"_s;
        QTest::newRow("backslash") << u"executable"_s << u"/opt/a\\b/t"_s;
        QTest::newRow("double quote") << u"executable"_s << u"/opt/\"a\"/t"_s;
        QTest::newRow("single quote") << u"executable"_s << u"/opt/O'Brien/t"_s;
        QTest::newRow("not UTF-8") << u"executable"_s << u"/opt/caf"_s + QChar(char16_t(0xDCE9));
        for (const char* obstacle : {"user unit", "system unit", "file", "no user folder",
                                     "reload fails", "no systemctl", "installed"})
            QTest::newRow(obstacle) << QString::fromLatin1(obstacle) << QString();
    }
    void installRefusesAndLeavesEverythingAlone() {
        QFETCH(QString, obstacle);
        QFETCH(QString, path);
        Fixture f;
        if (!path.isNull())
            (obstacle == u"folder"_s ? f.setup.programFolder : f.setup.executable) = path;
        if (obstacle.endsWith(u"unit"_s) || obstacle == u"file"_s)
            QVERIFY(f.place(obstacle == u"file"_s ? f.setup.systemUnitFolder
                                                  : f.unit(obstacle == u"user unit"_s)));
        if (obstacle == u"no user folder"_s)
            f.setup.userUnitFolder.clear();
        // A user unit is what a system unit or a missing user folder refuses.
        SystemdServiceControl control =
            f.control(obstacle == u"system unit"_s || obstacle == u"no user folder"_s);
        if (obstacle == u"installed"_s) {
            QVERIFY(control.Install());
            f.runner.runs.clear();
        }
        f.runner.queueResult(obstacle == u"no systemctl"_s
                                 ? RunResult{}
                                 : RunResult{true, 1, false, "System has not been booted.\n"});
        const QStringList before = f.tree();
        QVERIFY(!control.Install());
        const bool reloads =
            QStringList{u"reload fails"_s, u"no systemctl"_s, u"installed"_s}.contains(obstacle);
        QCOMPARE(f.commands(), reloads ? u"daemon-reload"_s : QString());
        QCOMPARE(f.tree(), before);
    }

    // Every unit goes, whatever stands in the way of a step.
    void uninstallRemovesEveryUnit_data() {
        QTest::addColumn<QString>("setup"); // the units there, "inside" the service, "stop fails"
        QTest::addColumn<QString>("commands");
        const QString removal = u"stop, disable, unmask, daemon-reload"_s;
        QTest::newRow("system") << u"system"_s << removal;
        // Waiting for our own end would wait for ever.
        QTest::newRow("from inside the service")
            << u"system inside"_s << u"stop --no-block, disable, unmask, daemon-reload"_s;
        QTest::newRow("both") << u"system user"_s
                              << removal
                                     + u", --user stop, --user disable, --user unmask, "
                                       u"--user daemon-reload"_s;
        QTest::newRow("a failed stop goes on") << u"system, stop fails"_s << removal;
        QTest::newRow("link to nowhere") << u"link"_s << removal;
        QTest::newRow("nothing installed") << QString() << QString();
    }
    void uninstallRemovesEveryUnit() {
        QFETCH(QString, setup);
        const bool stopFails = setup.contains(u"stop fails"_s);
        Fixture f;
        f.setup.startedAsService = setup.contains(u"inside"_s);
        if (setup == u"link"_s)
            QVERIFY(QDir().mkpath(f.setup.systemUnitFolder)
                    && QFile::link(f.root.filePath(u"gone.service"_s), f.unit(false)));
        for (const bool user : {false, true})
            QVERIFY(!setup.contains(user ? u"user"_s : u"system"_s) || f.place(f.unit(user)));
        if (stopFails)
            f.runner.queueResult({true, 5, false, "Failed to stop: Unit not loaded.\n"});
        SystemdServiceControl control = f.control(false);
        QCOMPARE(control.IsInstalled(), !setup.isEmpty());
        QCOMPARE(control.Uninstall(), !stopFails);
        QTEST(f.commands(), "commands");
        QCOMPARE(f.tree(), QStringList());
    }

    // systemctl's answer to both state queries ("-": it cannot start), and
    // the start type and running state read from it, whatever was set.
    void readsTheStateBack_data() {
        QTest::addColumn<bool>("interactive");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("state");
        QTest::newRow("enabled") << false << "enabled\n"_ba << u"0 0"_s;
        QTest::newRow("masked") << false << "masked\n"_ba << u"2 0"_s;
        QTest::newRow("masked at run time") << false << "masked-runtime\n"_ba << u"2 0"_s;
        QTest::newRow("until reboot") << false << "enabled-runtime\n"_ba << u"1 0"_s;
        QTest::newRow("active") << false << "active\n"_ba << u"1 1"_s;
        QTest::newRow("user, active") << true << "active\n"_ba << u"1 1"_s;
        QTest::newRow("state after a warning")
            << false << "Warning: The unit file changed on disk.\nenabled\nactive\n"_ba << u"0 1"_s;
        QTest::newRow("words inside a line")
            << false << "not enabled here, unit is not active\n"_ba << u"1 0"_s;
        QTest::newRow("systemctl missing") << false << "-"_ba << u"1 0"_s;
    }
    void readsTheStateBack() {
        QFETCH(bool, interactive);
        QFETCH(QByteArray, answer);
        Fixture f;
        QVERIFY(f.place(f.unit(interactive)));
        f.runner.defaultResult = answer == "-" ? RunResult{} : RunResult{true, 0, false, answer};
        SystemdServiceControl control(f.runner, f.log, f.setup);
        control.setStartType(0);
        QTEST(u"%1 %2"_s.arg(control.StartType()).arg(int(control.IsRunning())), "state");
        QCOMPARE(control.Interactive(), interactive);
        QCOMPARE(f.commands(),
                 u"%1is-enabled, %1is-active"_s.arg(interactive ? u"--user "_s : QString()));
    }

    void logEventKeepsTheLevel() {
        Fixture f;
        f.control(false).LogEvent(u"a"_s, EventWarning);
        f.control(false).LogEvent(u"b"_s, 1);
        QVERIFY(f.log.entries
                == (std::vector<RecordingSystemLog::Entry>{{LogLevel::Warning, u"a"_s},
                                                           {LogLevel::Information, u"b"_s}}));
    }

    // systemd reads the written units, with paths that every quoting rule
    // touches: a wrong escape shows as a missing executable.
    void systemdAcceptsTheUnits() {
        for (const bool interactive : {false, true}) {
            Fixture f;
            const QString probeUnit = f.root.filePath(u"probe.service"_s);
            QVERIFY(writeFile(probeUnit, "[Service]\nExecStart=/bin/true\n"));
            const QString probe = verify(probeUnit, interactive);
            if (!probe.startsWith(u"exit 0:"_s))
                QSKIP(qPrintable(u"systemd-analyze verify does not work here: "_s + probe));

            // The executable's name takes no '\\', '"' or '\'', the folder may.
            const QString folder = f.root.filePath(u"Torvanelo 100% à $HOME ;&|"_s);
            f.setup.executable = folder + u"/torvanelo"_s;
            f.setup.programFolder = f.root.filePath(u"pairs \"à\" $HOME \\x 'q' %n"_s);
            QVERIFY(QDir().mkpath(folder) && QFile::copy(u"/bin/true"_s, f.setup.executable));
            QVERIFY(f.control(interactive).Install());
            const QString result = verify(f.unit(interactive), interactive);
            QVERIFY2(result.startsWith(u"exit 0:"_s) && !result.contains(u"torvanelo"_s),
                     qPrintable(result));
            // The same check sees an executable that is not where the unit says.
            QVERIFY(QFile::remove(f.setup.executable));
            QVERIFY(!verify(f.unit(interactive), interactive).startsWith(u"exit 0:"_s));
        }
    }
};

TORVANELO_TEST(SystemdServiceControlTest);
#include "SystemdServiceControlTest.moc"
