#include "ProgramFolder.h"
#include "ServiceEnvironment.h"
#include "TestRegistry.h"

#include <QTest>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

// The built program as the service manager, a user or a batch job runs it.
class ProgramRunTest : public QObject {
    Q_OBJECT

private slots:
    void serviceStoppedMidPassLosesNothing() {
        ProgramFolder site;
        // Only the first pass runs: the next would come an hour later.
        QVERIFY(site.writeSettings("Temporisation=3600\r\n"));
        // Many files by name, and among them names, contents and streams of
        // every kind, a line break in a name too.
        std::vector<Original> originals = variedOriginals();
        originals.push_back({"ligne\nbrisée", "line break", {{"user.vide", ""}}});
        for (int n = 0; n < 400; ++n)
            originals.push_back({"fichier " + QByteArray::number(n),
                                 randomBytes(n * 97 % 30000, quint32(n)),
                                 {{"user.n", std::to_string(n)}}});
        QVERIFY(site.plantAll(originals));
        // A systemctl planted first in the program's search would answer the
        // state queries and record every call.
        const QString calls = site.root.filePath(u"systemctl.calls"_s);
        const QString systemctl = pathIn(site.home, u"systemctl"_s);
        QVERIFY(writeScript(systemctl, "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '"
                                           + QFile::encodeName(calls)
                                           + "'\ncase \"$1\" in is-active) echo active ;;\n"
                                             "is-enabled) echo enabled ;; *) exit 1 ;; esac\n"));
        SyslogSink log;
        auto service = serviceEnvironment(log, site.root.filePath(u"units"_s));
        QVERIFY(service);
        service->insert(u"XDG_DATA_HOME"_s, site.root.filePath(u"data"_s));
        const auto archives = [&] {
            return QDir(site.middle).entryList({u"RA??????.rar"_s}).size();
        };

        // Its passes start at once: archives appear although the next pass is an
        // hour away. It is stopped while most files still wait.
        QProcess program;
        site.start(program, *service);
        QVERIFY2(program.waitForStarted(-1), qPrintable(program.errorString()));
        const QByteArray pid = QByteArray::number(program.processId());
        while (program.state() == QProcess::Running && archives() < 5)
            program.waitForFinished(5);
        QVERIFY2(program.state() == QProcess::Running, program.readAllStandardError().constData());
        program.terminate();
        QVERIFY(program.waitForFinished(-1));
        QVERIFY2(program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0,
                 program.readAllStandardError().constData());

        QCOMPARE(log.receivedWithoutStamps(),
                 (QList<QByteArray>{"<14>Torvanelo[" + pid + "]: Torvanelo Service: started",
                                    "<14>Torvanelo[" + pid + "]: Torvanelo Service: stopped"}));
        // System tools come from the system's own folders only.
        QCOMPARE(readFile(calls), std::nullopt);

        // Nothing is half-moved: untouched files wait in the source folder,
        // one complete archive per file that left in the middle one.
        qsizetype waiting = 0;
        for (const Original& original : originals)
            waiting += checkIntact(site.in, original, false).isEmpty();
        QVERIFY(waiting > 0);
        QCOMPARE(entryNames(site.in).size() + entryNames(site.middle).size(), originals.size());
        QCOMPARE(std::size_t(archives() + waiting), originals.size());
        QCOMPARE(entryNames(site.out), QStringList());

        // Run again as a batch job (by hand, started at once, ending after its
        // pass): everything arrives, intact by content, name and streams.
        QVERIFY(QFile::remove(systemctl));
        QVERIFY(site.writeSettings("Automatique=1\r\nArretAutomatique=1\r\n"));
        QVERIFY(site.run());
        QCOMPARE(site.checkDelivered(originals), QString());
    }

    // Refused or ended at its start with its status and message, every file
    // left as it was. A batch job whose passes cannot start ends rather than
    // wait for a user who is not there.
    void endsAtStart_data() {
        QTest::addColumn<QByteArray>("configuration");
        QTest::addColumn<QByteArray>("pairFile"); // empty: none; "chained": in -> middle -> out
        QTest::addColumn<bool>("secondCopy");
        QTest::addColumn<bool>("withArchiver");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message"); // %1: the pair file's path
        const QByteArray batch = "Automatique=1\r\nArretAutomatique=1\r\n";
        QTest::newRow("second copy") << "Langue=1\n" + batch << QByteArray() << true << true << 1
                                     << u"Torvanelo: Programme déjà lancé"_s;
        QTest::newRow("odd hex pair file")
            << batch << QByteArray("\"2F0074006D007\",\"\"\r\n") << false << true << 1
            << u"Invalid hexa string in the parameters file %1"_s;
        QTest::newRow("no pair") << batch << QByteArray() << false << true << 0 << QString();
        QTest::newRow("no archiver")
            << batch << QByteArray("chained") << false << false << 1
            << u"Torvanelo - 1.0b: WinRar not installed Command \"rar\" looked for in "_s;
    }
    void endsAtStart() {
        QFETCH(QByteArray, configuration);
        QFETCH(QByteArray, pairFile);
        QFETCH(bool, secondCopy);
        QFETCH(bool, withArchiver);
        QFETCH(int, status);
        QFETCH(QString, message);
        ProgramFolder first;
        ProgramFolder site;
        const QString ini = pathIn(site.home, u"Torvanelo.ini"_s);
        const QString pairs = pathIn(site.home, u"Torvanelo.w"_s);
        QVERIFY(pairFile == "chained" ? site.writeSettings(configuration)
                                      : writeFile(ini, "[Configuration]\r\n" + configuration)
                                            && (pairFile.isEmpty() || writeFile(pairs, pairFile)));
        if (!withArchiver) {
            // Copied alone into its folder, the program finds no archiver.
            site.program = pathIn(site.home, u"torvanelo"_s);
            QVERIFY(QFile::copy(buildDir() + u"/torvanelo"_s, site.program));
        }
        const Original dropped{"dropped", "data", {{"user.a", "1"}}};
        QVERIFY(plant(site.in, dropped));
        const QStringList names = entryNames(site.home);
        const auto settings = readFile(ini);
        const auto pairList = readFile(pairs);
        QProcess running;
        QProcessEnvironment session;
        if (secondCopy) {
            first.start(running);
            // The first copy holds its lock once its lock file is there.
            while (running.state() != QProcess::NotRunning
                   && QDir(first.runtime).entryList({u"torvanelo-*.lock"_s}).isEmpty())
                running.waitForFinished(5);
            session.insert(u"XDG_RUNTIME_DIR"_s, first.runtime);
        }
        const auto errors = site.run(status, session);
        QVERIFY2(errors && errors->contains(message.replace(u"%1"_s, pairs)),
                 qPrintable(errors.value_or(QString())));
        QCOMPARE(entryNames(site.home), names);
        QCOMPARE(readFile(ini), settings);
        QCOMPARE(readFile(pairs), pairList);
        QCOMPARE(checkIntact(site.in, dropped, false), QString());
        QCOMPARE(entryNames(site.middle) + entryNames(site.out), QStringList());
        QCOMPARE(running.state(), secondCopy ? QProcess::Running : QProcess::NotRunning);
        running.kill();
        running.waitForFinished(-1);
    }
};

TORVANELO_TEST(ProgramRunTest);
#include "ProgramRunTest.moc"
