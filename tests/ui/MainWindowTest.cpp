#include "ProcessingController.h"
#include "ProgramFixture.h"
#include "ProgramFolder.h"
#include "SettingsStore.h"
#include "TestFiles.h"
#include "TestRegistry.h"

#include <QDir>
#include <QMenu>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

// Start-up in its order and what it refuses, the ways out, the main
// window's commands, the information line, and screenshots for the eye.
class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    // An empty list: the help bubbles instead of the legend, and start does
    // nothing. No Close; Quit asks first. The program writes only what the
    // user confirms, so none of it leaves a file behind.
    void emptyListThenTheWaysOut() {
        ProgramFixture f;
        QVERIFY(f.start());
        for (const char* name : {"lblBulle1", "lblBulle3", "LineBulle", "lblNbDossiers",
                                 "lblDossiersSources", "picFleche1", "frameLegende"})
            QVERIFY2(f.find<QWidget>(name)->isVisible() == QByteArray(name).contains("Bulle"),
                     name);
        f.command(u"cmdMiroir"_s);
        QVERIFY(f.program().controller().ProcessingStopped()
                && !f.find<QTimer>("Timer1")->isActive());
        QVERIFY(!f.window().close());
        f.prompts.answers = {UserPrompts::Answer::No, UserPrompts::Answer::Yes};
        f.action("mnuQuitter")->trigger();
        QVERIFY(f.window().isVisible() && f.exits.empty());
        QCOMPARE(f.shown(), QStringList{u"[question yes/no] Torvanelo: Exit program"_s});
        f.action("mnuQuitter")->trigger();
        QCOMPARE(f.exits, std::vector<int>{0});
        QVERIFY(!QFile::exists(f.path(u"Torvanelo.ini"_s)));
    }

    // Automatic start asked for, without the archiver: the window's passes
    // must not start, while pairs and settings can still be edited; the
    // service has no one to answer the message, so its passes start anyway.
    // The check runs hidden whatever the console setting.
    void missingArchiverStopsOnlyTheWindowsPasses() {
        for (const bool service : {false, true}) {
            ProgramFixture f;
            f.service.installed = f.service.running = f.service.startedAsService = service;
            f.recordingRunner.queueNotStarted();
            QVERIFY(f.start(u"[Configuration]\nAutomatique=1\nVoirConsoleRar=1\n"_s, f.pairs(1)));
            QVERIFY(f.recordingRunner.runs.size() == 1 && !f.recordingRunner.runs[0].options.show);
            // The first line as it always was; the second says where rar was
            // looked for.
            QCOMPARE(f.shown(),
                     QStringList{u"[error] Torvanelo - 1.0b: WinRar not installed\n"
                                 u"Command \"rar\" looked for in %1, %2 and then in the folders "
                                 u"of PATH\n\nTorvanelo cannot run"_s.arg(f.home(),
                                                                        executableFolder())});
            QVERIFY(f.exits.empty() && f.window().isVisible() != service);
            QCOMPARE(f.find<QTimer>("Timer1")->isActive(), service);
            QVERIFY(service ? !f.action("mnuQuitter")->isEnabled()
                            : !f.button("cmdMiroir")->isEnabled()
                                  && !f.action("mnuDemarrer")->isEnabled()
                                  && f.button("cmdAjouterDossierSource")->isEnabled());
        }
    }

    // An installed service found at start-up is removed when the user says
    // so, the automatic start switched off before it is read; else the
    // program ends: the service may still run on the same folders, and two
    // copies must never work side by side. Nothing claims a removal that did
    // not happen.
    void installedServiceIsRemovedOrTheProgramEnds() {
        for (const auto& [yes, removable, exit] :
             {std::tuple{true, true, -1}, {false, true, 0}, {true, false, 1}}) {
            ProgramFixture f;
            f.service.installed = f.service.running = true;
            f.service.uninstallResult = removable;
            f.prompts.answers.push_back(yes ? UserPrompts::Answer::Yes : UserPrompts::Answer::No);
            QCOMPARE(f.start(u"[Configuration]\nAutomatique=1\n"_s), exit < 0);
            QCOMPARE(f.exits, exit < 0 ? std::vector<int>{} : std::vector<int>{exit});
            QCOMPARE(f.stored(u"Automatique"_s), exit < 0 ? u"0"_s : u"1"_s);
            QCOMPARE(f.service.events.size(), exit < 0 ? 1u : 0u);
            QCOMPARE(f.shown().size(), removable ? 1 : 2);
        }
    }

    // The countdown runs from the delay; the tick after "1 s", given by the
    // timer itself, runs a pass over real files.
    void startAndStop() {
        ProgramFixture f(ProgramFixture::Runner::Real);
        const QString in = f.folder(u"in"_s);
        const QString out = f.folder(u"out"_s);
        QVERIFY(f.start(u"[Configuration]\nTemporisation=3\n"_s, {pairOf(in, out)}));
        ProcessingController& controller = f.program().controller();
        QPushButton* start = f.button("cmdMiroir");
        auto* wait = f.find<QProgressBar>("ProgressBarAttente");
        // With the enabled states of what the start command takes away while
        // passes run (the language, the delay, Quit, the journal settings,
        // the service, the pair editing), then of two entries it leaves.
        const auto looks = [&] {
            QString states =
                f.find<QMenu>("mnuLangue")->menuAction()->isEnabled() ? u"1"_s : u"0"_s;
            for (const char* name :
                 {"mnuTempo", "mnuQuitter", "mnuPurgeLogs", "mnuService", "cmdSupprimer",
                  "cmdModifierDossierCible", "mnuPrefixe", "mnuVoirLogs"})
                states += f.find<QObject>(name)->property("enabled").toBool() ? u'1' : u'0';
            return QStringList{start->property("picture").toString(),
                               start->toolTip(),
                               f.action("mnuDemarrer")->text(),
                               f.window().trayTip(),
                               states,
                               f.label("lblTempo")->text()};
        };
        start->click();
        QVERIFY(!controller.ProcessingStopped() && f.find<QTimer>("Timer1")->isActive());
        QCOMPARE(looks(), (QStringList{u"stop"_s, u"Stop processing"_s, u"&Stop processing"_s,
                                       u"Torvanelo 1.0b - Wait"_s, u"000000011"_s, QString()}));
        QVERIFY(f.window().messageText().contains(u"0 file in 1 source folder"_s));
        QSignalSpy passes(&controller, &ProcessingController::passFinished);
        for (const auto& [text, value] : {std::pair{u"3 s"_s, 0}, {u"2 s"_s, 1}, {u"1 s"_s, 2}}) {
            controller.Timer1_Timer();
            QVERIFY(f.label("lblTempo")->text() == text && wait->value() == value);
        }
        QVERIFY(wait->maximum() == 2 && passes.isEmpty());
        // Dropped after the first pass: only a pass started by the timer takes it.
        QVERIFY(writeFile(in + u"/Relevé été 2024.txt"_s, "des données\n"));
        f.find<QTimer>("Timer1")->setInterval(1);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out + u"/RA000001.rar"_s), 120000);
        QVERIFY(QDir(in).isEmpty());
        // The menu entry does what the button does.
        f.action("mnuDemarrer")->trigger();
        QVERIFY(controller.ProcessingStopped() && !f.find<QTimer>("Timer1")->isActive());
        QCOMPARE(looks(), (QStringList{u"start"_s, u"Start compress/uncompress operations"_s,
                                       u"&Start compress/uncompress operations"_s,
                                       u"Torvanelo 1.0b"_s, u"111111111"_s, QString()}));
    }

    // The toggles and the language: written at once, and in effect at once;
    // a control of each kind is rewritten in the new language.
    void menuChoicesAreWrittenAtOnce() {
        ProgramFixture f;
        QVERIFY(f.start(QString(), f.pairs(1)));
        const Settings& s = f.program().store().settings();
        for (const auto& [entry, key, setting] :
             {std::tuple{u"mnuAutomatique"_s, u"Automatique"_s, &s.AutoStart},
              {u"mnuArretAutomatique"_s, u"ArretAutomatique"_s, &s.StopAfterFirstPass},
              {u"mnuVoirConsoleRAR"_s, u"VoirConsoleRar"_s, &s.ShowArchiverConsole}}) {
            for (const bool on : {true, false}) {
                f.command(entry);
                QCOMPARE(f.window().findChild<QAction*>(entry)->isChecked(), on);
                QCOMPARE(f.stored(key) + u'/' + QString::number(*setting), u"%1/%1"_s.arg(on));
            }
        }
        f.window().sourceFileCount()->setText(u"1 files/folders in /in"_s);
        f.window().setMessageText(u"summary"_s);
        f.action("mnuFrancais")->trigger();
        QVERIFY(f.stored(u"Langue"_s) == u"1" && !f.action("mnuAnglais")->isChecked());
        QCOMPARE(s.Language, qint16(1));
        QCOMPARE((QStringList{f.find<QMenu>("mnuFichier")->title(), f.action("mnuTempo")->text(),
                              f.label("lblLegende4")->text(), f.button("cmdMiroir")->toolTip()}),
                 (QStringList{u"&Fichier"_s,
                              u"Régler la &temporisation par défaut entre les traitements"_s,
                              u"F2: afficher les fichiers des dossiers sélectionnés"_s,
                              u"Démarre la compression/décompression"_s}));
        // The counts and the information line, in the old language, are emptied.
        QVERIFY(f.window().sourceFileCount()->text().isEmpty()
                && f.window().messageText().isEmpty());
        f.action("mnuAnglais")->trigger();
        f.action("mnuAnglais")->trigger(); // the same language keeps its mark
        QVERIFY(f.stored(u"Langue"_s) == u"0" && f.action("mnuAnglais")->isChecked());
        QCOMPARE(f.action("mnuService")->text(), u"Install/remove Torvanelo Service [NT]"_s);
    }

    // The pass skips any value but "1" and uncompresses any mode but "0";
    // the line says the same. An interval count of 0 counts as 1, one
    // edited beyond any width overflows into no wrong interval. A disabled
    // pair's line is grey.
    void pointerDescribesThePairUnderIt_data() {
        QTest::addColumn<QString>("parameters");
        QTest::addColumn<QStringList>("pair"); // mode, enabled, interval; target there
        QTest::addColumn<QString>("lines");
        QTest::newRow("7 intervals of 600 s")
            << u"Langue=0\nTemporisation=600"_s << QStringList{u"0"_s, u"1"_s, u"7"_s, u"there"_s}
            << u"\nT = 1 h 10 min 0 s; compress files"_s;
        QTest::newRow("disabled, French")
            << u"Langue=1\nTemporisation=30"_s << QStringList{u"1"_s, u"0"_s, u"3"_s, u"there"_s}
            << u" [Compression/décompression inactive]\nT = 1 min 30 s; décompresser les fichiers"_s;
        QTest::newRow("French, missing target")
            << u"Langue=1\nTemporisation=10"_s << QStringList{u"0"_s, u"1"_s, u"0"_s, u"gone"_s}
            << u"\nT = 10 s; compresser les fichiers"_s;
        QTest::newRow("odd values as the pass reads them")
            << u"Langue=0\nTemporisation=10"_s
            << QStringList{u"2"_s, u"yes"_s, u"1e30"_s, u"there"_s}
            << u" [Compress/uncompress disabled]\nT = 5965232 h 21 min 10 s; uncompress files"_s;
    }
    void pointerDescribesThePairUnderIt() {
        QFETCH(QString, parameters);
        QFETCH(QStringList, pair);
        QFETCH(QString, lines);
        ProgramFixture f;
        const QString source = f.folder(u"source"_s);
        const QString target = pair[3] == u"there" ? f.folder(u"target"_s) : f.path(u"gone"_s);
        QVERIFY(f.start(u"[Configuration]\n"_s + parameters,
                        {f.pairs(1)[0], pairOf(source, target, pair[0], pair[1], pair[2])}));
        hover(f.window().grid()->viewport(), cellCentre(f.window().grid(), 1, 0));
        QCOMPARE(f.window().messageText(),
                 source + u" -> "_s + (pair[3] == u"there" ? u""_s : u"??? "_s) + target + lines);
        QCOMPARE(f.label("lblMessage")->palette().color(QPalette::WindowText)
                     == QColor(128, 128, 128),
                 pair[1] != u"1");
    }
};

TORVANELO_TEST(MainWindowTest);
#include "MainWindowTest.moc"
