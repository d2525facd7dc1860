#include "ProcessingController.h"

#include "ArchiveCounter.h"
#include "EngineTestFiles.h"
#include "FakeClock.h"
#include "FakeServiceControl.h"
#include "FolderPair.h"
#include "RecordingProcessRunner.h"
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
#include <utility>

using namespace torvanelo;
using namespace torvanelo::test;

namespace {

// A program folder with its settings, real folders for the pairs, and the
// controller over them; the window, the clock and the service are fakes, and
// so is the archiver unless the real one is asked for.
struct Rig {
    bool realArchiver;
    QTemporaryDir home;
    LinuxFileSystem files;
    SettingsStore store{home.path()};
    SettingsArchiveCounter counter{store};
    RecordingProcessRunner fakeRunner;
    LinuxProcessRunner realRunner;
    FakeClock clock{QDateTime(QDate(2001, 5, 12), QTime(14, 2, 0))};
    FakeServiceControl service;
    RecordingProcessingView view;
    std::vector<FolderPair> pairs;
    ProcessingController controller{
        store.settings(), pairs,
        EngineServices{files, realArchiver ? static_cast<ProcessRunner&>(realRunner) : fakeRunner,
                       counter, clock, service},
        view, view};
    QSignalSpy passes{&controller, &ProcessingController::passFinished};

    explicit Rig(bool real = false)
        : realArchiver(real) {
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
    FolderPair& addPair(const QString& name, const QString& interval = QStringLiteral("1"),
                        const QString& mode = QStringLiteral("1")) {
        FolderPair pair = newFolderPair(folder(name + QStringLiteral("/in")));
        pair.Target = folder(name + QStringLiteral("/out"));
        pair.Mode = mode;
        pair.IntervalCount = pair.PassesLeft = interval;
        pairs.push_back(pair);
        return pairs.back();
    }

    static bool drop(const QString& folder, const QString& name) {
        return writeFile(folder + u'/' + name, name.toUtf8());
    }
    static qsizetype filesIn(const QString& folder) {
        return QDir(folder).entryList(QDir::Files).size();
    }

    // Ticks until the next pass has run.
    bool tickToNextPass() {
        const qsizetype before = passes.size();
        for (int tick = 0; tick < 10000 && passes.size() == before; ++tick)
            controller.Timer1_Timer();
        return passes.size() == before + 1;
    }

    QByteArray journal(const char* day) const {
        return readFile(home.path()
                        + QStringLiteral("/Log Torvanelo %1.htm").arg(QLatin1String(day)))
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
    // Start runs a pass at once and shows the running look in the user's
    // language; with no pair it does nothing.
    void startRunsAPassAtOnce_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("tooltip");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("waitTip");
        QTest::newRow("english") << LanguageEnglish << QStringLiteral("Stop processing")
                                 << QStringLiteral("&Stop processing")
                                 << QStringLiteral("Torvanelo 1.0b - Wait");
        QTest::newRow("french") << LanguageFrench << QStringLiteral("Arrêter le traitement")
                                << QStringLiteral("&Arrêter le traitement")
                                << QStringLiteral("Torvanelo 1.0b - Attente");
    }
    void startRunsAPassAtOnce() {
        QFETCH(int, language);
        Rig rig;
        rig.controller.cmdMiroir_Click();
        QVERIFY(rig.controller.ProcessingStopped());
        QVERIFY(rig.passes.isEmpty() && rig.view.controls.empty());

        rig.store.setLanguage(qint16(language));
        const FolderPair& pair = rig.addPair(QStringLiteral("a"));
        QVERIFY(Rig::drop(pair.Source, QStringLiteral("a.txt")));
        rig.controller.cmdMiroir_Click();

        QCOMPARE(rig.passes.size(), 1);
        QVERIFY(QFile::exists(pair.Target + QStringLiteral("/a.txt")));
        QVERIFY(!rig.controller.ProcessingStopped() && rig.view.timerEnabled);
        QCOMPARE(rig.view.picture, StartStopPicture::Stop);
        QTEST(rig.view.tooltip, "tooltip");
        QTEST(rig.view.menuCaption, "caption");
        QTEST(rig.view.trayTips.last(), "waitTip");
        QCOMPARE(rig.view.controls.size(), std::size_t(11));
        for (const auto& [control, enabled] : rig.view.controls)
            QVERIFY(!enabled);
        QVERIFY(rig.view.tempoHistory.contains(QStringLiteral("1/1")));
        if (language == LanguageEnglish)
            QCOMPARE(rig.view.message,
                     QStringLiteral("Saturday, May 12, 2001 - 14:02:00; 1 file in 1 source folder "
                                    "(0 invalid source folder; 0 invalid target folder)\r\n"
                                    "Compressed files: 0, Uncompressed files: 1; elapsed time "
                                    "0.00 s"));
    }

    void countsDownFromTheDelayAndRefreshesTheFolderLists() {
        Rig rig;
        rig.store.setDefaultDelay(3);
        const FolderPair pair = rig.addPair(QStringLiteral("a"));
        rig.controller.cmdMiroir_Click();
        QVERIFY(rig.view.refreshes.isEmpty());
        const QList<std::pair<QString, int>> expected = {{QStringLiteral("3 s"), 0},
                                                         {QStringLiteral("2 s"), 1},
                                                         {QStringLiteral("1 s"), 2},
                                                         {QStringLiteral("3 s"), 0},
                                                         {QStringLiteral("2 s"), 1}};
        for (int tick = 0; tick < expected.size(); ++tick) {
            rig.controller.Timer1_Timer();
            QCOMPARE(rig.view.tempo, expected[tick].first);
            QCOMPARE(rig.view.waitProgress, expected[tick].second);
            QCOMPARE(rig.passes.size(), tick < 3 ? 1 : 2);
        }
        // Shown folder lists are refreshed after a pass, the target's too
        // when files went there.
        rig.store.setShowFolderFiles(true);
        QVERIFY(Rig::drop(pair.Source, QStringLiteral("x")));
        QVERIFY(rig.tickToNextPass() && rig.tickToNextPass());
        QCOMPARE(rig.view.refreshes, (QList<bool>{true, false}));
    }

    void runsEachPairAtItsInterval_data() {
        QTest::addColumn<QString>("interval");
        QTest::addColumn<QList<int>>("scannedAt");
        QTest::newRow("3: passes 1, 4, 7") << QStringLiteral("3") << QList<int>{1, 4, 7};
        QTest::newRow("2") << QStringLiteral("2") << QList<int>{1, 3, 5, 7};
        QTest::newRow("0: every pass") << QStringLiteral("0") << QList<int>{1, 2, 3, 4, 5, 6, 7};
        QTest::newRow("empty: every pass") << QString() << QList<int>{1, 2, 3, 4, 5, 6, 7};
        QTest::newRow("unreadable: every pass")
            << QStringLiteral("abc") << QList<int>{1, 2, 3, 4, 5, 6, 7};
    }
    void runsEachPairAtItsInterval() {
        QFETCH(QString, interval);
        Rig rig;
        rig.store.setDefaultDelay(1);
        const QString source = rig.addPair(QStringLiteral("a"), interval).Source;
        const QString everyPassSource = rig.addPair(QStringLiteral("b")).Source;
        QList<int> scanned;
        for (int pass = 1; pass <= 7; ++pass) {
            const QString name = QStringLiteral("p%1").arg(pass);
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
    // first, on screen and in the journal; neither kind of pair uses up
    // its interval.
    void checksTheFoldersOfEveryPair() {
        Rig rig;
        rig.store.setWarnOnScreen(true);
        rig.store.setLogEnabled(true);
        FolderPair& disabled = rig.addPair(QStringLiteral("a"), QStringLiteral("3"));
        disabled.Enabled = QStringLiteral("0");
        disabled.PassesLeft = QStringLiteral("2");
        QVERIFY(Rig::drop(disabled.Source, QStringLiteral("x")));
        FolderPair noSource = newFolderPair(QString());
        noSource.Target = rig.home.filePath(QStringLiteral("missing target"));
        FolderPair noTarget = newFolderPair(rig.home.filePath(QStringLiteral("missing source")));
        FolderPair gone = newFolderPair(rig.home.filePath(QStringLiteral("gone/in")));
        gone.Target = rig.home.filePath(QStringLiteral("gone/out"));
        gone.PassesLeft = QStringLiteral("5");
        FolderPair targetOnly = newFolderPair(rig.folder(QStringLiteral("here")));
        targetOnly.Target = rig.home.filePath(QStringLiteral("gone/out2"));
        rig.pairs.insert(rig.pairs.end(), {noSource, noTarget, gone, targetOnly});

        rig.controller.cmdMiroir_Click();

        const PassCounts& counts = rig.controller.lastPassCounts();
        QCOMPARE(counts.SourceFolders, 3);
        QCOMPARE(counts.InvalidSources, 2);
        QCOMPARE(counts.InvalidTargets, 3);
        QCOMPARE(counts.FilesHandled, 0);
        QVERIFY(QFile::exists(rig.pairs[0].Source + QStringLiteral("/x")));
        QCOMPARE(rig.pairs[0].PassesLeft, QStringLiteral("2"));
        QCOMPARE(rig.pairs[3].PassesLeft, QStringLiteral("5"));
        QCOMPARE(rig.view.warnings,
                 (QStringList{QStringLiteral("14:02:00 - Unknown source folder"),
                              QStringLiteral("14:02:00 - Unknown target folder"),
                              QStringLiteral("14:02:00 - Unknown target folder")}));
        const QByteArray gonePath = rig.home.filePath(QStringLiteral("gone")).toUtf8();
        QVERIFY(rig.journal("2001-05-12")
                    .endsWith("14:02:00 - Unknown source folder: " + gonePath
                              + "/in/<br>\r\n14:02:00 - Unknown target folder: " + gonePath
                              + "/out/<br>\r\n14:02:00 - Unknown target folder: " + gonePath
                              + "/out2/<br>\r\n"));
    }

    // Stop is taken at the next turn of the window: the entry in hand is
    // finished, the rest waits, and the stopped look comes back.
    void stopDuringAPassEndsAfterTheEntryInHand() {
        Rig rig;
        const FolderPair first = rig.addPair(QStringLiteral("a"));
        const FolderPair second = rig.addPair(QStringLiteral("b"));
        for (int i = 0; i < 5; ++i)
            QVERIFY(Rig::drop(first.Source, QStringLiteral("f%1").arg(i)));
        QVERIFY(Rig::drop(second.Source, QStringLiteral("g")));
        bool stopped = false;
        rig.view.onProcessEvents = [&] {
            if (!std::exchange(stopped, true))
                rig.controller.cmdMiroir_Click();
        };

        rig.controller.cmdMiroir_Click();

        QCOMPARE(rig.passes.size(), 1);
        QVERIFY(rig.controller.ProcessingStopped() && !rig.view.timerEnabled);
        QCOMPARE(Rig::filesIn(first.Target), 1);
        QCOMPARE(Rig::filesIn(first.Source), 4);
        QCOMPARE(Rig::filesIn(second.Source), 1);
        QCOMPARE(rig.controller.lastPassCounts().FilesHandled, 1);
        QCOMPARE(rig.view.picture, StartStopPicture::Start);
        QCOMPARE(rig.view.menuCaption, QStringLiteral("&Start compress/uncompress operations"));
        QVERIFY(rig.view.message.contains(QStringLiteral("Uncompressed files: 1;")));
        for (const auto& [control, enabled] : rig.view.controls)
            QVERIFY(enabled);
        // A tick that was already queued changes nothing.
        rig.controller.Timer1_Timer();
        QCOMPARE(rig.passes.size(), 1);
        QCOMPARE(rig.view.tempo, QString());
    }

    // A start given while a stopped pass is still ending is refused (a
    // second pass would run inside the first); once it has ended, start works.
    void aStartWhileAStoppedPassEndsIsRefused() {
        Rig rig;
        const FolderPair pair = rig.addPair(QStringLiteral("a"));
        for (int i = 0; i < 3; ++i)
            QVERIFY(Rig::drop(pair.Source, QStringLiteral("f%1").arg(i)));
        int turn = 0;
        rig.view.onProcessEvents = [&] {
            if (++turn == 1) {
                rig.controller.cmdMiroir_Click();
                rig.controller.cmdMiroir_Click();
            }
        };
        rig.controller.cmdMiroir_Click();
        QCOMPARE(rig.passes.size(), 1);
        QVERIFY(rig.controller.ProcessingStopped());
        QCOMPARE(rig.controller.lastPassCounts().FilesHandled, 1);

        rig.view.onProcessEvents = nullptr;
        rig.controller.cmdMiroir_Click();
        QCOMPARE(rig.passes.size(), 2);
        QCOMPARE(Rig::filesIn(pair.Source), 0);
    }

    // While the service runs, Quit stays off: the program is the service.
    void theStopCommandKeepsQuitForTheRunningService_data() {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<bool>("running");
        QTest::newRow("no service") << false << false;
        QTest::newRow("installed, stopped") << true << false;
        QTest::newRow("installed and running") << true << true;
    }
    void theStopCommandKeepsQuitForTheRunningService() {
        QFETCH(bool, installed);
        QFETCH(bool, running);
        Rig rig;
        rig.service.installed = installed;
        rig.service.running = running;
        rig.addPair(QStringLiteral("a"));
        rig.controller.cmdMiroir_Click();
        rig.controller.cmdMiroir_Click();
        QVERIFY(rig.controller.ProcessingStopped());
        QCOMPARE(rig.view.controls[WindowControl::mnuQuitter], !running);
        QVERIFY(rig.view.controls[WindowControl::mnuService]);
        QCOMPARE(rig.view.trayTips.last(), QStringLiteral("Torvanelo 1.0b"));
        QCOMPARE(rig.controller.SecondsToNextPass(), 10);
    }

    // A pass is journalled in the journal of the day it started; a pass that
    // did nothing shows its summary but journals nothing.
    void aPassAcrossMidnightStaysInItsDaysJournal() {
        Rig rig;
        rig.store.setLogEnabled(true);
        rig.clock.set(QDateTime(QDate(2001, 5, 12), QTime(23, 59, 59)));
        rig.view.onProcessEvents = [&] { rig.clock.advanceMilliseconds(1250); };
        QVERIFY(Rig::drop(rig.addPair(QStringLiteral("a")).Source, QStringLiteral("x")));
        rig.controller.cmdMiroir_Click();

        const QString summary =
            QStringLiteral("Sunday, May 13, 2001 - 00:00:01; 1 file in 1 source folder "
                           "(0 invalid source folder; 0 invalid target folder)%1"
                           "Compressed files: 0, Uncompressed files: 1; elapsed time 2.50 s");
        QCOMPARE(rig.view.message, summary.arg(QStringLiteral("\r\n")));
        const QByteArray journal = rig.journal("2001-05-12");
        QVERIFY(journal.endsWith("<center><h3>Saturday, May 12, 2001</h3></center>\r\n"
                                 + summary.arg(QStringLiteral("<br>")).toUtf8() + "<br><hr>\r\n"));
        QVERIFY(!QFile::exists(rig.home.filePath(QStringLiteral("Log Torvanelo 2001-05-13.htm"))));

        rig.store.setDefaultDelay(1);
        QVERIFY(rig.tickToNextPass());
        QVERIFY(rig.view.message.contains(QStringLiteral("0 file in 1 source folder")));
        QVERIFY(rig.journal("2001-05-13")
                    .endsWith("<center><h3>Sunday, May 13, 2001</h3></center>\r\n"));
        QCOMPARE(rig.journal("2001-05-12"), journal);
    }

    // The counter holds a number until saved, reads the file again when
    // nothing is held (an edit between passes counts), and keeps a number
    // the file refused, to save it later.
    void theCounterHoldsANumberUntilSaved() {
        QTemporaryDir home;
        SettingsStore store(home.path());
        QVERIFY(store.writeLastFileNumber(41));
        SettingsArchiveCounter counter(store);
        QCOMPARE(counter.readLastFileNumber(), 41);
        QVERIFY(counter.writeLastFileNumber(42));
        QCOMPARE(counter.readLastFileNumber(), 42);
        QCOMPARE(store.readLastFileNumber(), 41);
        const QString ini = store.settings().ParametersFile;
        QVERIFY(QFile::rename(ini, ini + QStringLiteral(".away")) && QDir().mkdir(ini));
        QVERIFY(!counter.save());
        QCOMPARE(counter.readLastFileNumber(), 42);
        QVERIFY(QDir().rmdir(ini) && QFile::rename(ini + QStringLiteral(".away"), ini));
        QVERIFY(counter.save());
        QCOMPARE(store.readLastFileNumber(), 42);
        QVERIFY(store.writeLastFileNumber(500));
        QVERIFY(counter.save());
        QCOMPARE(counter.readLastFileNumber(), 500);
        QCOMPARE(store.readLastFileNumber(), 500);
    }

    // With the real archiver: the parameters file is replaced once at the
    // end of a pass, not once per file; when TORVANELO_COSTS names a file,
    // each pass adds its cost line there.
    void aPassSavesTheCounterOnceAndReportsItsCosts() {
        qputenv("TORVANELO_HOME", buildDir().toLocal8Bit());
        QTemporaryDir reports;
        const QString report = reports.filePath(QStringLiteral("costs"));
        qputenv("TORVANELO_COSTS", report.toLocal8Bit());
        Rig rig(true);
        qunsetenv("TORVANELO_COSTS");
        QVERIFY(rig.store.writeLastFileNumber(10));
        const FolderPair pair =
            rig.addPair(QStringLiteral("a"), QStringLiteral("1"), QStringLiteral("0"));
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
        QVERIFY(before && seen == std::set<ino_t>{*before});
        rig.view.onProcessEvents = nullptr;
        rig.controller.RunPass();
        QCOMPARE(rig.store.readLastFileNumber(), 13);
        QCOMPARE(entryNames(pair.Target),
                 (QStringList{QStringLiteral("RA000011.rar"), QStringLiteral("RA000012.rar"),
                              QStringLiteral("RA000013.rar")}));
        const QList<QByteArray> lines =
            readFile(report).value_or(QByteArray()).trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        auto first = fieldsOf(lines[0]);
        QCOMPARE(first.size(), std::size_t(10));
        QCOMPARE(first["handled"], QByteArray("3"));
        QCOMPARE(first["compressed"], QByteArray("3"));
        QCOMPARE(first["archiver_runs"], QByteArray("3"));
        QVERIFY(first["pass_ms"].toDouble() >= first["archiver_ms"].toDouble());
        QCOMPARE(fieldsOf(lines[1])["handled"], QByteArray("0"));
    }
};

TORVANELO_TEST(ProcessingControllerTest);
#include "ProcessingControllerTest.moc"
