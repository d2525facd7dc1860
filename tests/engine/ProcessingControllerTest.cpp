#include "ProcessingController.h"

#include "ArchiveCounter.h"
#include "FakeClock.h"
#include "FakeServiceControl.h"
#include "FolderPair.h"
#include "RecordingProcessRunner.h"
#include "RecordingProcessingView.h"
#include "SettingsStore.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "Texts.h"
#include "linux/LinuxFileSystem.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace torvanelo;
using namespace torvanelo::test;

namespace {

// A program folder with its settings, real folders for the pairs, and the
// controller over them; the window, the clock and the service are fakes.
struct Rig {
    QTemporaryDir home;
    LinuxFileSystem files;
    SettingsStore store{home.path()};
    SettingsArchiveCounter counter{store};
    RecordingProcessRunner runner;
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
        const QString path = home.filePath(name);
        QDir().mkpath(path);
        return path;
    }

    // A pair that moves every file of its source folder through to its
    // target folder (an uncompressing pair meets no archive here).
    FolderPair& addPair(const QString& name, const QString& interval = QStringLiteral("1")) {
        FolderPair pair = newFolderPair(folder(name + QStringLiteral("/in")));
        pair.Target = folder(name + QStringLiteral("/out"));
        pair.Mode = QStringLiteral("1");
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
};

} // namespace

class ProcessingControllerTest : public QObject {
    Q_OBJECT

private slots:
    void startWithAnEmptyListDoesNothing() {
        Rig rig;
        rig.controller.cmdMiroir_Click();
        QVERIFY(rig.controller.ProcessingStopped());
        QCOMPARE(rig.passes.size(), 0);
        QCOMPARE(rig.view.lookChanges, 0);
        QVERIFY(!rig.view.timerEnabled);
        QVERIFY(rig.view.controls.empty());
        QVERIFY(rig.view.trayTips.isEmpty());
    }

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
        QFETCH(QString, tooltip);
        QFETCH(QString, caption);
        QFETCH(QString, waitTip);
        Rig rig;
        rig.store.setLanguage(qint16(language));
        const FolderPair& pair = rig.addPair(QStringLiteral("a"));
        QVERIFY(Rig::drop(pair.Source, QStringLiteral("a.txt")));

        rig.controller.cmdMiroir_Click();

        QCOMPARE(rig.passes.size(), 1);
        QVERIFY(QFile::exists(pair.Target + QStringLiteral("/a.txt")));
        QVERIFY(!rig.controller.ProcessingStopped());
        QVERIFY(!rig.controller.StartingPass());
        QVERIFY(rig.view.timerEnabled);
        QCOMPARE(rig.view.picture, StartStopPicture::Stop);
        QCOMPARE(rig.view.tooltip, tooltip);
        QCOMPARE(rig.view.menuCaption, caption);
        QCOMPARE(rig.view.controls.size(), std::size_t(11));
        for (const auto& [control, enabled] : rig.view.controls)
            QVERIFY(!enabled);
        QCOMPARE(rig.view.trayTips.last(), waitTip);
        QVERIFY(rig.view.tempoHistory.contains(QStringLiteral("1/1")));
        QCOMPARE(rig.view.tempo, QString());
        QCOMPARE(rig.view.copyMaximum, 1);
        QCOMPARE(rig.view.copyProgress, 0);
        QCOMPARE(rig.controller.lastPassCounts().FilesHandled, 1);
        QCOMPARE(rig.controller.lastPassCounts().FilesUncompressed, 1);
        if (language == LanguageEnglish) {
            QCOMPARE(rig.view.message,
                     QStringLiteral("Saturday, May 12, 2001 - 14:02:00; 1 file in 1 source folder "
                                    "(0 invalid source folder; 0 invalid target folder)\r\n"
                                    "Compressed files: 0, Uncompressed files: 1; elapsed time "
                                    "0.00 s"));
        }
    }

    void countsDownFromTheDelay() {
        Rig rig;
        rig.store.setDefaultDelay(3);
        rig.addPair(QStringLiteral("a"));
        rig.controller.cmdMiroir_Click();
        QCOMPARE(rig.passes.size(), 1);

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
        QVERIFY(rig.view.timerEnabled);
    }

    void runsEachPairAtItsInterval_data() {
        QTest::addColumn<QString>("interval");
        QTest::addColumn<QList<int>>("scannedAt");
        QTest::newRow("3: passes 1, 4, 7") << QStringLiteral("3") << QList<int>{1, 4, 7};
        QTest::newRow("2") << QStringLiteral("2") << QList<int>{1, 3, 5, 7};
        QTest::newRow("1: every pass") << QStringLiteral("1") << QList<int>{1, 2, 3, 4, 5, 6, 7};
        QTest::newRow("0: every pass") << QStringLiteral("0") << QList<int>{1, 2, 3, 4, 5, 6, 7};
        QTest::newRow("empty: every pass") << QString() << QList<int>{1, 2, 3, 4, 5, 6, 7};
        QTest::newRow("unreadable: every pass")
            << QStringLiteral("abc") << QList<int>{1, 2, 3, 4, 5, 6, 7};
    }
    void runsEachPairAtItsInterval() {
        QFETCH(QString, interval);
        QFETCH(QList<int>, scannedAt);
        Rig rig;
        rig.store.setDefaultDelay(1);
        const QString source = rig.addPair(QStringLiteral("a"), interval).Source;
        const QString everyPassSource = rig.addPair(QStringLiteral("b")).Source;

        QList<int> scanned;
        for (int pass = 1; pass <= 7; ++pass) {
            const QString name = QStringLiteral("p%1").arg(pass);
            QVERIFY(Rig::drop(source, name));
            QVERIFY(Rig::drop(everyPassSource, name));
            if (pass == 1)
                rig.controller.cmdMiroir_Click();
            else
                QVERIFY(rig.tickToNextPass());
            if (!QFile::exists(source + u'/' + name))
                scanned << pass;
            QVERIFY(!QFile::exists(everyPassSource + u'/' + name));
        }
        QCOMPARE(scanned, scannedAt);
    }

    void aDisabledPairIsCountedButNotScanned() {
        Rig rig;
        FolderPair& pair = rig.addPair(QStringLiteral("a"), QStringLiteral("3"));
        pair.Enabled = QStringLiteral("0");
        pair.PassesLeft = QStringLiteral("2");
        QVERIFY(Rig::drop(pair.Source, QStringLiteral("x")));
        rig.controller.cmdMiroir_Click();
        const PassCounts& counts = rig.controller.lastPassCounts();
        QCOMPARE(counts.SourceFolders, 1);
        QCOMPARE(counts.InvalidSources, 0);
        QCOMPARE(counts.InvalidTargets, 0);
        QCOMPARE(counts.FilesHandled, 0);
        QVERIFY(QFile::exists(pair.Source + QStringLiteral("/x")));
        QCOMPARE(rig.pairs[0].PassesLeft, QStringLiteral("2"));
    }

    void anEmptyFolderFieldIsInvalidWithoutWarning() {
        Rig rig;
        rig.store.setWarnOnScreen(true);
        rig.store.setWarnBeep(true);
        FolderPair noSource = newFolderPair(QString());
        noSource.Target = rig.home.filePath(QStringLiteral("missing target"));
        FolderPair noTarget = newFolderPair(rig.home.filePath(QStringLiteral("missing source")));
        rig.pairs = {noSource, noTarget};
        rig.controller.cmdMiroir_Click();
        const PassCounts& counts = rig.controller.lastPassCounts();
        QCOMPARE(counts.InvalidSources, 1);
        QCOMPARE(counts.InvalidTargets, 1);
        QCOMPARE(counts.SourceFolders, 0);
        QVERIFY(rig.view.warnings.isEmpty());
        QCOMPARE(rig.view.beeps, 0);
    }

    void missingFoldersWarnSourceFirst() {
        Rig rig;
        rig.store.setWarnOnScreen(true);
        rig.store.setLogEnabled(true);
        FolderPair pair = newFolderPair(rig.home.filePath(QStringLiteral("gone/in")));
        pair.Target = rig.home.filePath(QStringLiteral("gone/out"));
        pair.PassesLeft = QStringLiteral("5");
        FolderPair targetOnly = newFolderPair(rig.folder(QStringLiteral("here")));
        targetOnly.Target = rig.home.filePath(QStringLiteral("gone/out2"));
        rig.pairs = {pair, targetOnly};

        rig.controller.cmdMiroir_Click();

        const PassCounts& counts = rig.controller.lastPassCounts();
        QCOMPARE(counts.SourceFolders, 2);
        QCOMPARE(counts.InvalidSources, 1);
        QCOMPARE(counts.InvalidTargets, 2);
        QCOMPARE(rig.view.warnings,
                 (QStringList{QStringLiteral("14:02:00 - Unknown source folder"),
                              QStringLiteral("14:02:00 - Unknown target folder"),
                              QStringLiteral("14:02:00 - Unknown target folder")}));
        const auto journal =
            readFile(rig.home.path() + QStringLiteral("/Log Torvanelo 2001-05-12.htm"));
        QVERIFY(journal.has_value());
        const QByteArray gone = rig.home.filePath(QStringLiteral("gone")).toUtf8();
        QVERIFY(journal->endsWith("14:02:00 - Unknown source folder: " + gone
                                  + "/in/<br>\r\n"
                                    "14:02:00 - Unknown target folder: "
                                  + gone
                                  + "/out/<br>\r\n"
                                    "14:02:00 - Unknown target folder: "
                                  + gone + "/out2/<br>\r\n"));
        QCOMPARE(rig.pairs[0].PassesLeft, QStringLiteral("5"));
    }

    void stopDuringAPassEndsAfterTheEntryInHand() {
        Rig rig;
        const FolderPair first = rig.addPair(QStringLiteral("a"));
        const FolderPair second = rig.addPair(QStringLiteral("b"));
        for (int i = 0; i < 5; ++i)
            QVERIFY(Rig::drop(first.Source, QStringLiteral("f%1").arg(i)));
        QVERIFY(Rig::drop(second.Source, QStringLiteral("g")));
        bool stopped = false;
        rig.view.onProcessEvents = [&] {
            if (!stopped) {
                stopped = true;
                rig.controller.cmdMiroir_Click();
            }
        };

        rig.controller.cmdMiroir_Click();

        QCOMPARE(rig.passes.size(), 1);
        QVERIFY(rig.controller.ProcessingStopped());
        QCOMPARE(QDir(first.Target).entryList(QDir::Files).size(), 1);
        QCOMPARE(QDir(first.Source).entryList(QDir::Files).size(), 4);
        QVERIFY(QFile::exists(second.Source + QStringLiteral("/g")));
        QCOMPARE(rig.controller.lastPassCounts().FilesHandled, 1);
        QVERIFY(!rig.view.timerEnabled);
        QCOMPARE(rig.view.picture, StartStopPicture::Start);
        QCOMPARE(rig.view.tooltip, QStringLiteral("Start compress/uncompress operations"));
        QCOMPARE(rig.view.menuCaption, QStringLiteral("&Start compress/uncompress operations"));
        QVERIFY(rig.view.message.contains(QStringLiteral("Uncompressed files: 1;")));
        for (const auto& [control, enabled] : rig.view.controls)
            QVERIFY(enabled);
        QCOMPARE(rig.view.restores, 1);

        // A tick that was already queued changes nothing.
        rig.controller.Timer1_Timer();
        QCOMPARE(rig.passes.size(), 1);
        QCOMPARE(rig.view.tempo, QString());
    }

    void aStartWhileAStoppedPassEndsIsRefused() {
        Rig rig;
        const FolderPair pair = rig.addPair(QStringLiteral("a"));
        for (int i = 0; i < 3; ++i)
            QVERIFY(Rig::drop(pair.Source, QStringLiteral("f%1").arg(i)));
        int turn = 0;
        rig.view.onProcessEvents = [&] {
            if (++turn == 1) {
                rig.controller.cmdMiroir_Click(); // stop
                rig.controller.cmdMiroir_Click(); // start again at once
            }
        };
        rig.controller.cmdMiroir_Click();
        QCOMPARE(rig.passes.size(), 1);
        QVERIFY(rig.controller.ProcessingStopped());
        QCOMPARE(rig.controller.lastPassCounts().FilesHandled, 1);

        // Once the pass has ended, start works again.
        rig.view.onProcessEvents = nullptr;
        rig.controller.cmdMiroir_Click();
        QCOMPARE(rig.passes.size(), 2);
        QVERIFY(!rig.controller.ProcessingStopped());
        QCOMPARE(QDir(pair.Source).entryList(QDir::Files).size(), 0);
    }

    void theStopCommandKeepsQuitForTheRunningService_data() {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<bool>("running");
        QTest::addColumn<bool>("quit");
        QTest::newRow("no service") << false << false << true;
        QTest::newRow("installed, stopped") << true << false << true;
        QTest::newRow("installed and running") << true << true << false;
    }
    void theStopCommandKeepsQuitForTheRunningService() {
        QFETCH(bool, installed);
        QFETCH(bool, running);
        QFETCH(bool, quit);
        Rig rig;
        rig.service.installed = installed;
        rig.service.running = running;
        rig.addPair(QStringLiteral("a"));
        rig.controller.cmdMiroir_Click();
        rig.controller.cmdMiroir_Click();
        QVERIFY(rig.controller.ProcessingStopped());
        QCOMPARE(rig.view.controls[WindowControl::mnuQuitter], quit);
        QVERIFY(rig.view.controls[WindowControl::mnuService]);
        QVERIFY(rig.view.controls[WindowControl::mnuTempo]);
        QCOMPARE(rig.view.trayTips.last(), QStringLiteral("Torvanelo 1.0b"));
        QCOMPARE(rig.controller.SecondsToNextPass(), 10);
    }

    void stopAfterFirstPassEndsTheProgram() {
        Rig rig;
        rig.store.setStopAfterFirstPass(true);
        rig.addPair(QStringLiteral("a"));
        int turnsAtEnd = -1;
        QObject::connect(&rig.controller, &ProcessingController::passFinished, &rig.controller,
                         [&] { turnsAtEnd = rig.view.turns; });
        rig.controller.cmdMiroir_Click();
        QCOMPARE(rig.view.programEnds, 1);
        // One more turn for the window before the end.
        QCOMPARE(rig.view.turns, turnsAtEnd + 1);
    }

    void givesPerformanceTurnsPerEntryAndPair() {
        Rig rig;
        rig.store.setPerformance(3);
        const FolderPair pair = rig.addPair(QStringLiteral("a"));
        QVERIFY(Rig::drop(pair.Source, QStringLiteral("one")));
        QVERIFY(Rig::drop(pair.Source, QStringLiteral("two")));
        QVERIFY(QDir().mkdir(pair.Source + QStringLiteral("/sub")));
        rig.controller.cmdMiroir_Click();
        // Three entries and one pair, three turns each.
        QCOMPARE(rig.view.turns, 12);
    }

    void aPassAcrossMidnightStaysInItsDaysJournal() {
        Rig rig;
        rig.store.setLogEnabled(true);
        rig.clock.set(QDateTime(QDate(2001, 5, 12), QTime(23, 59, 59)));
        rig.view.onProcessEvents = [&] { rig.clock.advanceMilliseconds(1250); };
        const FolderPair pair = rig.addPair(QStringLiteral("a"));
        QVERIFY(Rig::drop(pair.Source, QStringLiteral("x")));

        rig.controller.cmdMiroir_Click();

        QCOMPARE(rig.view.message,
                 QStringLiteral("Sunday, May 13, 2001 - 00:00:01; 1 file in 1 source folder "
                                "(0 invalid source folder; 0 invalid target folder)\r\n"
                                "Compressed files: 0, Uncompressed files: 1; elapsed time 2.50 s"));
        const QString journalPath =
            rig.home.path() + QStringLiteral("/Log Torvanelo 2001-05-12.htm");
        const auto journal = readFile(journalPath);
        QVERIFY(journal.has_value());
        QVERIFY(journal->endsWith("<center><h3>Saturday, May 12, 2001</h3></center>\r\n"
                                  "Sunday, May 13, 2001 - 00:00:01; 1 file in 1 source folder "
                                  "(0 invalid source folder; 0 invalid target folder)<br>"
                                  "Compressed files: 0, Uncompressed files: 1; elapsed time 2.50 s"
                                  "<br><hr>\r\n"));
        QVERIFY(!QFile::exists(rig.home.path() + QStringLiteral("/Log Torvanelo 2001-05-13.htm")));

        // A pass that did nothing shows its summary but journals nothing: the
        // new day's journal holds its header only.
        rig.store.setDefaultDelay(1);
        QVERIFY(rig.tickToNextPass());
        QVERIFY(rig.view.message.contains(QStringLiteral("0 file in 1 source folder")));
        const auto nextDay =
            readFile(rig.home.path() + QStringLiteral("/Log Torvanelo 2001-05-13.htm"));
        QVERIFY(nextDay.has_value());
        QVERIFY(nextDay->endsWith("<center><h3>Sunday, May 13, 2001</h3></center>\r\n"));
        QCOMPARE(readFile(journalPath), journal);
    }

    void refreshesTheFolderListsAfterAPass() {
        Rig rig;
        const FolderPair pair = rig.addPair(QStringLiteral("a"));
        rig.store.setDefaultDelay(1);
        rig.controller.cmdMiroir_Click();
        QVERIFY(rig.view.refreshes.isEmpty());
        rig.store.setShowFolderFiles(true);
        QVERIFY(Rig::drop(pair.Source, QStringLiteral("x")));
        QVERIFY(rig.tickToNextPass());
        QVERIFY(rig.tickToNextPass());
        QCOMPARE(rig.view.refreshes, (QList<bool>{true, false}));
    }
};

TORVANELO_TEST(ProcessingControllerTest);
#include "ProcessingControllerTest.moc"
