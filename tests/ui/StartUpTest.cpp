#include "FolderPairModel.h"
#include "ProcessingController.h"
#include "ProgramFixture.h"
#include "SettingsStore.h"
#include "SingleInstance.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "frmKelvadon.h"
#include "frmSplash.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

using namespace torvanelo;
using namespace torvanelo::test;

using namespace Qt::Literals::StringLiterals;

namespace {
using Answer = UserPrompts::Answer;
using Icon = UserPrompts::Icon;
} // namespace

class StartUpTest : public QObject {
    Q_OBJECT

private slots:
    void emptyListShowsGuidanceAndStartDoesNothing();
    void titleNamesTheMachine_data();
    void titleNamesTheMachine();
    void countdownRangeFollowsTheDelay_data();
    void countdownRangeFollowsTheDelay();
    void secondInstanceIsRefusedBeforeAnythingIsShown_data();
    void secondInstanceIsRefusedBeforeAnythingIsShown();
    void archiverCheckRunsHiddenWhateverTheConsoleSetting();
    void missingArchiverDisablesStart_data();
    void missingArchiverDisablesStart();
    void settingsGiveTheirCheckMarks();
    void oddHexPairFileEndsTheProgramAndKeepsTheFile_data();
    void oddHexPairFileEndsTheProgramAndKeepsTheFile();
    void installedServiceQuestionYesRemovesIt();
    void installedServiceQuestionNoEnds();
    void serviceThatCannotBeRemovedEndsTheProgram();
    void serviceModeStartsHiddenEvenWithoutArchiver();
    void automaticStartWithEndAfterFirstPassRunsOnePassAndEnds();
    void keyOnTheSplashCancelsTheEndForThisRun();
};

void StartUpTest::emptyListShowsGuidanceAndStartDoesNothing() {
    ProgramFixture fixture;
    QVERIFY(fixture.start());
    frmKelvadon& window = fixture.window();
    QVERIFY(window.isVisible());
    QVERIFY(fixture.exits.empty());
    for (const char* shown : {"lblBulle1", "lblBulle2", "lblBulle3"})
        QVERIFY2(fixture.label(shown)->isVisible(), shown);
    QVERIFY(fixture.find<QFrame>("LineBulle")->isVisible());
    for (const char* hidden :
         {"lblDossiersSources", "lblDossiersCibles", "lblNbDossiers", "picFleche1", "picFleche2"})
        QVERIFY2(!fixture.label(hidden)->isVisible(), hidden);
    QVERIFY(!fixture.find<QGroupBox>("frameLegende")->isVisible());
    QCOMPARE(fixture.label("lblBulle2")->text(), QStringLiteral("2 - define folders"));
    QCOMPARE(fixture.label("lblNbDossiers")->text(), QStringLiteral("0"));

    QPushButton* start = fixture.button("cmdMiroir");
    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY(fixture.program().controller().ProcessingStopped());
    QCOMPARE(start->property("picture").toString(), QStringLiteral("start"));
    QCOMPARE(start->toolTip(), QStringLiteral("Start compress/uncompress operations"));
    QVERIFY(!fixture.find<QTimer>("Timer1")->isActive());
    QVERIFY(fixture.button("cmdAjouterDossierSource")->isEnabled());
    // Only the archiver check ran.
    QCOMPARE(fixture.recordingRunner.runs.size(), std::size_t(1));
}

void StartUpTest::titleNamesTheMachine_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("language");
    const QString system = QStringLiteral("Debian GNU/Linux 12 (bookworm) v.6.1, Build 0");
    QTest::newRow("all known") << "filesrv"
                               << "backup" << u"Torvanelo 1.0b   filesrv; backup; "_s + system
                               << "0";
    QTest::newRow("blanks trimmed")
        << "  filesrv "
        << " backup" << u"Torvanelo 1.0b   filesrv; backup; "_s + system << "1";
    QTest::newRow("no host") << ""
                             << "backup" << u"Torvanelo 1.0b; backup; "_s + system << "0";
    QTest::newRow("nothing known") << ""
                                   << "" << u"Torvanelo 1.0b; "_s + system << "0";
}

void StartUpTest::titleNamesTheMachine() {
    QFETCH(QString, host);
    QFETCH(QString, user);
    QFETCH(QString, title);
    QFETCH(QString, language);
    ProgramFixture fixture;
    fixture.writeParameters(QStringLiteral("[Configuration]\nLangue=") + language + u'\n');
    fixture.machine.host = host;
    fixture.machine.user = user;
    QVERIFY(fixture.start());
    QCOMPARE(fixture.window().windowTitle(), title);
    // lblVesk keeps the product title only, in both languages.
    QCOMPARE(fixture.label("lblVesk")->text(), QStringLiteral("Torvanelo 1.0b"));
}

void StartUpTest::countdownRangeFollowsTheDelay_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("maximum");
    QTest::newRow("no parameters file") << QString() << 9;
    QTest::newRow("1 s") << "1" << 1;
    QTest::newRow("2 s") << "2" << 1;
    QTest::newRow("3 s") << "3" << 2;
    QTest::newRow("0 means default") << "0" << 9;
    QTest::newRow("not a number") << "abc" << 9;
    QTest::newRow("30 s") << "30" << 29;
}

void StartUpTest::countdownRangeFollowsTheDelay() {
    QFETCH(QString, stored);
    QFETCH(int, maximum);
    ProgramFixture fixture;
    if (!stored.isNull())
        fixture.writeParameters(QStringLiteral("[Configuration]\r\nTemporisation=") + stored);
    QVERIFY(fixture.start());
    auto* bar = fixture.find<QProgressBar>("ProgressBarAttente");
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), maximum);
    if (stored.isNull()) {
        // Nothing was written: the program only writes what the user confirms.
        QVERIFY(!QFile::exists(fixture.path(QStringLiteral("Torvanelo.ini"))));
    }
}

void StartUpTest::secondInstanceIsRefusedBeforeAnythingIsShown_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("message");
    QTest::newRow("English") << "0"
                             << "Program already running";
    QTest::newRow("French") << "1"
                            << "Programme déjà lancé";
    QTest::newRow("other code") << "2"
                                << "Program already running";
}

void StartUpTest::secondInstanceIsRefusedBeforeAnythingIsShown() {
    QFETCH(QString, language);
    QFETCH(QString, message);
    QTemporaryDir runtime;
    const QByteArray previousRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    const QString executable = runtime.filePath(QStringLiteral("torvanelo"));
    SingleInstance first(executable);
    QVERIFY(first.acquire());

    ProgramFixture fixture;
    const QByteArray parameters =
        "[Configuration]\nLangue=" + language.toUtf8() + "\nAutomatique=1\n";
    fixture.writeParameters(QString::fromUtf8(parameters));
    SingleInstance second(executable);
    fixture.acquireSingleInstance = [&second] { return second.acquire(); };
    bool windowShownAtMessage = true;
    fixture.prompts.onMessage = [&](const ScriptedUserPrompts::Message&) {
        windowShownAtMessage = fixture.window().isVisible();
    };
    QVERIFY(!fixture.start());
    qputenv("XDG_RUNTIME_DIR", previousRuntime);

    QCOMPARE(fixture.exits, std::vector<int>{1});
    QCOMPARE(fixture.prompts.messages.size(), std::size_t(1));
    const auto& shown = fixture.prompts.messages.front();
    QCOMPARE(shown.text, message);
    QCOMPARE(shown.title, QStringLiteral("Torvanelo"));
    QCOMPARE(shown.icon, Icon::Warning);
    QVERIFY(!windowShownAtMessage);
    QVERIFY(!fixture.window().isVisible());
    QVERIFY(fixture.recordingRunner.runs.empty());
    QVERIFY(fixture.window().trayTip().isEmpty());
    // The parameters file is exactly as it was.
    QCOMPARE(readFile(fixture.path(QStringLiteral("Torvanelo.ini"))).value_or(QByteArray()),
             parameters);
}

void StartUpTest::archiverCheckRunsHiddenWhateverTheConsoleSetting() {
    ProgramFixture fixture;
    fixture.writeParameters(QStringLiteral("[Configuration]\nVoirConsoleRar=1\n"));
    QVERIFY(fixture.start());
    QCOMPARE(fixture.recordingRunner.runs.size(), std::size_t(1));
    const auto& check = fixture.recordingRunner.runs.front();
    QCOMPARE(check.commandLine, QStringLiteral("rar -?"));
    QVERIFY(!check.options.show);
    QVERIFY(fixture.action("mnuVoirConsoleRAR")->isChecked());
}

void StartUpTest::missingArchiverDisablesStart_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("message");
    QTest::newRow("English") << "0"
                             << "WinRar not installed\n\nTorvanelo cannot run";
    QTest::newRow("French") << "1"
                            << "WinRar n'est pas installé\n\nTorvanelo ne peut pas fonctionner";
}

void StartUpTest::missingArchiverDisablesStart() {
    QFETCH(QString, language);
    QFETCH(QString, message);
    ProgramFixture fixture;
    // Automatic start asked for: without the archiver it must not happen.
    fixture.writeParameters(QStringLiteral("[Configuration]\nAutomatique=1\nLangue=") + language);
    fixture.writePairs(
        {pairOf(fixture.folder(QStringLiteral("in")), fixture.folder(QStringLiteral("out")))});
    fixture.recordingRunner.queueNotStarted();
    QVERIFY(fixture.start());

    QCOMPARE(fixture.prompts.messages.size(), std::size_t(1));
    const auto& shown = fixture.prompts.messages.front();
    QCOMPARE(shown.title, QStringLiteral("Torvanelo - 1.0b"));
    QCOMPARE(shown.text, message);
    QCOMPARE(shown.icon, Icon::Error);
    QVERIFY(!fixture.button("cmdMiroir")->isEnabled());
    QVERIFY(!fixture.action("mnuDemarrer")->isEnabled());
    QVERIFY(fixture.program().controller().ProcessingStopped());
    QVERIFY(fixture.window().isVisible());
    QVERIFY(fixture.exits.empty());
    // Pairs and settings can still be edited.
    QVERIFY(fixture.button("cmdAjouterDossierSource")->isEnabled());
    QVERIFY(fixture.menu("mnuDossiers")->menuAction()->isEnabled());
}

void StartUpTest::settingsGiveTheirCheckMarks() {
    ProgramFixture fixture;
    fixture.writeParameters(
        QStringLiteral("[Configuration]\nAfficherFichiers=1\nVoirConsoleRar=yes\n"
                       "ErreurDossierSon=1\nErreurDossierEventLog=1\n"
                       "Automatique=0\nArretAutomatique=1\n"
                       "[Logs]\nLogs=1\nPurgeLogs=2\n"));
    fixture.writePairs(
        {pairOf(fixture.folder(QStringLiteral("in")), fixture.folder(QStringLiteral("out")))});
    QVERIFY(fixture.start());
    QVERIFY(fixture.action("mnuAfficherFichiers")->isChecked());
    QVERIFY(!fixture.action("mnuVoirConsoleRAR")->isChecked());
    QVERIFY(fixture.action("mnuDossierErr")->isChecked());
    QVERIFY(!fixture.action("mnuAutomatique")->isChecked());
    QVERIFY(fixture.action("mnuArretAutomatique")->isChecked());
    QVERIFY(fixture.action("mnuDefinirLogs")->isChecked());
    QVERIFY(!fixture.action("mnuPurgeLogs")->isChecked());
    QVERIFY(fixture.action("mnuAnglais")->isChecked());
    QVERIFY(!fixture.action("mnuFrancais")->isChecked());
    // The file lists take the legend's place.
    QVERIFY(fixture.find<QWidget>("lstFichiersSources")->isVisible());
    QVERIFY(fixture.find<QWidget>("lblNbFichiersCibles")->isVisible());
    QVERIFY(!fixture.find<QWidget>("frameLegende")->isVisible());

    // The event-log warning alone leaves the warning entry unchecked.
    ProgramFixture eventLogOnly;
    eventLogOnly.writeParameters(QStringLiteral("[Configuration]\nErreurDossierEventLog=1\n"));
    QVERIFY(eventLogOnly.start());
    QVERIFY(!eventLogOnly.action("mnuDossierErr")->isChecked());
}

void StartUpTest::oddHexPairFileEndsTheProgramAndKeepsTheFile_data() {
    QTest::addColumn<QByteArray>("pairFile"); // null: the path is a folder
    QTest::addColumn<QString>("message");
    const QString hex = u"Invalid hexa string in the parameters file\r\n"_s;
    QTest::newRow("odd source") << QByteArray("\"43003A005C0\",\"\"\r\n") << hex;
    QTest::newRow("odd target, second line")
        << QByteArray("\"2F00\",\"2F00\"\r\n\"2F00\",\"2F007\"\r\n") << hex;
    // Saving over a file that cannot be read would lose the pairs it holds.
    QTest::newRow("cannot be read") << QByteArray() << u"The folder-pair file cannot be read\r\n"_s;
}

void StartUpTest::oddHexPairFileEndsTheProgramAndKeepsTheFile() {
    QFETCH(QByteArray, pairFile);
    QFETCH(QString, message);
    ProgramFixture fixture;
    fixture.writeParameters(u"[Configuration]\nAutomatique=1\n"_s);
    const QString pairPath = fixture.path(u"Torvanelo.w"_s);
    if (pairFile.isNull())
        QVERIFY(QDir().mkdir(pairPath));
    else
        QVERIFY(writeFile(pairPath, pairFile));
    QVERIFY(!fixture.start());

    QCOMPARE(fixture.exits, std::vector<int>{1});
    QCOMPARE(fixture.prompts.messages.size(), std::size_t(1));
    const auto& shown = fixture.prompts.messages.front();
    QCOMPARE(shown.icon, Icon::Error);
    QCOMPARE(shown.title, u"Torvanelo"_s);
    QCOMPARE(shown.text, message + pairPath);
    if (pairFile.isNull())
        QVERIFY(QFileInfo(pairPath).isDir());
    else
        QCOMPARE(readFile(pairPath).value_or(QByteArray()), pairFile);
    QVERIFY(!fixture.window().isVisible());
    QVERIFY(fixture.program().controller().ProcessingStopped());
}

void StartUpTest::installedServiceQuestionYesRemovesIt() {
    ProgramFixture fixture;
    fixture.writeParameters(QStringLiteral("[Configuration]\nAutomatique=1\nLangue=1\n"));
    fixture.service.installed = true;
    fixture.service.running = true;
    fixture.prompts.answers.push_back(Answer::Yes);
    QVERIFY(fixture.start());

    const auto& question = fixture.prompts.messages.front();
    QCOMPARE(question.icon, Icon::Question);
    QCOMPARE(question.buttons, UserPrompts::Buttons::YesNo);
    QCOMPARE(question.text,
             QStringLiteral("Torvanelo Service installé\nvoir 'Panneau de configuration/Services'"
                            "\n\nSupprimer Torvanelo Service ?"));
    QCOMPARE(fixture.service.calls, QStringList{QStringLiteral("Uninstall")});
    QCOMPARE(fixture.service.events.size(), std::size_t(1));
    QCOMPARE(fixture.service.events.front().text, QStringLiteral("Torvanelo Service supprimé"));
    QCOMPARE(fixture.service.events.front().eventType, EventInformation);
    QCOMPARE(fixture.storedValue(QStringLiteral("Configuration"), QStringLiteral("Automatique")),
             QStringLiteral("0"));
    QCOMPARE(fixture.label("lblMode")->text(), QStringLiteral("Application"));
    QCOMPARE(fixture.label("PictureMode")->toolTip(), QStringLiteral("Torvanelo Application"));
    // The automatic start was switched off before the settings were read.
    QVERIFY(!fixture.action("mnuAutomatique")->isChecked());
    QVERIFY(fixture.window().isVisible());
    QVERIFY(fixture.action("mnuQuitter")->isEnabled());
}

void StartUpTest::installedServiceQuestionNoEnds() {
    ProgramFixture fixture;
    fixture.service.installed = true;
    fixture.prompts.answers.push_back(Answer::No);
    QVERIFY(!fixture.start());
    QCOMPARE(
        fixture.prompts.messages.front().text,
        QStringLiteral("Torvanelo Service installed\nsee 'Control panel/Services'\n\nRemove it ?"));
    QCOMPARE(fixture.exits, std::vector<int>{0});
    QVERIFY(fixture.service.calls.isEmpty());
    QVERIFY(fixture.service.events.empty());
    QVERIFY(!fixture.window().isVisible());
    QVERIFY(!QFile::exists(fixture.path(QStringLiteral("Torvanelo.ini"))));
}

void StartUpTest::serviceThatCannotBeRemovedEndsTheProgram() {
    ProgramFixture fixture;
    fixture.writeParameters(QStringLiteral("[Configuration]\nAutomatique=1\n"));
    fixture.service.installed = true;
    fixture.service.uninstallResult = false;
    fixture.prompts.answers.push_back(Answer::Yes);
    QVERIFY(!fixture.start());
    QCOMPARE(fixture.exits, std::vector<int>{1});
    // Nothing claims a removal that did not happen, and nothing was changed.
    QVERIFY(fixture.service.events.empty());
    QCOMPARE(fixture.storedValue(QStringLiteral("Configuration"), QStringLiteral("Automatique")),
             QStringLiteral("1"));
    QCOMPARE(fixture.prompts.messages.back().icon, Icon::Error);
    QCOMPARE(fixture.prompts.messages.back().text,
             QStringLiteral("Torvanelo Service could not be removed"));
}

void StartUpTest::serviceModeStartsHiddenEvenWithoutArchiver() {
    ProgramFixture fixture;
    fixture.writePairs(
        {pairOf(fixture.folder(QStringLiteral("in")), fixture.folder(QStringLiteral("out")))});
    fixture.service.installed = true;
    fixture.service.running = true;
    fixture.service.startedAsService = true;
    fixture.recordingRunner.queueNotStarted();
    QVERIFY(fixture.start());

    QCOMPARE(fixture.prompts.messages.size(), std::size_t(1)); // the archiver message only
    QVERIFY(!fixture.action("mnuQuitter")->isEnabled());
    QCOMPARE(fixture.label("lblMode")->text(), QStringLiteral("Service"));
    QCOMPARE(fixture.label("PictureMode")->toolTip(), QStringLiteral("Torvanelo Service"));
    QVERIFY(!fixture.window().isVisible());
    QVERIFY(!fixture.program().controller().ProcessingStopped());
    QVERIFY(fixture.find<QTimer>("Timer1")->isActive());
    QCOMPARE(fixture.window().trayTip(), QStringLiteral("Torvanelo 1.0b - Wait"));
    // The tray-only entries show while the window is hidden.
    QVERIFY(fixture.action("mnuRestaurer")->isVisible());
    QVERIFY(fixture.action("mnuFichierVoirLogs")->isVisible());
}

void StartUpTest::automaticStartWithEndAfterFirstPassRunsOnePassAndEnds() {
    ProgramFixture fixture(ProgramFixture::Runner::Real);
    fixture.writeParameters(
        QStringLiteral("[Configuration]\nAutomatique=1\nArretAutomatique=1\nLangue=1\n"));
    const QString in = fixture.folder(QStringLiteral("in"));
    const QString out = fixture.folder(QStringLiteral("out"));
    QVERIFY(writeFile(in + QStringLiteral("/Plan.doc"), QByteArray("plan")));
    fixture.writePairs({pairOf(in, out)});
    QVERIFY(!fixture.start());

    QCOMPARE(fixture.exits, std::vector<int>{0});
    QVERIFY(fixture.prompts.messages.empty());
    QVERIFY(!fixture.window().isVisible());
    QVERIFY(fixture.window().trayIcon() == nullptr);
    QCOMPARE(fixture.window().splash().message(),
             QStringLiteral("Appuyer sur la touche 'Esc' pour afficher la fenêtre principale"));
    // The pass did its work: the file left as an archive.
    QVERIFY(QDir(in).isEmpty());
    QCOMPARE(QDir(out).entryList(QDir::Files), QStringList{QStringLiteral("RA000001.rar")});
    QVERIFY(!fixture.find<QTimer>("Timer1")->isActive());
}

void StartUpTest::keyOnTheSplashCancelsTheEndForThisRun() {
    ProgramFixture fixture;
    fixture.writeParameters(QStringLiteral("[Configuration]\nArretAutomatique=1\n"));
    QVERIFY(fixture.start());
    frmKelvadon& window = fixture.window();
    window.minimizeToTray();
    QTRY_VERIFY(!window.isVisible());
    window.showStartSplash();
    frmSplash& splash = window.splash();
    QVERIFY(splash.isVisible());
    QCOMPARE(splash.message(), QStringLiteral("Type key 'Esc' to display the main window"));
    QCOMPARE(splash.windowTitle(), QString(17, u' ') + QStringLiteral("Vesk"));
    QCOMPARE(splash.size(), QSize(219, 79));
    QTRY_VERIFY(splash.captionFlashed());

    QTest::keyClick(&splash, Qt::Key_A);
    QVERIFY(!fixture.program().store().settings().StopAfterFirstPass);
    QCOMPARE(
        fixture.storedValue(QStringLiteral("Configuration"), QStringLiteral("ArretAutomatique")),
        QStringLiteral("1"));
    QVERIFY(!splash.isVisible());
    QVERIFY(window.isVisible());
    QVERIFY(!window.isMinimized());
    QVERIFY(!fixture.action("mnuArretAutomatique")->isChecked());
}

TORVANELO_TEST(StartUpTest);
#include "StartUpTest.moc"
