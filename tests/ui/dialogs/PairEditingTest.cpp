#include "DialogTestSupport.h"
#include "FolderGrid.h"
#include "FolderPairList.h"
#include "FolderPairModel.h"
#include "ParametersFile.h"
#include "ProcessingController.h"
#include "ProgramFixture.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "frmKelvadon.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

using Icon = UserPrompts::Icon;
using Buttons = UserPrompts::Buttons;

QPoint cellCentre(FolderGrid* grid, int row, int column) {
    return grid->visualRect(grid->model()->index(row, column)).center();
}

void clickCell(FolderGrid* grid, int row, int column) {
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(grid, row, column));
}

// The pairs as the files hold them now.
std::vector<FolderPair> pairsOnDisk(ProgramFixture& fixture) {
    const FolderPairLoad load = LoadFolderPairs(ParametersFile(fixture.path(u"Torvanelo.ini"_s)),
                                                fixture.path(u"Torvanelo.w"_s));
    return load.pairs;
}

// Six pairs, each with settings of its own.
std::vector<FolderPair> sixPairs(ProgramFixture& fixture) {
    std::vector<FolderPair> pairs;
    for (int n = 1; n <= 6; ++n) {
        const QString number = QString::number(n);
        pairs.push_back(pairOf(fixture.folder(u"in"_s + number), fixture.folder(u"out"_s + number),
                               n % 2 ? u"0"_s : u"1"_s, n % 3 ? u"1"_s : u"0"_s,
                               QString::number(n * 10)));
    }
    return pairs;
}

void checkMessage(const ScriptedUserPrompts::Message& message, Icon icon, Buttons buttons,
                  const QString& text) {
    QCOMPARE(int(message.icon), int(icon));
    QCOMPARE(int(message.buttons), int(buttons));
    QCOMPARE(message.title, u"Torvanelo"_s);
    QCOMPARE(message.text, text);
}

} // namespace

// Adding, changing and removing pairs from the main window, on real files.
class PairEditingTest : public QObject {
    Q_OBJECT

private slots:
    void removingARangeKeepsEachPairsSettings_data();
    void removingARangeKeepsEachPairsSettings();
    void removingEveryRowEmptiesTheList();
    void removalRefusals_data();
    void removalRefusals();
    void nothingChangesWhilePassesRun();
    void addingByTypingOpensNoSettings();
    void addingByBrowsingOpensTheSettings();
    void cancelledOrEmptyChoiceChangesNothing_data();
    void cancelledOrEmptyChoiceChangesNothing();
    void modifyNeedsAChosenPair_data();
    void modifyNeedsAChosenPair();
    void modifyChangesOnlyThatFolder();
    void failedSaveLeavesTheFiles();
    void unreadablePairFileEndsTheProgram();
};

void PairEditingTest::removingARangeKeepsEachPairsSettings_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("language");
    QTest::newRow("from row 4 up") << 4 << int(Qt::Key_Up) << 0;
    QTest::newRow("from row 2 down, French") << 2 << int(Qt::Key_Down) << 1;
}

void PairEditingTest::removingARangeKeepsEachPairsSettings() {
    QFETCH(int, from);
    QFETCH(int, key);
    QFETCH(int, language);
    ProgramFixture fixture;
    fixture.writeParameters(u"[Configuration]\nLangue="_s + QString::number(language));
    const std::vector<FolderPair> pairs = sixPairs(fixture);
    fixture.writePairs(pairs);
    QVERIFY(fixture.start());
    FolderGrid* grid = fixture.window().grid();

    // The user picks a row and stretches the selection with Shift+arrow.
    clickCell(grid, from, 0);
    QTest::keyClick(grid, Qt::Key(key), Qt::ShiftModifier);
    QTest::keyClick(grid, Qt::Key(key), Qt::ShiftModifier);
    QCOMPARE(std::min(grid->currentRow(), grid->selectionEndRow()), 2);
    QCOMPARE(std::max(grid->currentRow(), grid->selectionEndRow()), 4);
    fixture.prompts.answers.push_back(UserPrompts::Answer::Yes);
    QTest::mouseClick(fixture.button("cmdSupprimer"), Qt::LeftButton);

    QCOMPARE(fixture.prompts.messages.size(), 1u);
    checkMessage(fixture.prompts.messages.front(), Icon::Question, Buttons::YesNo,
                 language ? u"Confirmez la suppression des dossiers sélectionnés"_s
                          : u"Remove the selected folders"_s);
    // Pairs 1, 2 and 6 are now pairs 1, 2 and 3, each with its own settings.
    const std::vector<FolderPair> expected{pairs[0], pairs[1], pairs[5]};
    QCOMPARE(pairsOnDisk(fixture), expected);
    QCOMPARE(fixture.window().pairModel().pairs(), expected);
    QCOMPARE(fixture.label("lblNbDossiers")->text(), u"3"_s);
    QVERIFY(!grid->selectionHighlight());
}

void PairEditingTest::removingEveryRowEmptiesTheList() {
    ProgramFixture fixture;
    fixture.writePairs(sixPairs(fixture));
    QVERIFY(fixture.start());
    frmKelvadon& window = fixture.window();
    FolderGrid* grid = window.grid();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!fixture.label("lblBulle1")->isVisible());

    // From the last row up to the first, then Delete. (A click makes its row
    // the whole selection; the keyboard stretches it.)
    clickCell(grid, 5, 0);
    for (int step = 0; step < 5; ++step)
        QTest::keyClick(grid, Qt::Key_Up, Qt::ShiftModifier);
    QCOMPARE(grid->currentRow(), 0);
    QCOMPARE(grid->selectionEndRow(), 5);
    fixture.prompts.answers.push_back(UserPrompts::Answer::Yes);
    QTest::keyClick(grid, Qt::Key_Delete);

    QCOMPARE(window.pairModel().rowCount(), 0);
    QCOMPARE(readFile(fixture.path(u"Torvanelo.w"_s)), std::optional<QByteArray>(QByteArray()));
    for (const char* bubble : {"lblBulle1", "lblBulle2", "lblBulle3"})
        QVERIFY2(fixture.label(bubble)->isVisible(), bubble);
    QVERIFY(!fixture.label("lblNbDossiers")->isVisible());

    // Nothing left: the next removal says so.
    QTest::mouseClick(fixture.button("cmdSupprimer"), Qt::LeftButton);
    checkMessage(fixture.prompts.messages.back(), Icon::Information, Buttons::Ok,
                 u"Nothing to remove"_s);
}

void PairEditingTest::removalRefusals_data() {
    QTest::addColumn<int>("pairs");
    QTest::addColumn<bool>("highlight");
    QTest::addColumn<QString>("answer"); // the confirmation's answer, or none asked
    QTest::addColumn<QString>("message");
    QTest::newRow("empty list") << 0 << false << QString()
                                << u"La liste des couples de dossiers (source+cible) est vide"_s;
    QTest::newRow("no pair chosen")
        << 2 << false << QString()
        << u"Sélectionner un couple de dossiers (source+cible) à supprimer"_s;
    QTest::newRow("answered No") << 2 << true << u"No"_s
                                 << u"Confirmez la suppression des dossiers sélectionnés"_s;
}

void PairEditingTest::removalRefusals() {
    QFETCH(int, pairs);
    QFETCH(bool, highlight);
    QFETCH(QString, answer);
    QFETCH(QString, message);
    ProgramFixture fixture;
    fixture.writeParameters(u"[Configuration]\nLangue=1\n"_s);
    std::vector<FolderPair> list = sixPairs(fixture);
    list.resize(std::size_t(pairs));
    fixture.writePairs(list);
    const auto pairFile = readFile(fixture.path(u"Torvanelo.w"_s));
    const auto parameters = readFile(fixture.path(u"Torvanelo.ini"_s));
    QVERIFY(fixture.start());
    fixture.window().grid()->setSelectionHighlight(highlight);
    fixture.prompts.defaultAnswer = UserPrompts::Answer::No;

    fixture.action("mnuSupprimerDossiers")->trigger();
    QCOMPARE(fixture.prompts.messages.size(), 1u);
    checkMessage(fixture.prompts.messages.front(),
                 answer.isEmpty() ? Icon::Information : Icon::Question,
                 answer.isEmpty() ? Buttons::Ok : Buttons::YesNo, message);
    QCOMPARE(readFile(fixture.path(u"Torvanelo.w"_s)), pairFile);
    QCOMPARE(readFile(fixture.path(u"Torvanelo.ini"_s)), parameters);
    QCOMPARE(fixture.window().pairModel().rowCount(), pairs);
}

void PairEditingTest::nothingChangesWhilePassesRun() {
    ProgramFixture fixture;
    fixture.writePairs(sixPairs(fixture));
    const auto pairFile = readFile(fixture.path(u"Torvanelo.w"_s));
    QVERIFY(fixture.start());
    frmKelvadon& window = fixture.window();
    FolderGrid* grid = window.grid();
    QTest::mouseClick(fixture.button("cmdMiroir"), Qt::LeftButton);
    QVERIFY(!fixture.program().controller().ProcessingStopped());
    ModalDriver driver;

    grid->setFocus(Qt::OtherFocusReason);
    grid->setSelectionHighlight(true);
    fixture.prompts.defaultAnswer = UserPrompts::Answer::Yes;
    fixture.prompts.texts = {u"/typed"_s, u"/typed"_s};
    fixture.prompts.folders = {u"/browsed"_s};
    QTest::keyClick(grid, Qt::Key_Delete);
    clickCell(grid, 1, 1);
    // The commands refuse even when asked directly, not only through the
    // controls the passes disable.
    emit window.removePairsRequested();
    emit window.EditFolderRequested(3, 1);
    emit window.EditFolderRequested(1, 2);
    emit window.setModeRequested(0);
    QCoreApplication::processEvents();

    QVERIFY(fixture.prompts.messages.empty());
    QVERIFY(fixture.prompts.entryPrompts.empty());
    QVERIFY(fixture.prompts.browseTitles.empty());
    QCOMPARE(readFile(fixture.path(u"Torvanelo.w"_s)), pairFile);
    QCOMPARE(window.pairModel().rowCount(), 6);
    // The settings dialog may show, but cannot be confirmed.
    QCOMPARE(driver.seen, QStringList{u"frmSetMode"_s});
}

void PairEditingTest::addingByTypingOpensNoSettings() {
    ProgramFixture fixture;
    // A section left from an earlier, longer list.
    fixture.writeParameters(u"[Rar_2]\nRar=1\nEnable=0\nNbTemporisations=50\n"_s);
    const std::vector<FolderPair> first{pairOf(fixture.folder(u"a"_s), fixture.folder(u"b"_s))};
    fixture.writePairs(first);
    QVERIFY(fixture.start());
    ModalDriver driver;
    const QString typed = u"/nowhere/typed folder "_s;
    fixture.prompts.texts = {typed};

    fixture.action("mnuAjouterSourceSaisir")->trigger();
    QCOMPARE(fixture.prompts.entryPrompts,
             std::vector<QString>{u"Torvanelo | ADD: select a SOURCE folder | "_s});
    QCoreApplication::processEvents();
    QVERIFY(driver.seen.isEmpty());
    const std::vector<FolderPair> expected{first[0], newFolderPair(typed)};
    QCOMPARE(pairsOnDisk(fixture), expected);
    const FolderPairModel& model = fixture.window().pairModel();
    QCOMPARE(model.folderText(1, FolderPairModel::SourceColumn), u"??? "_s + typed);
    QCOMPARE(model.folderText(1, FolderPairModel::TargetColumn), u"???"_s);
}

void PairEditingTest::addingByBrowsingOpensTheSettings() {
    ProgramFixture fixture;
    fixture.writeParameters(u"[Configuration]\nLangue=1\n"_s);
    fixture.writePairs({pairOf(fixture.folder(u"a"_s), fixture.folder(u"b"_s))});
    QVERIFY(fixture.start());
    const QString chosen = fixture.folder(u"chosen"_s);
    fixture.prompts.folders = {chosen};
    QString source;
    ModalDriver driver([&source](QDialog* dialog) {
        source = control<QLabel>(dialog, "lblSource")->text();
        indexed<QRadioButton>(dialog, "optRar", 1)->click();
        click(dialog, "cmdOK");
    });

    QTest::mouseClick(fixture.button("cmdAjouterDossierSource"), Qt::LeftButton);
    QCOMPARE(fixture.prompts.browseTitles,
             std::vector<QString>{u"AJOUTER: choisir un dossier SOURCE"_s});
    QCOMPARE(driver.seen, QStringList{u"frmSetMode"_s});
    QCOMPARE(source, chosen);
    const std::vector<FolderPair> onDisk = pairsOnDisk(fixture);
    QCOMPARE(onDisk.size(), 2u);
    QCOMPARE(onDisk[1].Source, chosen);
    QCOMPARE(onDisk[1].Mode, u"1"_s);
    QCOMPARE(fixture.window().grid()->currentRow(), 1);
}

void PairEditingTest::cancelledOrEmptyChoiceChangesNothing_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("answer");
    QTest::newRow("browser cancelled") << u"cmdAjouterDossierSource"_s << QString();
    QTest::newRow("entry cancelled") << u"mnuAjouterSourceSaisir"_s << QString();
    QTest::newRow("entry empty") << u"mnuAjouterSourceSaisir"_s << u""_s;
    QTest::newRow("modify, entry empty") << u"mnuModifierCibleSaisir"_s << u""_s;
}

void PairEditingTest::cancelledOrEmptyChoiceChangesNothing() {
    QFETCH(QString, command);
    QFETCH(QString, answer);
    ProgramFixture fixture;
    fixture.writePairs({pairOf(fixture.folder(u"a"_s), fixture.folder(u"b"_s))});
    const auto pairFile = readFile(fixture.path(u"Torvanelo.w"_s));
    QVERIFY(fixture.start());
    fixture.window().grid()->setSelectionHighlight(true);
    ModalDriver driver;
    fixture.prompts.folders = {answer};
    fixture.prompts.texts = {answer};

    QObject* control = fixture.window().findChild<QObject*>(command);
    if (auto* button = qobject_cast<QPushButton*>(control))
        button->click();
    else
        qobject_cast<QAction*>(control)->trigger();
    QCOMPARE(fixture.prompts.browseTitles.size() + fixture.prompts.entryPrompts.size(), 1u);
    QCOMPARE(readFile(fixture.path(u"Torvanelo.w"_s)), pairFile);
    QCoreApplication::processEvents();
    QVERIFY(driver.seen.isEmpty());
}

void PairEditingTest::modifyNeedsAChosenPair_data() {
    QTest::addColumn<bool>("empty");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("message");
    for (const bool empty : {true, false}) {
        const char* list = empty ? "empty list, " : "after a load, ";
        QTest::addRow("%ssource browsed", list)
            << empty << u"cmdModifierDossierSource"_s << u"Select a SOURCE folder to modify"_s;
        QTest::addRow("%ssource typed", list)
            << empty << u"mnuModifierSourceSaisir"_s << u"Select a SOURCE folder to modify"_s;
        QTest::addRow("%starget browsed", list)
            << empty << u"mnuModifierCibleParcourir"_s << u"Select a TARGET folder to modify"_s;
        QTest::addRow("%starget typed", list)
            << empty << u"mnuModifierCibleSaisir"_s << u"Select a TARGET folder to modify"_s;
    }
}

void PairEditingTest::modifyNeedsAChosenPair() {
    QFETCH(bool, empty);
    QFETCH(QString, command);
    QFETCH(QString, message);
    ProgramFixture fixture;
    if (!empty)
        fixture.writePairs({pairOf(fixture.folder(u"a"_s), fixture.folder(u"b"_s))});
    QVERIFY(fixture.start());
    fixture.prompts.folders = {u"/elsewhere"_s};
    fixture.prompts.texts = {u"/elsewhere"_s};

    QObject* control = fixture.window().findChild<QObject*>(command);
    if (auto* button = qobject_cast<QPushButton*>(control))
        button->click();
    else
        qobject_cast<QAction*>(control)->trigger();
    QCOMPARE(fixture.prompts.messages.size(), 1u);
    checkMessage(fixture.prompts.messages.front(), Icon::Information, Buttons::Ok, message);
    QVERIFY(fixture.prompts.browseTitles.empty());
    QVERIFY(fixture.prompts.entryPrompts.empty());
}

void PairEditingTest::modifyChangesOnlyThatFolder() {
    ProgramFixture fixture;
    // The second pair's source is missing, its target on a Macintosh volume.
    fixture.folder(u"mac/Network Trash Folder"_s);
    std::vector<FolderPair> pairs{
        pairOf(fixture.folder(u"a"_s), fixture.folder(u"b"_s), u"1"_s, u"0"_s, u"7"_s),
        pairOf(fixture.path(u"gone"_s), fixture.folder(u"mac/out"_s), u"0"_s, u"1"_s, u"3"_s)};
    fixture.writePairs(pairs);
    QVERIFY(fixture.start());
    FolderGrid* grid = fixture.window().grid();
    const FolderPairModel& model = fixture.window().pairModel();
    QCOMPARE(model.folderText(1, FolderPairModel::SourceColumn), u"??? "_s + pairs[1].Source);
    QCOMPARE(model.folderText(1, FolderPairModel::TargetColumn), u"      "_s + pairs[1].Target);

    // Typed: the entry offers the folder itself, not the marks of the grid.
    clickCell(grid, 1, 0);
    fixture.action("mnuModifierCibleSaisir")->trigger();
    QCOMPARE(fixture.prompts.entryPrompts.back(),
             u"Torvanelo | MODIFY: Select a TARGET folder | "_s + pairs[1].Target);
    fixture.prompts.texts = {u"/srv/new source "_s};
    fixture.action("mnuModifierSourceSaisir")->trigger();
    QCOMPARE(fixture.prompts.entryPrompts.back(),
             u"Torvanelo | MODIFY: Select a SOURCE folder | "_s + pairs[1].Source);
    pairs[1].Source = u"/srv/new source "_s;
    QCOMPARE(pairsOnDisk(fixture), pairs);

    // Browsed, by a double-click on a source cell: only that pair changes.
    const QString chosen = fixture.folder(u"c"_s);
    fixture.prompts.folders = {chosen};
    clickCell(grid, 0, 0);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(grid, 0, 0));
    QCOMPARE(fixture.prompts.browseTitles.back(), u"MODIFY: Select a SOURCE folder"_s);
    pairs[0].Source = chosen;
    QCOMPARE(pairsOnDisk(fixture), pairs);
}

void PairEditingTest::failedSaveLeavesTheFiles() {
    ProgramFixture fixture;
    fixture.writePairs(sixPairs(fixture));
    QVERIFY(fixture.start());
    const auto pairFile = readFile(fixture.path(u"Torvanelo.w"_s));
    // The parameters file can no longer be read or replaced.
    const QString ini = fixture.path(u"Torvanelo.ini"_s);
    QVERIFY(QFile::rename(ini, ini + u".away"_s));
    QVERIFY(QDir().mkdir(ini));

    ModalDriver driver;
    fixture.prompts.folders = {fixture.folder(u"new"_s)};
    fixture.action("mnuAjouterSourceParcourir")->trigger();
    fixture.window().grid()->setSelectionHighlight(true);
    fixture.prompts.defaultAnswer = UserPrompts::Answer::Yes;
    fixture.action("mnuSupprimerDossiers")->trigger();
    QCOMPARE(readFile(fixture.path(u"Torvanelo.w"_s)), pairFile);
    QCOMPARE(fixture.window().pairModel().rowCount(), 6);
    QVERIFY(fixture.exits.empty());
    // No settings asked for a pair that did not make it into the list.
    QCoreApplication::processEvents();
    QVERIFY(driver.seen.isEmpty());
}

void PairEditingTest::unreadablePairFileEndsTheProgram() {
    ProgramFixture fixture;
    fixture.writePairs(sixPairs(fixture));
    QVERIFY(fixture.start());
    const auto parameters = readFile(fixture.path(u"Torvanelo.ini"_s));
    // The pair file is replaced by a folder: the save cannot put the list in
    // its place and the reload cannot read it.
    const QString pairFile = fixture.path(u"Torvanelo.w"_s);
    QVERIFY(QFile::remove(pairFile));
    QVERIFY(QDir().mkdir(pairFile));

    fixture.prompts.texts = {u"/typed"_s};
    fixture.action("mnuAjouterSourceSaisir")->trigger();
    QCOMPARE(fixture.exits, std::vector<int>{1});
    QCOMPARE(int(fixture.prompts.messages.back().icon), int(Icon::Error));
    QVERIFY(fixture.prompts.messages.back().text.contains(pairFile));
    // The new settings did not stay behind without their list.
    QCOMPARE(readFile(fixture.path(u"Torvanelo.ini"_s)), parameters);
}

TORVANELO_TEST(PairEditingTest);
#include "PairEditingTest.moc"
