#include "ProcessingController.h"

#include "ArchiveCounter.h"
#include "EngineTestFiles.h"
#include "FakeClock.h"
#include "FakeServiceControl.h"
#include "FolderPair.h"
#include "RecordingProcessingView.h"
#include "SettingsStore.h"
#include "TestRegistry.h"
#include "Texts.h"
#include "linux/LinuxProcessRunner.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <set>

using namespace torvanelo;
using namespace Qt::StringLiterals;
using namespace torvanelo::test;

namespace {

// A program folder with its settings, real folders for the pairs, and the
// controller over them, with the real archiver; the window, the clock and the
// service are fakes.
struct Rig {
    QTemporaryDir home;
    LinuxFileSystem files;
    SettingsStore store{home.path()};
    SettingsArchiveCounter counter{store};
    LinuxProcessRunner runner;
    FakeClock clock{QDateTime(QDate(2001, 5, 12), QTime(14, 2, 0))};
    FakeServiceControl service;
    RecordingProcessingView view;
    std::vector<FolderPair> pairs;
    ProcessingController controller{store.settings(), pairs,
                                    EngineServices{files, runner, counter, clock, service}, view,
                                    view};
    QSignalSpy passes{&controller, &ProcessingController::passFinished};

    Rig() {
        store.readLanguage();
        store.readRemaining();
        controller.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    QString folder(const QString& name) {
        QDir().mkpath(home.filePath(name));
        return home.filePath(name);
    }

    // A pair that moves every file of its source folder through to its
    // target folder (an uncompressing pair meets no archive here), or packs
    // them.
    FolderPair& addPair(const QString& name, const QString& interval = u"1"_s,
                        const QString& mode = u"1"_s) {
        FolderPair pair = newFolderPair(folder(name + u"/in"_s));
        pair.Target = folder(name + u"/out"_s);
        pair.Mode = mode;
        pair.IntervalCount = pair.PassesLeft = interval;
        pairs.push_back(pair);
        return pairs.back();
    }

    static bool drop(const QString& folder, const QString& name) {
        return writeFile(folder + u'/' + name, name.toUtf8());
    }

    // Ticks until the next pass has run.
    bool tickToNextPass() {
        const qsizetype before = passes.size();
        for (int tick = 0; tick < 10000 && passes.size() == before; ++tick)
            controller.Timer1_Timer();
        return passes.size() == before + 1;
    }

    QByteArray journal(const char* day) const {
        return readFile(home.path() + u"/Log Torvanelo %1.htm"_s.arg(QLatin1String(day)))
            .value_or("no journal");
    }
};

std::optional<ino_t> inodeOf(const QString& path) {
    struct stat status {};
    if (::stat(encodeFileName(path).constData(), &status) != 0)
        return std::nullopt;
    return status.st_ino;
}

// The fields of a cost report line, by name.
std::map<QByteArray, QByteArray> fieldsOf(const QByteArray& line) {
    std::map<QByteArray, QByteArray> fields;
    for (const QByteArray& field : line.split(' '))
        fields[field.left(field.indexOf('='))] = field.mid(field.indexOf('=') + 1);
    return fields;
}

} // namespace

class ProcessingControllerTest : public QObject {
    Q_OBJECT

private slots:
    void runsEachPairAtItsInterval_data() {
        QTest::addColumn<QString>("interval");
        QTest::addColumn<QList<int>>("scannedAt");
        QTest::newRow("3: passes 1, 4, 7") << u"3"_s << QList<int>{1, 4, 7};
        QTest::newRow("0: every pass") << u"0"_s << QList<int>{1, 2, 3, 4, 5, 6, 7};
        QTest::newRow("empty: every pass") << QString() << QList<int>{1, 2, 3, 4, 5, 6, 7};
        QTest::newRow("unreadable: every pass") << u"abc"_s << QList<int>{1, 2, 3, 4, 5, 6, 7};
    }
    void runsEachPairAtItsInterval() {
        QFETCH(QString, interval);
        Rig rig;
        rig.store.setDefaultDelay(1);
        const QString source = rig.addPair(u"a"_s, interval).Source;
        const QString everyPassSource = rig.addPair(u"b"_s).Source;
        QList<int> scanned;
        for (int pass = 1; pass <= 7; ++pass) {
            const QString name = u"p%1"_s.arg(pass);
            QVERIFY(Rig::drop(source, name) && Rig::drop(everyPassSource, name));
            if (pass == 1)
                rig.controller.cmdMiroir_Click();
            else
                QVERIFY(rig.tickToNextPass());
            if (!QFile::exists(source + u'/' + name))
                scanned << pass;
            QVERIFY(!QFile::exists(everyPassSource + u'/' + name));
        }
        QTEST(scanned, "scannedAt");
    }

    // A disabled pair is counted but not scanned; an empty folder field is
    // invalid without a warning; a missing folder is warned of, source
    // first; neither kind of pair uses up its interval.
    void checksTheFoldersOfEveryPair() {
        Rig rig;
        rig.store.setWarnOnScreen(true);
        rig.store.setLogEnabled(true);
        FolderPair& disabled = rig.addPair(u"a"_s, u"3"_s);
        disabled.Enabled = u"0"_s;
        disabled.PassesLeft = u"2"_s;
        QVERIFY(Rig::drop(disabled.Source, u"x"_s));
        FolderPair noSource = newFolderPair(QString());
        noSource.Target = rig.home.filePath(u"missing target"_s);
        FolderPair noTarget = newFolderPair(rig.home.filePath(u"missing source"_s));
        FolderPair gone = newFolderPair(rig.home.filePath(u"gone/in"_s));
        gone.Target = rig.home.filePath(u"gone/out"_s);
        gone.PassesLeft = u"5"_s;
        FolderPair targetOnly = newFolderPair(rig.folder(u"here"_s));
        targetOnly.Target = rig.home.filePath(u"gone/out2"_s);
        rig.pairs.insert(rig.pairs.end(), {noSource, noTarget, gone, targetOnly});

        rig.controller.cmdMiroir_Click();

        const PassCounts& counts = rig.controller.lastPassCounts();
        QCOMPARE((QList<int>{counts.SourceFolders, counts.InvalidSources, counts.InvalidTargets,
                             counts.FilesHandled}),
                 (QList<int>{3, 2, 3, 0}));
        QVERIFY(QFile::exists(rig.pairs[0].Source + u"/x"_s));
        QCOMPARE((QStringList{rig.pairs[0].PassesLeft, rig.pairs[3].PassesLeft}),
                 (QStringList{u"2"_s, u"5"_s}));
        QCOMPARE(rig.view.warnings, (QStringList{u"14:02:00 - Unknown source folder"_s,
                                                 u"14:02:00 - Unknown target folder"_s,
                                                 u"14:02:00 - Unknown target folder"_s}));
        QCOMPARE(rig.journal("2001-05-12").count(" - Unknown "), 3);
    }

    // Start runs a pass at once, in the running look of the user's language
    // (the English looks and the controls are checked on the window). Stop
    // is taken at the next turn of the window: the entry in hand is
    // finished, the rest waits, and the stopped look comes back. A start
    // given while the stopped pass ends is refused (a second pass would run
    // inside the first). While the service runs, Quit stays off after a
    // stop: the program is the service.
    void startAndStopDuringAPass() {
        Rig rig;
        rig.service.installed = true;
        rig.store.setLanguage(qint16(LanguageFrench));
        const FolderPair first = rig.addPair(u"a"_s);
        const FolderPair second = rig.addPair(u"b"_s);
        for (const char* name : {"f0", "f1", "f2", "f3", "f4"})
            QVERIFY(Rig::drop(first.Source, QString::fromLatin1(name)));
        QVERIFY(Rig::drop(second.Source, u"g"_s));
        QStringList running;
        rig.view.onProcessEvents = [&] {
            if (running.isEmpty()) {
                running = {rig.view.tempo, rig.view.tooltip, rig.view.trayTips.last()};
                rig.controller.cmdMiroir_Click();
                rig.controller.cmdMiroir_Click();
            }
        };

        rig.controller.cmdMiroir_Click();

        QCOMPARE(running, (QStringList{u"1/2"_s, u"Arrêter le traitement"_s,
                                       u"Torvanelo 1.0b - compression/décompression"_s}));
        QVERIFY(rig.passes.size() == 1 && rig.controller.lastPassCounts().FilesHandled == 1);
        QVERIFY(rig.controller.ProcessingStopped() && !rig.view.timerEnabled);
        QCOMPARE((QList<qsizetype>{entryNames(first.Target).size(), entryNames(first.Source).size(),
                                   entryNames(second.Source).size()}),
                 (QList<qsizetype>{1, 4, 1}));
        // The tray tip of a stopped program, not the waiting one of a pass.
        QCOMPARE((QStringList{rig.view.menuCaption, rig.view.trayTips.last()}),
                 (QStringList{u"&Démarrer la compression/décompression"_s, u"Torvanelo 1.0b"_s}));
        // A tick that was already queued changes nothing.
        rig.controller.Timer1_Timer();
        QVERIFY(rig.passes.size() == 1 && rig.view.tempo.isEmpty());

        rig.service.running = true;
        rig.controller.cmdMiroir_Click();
        QVERIFY(rig.passes.size() == 2 && rig.view.timerEnabled);
        QCOMPARE(rig.view.trayTips.last(), u"Torvanelo 1.0b - Attente"_s);
        QCOMPARE(entryNames(first.Source) + entryNames(second.Source), QStringList());
        rig.controller.cmdMiroir_Click();
        QVERIFY(!rig.view.controls[WindowControl::mnuQuitter]);
        QVERIFY(rig.view.controls[WindowControl::mnuService]);
        QCOMPARE(rig.view.trayTips.last(), u"Torvanelo 1.0b"_s);
        QCOMPARE(rig.controller.SecondsToNextPass(), 10);
    }

    // A pass is journalled in the journal of the day it started; a pass that
    // did nothing shows its summary but journals nothing. Shown folder lists
    // are refreshed after each pass, the target's too when files went there.
    // A language value edited to neither French nor English gives English.
    void aPassAcrossMidnightStaysInItsDaysJournal() {
        Rig rig;
        rig.store.setLanguage(7);
        rig.store.setLogEnabled(true);
        rig.store.setShowFolderFiles(true);
        rig.clock.set(QDateTime(QDate(2001, 5, 12), QTime(23, 59, 59)));
        rig.view.onProcessEvents = [&] { rig.clock.advanceMilliseconds(1250); };
        QVERIFY(Rig::drop(rig.addPair(u"a"_s).Source, u"x"_s));
        rig.controller.cmdMiroir_Click();

        const QString summary = u"Sunday, May 13, 2001 - 00:00:01; 1 file in 1 source folder "
                                "(0 invalid source folder; 0 invalid target folder)%1"
                                "Compressed files: 0, Uncompressed files: 1; elapsed time 2.50 s"_s;
        QCOMPARE(rig.view.message, summary.arg(u"\r\n"_s));
        const QByteArray journal = rig.journal("2001-05-12");
        QVERIFY(journal.endsWith("<center><h3>Saturday, May 12, 2001</h3></center>\r\n"
                                 + summary.arg(u"<br>"_s).toUtf8() + "<br><hr>\r\n"));

        rig.store.setDefaultDelay(1);
        QVERIFY(rig.tickToNextPass());
        QVERIFY(rig.view.message.contains(u"0 file in 1 source folder"_s));
        QVERIFY(rig.journal("2001-05-13")
                    .endsWith("<center><h3>Sunday, May 13, 2001</h3></center>\r\n"));
        QCOMPARE(rig.journal("2001-05-12"), journal);
        QCOMPARE(rig.view.refreshes, (QList<bool>{true, false}));
    }

    // With the real archiver: the parameters file is replaced when a run of
    // archive numbers is claimed, before the first is used, and once at the
    // end of a pass, not once per file; when TORVANELO_COSTS names a file,
    // each pass adds its cost line there, measured where the work is.
    void aPassSavesTheCounterOnceAndReportsItsCosts() {
        qputenv("TORVANELO_HOME", buildDir().toLocal8Bit());
        QTemporaryDir reports;
        const QString report = reports.filePath(u"costs"_s);
        qputenv("TORVANELO_COSTS", report.toLocal8Bit());
        Rig rig;
        qunsetenv("TORVANELO_COSTS");
        QVERIFY(rig.store.writeLastFileNumber(10));
        const FolderPair pair = rig.addPair(u"a"_s, u"1"_s, u"0"_s);
        for (const char* name : {"a", "b", "c"})
            QVERIFY(Rig::drop(pair.Source, QString::fromLatin1(name)));
        const QString ini = rig.store.settings().ParametersFile;
        const auto before = inodeOf(ini);
        std::set<ino_t> seen;
        rig.view.onProcessEvents = [&] {
            if (const auto inode = inodeOf(ini))
                seen.insert(*inode);
        };
        rig.controller.cmdMiroir_Click();
        const auto after = inodeOf(ini);
        // One file throughout the work on the files: the claim's.
        QVERIFY(before && after && seen.size() == 1);
        QVERIFY(*seen.begin() != *before && *seen.begin() != *after);
        rig.view.onProcessEvents = nullptr;
        rig.controller.RunPass();
        QCOMPARE(rig.store.readLastFileNumber(), 13);
        QCOMPARE(entryNames(pair.Target),
                 (QStringList{u"RA000011.rar"_s, u"RA000012.rar"_s, u"RA000013.rar"_s}));
        const QList<QByteArray> lines =
            readFile(report).value_or(QByteArray()).trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        auto first = fieldsOf(lines[0]);
        QCOMPARE(first.size(), std::size_t(10));
        // Per file two moves (into the data file name, the archive into the
        // target), a read, a claim and a write of the counter; one save per
        // pass.
        QCOMPARE((QByteArrayList{first["handled"], first["compressed"], first["archiver_runs"],
                                 first["moves"], first["parameter_calls"]}),
                 (QByteArrayList{"3", "3", "3", "6", "10"}));
        QVERIFY(first["pass_ms"].toDouble() >= first["archiver_ms"].toDouble());
        QCOMPARE(fieldsOf(lines[1])["handled"], QByteArray("0"));
    }
};

TORVANELO_TEST(ProcessingControllerTest);
#include "ProcessingControllerTest.moc"
