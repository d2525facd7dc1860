#include "SystemdServiceControl.h"

#include "EnvironmentOverride.h"
#include "ProgramFolder.h"
#include "RecordingProcessRunner.h"
#include "RecordingSystemLog.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "Texts.h"
#include "linux/LinuxProcessRunner.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <optional>
#include <unistd.h>

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

// A system unit outside systemd's default folder names its folder.
QByteArray systemUnit(const QString& unitFolder) {
    return QByteArray(SystemUnit)
        .replace("Environment=QT_QPA_PLATFORM",
                 "Environment=\"TORVANELO_UNIT_FOLDER=" + unitFolder.toUtf8()
                     + "\"\nEnvironment=QT_QPA_PLATFORM");
}

// A user unit runs in the graphical session, with its window.
QByteArray userUnit() {
    return QByteArray(SystemUnit)
        .replace("Wants=network-online.target\nAfter=network-online.target remote-fs.target\n",
                 "PartOf=graphical-session.target\nAfter=graphical-session.target\n")
        .replace("Environment=QT_QPA_PLATFORM=offscreen\n", "")
        .replace("multi-user.target", "graphical-session.target");
}

// Temporary unit folders that do not exist yet; systemctl answers from the
// runner's script.
struct Fixture {
    QTemporaryDir root;
    RecordingProcessRunner runner;
    RecordingSystemLog log;
    SystemdServiceSetup setup{u"/opt/Torvanelo 100%/torvanelo"_s, u"/srv/the \"pairs\" \\ $HOME"_s,
                              root.filePath(u"lib/systemd/system"_s),
                              root.filePath(u"home/.local/share/systemd/user"_s)};
    bool toolReady = writeScript(root.filePath(u"tools/systemctl"_s), "#!/bin/sh\n");
    Fixture() { setup.toolFolders = {root.filePath(u"tools"_s)}; }

    SystemdServiceControl control(bool interactive) {
        SystemdServiceControl made(runner, log, setup);
        made.setInteractive(interactive);
        return made;
    }
    QString unit(bool user) const {
        return (user ? setup.userUnitFolder : setup.systemUnitFolder) + u"/torvanelo.service"_s;
    }
    // systemctl's calls without the tool's path and the unit's name.
    QString commands() const {
        return runner.commandLines(RecordingProcessRunner::Kind::Capturing)
            .join(u", "_s)
            .remove(u'"' + root.filePath(u"tools/systemctl"_s) + u"\" "_s)
            .remove(u" torvanelo.service"_s);
    }
    bool place(const QString& path) {
        return QDir().mkpath(QFileInfo(path).path()) && writeFile(path, "[Unit]\n");
    }
    // Every file below the root but the tool, with its content.
    QStringList tree() const {
        QStringList files;
        QDirIterator it(root.path(), QDir::Files | QDir::System | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.startsWith(root.filePath(u"tools/"_s)))
                continue;
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

// The Environment= lines and StateDirectory of a unit, in order.
QStringList environmentOf(const std::optional<QByteArray>& unit) {
    if (!unit)
        return {u"no unit"_s};
    QStringList lines;
    for (const QByteArray& line : unit->split('\n')) {
        if (line.startsWith("Environment=") || line.startsWith("StateDirectory=")
            || line.startsWith("ExecStart="))
            lines << QString::fromUtf8(line);
    }
    return lines;
}

} // namespace

class SystemdServiceControlTest : public QObject {
    Q_OBJECT

private slots:
    // The unit alone, nothing in the other scope, then the start type's
    // commands.
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
        QCOMPARE(f.tree(),
                 QStringList{f.unit(interactive) + u' '
                             + QString::fromUtf8(
                                 interactive ? userUnit() : systemUnit(f.setup.systemUnitFolder))});
    }

    // Paths a unit cannot carry as they are, the other scope's unit, no
    // folder to write into: nothing is written, systemctl is not asked. A
    // failed reload takes a fresh unit back and keeps one that was there.
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

    // systemctl's answer to both state queries ("-": it cannot start) and
    // the start type and running state read from it.
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

    // No unit folder named for systemd's default one, and for a packaged
    // program a folder of the service's own that systemd creates.
    void unitCarriesWhatTheProgramNeeds_data() {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("unitFolder");
        QTest::addColumn<QStringList>("lines");
        const QString service = u"Environment=TORVANELO_SERVICE=1"_s;
        const QString headless = u"Environment=QT_QPA_PLATFORM=offscreen"_s;
        QTest::newRow("systemd's folder")
            << u"/opt/t/torvanelo"_s << u"/srv/t"_s << QString()
            << QStringList{u"ExecStart=\"/opt/t/torvanelo\""_s, service,
                           u"Environment=\"TORVANELO_HOME=/srv/t\""_s, headless};
        QTest::newRow("packaged") << u"/usr/bin/torvanelo"_s << u"/var/lib/torvanelo"_s << QString()
                                  << QStringList{
                                         u"ExecStart=\"/usr/bin/torvanelo\""_s, service,
                                         u"Environment=\"TORVANELO_HOME=/var/lib/torvanelo\""_s,
                                         u"StateDirectory=torvanelo"_s, headless};
        QTest::newRow("unit folder with a line break")
            << u"/opt/t/torvanelo"_s << u"/srv/t"_s << u"/srv/u\n[Service]"_s
            << QStringList{u"no unit"_s};
    }
    void unitCarriesWhatTheProgramNeeds() {
        QFETCH(QString, executable);
        QFETCH(QString, folder);
        QFETCH(QString, unitFolder);
        QTEST(environmentOf(systemdUnitText(executable, folder, UnitScope::System, unitFolder)),
              "lines");
    }

    // A program whose settings are away from its executable gives the
    // system service /var/lib/torvanelo; TORVANELO_HOME or a folder beside
    // the executable is kept, and the user unit keeps the user's folder.
    void packagedProgramGivesTheServiceItsOwnFolder_data() {
        QTest::addColumn<bool>("ownHome"); // TORVANELO_HOME set
        QTest::addColumn<bool>("besideExecutable");
        QTest::addColumn<bool>("serviceFolder");
        QTest::newRow("installed") << false << false << true;
        QTest::newRow("TORVANELO_HOME") << true << false << false;
        QTest::newRow("beside the executable") << false << true << false;
    }
    void packagedProgramGivesTheServiceItsOwnFolder() {
        QFETCH(bool, ownHome);
        QFETCH(bool, besideExecutable);
        QFETCH(bool, serviceFolder);
        Fixture f;
        const QString folder =
            besideExecutable ? executableFolder() : f.root.filePath(u"config/torvanelo"_s);
        const EnvironmentOverride home(
            "TORVANELO_HOME", ownHome ? std::optional(QFile::encodeName(folder)) : std::nullopt);
        const EnvironmentOverride units("TORVANELO_UNIT_FOLDER",
                                        QFile::encodeName(f.setup.systemUnitFolder));
        SystemdServiceSetup setup = SystemdServiceSetup::forThisProcess(folder);
        QCOMPARE(setup.systemUnitFolder, f.setup.systemUnitFolder);
        setup.userUnitFolder = f.setup.userUnitFolder;
        setup.toolFolders = f.setup.toolFolders;
        setup.archiverFolders.clear();
        const QString expected = serviceFolder ? u"/var/lib/torvanelo"_s : folder;
        for (const bool user : {false, true}) {
            SystemdServiceControl control(f.runner, f.log, setup);
            control.setInteractive(user);
            QVERIFY(control.Install());
            QVERIFY(readFile(f.unit(user))
                        .value_or("")
                        .contains("TORVANELO_HOME=" + (user ? folder : expected).toUtf8() + '"'));
            QVERIFY(control.Uninstall());
        }
    }

    // A systemctl in the program folder or on PATH is never run by install,
    // the state queries or removal; without a trusted one nothing runs.
    void plantedSystemctlIsNeverRun_data() {
        QTest::addColumn<bool>("trustedTool");
        QTest::newRow("trusted tool folder") << true;
        QTest::newRow("tool folder writable by others") << false;
    }
    void plantedSystemctlIsNeverRun() {
        QFETCH(bool, trustedTool);
        Fixture f;
        const QString calls = f.root.filePath(u"calls"_s);
        const QString planted = f.root.filePath(u"planted"_s);
        const auto script = [](const QString& log, const QByteArray& answer) {
            return "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + QFile::encodeName(log) + "'\n"
                   + answer;
        };
        for (const QString& folder : {u"home"_s, u"bin"_s})
            QVERIFY(writeScript(f.root.filePath(folder + u"/systemctl"_s), script(planted, "")));
        const QString tool = f.root.filePath(u"tools/systemctl"_s);
        QVERIFY(writeFile(tool, script(calls, "case \"$1\" in is-active) echo active ;; esac\n")));
        if (!trustedTool)
            QVERIFY(setMode(f.root.filePath(u"tools"_s), 0777));
        const EnvironmentOverride home("TORVANELO_HOME",
                                       QFile::encodeName(f.root.filePath(u"home"_s)));
        const EnvironmentOverride path("PATH", QFile::encodeName(f.root.filePath(u"bin"_s))
                                                   + ":/usr/bin:/bin");
        LinuxProcessRunner runner;
        SystemdServiceControl control(runner, f.log, f.setup);
        control.setStartType(1);

        QCOMPARE(control.Install(), trustedTool);
        QCOMPARE(control.IsRunning(), trustedTool);
        QVERIFY(control.Uninstall());
        QCOMPARE(readFile(planted), std::nullopt);
        QCOMPARE(readFile(calls).value_or(""),
                 trustedTool ? QByteArray("daemon-reload\ndisable torvanelo.service\nunmask "
                                          "torvanelo.service\nis-active torvanelo.service\nstop "
                                          "torvanelo.service\ndisable torvanelo.service\nunmask "
                                          "torvanelo.service\ndaemon-reload\n")
                             : QByteArray());
    }

    // A unit run as root over what another user could change is refused
    // before anything is written or asked, with the path and its fix.
    void installRefusesWhatOthersMayChange_data() {
        QTest::addColumn<bool>("interactive");
        QTest::addColumn<QString>("spoiled");
        QTest::addColumn<QString>("how");     // "chmod MODE" or "chown"
        QTest::addColumn<QString>("refusal"); // %1: the spoiled path
        const QString writable =
            u"%1 can be written by users other than root (group or others). Fix it with: "
            u"chmod go-w %1"_s;
        QTest::newRow("program folder writable by its group")
            << false << u"home"_s << u"chmod 775"_s << writable;
        QTest::newRow("parameters file of another user")
            << false << u"home/Torvanelo.ini"_s << u"chown"_s
            << u"%1 belongs to user %2, not to root. Fix it with: chown root %1"_s;
        QTest::newRow("executable writable by others")
            << false << u"program/torvanelo"_s << u"chmod 757"_s << writable;
        QTest::newRow("archiver folder writable by others")
            << false << u"bin"_s << u"chmod 1777"_s << writable;
        QTest::newRow("user unit of root's") << true << u"home"_s << u"chmod 777"_s << writable;
        QTest::newRow("all root's") << false << QString() << QString() << QString();
    }
    void installRefusesWhatOthersMayChange() {
        QFETCH(bool, interactive);
        QFETCH(QString, spoiled);
        QFETCH(QString, how);
        QFETCH(QString, refusal);
        if (::geteuid() != 0)
            QSKIP("the files of another user are made with chown, which needs root");
        Fixture f;
        f.setup.executable = f.root.filePath(u"program/torvanelo"_s);
        f.setup.programFolder = f.root.filePath(u"home"_s);
        f.setup.archiverFolders = {f.root.filePath(u"bin"_s), f.root.filePath(u"program"_s)};
        QVERIFY(QDir().mkpath(f.root.filePath(u"bin"_s))
                && QDir().mkpath(f.root.filePath(u"program"_s))
                && QDir().mkpath(f.setup.programFolder) && writeFile(f.setup.executable, "")
                && setMode(f.setup.executable, 0755)
                && writeFile(f.setup.programFolder + u"/Torvanelo.ini"_s, ""));
        const QString path = f.root.filePath(spoiled);
        if (how == u"chown"_s)
            QCOMPARE(::chown(QFile::encodeName(path).constData(), 1000, -1), 0);
        else if (!how.isEmpty())
            QVERIFY(setMode(path, how.mid(6).toUInt(nullptr, 8)));
        const QStringList before = f.tree();
        SystemdServiceControl control = f.control(interactive);
        QCOMPARE(control.installRefusal(LanguageEnglish),
                 refusal.isEmpty() ? QString() : refusal.arg(path, userText(1000)));
        QCOMPARE(control.Install(), refusal.isEmpty());
        if (!refusal.isEmpty()) {
            QCOMPARE(f.commands(), QString());
            QCOMPARE(f.tree(), before);
        }
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
