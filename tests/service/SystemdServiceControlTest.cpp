#include "SystemdServiceControl.h"

#include "EnvironmentGuard.h"
#include "RecordingProcessRunner.h"
#include "RecordingSystemLog.h"
#include "TestRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace torvanelo;
using namespace torvanelo::test;

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<cannot read " + path.toUtf8() + '>';
    return file.readAll();
}

const QByteArray SystemUnit = "# Written by Torvanelo's service installation; removed by it.\n"
                              "[Unit]\n"
                              "Description=Torvanelo Service\n"
                              "Wants=network-online.target\n"
                              "After=network-online.target remote-fs.target\n"
                              "\n"
                              "[Service]\n"
                              "Type=exec\n"
                              "ExecStart=\"/opt/Torvanelo 100%%/torvanelo\"\n"
                              "Environment=TORVANELO_SERVICE=1\n"
                              "Environment=\"TORVANELO_HOME=/srv/the \\\"pairs\\\" \\\\ $HOME\"\n"
                              "Environment=QT_QPA_PLATFORM=offscreen\n"
                              "KillMode=mixed\n"
                              "TimeoutStopSec=10min\n"
                              "\n"
                              "[Install]\n"
                              "WantedBy=multi-user.target\n";

const QByteArray UserUnit = "# Written by Torvanelo's service installation; removed by it.\n"
                            "[Unit]\n"
                            "Description=Torvanelo Service\n"
                            "PartOf=graphical-session.target\n"
                            "After=graphical-session.target\n"
                            "\n"
                            "[Service]\n"
                            "Type=exec\n"
                            "ExecStart=\"/opt/Torvanelo 100%%/torvanelo\"\n"
                            "Environment=TORVANELO_SERVICE=1\n"
                            "Environment=\"TORVANELO_HOME=/srv/the \\\"pairs\\\" \\\\ $HOME\"\n"
                            "KillMode=mixed\n"
                            "TimeoutStopSec=10min\n"
                            "\n"
                            "[Install]\n"
                            "WantedBy=graphical-session.target\n";

// The control over temporary unit folders that do not exist yet.
struct Fixture {
    QTemporaryDir root;
    RecordingProcessRunner runner;
    RecordingSystemLog log;
    SystemdServiceSetup setup;

    Fixture() {
        setup.executable = QStringLiteral("/opt/Torvanelo 100%/torvanelo");
        setup.programFolder = QStringLiteral("/srv/the \"pairs\" \\ $HOME");
        setup.systemUnitFolder = root.path() + QStringLiteral("/usr/local/lib/systemd/system");
        setup.userUnitFolder = root.path() + QStringLiteral("/home/.local/share/systemd/user");
    }
    QString systemUnit() const {
        return setup.systemUnitFolder + QStringLiteral("/torvanelo.service");
    }
    QString userUnit() const { return setup.userUnitFolder + QStringLiteral("/torvanelo.service"); }
    // Every run, in order; a run that is not a capturing one is marked, since
    // systemctl queries must capture their answer.
    QStringList commands() const {
        QStringList lines;
        for (const RecordingProcessRunner::Run& run : runner.runs) {
            lines << (run.kind == RecordingProcessRunner::Kind::Capturing
                          ? run.commandLine
                          : QStringLiteral("not capturing: ") + run.commandLine);
        }
        return lines;
    }
    void answer(int exitCode, const QByteArray& output = {}) {
        runner.queueResult(RunResult{true, exitCode, false, output});
    }
    bool place(const QString& unitPath) {
        return QDir().mkpath(QFileInfo(unitPath).path()) && writeFile(unitPath, "[Unit]\n");
    }
    static bool writeFile(const QString& path, const QByteArray& content) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    }
};

QStringList lines(std::initializer_list<const char*> items) {
    QStringList list;
    for (const char* item : items)
        list << QString::fromUtf8(item);
    return list;
}

// Runs systemd-analyze verify on a unit file; nullopt with a reason when the
// tool is missing or cannot work here.
struct Verification {
    int exitCode = -1;
    QByteArray output;
};
std::optional<Verification> verify(const QString& unitFile, bool user, QString* whyNot) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
    if (tool.isEmpty()) {
        *whyNot = QStringLiteral("systemd-analyze is not installed");
        return std::nullopt;
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QTemporaryDir runtime;
    if (user) {
        // The user manager that verify builds wants a runtime folder.
        QFile::setPermissions(runtime.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    }
    process.setProcessEnvironment(environment);
    QStringList arguments;
    if (user)
        arguments << QStringLiteral("--user");
    arguments << QStringLiteral("verify") << unitFile;
    process.start(tool, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit) {
        *whyNot = QStringLiteral("systemd-analyze could not run: ") + process.errorString();
        return std::nullopt;
    }
    return Verification{process.exitCode(), process.readAll()};
}

} // namespace

class SystemdServiceControlTest : public QObject {
    Q_OBJECT

private slots:
    void writesTheUnitOfEachChoice_data() {
        QTest::addColumn<bool>("interactive");
        QTest::addColumn<int>("startType");
        QTest::addColumn<QByteArray>("unit");
        for (const int startType : {0, 1, 2, 5}) {
            QTest::addRow("system, start type %d", startType) << false << startType << SystemUnit;
            QTest::addRow("user, start type %d", startType) << true << startType << UserUnit;
        }
    }
    void writesTheUnitOfEachChoice() {
        QFETCH(bool, interactive);
        QFETCH(int, startType);
        QFETCH(QByteArray, unit);
        Fixture f;
        SystemdServiceControl control(f.runner, f.log, f.setup);
        control.setStartType(startType);
        control.setInteractive(interactive);
        QVERIFY(!control.IsInstalled());
        QVERIFY(control.Install());
        const QString written = interactive ? f.userUnit() : f.systemUnit();
        const QString other = interactive ? f.systemUnit() : f.userUnit();
        QCOMPARE(readAll(written), unit);
        QVERIFY(!QFileInfo::exists(other));
        QVERIFY(control.IsInstalled());
        // Nothing but the unit: no temporary file of the atomic write is left.
        QCOMPARE(QDir(QFileInfo(written).path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("torvanelo.service")});
    }

    void installRunsTheCommandsOfTheStartType_data() {
        QTest::addColumn<bool>("interactive");
        QTest::addColumn<int>("startType");
        QTest::addColumn<QStringList>("commands");
        QTest::newRow("system automatic")
            << false << 0
            << lines({"systemctl daemon-reload", "systemctl unmask torvanelo.service",
                      "systemctl enable torvanelo.service"});
        QTest::newRow("system manual")
            << false << 1
            << lines({"systemctl daemon-reload", "systemctl disable torvanelo.service",
                      "systemctl unmask torvanelo.service"});
        QTest::newRow("system disabled")
            << false << 2
            << lines({"systemctl daemon-reload", "systemctl disable torvanelo.service",
                      "systemctl mask torvanelo.service"});
        QTest::newRow("system, any other value is disabled")
            << false << 5
            << lines({"systemctl daemon-reload", "systemctl disable torvanelo.service",
                      "systemctl mask torvanelo.service"});
        QTest::newRow("negative value is disabled")
            << false << -1
            << lines({"systemctl daemon-reload", "systemctl disable torvanelo.service",
                      "systemctl mask torvanelo.service"});
        QTest::newRow("user automatic")
            << true << 0
            << lines({"systemctl --user daemon-reload", "systemctl --user unmask torvanelo.service",
                      "systemctl --user enable torvanelo.service"});
        QTest::newRow("user manual") << true << 1
                                     << lines({"systemctl --user daemon-reload",
                                               "systemctl --user disable torvanelo.service",
                                               "systemctl --user unmask torvanelo.service"});
        QTest::newRow("user disabled") << true << 2
                                       << lines({"systemctl --user daemon-reload",
                                                 "systemctl --user disable torvanelo.service",
                                                 "systemctl --user mask torvanelo.service"});
    }
    void installRunsTheCommandsOfTheStartType() {
        QFETCH(bool, interactive);
        QFETCH(int, startType);
        QFETCH(QStringList, commands);
        Fixture f;
        SystemdServiceControl control(f.runner, f.log, f.setup);
        control.setStartType(startType);
        control.setInteractive(interactive);
        QVERIFY(control.Install());
        QCOMPARE(f.commands(), commands);
    }

    void failedReloadTakesAFreshUnitBack_data() {
        QTest::addColumn<bool>("cannotStart");
        QTest::newRow("systemctl fails") << false;
        QTest::newRow("systemctl missing") << true;
    }
    void failedReloadTakesAFreshUnitBack() {
        QFETCH(bool, cannotStart);
        Fixture f;
        if (cannotStart)
            f.runner.queueNotStarted();
        else
            f.answer(1, "System has not been booted with systemd as init system (PID 1).\n");
        SystemdServiceControl control(f.runner, f.log, f.setup);
        QVERIFY(!control.Install());
        QCOMPARE(f.commands(), lines({"systemctl daemon-reload"}));
        QVERIFY(!QFileInfo::exists(f.systemUnit()));
        QVERIFY(!control.IsInstalled());
    }

    void failedReloadKeepsARewrittenUnit() {
        Fixture f;
        SystemdServiceControl control(f.runner, f.log, f.setup);
        QVERIFY(control.Install());
        f.answer(1);
        QVERIFY(!control.Install());
        QCOMPARE(readAll(f.systemUnit()), SystemUnit);
    }

    void failedStartTypeCommandLeavesTheUnitInstalled() {
        Fixture f;
        f.answer(0);
        f.answer(0);
        f.answer(1, "Failed to enable unit: Unit file torvanelo.service is masked.\n");
        SystemdServiceControl control(f.runner, f.log, f.setup);
        control.setStartType(0);
        QVERIFY(!control.Install());
        QCOMPARE(f.commands().last(), QStringLiteral("systemctl enable torvanelo.service"));
        QVERIFY(control.IsInstalled());
        QCOMPARE(readAll(f.systemUnit()), SystemUnit);
    }

    void installRefusesWhileTheOtherScopeIsInstalled_data() {
        QTest::addColumn<bool>("interactive");
        QTest::newRow("system over user") << false;
        QTest::newRow("user over system") << true;
    }
    void installRefusesWhileTheOtherScopeIsInstalled() {
        QFETCH(bool, interactive);
        Fixture f;
        const QString other = interactive ? f.systemUnit() : f.userUnit();
        QVERIFY(f.place(other));
        SystemdServiceControl control(f.runner, f.log, f.setup);
        control.setInteractive(interactive);
        QVERIFY(!control.Install());
        QVERIFY(f.commands().isEmpty());
        QVERIFY(!QFileInfo::exists(interactive ? f.userUnit() : f.systemUnit()));
        QCOMPARE(readAll(other), QByteArray("[Unit]\n"));
    }

    void installRefusesPathsAUnitCannotCarry_data() {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("programFolder");
        const QString good = QStringLiteral("/opt/torvanelo/torvanelo");
        const QString folder = QStringLiteral("/opt/torvanelo");
        QTest::newRow("relative executable") << QStringLiteral("torvanelo") << folder;
        QTest::newRow("empty executable") << QString() << folder;
        QTest::newRow("relative folder") << good << QStringLiteral("opt");
        QTest::newRow("line break in executable")
            << QStringLiteral("/opt/x\nExecStartPre=/bin/rm -rf /\n/t") << folder;
        QTest::newRow("line break in folder")
            << good << QStringLiteral("/opt\n[Service]\nUser=nobody");
        QTest::newRow("carriage return") << good << QStringLiteral("/opt/a\rb");
        QTest::newRow("tab") << QStringLiteral("/opt/a\tb/torvanelo") << folder;
        QTest::newRow("delete character") << good << QStringLiteral("/opt/a\x7f");
        QTest::newRow("backslash in executable") << QStringLiteral("/opt/a\\b/torvanelo") << folder;
        QTest::newRow("double quote in executable")
            << QStringLiteral("/opt/\"a\"/torvanelo") << folder;
        QTest::newRow("single quote in executable")
            << QStringLiteral("/opt/O'Brien/torvanelo") << folder;
        QTest::newRow("byte that is not UTF-8")
            << QStringLiteral("/opt/caf") + QChar(char16_t(0xDCE9)) + QStringLiteral("/t")
            << folder;
    }
    void installRefusesPathsAUnitCannotCarry() {
        QFETCH(QString, executable);
        QFETCH(QString, programFolder);
        Fixture f;
        f.setup.executable = executable;
        f.setup.programFolder = programFolder;
        SystemdServiceControl control(f.runner, f.log, f.setup);
        QVERIFY(!control.Install());
        QVERIFY(f.commands().isEmpty());
        QVERIFY(!QFileInfo::exists(f.systemUnit()));
    }

    void installFailsWhenTheUnitFolderCannotBeMade() {
        Fixture f;
        // A file where the folder should be.
        QVERIFY(QDir().mkpath(QFileInfo(f.setup.systemUnitFolder).path()));
        QVERIFY(Fixture::writeFile(f.setup.systemUnitFolder, "not a folder"));
        SystemdServiceControl control(f.runner, f.log, f.setup);
        QVERIFY(!control.Install());
        QVERIFY(f.commands().isEmpty());
        QCOMPARE(readAll(f.setup.systemUnitFolder), QByteArray("not a folder"));
    }

    void installWithoutAUserFolderFails() {
        Fixture f;
        f.setup.userUnitFolder.clear();
        SystemdServiceControl control(f.runner, f.log, f.setup);
        control.setInteractive(true);
        QVERIFY(!control.Install());
        QVERIFY(f.commands().isEmpty());
    }

    void uninstallStopsDisablesUnmasksRemovesAndReloads_data() {
        QTest::addColumn<bool>("interactive");
        QTest::addColumn<bool>("startedAsService");
        QTest::addColumn<QStringList>("commands");
        QTest::newRow("system, from the program")
            << false << false
            << lines({"systemctl stop torvanelo.service", "systemctl disable torvanelo.service",
                      "systemctl unmask torvanelo.service", "systemctl daemon-reload"});
        QTest::newRow("system, from the service itself")
            << false << true
            << lines({"systemctl stop --no-block torvanelo.service",
                      "systemctl disable torvanelo.service", "systemctl unmask torvanelo.service",
                      "systemctl daemon-reload"});
        QTest::newRow("user, from the program")
            << true << false
            << lines({"systemctl --user stop torvanelo.service",
                      "systemctl --user disable torvanelo.service",
                      "systemctl --user unmask torvanelo.service",
                      "systemctl --user daemon-reload"});
    }
    void uninstallStopsDisablesUnmasksRemovesAndReloads() {
        QFETCH(bool, interactive);
        QFETCH(bool, startedAsService);
        QFETCH(QStringList, commands);
        Fixture f;
        f.setup.startedAsService = startedAsService;
        SystemdServiceControl control(f.runner, f.log, f.setup);
        control.setInteractive(interactive);
        QVERIFY(control.Install());
        f.runner.runs.clear();
        QVERIFY(control.Uninstall());
        QCOMPARE(f.commands(), commands);
        QVERIFY(!QFileInfo::exists(f.systemUnit()));
        QVERIFY(!QFileInfo::exists(f.userUnit()));
        QVERIFY(!control.IsInstalled());
    }

    void uninstallRemovesBothScopes() {
        Fixture f;
        QVERIFY(f.place(f.systemUnit()));
        QVERIFY(f.place(f.userUnit()));
        SystemdServiceControl control(f.runner, f.log, f.setup);
        QVERIFY(control.Uninstall());
        QCOMPARE(f.commands().size(), 8);
        QVERIFY(!control.IsInstalled());
    }

    void uninstallGoesOnAfterAFailedStep() {
        Fixture f;
        QVERIFY(f.place(f.systemUnit()));
        f.answer(5, "Failed to stop torvanelo.service: Unit torvanelo.service not loaded.\n");
        SystemdServiceControl control(f.runner, f.log, f.setup);
        QVERIFY(!control.Uninstall());
        QCOMPARE(f.commands().size(), 4);
        QVERIFY(!QFileInfo::exists(f.systemUnit()));
    }

    void uninstallWithNothingInstalledDoesNothing() {
        Fixture f;
        SystemdServiceControl control(f.runner, f.log, f.setup);
        QVERIFY(control.Uninstall());
        QVERIFY(f.commands().isEmpty());
    }

    void readsTheStartTypeBack_data() {
        QTest::addColumn<bool>("interactive");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<int>("startType");
        QTest::newRow("enabled") << false << 0 << QByteArray("enabled\n") << 0;
        QTest::newRow("user enabled") << true << 0 << QByteArray("enabled\n") << 0;
        QTest::newRow("masked") << false << 1 << QByteArray("masked\n") << 2;
        QTest::newRow("masked at run time") << false << 1 << QByteArray("masked-runtime\n") << 2;
        QTest::newRow("disabled") << false << 1 << QByteArray("disabled\n") << 1;
        QTest::newRow("enabled until reboot") << false << 0 << QByteArray("enabled-runtime\n") << 1;
        QTest::newRow("static") << false << 0 << QByteArray("static\n") << 1;
        QTest::newRow("warning before the state")
            << false << 0
            << QByteArray("Warning: The unit file changed on disk. Run 'systemctl daemon-reload'.\n"
                          "enabled\n")
            << 0;
        QTest::newRow("error text") << false << 1
                                    << QByteArray("Failed to get unit file state for "
                                                  "torvanelo.service: No such file or directory\n")
                                    << 1;
        QTest::newRow("nothing said") << false << 1 << QByteArray() << 1;
        QTest::newRow("word inside a line") << false << 0 << QByteArray("not enabled here\n") << 1;
    }
    void readsTheStartTypeBack() {
        QFETCH(bool, interactive);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, output);
        QFETCH(int, startType);
        Fixture f;
        QVERIFY(f.place(interactive ? f.userUnit() : f.systemUnit()));
        const QString query = interactive
                                  ? QStringLiteral("systemctl --user is-enabled torvanelo.service")
                                  : QStringLiteral("systemctl is-enabled torvanelo.service");
        f.answer(exitCode, output);
        SystemdServiceControl control(f.runner, f.log, f.setup);
        control.setStartType(0);
        QCOMPARE(control.StartType(), startType);
        QCOMPARE(f.commands(), QStringList{query});
        QCOMPARE(control.Interactive(), interactive);
    }

    void startTypeOfAMissingSystemctlIsManual() {
        Fixture f;
        QVERIFY(f.place(f.systemUnit()));
        f.runner.queueNotStarted();
        SystemdServiceControl control(f.runner, f.log, f.setup);
        QCOMPARE(control.StartType(), 1);
    }

    void notInstalledKeepsTheChoicesMade() {
        Fixture f;
        SystemdServiceControl control(f.runner, f.log, f.setup);
        QCOMPARE(control.StartType(), 0);
        QCOMPARE(control.Interactive(), false);
        control.setStartType(5);
        control.setInteractive(true);
        QCOMPARE(control.StartType(), 5);
        QCOMPARE(control.Interactive(), true);
        QVERIFY(!control.IsRunning());
        QVERIFY(f.commands().isEmpty());
    }

    void aLinkedUnitCountsAsInstalled() {
        Fixture f;
        QVERIFY(QDir().mkpath(f.setup.systemUnitFolder));
        // Even a link whose target is gone: the name is taken.
        QVERIFY(QFile::link(f.root.path() + QStringLiteral("/gone.service"), f.systemUnit()));
        SystemdServiceControl control(f.runner, f.log, f.setup);
        QVERIFY(control.IsInstalled());
        QVERIFY(control.Uninstall());
        QVERIFY(!QFileInfo(f.systemUnit()).isSymLink());
    }

    void readsTheRunningStateBack_data() {
        QTest::addColumn<bool>("interactive");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<bool>("running");
        QTest::newRow("active") << false << 0 << QByteArray("active\n") << true;
        QTest::newRow("user active") << true << 0 << QByteArray("active\n") << true;
        QTest::newRow("inactive") << false << 3 << QByteArray("inactive\n") << false;
        QTest::newRow("starting") << false << 3 << QByteArray("activating\n") << false;
        QTest::newRow("stopping") << false << 3 << QByteArray("deactivating\n") << false;
        QTest::newRow("failed") << false << 3 << QByteArray("failed\n") << false;
        QTest::newRow("no manager")
            << false << 1 << QByteArray("Failed to connect to bus: No medium found\n") << false;
        QTest::newRow("inactive said as a sentence")
            << false << 3 << QByteArray("unit is not active\n") << false;
    }
    void readsTheRunningStateBack() {
        QFETCH(bool, interactive);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, output);
        QFETCH(bool, running);
        Fixture f;
        QVERIFY(f.place(interactive ? f.userUnit() : f.systemUnit()));
        const QString query = interactive
                                  ? QStringLiteral("systemctl --user is-active torvanelo.service")
                                  : QStringLiteral("systemctl is-active torvanelo.service");
        f.answer(exitCode, output);
        SystemdServiceControl control(f.runner, f.log, f.setup);
        QCOMPARE(control.IsRunning(), running);
        QCOMPARE(f.commands(), QStringList{query});
    }

    void logEventForwardsWithItsLevel_data() {
        QTest::addColumn<int>("eventType");
        QTest::addColumn<LogLevel>("level");
        QTest::newRow("information") << EventInformation << LogLevel::Information;
        QTest::newRow("warning") << EventWarning << LogLevel::Warning;
        QTest::newRow("unknown type") << 1 << LogLevel::Information;
    }
    void logEventForwardsWithItsLevel() {
        QFETCH(int, eventType);
        QFETCH(LogLevel, level);
        Fixture f;
        SystemdServiceControl control(f.runner, f.log, f.setup);
        const QString text =
            QStringLiteral("Torvanelo Service installé\r\n(le traitement démarre)");
        control.LogEvent(text, eventType);
        const std::vector<RecordingSystemLog::Entry> expected = {{level, text}};
        QVERIFY(f.log.entries == expected);
        QVERIFY(f.commands().isEmpty());
    }

    void setupOfThisProcess() {
        EnvironmentGuard dataHome("XDG_DATA_HOME");
        EnvironmentGuard service("TORVANELO_SERVICE");
        qputenv("XDG_DATA_HOME", "/data home");
        qputenv("TORVANELO_SERVICE", "1");
        const SystemdServiceSetup asService =
            SystemdServiceSetup::forThisProcess(QStringLiteral("/p"));
        qputenv("TORVANELO_SERVICE", "yes");
        const SystemdServiceSetup notService =
            SystemdServiceSetup::forThisProcess(QStringLiteral("/p"));
        qputenv("XDG_DATA_HOME", "relative");
        qunsetenv("TORVANELO_SERVICE");
        const SystemdServiceSetup byHand =
            SystemdServiceSetup::forThisProcess(QStringLiteral("/p"));

        QCOMPARE(asService.executable, QCoreApplication::applicationFilePath());
        QCOMPARE(asService.programFolder, QStringLiteral("/p"));
        QCOMPARE(asService.userUnitFolder, QStringLiteral("/data home/systemd/user"));
        QCOMPARE(asService.systemUnitFolder, QStringLiteral("/usr/local/lib/systemd/system"));
        QVERIFY(asService.startedAsService);
        QVERIFY(!notService.startedAsService);
        QVERIFY(!byHand.startedAsService);
        // A relative XDG_DATA_HOME is ignored, as the XDG rules say.
        QVERIFY(byHand.userUnitFolder.endsWith(QStringLiteral("/.local/share/systemd/user")));
        QVERIFY(byHand.userUnitFolder.startsWith(u'/'));
    }

    // systemd itself reads the written units; the program path is one that
    // every quoting rule touches, so a wrong escape shows as a missing
    // executable.
    void systemdAcceptsTheUnits_data() {
        QTest::addColumn<bool>("interactive");
        QTest::newRow("system unit") << false;
        QTest::newRow("user unit") << true;
    }
    void systemdAcceptsTheUnits() {
        QFETCH(bool, interactive);
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QString trueFolder = root.path() + QStringLiteral("/probe");
        QVERIFY(QDir().mkpath(trueFolder));
        QVERIFY(Fixture::writeFile(trueFolder + QStringLiteral("/probe.service"),
                                   "[Service]\nExecStart=/bin/true\n"));
        QString whyNot;
        const std::optional<Verification> probe =
            verify(trueFolder + QStringLiteral("/probe.service"), interactive, &whyNot);
        if (!probe)
            QSKIP(qPrintable(whyNot));
        if (probe->exitCode != 0)
            QSKIP(qPrintable(QStringLiteral("systemd-analyze verify does not work here: ")
                             + QString::fromUtf8(probe->output)));

        // systemd takes no '\\', '"' or '\'' in the executable's name, but
        // the program folder may hold them.
        const QString folder = root.path() + QStringLiteral("/Torvanelo 100% à $HOME ;&|");
        QVERIFY(QDir().mkpath(folder));
        const QString executable = folder + QStringLiteral("/torvanelo");
        QVERIFY(QFile::copy(QStringLiteral("/bin/true"), executable));
        const QString home = root.path() + QStringLiteral("/pairs \"à\" $HOME \\x 'q' %n");
        RecordingProcessRunner runner;
        RecordingSystemLog log;
        SystemdServiceSetup setup;
        setup.executable = executable;
        setup.programFolder = home;
        setup.systemUnitFolder = root.path() + QStringLiteral("/system");
        setup.userUnitFolder = root.path() + QStringLiteral("/user");
        SystemdServiceControl control(runner, log, setup);
        control.setInteractive(interactive);
        QVERIFY(control.Install());

        const std::optional<Verification> result =
            verify(control.unitFilePath(interactive ? UnitScope::User : UnitScope::System),
                   interactive, &whyNot);
        QVERIFY2(result, qPrintable(whyNot));
        QVERIFY2(result->exitCode == 0, result->output.constData());
        QVERIFY2(!result->output.contains("torvanelo"), result->output.constData());

        // The same check catches a path that does not survive the quoting.
        QVERIFY(QFile::remove(executable));
        const std::optional<Verification> missing =
            verify(control.unitFilePath(interactive ? UnitScope::User : UnitScope::System),
                   interactive, &whyNot);
        QVERIFY2(missing, qPrintable(whyNot));
        QVERIFY(missing->exitCode != 0);
    }
};

TORVANELO_TEST(SystemdServiceControlTest);
#include "SystemdServiceControlTest.moc"
