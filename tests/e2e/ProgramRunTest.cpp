#include "ProgramFolder.h"
#include "SyslogSink.h"
#include "TestRegistry.h"

#include <QRegularExpression>
#include <QTest>

#include <map>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

// Many files by name, and among them names, contents and streams of every
// kind, a line break in a name too.
std::map<QString, Original> manyOriginals(int count) {
    std::vector<Original> all = variedOriginals();
    all.push_back({"ligne\nbris\xc3\xa9"
                   "e",
                   "line break",
                   {{"user.vide", ""}}});
    for (int n = 0; n < count; ++n)
        all.push_back({"fichier " + QByteArray::number(n),
                       randomBytes(n * 97 % 30000, quint32(n)),
                       {{"user.n", std::to_string(n)}}});
    std::map<QString, Original> byName;
    for (const Original& original : all)
        byName[original.name()] = original;
    return byName;
}

} // namespace

// The built program as the service manager, a user or a batch job runs it.
class ProgramRunTest : public QObject {
    Q_OBJECT

private slots:
    void serviceStoppedMidPassLosesNothing();
    void secondCopyIsRefused();
    void oddHexPairFileEndsItUntouched();
};

void ProgramRunTest::serviceStoppedMidPassLosesNothing() {
    ProgramFolder site;
    // Only the first pass runs: the next would come an hour later.
    QVERIFY(site.writeSettings("Temporisation=3600\r\n"));
    const auto originals = manyOriginals(400);
    for (const auto& [name, original] : originals)
        QVERIFY(plant(site.in, original));
    // The installed unit in a folder of its own, a stand-in systemctl first
    // in the program's search (it answers the state queries and records
    // every call) and a socket standing in for the system log.
    const QString units = site.root.filePath(u"units"_s);
    const QString calls = site.root.filePath(u"systemctl.calls"_s);
    const QString systemctl = pathIn(site.home, u"systemctl"_s);
    QVERIFY(QDir().mkpath(units) && writeFile(units + u"/torvanelo.service"_s, "# unit\n"));
    QVERIFY(writeFile(systemctl, "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + QFile::encodeName(calls)
                                     + "'\ncase \"$1\" in is-active) echo active ;;\n"
                                       "is-enabled) echo enabled ;; *) exit 1 ;; esac\n"));
    QVERIFY(setMode(systemctl, 0755));
    SyslogSink log;
    QVERIFY(log.bound);
    QProcessEnvironment service;
    service.insert(u"TORVANELO_SERVICE"_s, u"1"_s);
    service.insert(u"TORVANELO_UNIT_FOLDER"_s, units);
    service.insert(u"XDG_DATA_HOME"_s, site.root.filePath(u"data"_s));
    service.insert(u"TORVANELO_SYSLOG_SOCKET"_s, log.path);
    const auto archives = [&] {
        return entryNames(site.middle).filter(QRegularExpression(u"^RA\\d{6}\\.rar$"_s)).size();
    };

    // Its passes start at once: archives appear although the next pass is an
    // hour away. It is stopped while most files still wait.
    QProcess program;
    site.start(program, service);
    QVERIFY2(program.waitForStarted(-1), qPrintable(program.errorString()));
    const QByteArray pid = QByteArray::number(program.processId());
    while (program.state() == QProcess::Running && archives() < 5)
        program.waitForFinished(5);
    QVERIFY2(program.state() == QProcess::Running, program.readAllStandardError().constData());
    program.terminate();
    QVERIFY(program.waitForFinished(-1));
    QVERIFY2(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0,
             program.readAllStandardError().constData());

    QList<QByteArray> entries = log.received();
    for (QByteArray& entry : entries)
        entry = withoutStamp(entry);
    QCOMPARE(entries,
             (QList<QByteArray>{"<14>Torvanelo[" + pid + "]: Torvanelo Service: started",
                                "<14>Torvanelo[" + pid + "]: Torvanelo Service: stopped"}));
    // The service manager was only asked whether the service runs (when the
    // passes stopped); nothing was installed, enabled or stopped.
    QCOMPARE(readFile(calls).value_or("<no call>"), QByteArray("is-active torvanelo.service\n"));

    // Nothing is half-moved: untouched files under their own names wait in
    // the source folder, complete archives only (one per file that left) in
    // the middle one; the pass stopped before the second pair.
    const QStringList left = entryNames(site.in);
    QVERIFY(!left.isEmpty());
    for (const QString& name : left) {
        const auto original = originals.find(name);
        QVERIFY2(original != originals.end(), qPrintable(name));
        QCOMPARE(checkIntact(site.in, original->second, false), QString());
    }
    QCOMPARE(entryNames(site.middle).size(), archives());
    QCOMPARE(std::size_t(archives() + left.size()), originals.size());
    QCOMPARE(entryNames(site.out), QStringList());

    // Run again as a batch job (by hand, started at once, ending after its
    // pass): everything arrives, intact by content, name and streams.
    QVERIFY(QFile::remove(systemctl));
    QVERIFY(site.writeSettings("Automatique=1\r\nArretAutomatique=1\r\n"));
    const auto batch = site.run();
    QVERIFY2(batch.ok, qPrintable(batch.errors));
    QCOMPARE(entryNames(site.in) + entryNames(site.middle), QStringList());
    QCOMPARE(std::size_t(entryNames(site.out).size()), originals.size());
    for (const auto& [name, original] : originals)
        QCOMPARE(checkIntact(site.out, original), QString());
}

void ProgramRunTest::secondCopyIsRefused() {
    ProgramFolder first;
    ProgramFolder second;
    QVERIFY(writeFile(pathIn(second.home, u"Torvanelo.ini"_s), "[Configuration]\nLangue=1\n"));
    QProcess running;
    first.start(running);
    // The first copy holds its lock once its lock file is there.
    while (running.state() != QProcess::NotRunning
           && QDir(first.runtime).entryList({u"torvanelo-*.lock"_s}, QDir::Files).isEmpty())
        running.waitForFinished(5);

    QProcessEnvironment sameSession;
    sameSession.insert(u"XDG_RUNTIME_DIR"_s, first.runtime);
    const auto refused = second.run(1, sameSession);
    QVERIFY2(refused.ok, qPrintable(refused.errors));
    QVERIFY(refused.errors.contains(u"Torvanelo: Programme déjà lancé"_s));
    // The first copy goes on, untold; the second wrote nothing.
    QCOMPARE(running.state(), QProcess::Running);
    QCOMPARE(*readFile(pathIn(second.home, u"Torvanelo.ini"_s)),
             QByteArray("[Configuration]\nLangue=1\n"));
    running.kill();
    QVERIFY(running.waitForFinished(-1));
}

void ProgramRunTest::oddHexPairFileEndsItUntouched() {
    ProgramFolder site;
    const QByteArray pairs("\"2F0074006D007\",\"\"\r\n");
    const QString pairFile = pathIn(site.home, u"Torvanelo.w"_s);
    QVERIFY(writeFile(pairFile, pairs));
    const auto ended = site.run(1);
    QVERIFY2(ended.ok, qPrintable(ended.errors));
    QVERIFY(ended.errors.contains(u"Invalid hexa string in the parameters file "_s + pairFile));
    QCOMPARE(*readFile(pairFile), pairs);
    QVERIFY(!QFile::exists(pathIn(site.home, u"Torvanelo.ini"_s)));
}

TORVANELO_TEST(ProgramRunTest);
#include "ProgramRunTest.moc"
