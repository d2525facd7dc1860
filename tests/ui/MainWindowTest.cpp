#include "ArchiverConsole.h"
#include "FolderGrid.h"
#include "FolderPairModel.h"
#include "ProcessingController.h"
#include "ProgramFixture.h"
#include "SettingsStore.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "frmKelvadon.h"
#include "frmSplash.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

// The controls the start command takes away while passes run.
const char* const LockedActions[] = {"mnuTempo", "mnuQuitter", "mnuDefinirLogs", "mnuPurgeLogs",
                                     "mnuService"};
const char* const LockedButtons[] = {"cmdAjouterDossierSource", "cmdSupprimer",
                                     "cmdModifierDossierSource", "cmdModifierDossierCible"};
// What stays usable during passes.
const char* const FreeActions[] = {
    "mnuPrefixe",     "mnuVoirConsoleRAR",   "mnuDossierErr", "mnuAfficherFichiers",
    "mnuAutomatique", "mnuArretAutomatique", "mnuVoirLogs",   "mnuAide",
    "mnuAPropos",     "mnuPerformance"};

void checkLocked(ProgramFixture& fixture, bool locked) {
    for (const char* name : LockedActions)
        QVERIFY2(fixture.action(name)->isEnabled() == !locked, name);
    for (const char* name : LockedButtons)
        QVERIFY2(fixture.button(name)->isEnabled() == !locked, name);
    QCOMPARE(fixture.menu("mnuDossiers")->menuAction()->isEnabled(), !locked);
    QCOMPARE(fixture.menu("mnuLangue")->menuAction()->isEnabled(), !locked);
    for (const char* name : FreeActions)
        QVERIFY2(fixture.action(name)->isEnabled(), name);
}

// The centre of a grid cell, in viewport coordinates.
QPoint cellCentre(FolderGrid* grid, int row, int column) {
    return grid->visualRect(grid->model()->index(row, column)).center();
}

// A double-click as the user makes it: a click, then the second press.
void doubleClick(FolderGrid* grid, int row, int column) {
    const QPoint at = cellCentre(grid, row, column);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void startAndStop_data();
    void startAndStop();
    void countdownRunsFromTheDelay();
    void stopKeepsQuitOffWhileTheServiceRuns();
    void passRunsFromTheTimer();
    void endAfterTheFirstPass();
    void togglesAreWrittenAtOnce_data();
    void togglesAreWrittenAtOnce();
    void languageSwitchRewritesCaptionsAndStoresTheKey();
    void closeRequestsAreIgnored();
    void quitAsksFirst();
    void minimizingHidesInTheTray();
    void backgroundClickAndSelectionHighlight();
    void gridGesturesAskForTheirCommands();
    void buttonsAndMenusAskForTheirCommands_data();
    void buttonsAndMenusAskForTheirCommands();
    void refreshAfterAPassNeedsTheHighlight();
    void legendPressShowsItsTextInBold();
    void warningsGoToTheSplash();
    void archiverConsoleShowsTheOutputLive();
};

void MainWindowTest::startAndStop_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("stopTooltip");
    QTest::addColumn<QString>("stopCaption");
    QTest::addColumn<QString>("startTooltip");
    QTest::addColumn<QString>("startCaption");
    QTest::newRow("English") << "0"
                             << "Stop processing"
                             << "&Stop processing"
                             << "Start compress/uncompress operations"
                             << "&Start compress/uncompress operations";
    QTest::newRow("French") << "1"
                            << "Arrêter le traitement"
                            << "&Arrêter le traitement"
                            << "Démarrer la compression/décompression"
                            << "&Démarrer la compression/décompression";
}

void MainWindowTest::startAndStop() {
    QFETCH(QString, language);
    QFETCH(QString, stopTooltip);
    QFETCH(QString, stopCaption);
    QFETCH(QString, startTooltip);
    QFETCH(QString, startCaption);
    ProgramFixture fixture;
    fixture.writeParameters(u"[Configuration]\nLangue="_s + language);
    fixture.writePairs({pairOf(fixture.folder(u"in"_s), fixture.folder(u"out"_s))});
    QVERIFY(fixture.start());
    QPushButton* start = fixture.button("cmdMiroir");
    auto* timer = fixture.find<QTimer>("Timer1");
    checkLocked(fixture, false);

    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY(!fixture.program().controller().ProcessingStopped());
    QCOMPARE(start->property("picture").toString(), u"stop"_s);
    QCOMPARE(start->toolTip(), stopTooltip);
    QCOMPARE(fixture.action("mnuDemarrer")->text(), stopCaption);
    checkLocked(fixture, true);
    QVERIFY(start->isEnabled());
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 1000);
    QVERIFY(fixture.window().messageText().contains(
        language == u"1" ? u"0 fichier dans 1 dossier source"_s : u"0 file in 1 source folder"_s));
    QCOMPARE(fixture.window().trayTip(),
             language == u"1" ? u"Torvanelo 1.0b - Attente"_s : u"Torvanelo 1.0b - Wait"_s);

    // The menu entry does what the button does.
    fixture.action("mnuDemarrer")->trigger();
    QVERIFY(fixture.program().controller().ProcessingStopped());
    QCOMPARE(start->property("picture").toString(), u"start"_s);
    QCOMPARE(start->toolTip(), startTooltip);
    QCOMPARE(fixture.action("mnuDemarrer")->text(), startCaption);
    checkLocked(fixture, false);
    QVERIFY(!timer->isActive());
    QVERIFY(fixture.label("lblTempo")->text().isEmpty());
    QCOMPARE(fixture.window().trayTip(), u"Torvanelo 1.0b"_s);
}

void MainWindowTest::countdownRunsFromTheDelay() {
    ProgramFixture fixture;
    fixture.writeParameters(u"[Configuration]\nTemporisation=3\n"_s);
    fixture.writePairs({pairOf(fixture.folder(u"in"_s), fixture.folder(u"out"_s))});
    QVERIFY(fixture.start());
    ProcessingController& controller = fixture.program().controller();
    QLabel* tempo = fixture.label("lblTempo");
    auto* wait = fixture.find<QProgressBar>("ProgressBarAttente");
    QCOMPARE(wait->maximum(), 2);
    QSignalSpy passes(&controller, &ProcessingController::passFinished);
    QTest::mouseClick(fixture.button("cmdMiroir"), Qt::LeftButton);
    QCOMPARE(passes.size(), 1);

    const QStringList shown{u"3 s"_s, u"2 s"_s, u"1 s"_s};
    for (int tick = 0; tick < 3; ++tick) {
        controller.Timer1_Timer();
        QCOMPARE(tempo->text(), shown[tick]);
        QCOMPARE(wait->value(), tick);
        QCOMPARE(passes.size(), 1);
    }
    // The tick after "1 s" runs the next pass and starts again from the delay.
    controller.Timer1_Timer();
    QCOMPARE(passes.size(), 2);
    QCOMPARE(tempo->text(), u"3 s"_s);
    QCOMPARE(wait->value(), 0);
}

void MainWindowTest::stopKeepsQuitOffWhileTheServiceRuns() {
    ProgramFixture fixture;
    fixture.writePairs({pairOf(fixture.folder(u"in"_s), fixture.folder(u"out"_s))});
    fixture.service.installed = true;
    fixture.service.running = true;
    fixture.service.startedAsService = true;
    QVERIFY(fixture.start());
    QVERIFY(!fixture.program().controller().ProcessingStopped());
    fixture.action("mnuDemarrer")->trigger();
    QVERIFY(fixture.program().controller().ProcessingStopped());
    QVERIFY(!fixture.action("mnuQuitter")->isEnabled());
    QVERIFY(fixture.action("mnuService")->isEnabled());
    // The stop brings the hidden window back.
    QVERIFY(fixture.window().isVisible());
}

void MainWindowTest::passRunsFromTheTimer() {
    ProgramFixture fixture(ProgramFixture::Runner::Real);
    fixture.writeParameters(u"[Configuration]\nTemporisation=1\n"_s);
    const QString in = fixture.folder(u"in"_s);
    const QString middle = fixture.folder(u"middle"_s);
    const QString out = fixture.folder(u"out"_s);
    fixture.writePairs({pairOf(in, middle), pairOf(middle, out, u"1"_s)});
    QVERIFY(fixture.start());
    QTest::mouseClick(fixture.button("cmdMiroir"), Qt::LeftButton);
    QVERIFY(QDir(out).isEmpty());

    // Dropped after the first pass: only a pass started by the timer takes it.
    const QString name = u"Relevé été 2024.txt"_s;
    QVERIFY(writeFile(in + u'/' + name, QByteArray("des données\n")));
    const bool attributes = supportsUserAttributes(in);
    const Attributes streams{{"user.com.apple.ResourceFork", std::string("\x00\x01rsrc", 6)},
                             {"user.empty", std::string()}};
    if (attributes)
        QVERIFY(writeAttributes(in + u'/' + name, streams));
    auto* timer = fixture.find<QTimer>("Timer1");
    QVERIFY(timer->isActive());
    timer->setInterval(1);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(out + u'/' + name), 120000);

    QCOMPARE(readFile(out + u'/' + name).value_or(QByteArray()), QByteArray("des données\n"));
    if (attributes)
        QCOMPARE(readAttributes(out + u'/' + name).value_or(Attributes()), streams);
    QVERIFY(QDir(in).isEmpty());
    QVERIFY(QDir(middle).isEmpty());
    // The summary of the last pass, whichever it was.
    QVERIFY(fixture.window().messageText().contains(u"Uncompressed files: "_s));
    QVERIFY(!fixture.program().controller().ProcessingStopped());
}

void MainWindowTest::endAfterTheFirstPass() {
    ProgramFixture fixture;
    fixture.writePairs({pairOf(fixture.folder(u"in"_s), fixture.folder(u"out"_s))});
    QVERIFY(fixture.start());
    fixture.action("mnuArretAutomatique")->trigger();
    QVERIFY(fixture.exits.empty());
    QTest::mouseClick(fixture.button("cmdMiroir"), Qt::LeftButton);
    QCOMPARE(fixture.exits, std::vector<int>{0});
    QVERIFY(fixture.window().trayIcon() == nullptr);
    QVERIFY(!fixture.find<QTimer>("Timer1")->isActive());
    QVERIFY(!fixture.window().isVisible());
}

void MainWindowTest::togglesAreWrittenAtOnce_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("key");
    QTest::newRow("automatic start") << "mnuAutomatique"
                                     << "Automatique";
    QTest::newRow("end after first pass") << "mnuArretAutomatique"
                                          << "ArretAutomatique";
    QTest::newRow("archiver console") << "mnuVoirConsoleRAR"
                                      << "VoirConsoleRar";
}

void MainWindowTest::togglesAreWrittenAtOnce() {
    QFETCH(QString, entry);
    QFETCH(QString, key);
    ProgramFixture fixture;
    fixture.writeParameters(u"; kept as written\n[Configuration]\nLangue=1\nInconnu=x\n"_s);
    QVERIFY(fixture.start());
    QAction* toggle = fixture.action(entry.toLatin1().constData());
    QVERIFY(!toggle->isChecked());
    const QString section = u"Configuration"_s;

    toggle->trigger();
    QVERIFY(toggle->isChecked());
    QCOMPARE(fixture.storedValue(section, key), u"1"_s);
    toggle->trigger();
    QVERIFY(!toggle->isChecked());
    QCOMPARE(fixture.storedValue(section, key), u"0"_s);
    toggle->trigger();
    QCOMPARE(fixture.storedValue(section, key), u"1"_s);

    const Settings& settings = fixture.program().store().settings();
    const bool inMemory = key == u"Automatique"        ? settings.AutoStart
                          : key == u"ArretAutomatique" ? settings.StopAfterFirstPass
                                                       : settings.ShowArchiverConsole;
    QVERIFY(inMemory);
    // The rest of the file is left as it was.
    QCOMPARE(fixture.storedValue(section, u"Langue"_s), u"1"_s);
    QCOMPARE(fixture.storedValue(section, u"Inconnu"_s), u"x"_s);
    QVERIFY(readFile(fixture.path(u"Torvanelo.ini"_s))->startsWith("; kept as written"));
}

void MainWindowTest::languageSwitchRewritesCaptionsAndStoresTheKey() {
    ProgramFixture fixture;
    fixture.writePairs({pairOf(fixture.folder(u"in"_s), fixture.folder(u"out"_s))});
    QVERIFY(fixture.start());
    frmKelvadon& window = fixture.window();
    const QString title = window.windowTitle();
    QCOMPARE(fixture.menu("mnuFichier")->title(), u"&File"_s);
    QCOMPARE(fixture.action("mnuTempo")->text(),
             u"Set default &time between two compress/uncompress operations"_s);

    window.sourceFileList()->addItem(u"Plan.doc"_s);
    window.sourceFileCount()->setText(u"1 files/folders in /in"_s);
    window.setMessageText(u"summary"_s);
    fixture.action("mnuFrancais")->trigger();

    QCOMPARE(fixture.storedValue(u"Configuration"_s, u"Langue"_s), u"1"_s);
    QCOMPARE(fixture.program().store().settings().Language, qint16(1));
    QVERIFY(fixture.action("mnuFrancais")->isChecked());
    QVERIFY(!fixture.action("mnuAnglais")->isChecked());
    const std::pair<const char*, QString> french[] = {
        {"mnuFichier", u"&Fichier"_s},
        {"mnuDemarrer", u"&Démarrer la compression/décompression"_s},
        {"mnuRestaurer", u"&Restaurer la fenêtre principale"_s},
        {"mnuQuitter", u"&Quitter"_s},
        {"mnuAjouterSource", u"Ajouter un dossier source"_s},
        {"mnuModifierSourceParcourir", u"Parcourir"_s},
        {"mnuModifierCibleSaisir", u"Saisir"_s},
        {"mnuSupprimerDossiers", u"Supprimer un couple de dossiers"_s},
        {"mnuTempo", u"Régler la &temporisation par défaut entre les traitements"_s},
        {"mnuPrefixe", u"Préfixe des fichiers compressés"_s},
        {"mnuAfficherFichiers", u"&Afficher les fichiers des dossiers sélectionnés"_s},
        {"mnuAutomatique", u"Démarrer automatiquement au lancement du &programme"_s},
        {"mnuArretAutomatique", u"Arrêter le programme après le premier traitement"_s},
        {"mnuService", u"Installer/supprimer Torvanelo Service [NT]"_s},
        {"mnuFichierVoirLogs", u"&Voir les journaux d'archivage des traitements effectués"_s},
        {"mnuPurgeLogs", u"&Effacer automatiquement les journaux"_s},
        {"mnuLangue", u"&Langue"_s},
        {"mnuAPropos", u"A &propos de..."_s},
        {"mnuAbout", u"&?"_s},
        {"mnuAnglais", u"&English"_s},
        {"lblClic", u"Cliquer sur l'icône centrale pour modifier"_s},
        {"lblLegende2", u"Décompression"_s},
        {"lblDisable", u"Compression/décompression inactive"_s},
        {"lblLegende4", u"F2: afficher les fichiers des dossiers sélectionnés"_s},
        {"lblBulle1", u"1 - langue et configuration"_s},
        {"lblDossiersCibles", u"Dossiers cibles"_s},
        {"frameLegende", u"Réglages"_s},
        {"FrameSourcesCibles", u"Sources et cibles"_s},
        {"cmdSupprimer", u"Supprimer"_s},
        {"cmdModifierDossierCible", u"Modifier"_s},
    };
    for (const auto& [name, text] : french) {
        QObject* control = window.findChild<QObject*>(QString::fromLatin1(name));
        QVERIFY2(control, name);
        QString shown;
        if (auto* item = qobject_cast<QAction*>(control))
            shown = item->text();
        else if (auto* menu = qobject_cast<QMenu*>(control))
            shown = menu->title();
        else if (auto* label = qobject_cast<QLabel*>(control))
            shown = label->text();
        else if (auto* frame = qobject_cast<QGroupBox*>(control))
            shown = frame->title();
        else if (auto* button = qobject_cast<QPushButton*>(control))
            shown = button->text();
        QCOMPARE(shown, text);
    }
    QCOMPARE(fixture.button("cmdMiroir")->toolTip(), u"Démarre la compression/décompression"_s);
    // Left alone: the title, the mode, the numbers; the file lists keep their
    // items while the counts and the information line are emptied.
    QCOMPARE(window.windowTitle(), title);
    QCOMPARE(fixture.label("lblMode")->text(), u"Application"_s);
    QCOMPARE(fixture.label("lblNbDossiers")->text(), u"1"_s);
    QCOMPARE(window.sourceFileList()->count(), 1);
    QVERIFY(window.sourceFileCount()->text().isEmpty());
    QVERIFY(window.messageText().isEmpty());

    fixture.action("mnuAnglais")->trigger();
    QCOMPARE(fixture.storedValue(u"Configuration"_s, u"Langue"_s), u"0"_s);
    QCOMPARE(fixture.menu("mnuFichier")->title(), u"&File"_s);
    QCOMPARE(fixture.action("mnuModifierSourceParcourir")->text(), u"Browse"_s);
    QCOMPARE(fixture.action("mnuService")->text(), u"Install/remove Torvanelo Service [NT]"_s);
    QCOMPARE(fixture.label("lblLegende3")->text(), u"F1: check Logs"_s);
    QVERIFY(fixture.action("mnuAnglais")->isChecked());
    // The same language again keeps its check mark.
    fixture.action("mnuAnglais")->trigger();
    QVERIFY(fixture.action("mnuAnglais")->isChecked());
    QCOMPARE(fixture.storedValue(u"Configuration"_s, u"Langue"_s), u"0"_s);
}

void MainWindowTest::closeRequestsAreIgnored() {
    ProgramFixture fixture;
    QVERIFY(fixture.start());
    frmKelvadon& window = fixture.window();
    QVERIFY(!window.close());
    QVERIFY(window.isVisible());
    QTest::keyClick(&window, Qt::Key_F4, Qt::AltModifier);
    QVERIFY(window.isVisible());
    QVERIFY(fixture.exits.empty());
    QVERIFY(!(window.windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    QCOMPARE(window.minimumSize(), window.maximumSize());
}

void MainWindowTest::quitAsksFirst() {
    ProgramFixture fixture;
    fixture.writeParameters(u"[Configuration]\nLangue=1\n"_s);
    QVERIFY(fixture.start());
    fixture.prompts.answers = {UserPrompts::Answer::No, UserPrompts::Answer::Yes};
    fixture.action("mnuQuitter")->trigger();
    QVERIFY(fixture.exits.empty());
    QVERIFY(fixture.window().isVisible());
    const auto& question = fixture.prompts.messages.back();
    QCOMPARE(question.text, u"Quitter le programme"_s);
    QCOMPARE(question.title, u"Torvanelo"_s);
    QCOMPARE(question.icon, UserPrompts::Icon::Question);
    QCOMPARE(question.buttons, UserPrompts::Buttons::YesNo);

    fixture.action("mnuQuitter")->trigger();
    QCOMPARE(fixture.exits, std::vector<int>{0});
    QVERIFY(fixture.window().trayIcon() == nullptr);
    // Nothing is written on the way out.
    QCOMPARE(readFile(fixture.path(u"Torvanelo.ini"_s)).value_or(QByteArray()),
             QByteArray("[Configuration]\nLangue=1\n"));
}

void MainWindowTest::minimizingHidesInTheTray() {
    ProgramFixture fixture;
    QVERIFY(fixture.start());
    frmKelvadon& window = fixture.window();
    QVERIFY(!fixture.action("mnuRestaurer")->isVisible());
    QVERIFY(!fixture.action("mnuFichierVoirLogs")->isVisible());

    window.setWindowState(Qt::WindowMinimized);
    QTRY_VERIFY(!window.isVisible());
    QVERIFY(fixture.action("mnuRestaurer")->isVisible());
    QVERIFY(fixture.action("mnuFichierVoirLogs")->isVisible());

    fixture.action("mnuRestaurer")->trigger();
    QVERIFY(window.isVisible());
    QVERIFY(!window.isMinimized());
    QVERIFY(!fixture.action("mnuRestaurer")->isVisible());

    window.toggleFromTray();
    QTRY_VERIFY(!window.isVisible());
    window.toggleFromTray();
    QVERIFY(window.isVisible());
    QVERIFY(!fixture.action("mnuFichierVoirLogs")->isVisible());
}

void MainWindowTest::backgroundClickAndSelectionHighlight() {
    ProgramFixture fixture;
    fixture.writePairs({pairOf(fixture.folder(u"a"_s), fixture.folder(u"b"_s)),
                        pairOf(fixture.folder(u"c"_s), fixture.folder(u"d"_s))});
    QVERIFY(fixture.start());
    frmKelvadon& window = fixture.window();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    FolderGrid* grid = window.grid();
    // After a load: the last row is current, and nothing shows as chosen.
    QCOMPARE(grid->currentRow(), 1);
    QVERIFY(!grid->selectionHighlight());
    QVERIFY(!grid->hasFocus());

    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(grid, 0, 2));
    QVERIFY(grid->selectionHighlight());
    QCOMPARE(grid->currentRow(), 0);
    grid->selectRows(0, 1);
    QCOMPARE(grid->selectionEndRow(), 1);

    window.sourceFileList()->addItem(u"x"_s);
    QTest::mouseClick(fixture.find<QWidget>("centralWidget"), Qt::LeftButton, {}, QPoint(300, 450));
    QVERIFY(!grid->selectionHighlight());
    QCOMPARE(grid->currentRow(), 0);
    QCOMPARE(grid->selectionEndRow(), 0);
    QCOMPARE(window.sourceFileList()->count(), 0);
    QTRY_VERIFY(fixture.button("cmdMiroir")->hasFocus());

    // Focus alone turns it on again.
    grid->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(grid->selectionHighlight());
    // A click on a frame is a background click too.
    QTest::mouseClick(fixture.find<QWidget>("FrameSources"), Qt::LeftButton, {}, QPoint(2, 40));
    QVERIFY(!grid->selectionHighlight());
}

void MainWindowTest::gridGesturesAskForTheirCommands() {
    ProgramFixture fixture;
    fixture.writePairs({pairOf(fixture.folder(u"a"_s), fixture.folder(u"b"_s)),
                        pairOf(fixture.folder(u"c"_s), fixture.folder(u"d"_s))});
    QVERIFY(fixture.start());
    fixture.unplugWindowCommands();
    frmKelvadon& window = fixture.window();
    FolderGrid* grid = window.grid();
    QSignalSpy edits(&window, &frmKelvadon::EditFolderRequested);
    QSignalSpy removals(&window, &frmKelvadon::removePairsRequested);
    QSignalSpy modes(&window, &frmKelvadon::setModeRequested);

    // Delete needs a pair chosen by the user.
    grid->setFocus(Qt::OtherFocusReason);
    grid->setSelectionHighlight(false);
    QTest::keyClick(grid, Qt::Key_Delete);
    QCOMPARE(removals.size(), 0);

    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(grid, 1, 1));
    QCOMPARE(modes.size(), 1);
    QCOMPARE(modes.front().front().toInt(), 1);
    QTest::keyClick(grid, Qt::Key_Delete);
    QCOMPARE(removals.size(), 1);

    doubleClick(grid, 0, 0);
    doubleClick(grid, 0, 2);
    doubleClick(grid, 0, 1);
    QCOMPARE(edits.size(), 2);
    QCOMPARE(edits.at(0), (QList<QVariant>{1, 2}));
    QCOMPARE(edits.at(1), (QList<QVariant>{2, 2}));

    // While passes run, the grid's gestures change nothing.
    QTest::mouseClick(fixture.button("cmdMiroir"), Qt::LeftButton);
    QVERIFY(!fixture.program().controller().ProcessingStopped());
    edits.clear();
    removals.clear();
    modes.clear();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(grid, 0, 1));
    QTest::keyClick(grid, Qt::Key_Delete);
    doubleClick(grid, 0, 0);
    QCOMPARE(edits.size(), 0);
    QCOMPARE(removals.size(), 0);
    QCOMPARE(modes.size(), 0);
}

void MainWindowTest::buttonsAndMenusAskForTheirCommands_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("operation");
    QTest::newRow("add button") << "cmdAjouterDossierSource" << 1 << 1;
    QTest::newRow("add, browse") << "mnuAjouterSourceParcourir" << 1 << 1;
    QTest::newRow("add, type") << "mnuAjouterSourceSaisir" << 3 << 1;
    QTest::newRow("modify source button") << "cmdModifierDossierSource" << 1 << 2;
    QTest::newRow("modify source, browse") << "mnuModifierSourceParcourir" << 1 << 2;
    QTest::newRow("modify source, type") << "mnuModifierSourceSaisir" << 3 << 2;
    QTest::newRow("modify target button") << "cmdModifierDossierCible" << 2 << 2;
    QTest::newRow("modify target, browse") << "mnuModifierCibleParcourir" << 2 << 2;
    QTest::newRow("modify target, type") << "mnuModifierCibleSaisir" << 4 << 2;
    QTest::newRow("remove button") << "cmdSupprimer" << 0 << 0;
    QTest::newRow("remove entry") << "mnuSupprimerDossiers" << 0 << 0;
}

void MainWindowTest::buttonsAndMenusAskForTheirCommands() {
    QFETCH(QString, control);
    QFETCH(int, kind);
    QFETCH(int, operation);
    ProgramFixture fixture;
    QVERIFY(fixture.start());
    fixture.unplugWindowCommands();
    frmKelvadon& window = fixture.window();
    QSignalSpy edits(&window, &frmKelvadon::EditFolderRequested);
    QSignalSpy removals(&window, &frmKelvadon::removePairsRequested);
    if (auto* button = window.findChild<QPushButton*>(control))
        QTest::mouseClick(button, Qt::LeftButton);
    else
        window.findChild<QAction*>(control)->trigger();
    if (kind == 0) {
        QCOMPARE(removals.size(), 1);
        QCOMPARE(edits.size(), 0);
    } else {
        QCOMPARE(edits.size(), 1);
        QCOMPARE(edits.front(), (QList<QVariant>{kind, operation}));
        QCOMPARE(removals.size(), 0);
    }
}

void MainWindowTest::refreshAfterAPassNeedsTheHighlight() {
    ProgramFixture fixture;
    fixture.writeParameters(u"[Configuration]\nAfficherFichiers=1\n"_s);
    fixture.writePairs({pairOf(fixture.folder(u"a"_s), fixture.folder(u"b"_s)),
                        pairOf(fixture.folder(u"c"_s), fixture.folder(u"d"_s))});
    QVERIFY(fixture.start());
    fixture.unplugWindowCommands();
    frmKelvadon& window = fixture.window();
    QSignalSpy refreshes(&window, &frmKelvadon::refreshFolderFilesRequested);
    QSignalSpy listings(&window, &frmKelvadon::showPairFilesRequested);
    QTest::mouseClick(fixture.button("cmdMiroir"), Qt::LeftButton);
    QCOMPARE(refreshes.size(), 0);
    fixture.action("mnuDemarrer")->trigger();

    QTest::mouseClick(window.grid()->viewport(), Qt::LeftButton, {},
                      cellCentre(window.grid(), 0, 0));
    QVERIFY(!listings.isEmpty());
    QCOMPARE(listings.back().front().toInt(), 0);
    QTest::mouseClick(fixture.button("cmdMiroir"), Qt::LeftButton);
    QCOMPARE(refreshes.size(), 1);
    QCOMPARE(refreshes.front(), (QList<QVariant>{0, false}));
}

void MainWindowTest::legendPressShowsItsTextInBold() {
    ProgramFixture fixture;
    fixture.writePairs({pairOf(fixture.folder(u"a"_s), fixture.folder(u"b"_s))});
    QVERIFY(fixture.start());
    for (const auto& [picture, legend] : {std::pair{"PictureSetGris", "lblLegende1"},
                                          std::pair{"PictureSetGrisMod", "lblLegende2"}}) {
        QLabel* text = fixture.label(legend);
        QVERIFY(!text->font().bold());
        QTest::mousePress(fixture.label(picture), Qt::LeftButton);
        QVERIFY(text->font().bold());
        QTest::mouseRelease(fixture.label(picture), Qt::LeftButton);
        QVERIFY(!text->font().bold());
    }
}

void MainWindowTest::warningsGoToTheSplash() {
    ProgramFixture fixture;
    QVERIFY(fixture.start());
    frmKelvadon& window = fixture.window();
    window.showWarning(u"14:02:11 - Unknown source folder"_s);
    frmSplash& splash = window.splash();
    QVERIFY(splash.isVisible());
    QCOMPARE(splash.message(), u"14:02:11 - Unknown source folder"_s);
    // Keys do nothing unless the program is to end after its first pass.
    QTest::keyClick(&splash, Qt::Key_Escape);
    QVERIFY(splash.isVisible());
    QTest::mouseClick(&splash, Qt::LeftButton);
    QVERIFY(!splash.isVisible());
    window.beep();
    QCOMPARE(fixture.prompts.beeps, 1);
}

void MainWindowTest::archiverConsoleShowsTheOutputLive() {
    ProgramFixture fixture(ProgramFixture::Runner::Real);
    QVERIFY(fixture.start());
    ArchiverConsole& console = fixture.program().console();
    const int before = console.runs();
    QVERIFY(fixture.realRunner.RunAndWait(u"rar -?"_s, RunOptions{true, QString()}));
    QCOMPARE(console.runs(), before + 1);
    QVERIFY(!console.text().trimmed().isEmpty());
    QVERIFY(!console.isVisible());
    QCOMPARE(console.windowTitle(), u"rar -?"_s);
    // Hidden runs never reach the console.
    QVERIFY(fixture.realRunner.RunAndWait(u"rar -?"_s, RunOptions{}));
    QCOMPARE(console.runs(), before + 1);
}

TORVANELO_TEST(MainWindowTest);
#include "MainWindowTest.moc"
