#include "DialogTestSupport.h"
#include "FolderPairModel.h"
#include "ProcessingController.h"
#include "ProgramFixture.h"
#include "TestFiles.h"
#include "TestRegistry.h"

#include <QCheckBox>
#include <QDir>
#include <QRadioButton>
#include <QTest>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

// Adding, changing and removing pairs from the main window, on real files.
class PairEditingTest : public QObject {
    Q_OBJECT

private slots:
    void removalKeepsEachRemainingPairsSettings_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("steps"); // Shift+Down, or Shift+Up when negative
        QTest::addColumn<QList<int>>("kept");
        QTest::addColumn<QString>("question");
        const QString english = u"[question yes/no] Torvanelo: Remove the selected folders"_s;
        QTest::newRow("rows 2 to 4, from row 4 up")
            << u"0"_s << 4 << -2 << QList<int>{0, 1, 5} << english;
        QTest::newRow("rows 2 to 4, from row 2 down, French")
            << u"1"_s << 2 << 2 << QList<int>{0, 1, 5}
            << u"[question yes/no] Torvanelo: Confirmez la suppression des dossiers sélectionnés"_s;
        QTest::newRow("every row") << u"0"_s << 5 << -5 << QList<int>{} << english;
    }
    void removalKeepsEachRemainingPairsSettings() {
        QFETCH(QString, language);
        QFETCH(int, from);
        QFETCH(int, steps);
        QFETCH(QList<int>, kept);
        ProgramFixture f;
        const std::vector<FolderPair> pairs = f.pairs(6);
        QVERIFY(f.start(u"[Configuration]\nLangue="_s + language, pairs));
        FolderGrid* grid = f.window().grid();
        // The user picks a row and stretches the selection with Shift+arrow.
        clickCell(grid, from, 0);
        for (int step = 0; step < std::abs(steps); ++step)
            QTest::keyClick(grid, steps < 0 ? Qt::Key_Up : Qt::Key_Down, Qt::ShiftModifier);
        f.prompts.answers.push_back(UserPrompts::Answer::Yes);
        QTest::keyClick(grid, Qt::Key_Delete);
        QCOMPARE(f.prompts.messages.size(), 1u);
        QTEST(said(f.prompts.messages[0]), "question");
        std::vector<FolderPair> expected;
        for (const int row : kept)
            expected.push_back(pairs[std::size_t(row)]);
        QCOMPARE(f.pairsOnDisk(), expected);
        QCOMPARE(f.window().pairModel().pairs(), expected);
        QCOMPARE(f.label("lblNbDossiers")->text(), QString::number(kept.size()));
        QCOMPARE(f.label("lblBulle1")->isVisible(), kept.isEmpty());
        QVERIFY(!grid->selectionHighlight());
    }

    void refusedOrCancelledCommandsChangeNothing_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("pairs");
        QTest::addColumn<bool>("chosen");     // a pair chosen in the grid
        QTest::addColumn<QString>("answer");  // of the browser and the entry; null: cancelled
        QTest::addColumn<QString>("message"); // empty: none
        const QString source = u"[information] Torvanelo: Select a SOURCE folder to modify"_s;
        const QString target = u"[information] Torvanelo: Select a TARGET folder to modify"_s;
        QTest::newRow("remove, empty list")
            << u"1"_s << u"mnuSupprimerDossiers"_s << 0 << false << QString()
            << u"[information] Torvanelo: La liste des couples de dossiers (source+cible) est vide"_s;
        QTest::newRow("remove, no pair chosen")
            << u"1"_s << u"cmdSupprimer"_s << 2 << false << QString()
            << u"[information] Torvanelo: Sélectionner un couple de dossiers (source+cible) à "
               u"supprimer"_s;
        QTest::newRow("remove, answered No")
            << u"1"_s << u"mnuSupprimerDossiers"_s << 2 << true << QString()
            << u"[question yes/no] Torvanelo: Confirmez la suppression des dossiers sélectionnés"_s;
        QTest::newRow("modify source, empty list")
            << u"0"_s << u"cmdModifierDossierSource"_s << 0 << false << u"/x"_s << source;
        QTest::newRow("modify target browsed, after a load")
            << u"0"_s << u"mnuModifierCibleParcourir"_s << 2 << false << u"/x"_s << target;
        QTest::newRow("add, browser cancelled")
            << u"0"_s << u"cmdAjouterDossierSource"_s << 1 << true << QString() << QString();
        QTest::newRow("modify, entry empty")
            << u"0"_s << u"mnuModifierCibleSaisir"_s << 1 << true << u""_s << QString();
    }
    void refusedOrCancelledCommandsChangeNothing() {
        QFETCH(QString, language);
        QFETCH(int, pairs);
        QFETCH(QString, answer);
        QFETCH(QString, message);
        ProgramFixture f;
        QVERIFY(f.start(u"[Configuration]\nLangue="_s + language, f.pairs(pairs)));
        const QByteArray before = f.snapshot();
        QFETCH(bool, chosen);
        f.window().grid()->setSelectionHighlight(chosen);
        f.prompts.folders = {answer};
        f.prompts.texts = {answer};
        ModalDriver driver;
        QFETCH(QString, command);
        f.command(command);
        QCoreApplication::processEvents();
        QCOMPARE(f.snapshot(), before);
        QCOMPARE(f.window().pairModel().rowCount(), pairs);
        QVERIFY(driver.seen.isEmpty());
        QCOMPARE(f.prompts.messages.size(), message.isEmpty() ? 0u : 1u);
        if (!message.isEmpty())
            QCOMPARE(said(f.prompts.messages[0]), message);
        // A refusal asks for no folder.
        QCOMPARE(f.prompts.browseTitles.size() + f.prompts.entryPrompts.size(),
                 message.isEmpty() ? 1u : 0u);
    }

    void nothingChangesWhilePassesRun() {
        ProgramFixture f;
        QVERIFY(f.start(QString(), f.pairs(6)));
        const QByteArray before = f.snapshot();
        frmKelvadon& window = f.window();
        QTest::mouseClick(f.button("cmdMiroir"), Qt::LeftButton);
        QVERIFY(!f.program().controller().ProcessingStopped());
        // The settings dialog may show, but cannot be confirmed.
        ModalDriver driver([](QDialog* dialog) {
            QVERIFY(!control<QPushButton>(dialog, "cmdOK")->isEnabled());
            control<QCheckBox>(dialog, "chkEnable")->click();
            dialog->accept();
        });
        window.grid()->setSelectionHighlight(true);
        f.prompts.defaultAnswer = UserPrompts::Answer::Yes;
        f.prompts.texts = {u"/typed"_s, u"/typed"_s};
        f.prompts.folders = {u"/browsed"_s};
        window.grid()->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(window.grid(), Qt::Key_Delete);
        // The commands refuse even when asked directly, not only through the
        // controls the passes disable.
        emit window.removePairsRequested();
        emit window.EditFolderRequested(3, 1);
        emit window.EditFolderRequested(1, 2);
        emit window.setModeRequested(0);
        QCoreApplication::processEvents();
        QVERIFY(f.prompts.messages.empty() && f.prompts.entryPrompts.empty()
                && f.prompts.browseTitles.empty());
        QCOMPARE(f.snapshot(), before);
        QCOMPARE(window.pairModel().rowCount(), 6);
        QCOMPARE(driver.seen, QStringList{u"frmSetMode"_s});
    }

    void addingByTypingOpensNoSettings() {
        ProgramFixture f;
        // A section left from an earlier, longer list.
        const std::vector<FolderPair> first = f.pairs(1);
        QVERIFY(f.start(u"[Rar_2]\nRar=1\nEnable=0\nNbTemporisations=50\n"_s, first));
        ModalDriver driver;
        const QString typed = u"/nowhere/typed folder "_s;
        f.prompts.texts = {typed};
        f.action("mnuAjouterSourceSaisir")->trigger();
        QCOMPARE(f.prompts.entryPrompts,
                 std::vector<QString>{u"Torvanelo | ADD: select a SOURCE folder | "_s});
        QCoreApplication::processEvents();
        QVERIFY(driver.seen.isEmpty());
        QCOMPARE(f.pairsOnDisk(), (std::vector<FolderPair>{first[0], newFolderPair(typed)}));
        const FolderPairModel& model = f.window().pairModel();
        QCOMPARE(model.folderText(1, FolderPairModel::SourceColumn), u"??? "_s + typed);
        QCOMPARE(model.folderText(1, FolderPairModel::TargetColumn), u"???"_s);
    }

    void addingByBrowsingOpensTheSettings() {
        ProgramFixture f;
        QVERIFY(f.start(u"[Configuration]\nLangue=1\n"_s, f.pairs(1)));
        const QString chosen = f.folder(u"chosen"_s);
        f.prompts.folders = {chosen};
        QString source;
        ModalDriver driver([&source](QDialog* dialog) {
            source = control<QLabel>(dialog, "lblSource")->text();
            indexed<QRadioButton>(dialog, "optRar", 1)->click();
            click(dialog, "cmdOK");
        });
        QTest::mouseClick(f.button("cmdAjouterDossierSource"), Qt::LeftButton);
        QCOMPARE(f.prompts.browseTitles,
                 std::vector<QString>{u"AJOUTER: choisir un dossier SOURCE"_s});
        QCOMPARE(driver.seen, QStringList{u"frmSetMode"_s});
        QCOMPARE(source, chosen);
        const std::vector<FolderPair> onDisk = f.pairsOnDisk();
        QVERIFY(onDisk.size() == 2 && onDisk[1].Source == chosen && onDisk[1].Mode == u"1");
        QCOMPARE(f.window().grid()->currentRow(), 1);
    }

    void modifyChangesOnlyThatFolder() {
        ProgramFixture f;
        // The second pair's source is missing, its target on a Macintosh volume.
        f.folder(u"mac/Network Trash Folder"_s);
        std::vector<FolderPair> pairs{
            pairOf(f.folder(u"a"_s), f.folder(u"b"_s), u"1"_s, u"0"_s, u"7"_s),
            pairOf(f.path(u"gone"_s), f.folder(u"mac/out"_s), u"0"_s, u"1"_s, u"3"_s)};
        QVERIFY(f.start(QString(), pairs));
        FolderGrid* grid = f.window().grid();
        // Typed: the entry offers the folder itself, not the marks of the grid.
        clickCell(grid, 1, 0);
        f.action("mnuModifierCibleSaisir")->trigger();
        QCOMPARE(f.prompts.entryPrompts.back(),
                 u"Torvanelo | MODIFY: Select a TARGET folder | "_s + pairs[1].Target);
        f.prompts.texts = {u"/srv/new source "_s};
        f.action("mnuModifierSourceSaisir")->trigger();
        QCOMPARE(f.prompts.entryPrompts.back(),
                 u"Torvanelo | MODIFY: Select a SOURCE folder | "_s + pairs[1].Source);
        pairs[1].Source = u"/srv/new source "_s;
        QCOMPARE(f.pairsOnDisk(), pairs);
        // Browsed, by a double-click on a target cell: only that pair changes.
        f.prompts.folders = {f.folder(u"c"_s)};
        clickCell(grid, 0, 2);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(grid, 0, 2));
        QCOMPARE(f.prompts.browseTitles.back(), u"MODIFY: Select a TARGET folder"_s);
        pairs[0].Target = f.path(u"c"_s);
        QCOMPARE(f.pairsOnDisk(), pairs);
    }

    void failedSaveLeavesTheFiles() {
        ProgramFixture f;
        QVERIFY(f.start(QString(), f.pairs(6)));
        const auto pairFile = readFile(f.path(u"Torvanelo.w"_s));
        // The parameters file can no longer be read or replaced.
        const QString ini = f.path(u"Torvanelo.ini"_s);
        QVERIFY(QFile::rename(ini, ini + u".away"_s) && QDir().mkdir(ini));
        ModalDriver driver;
        f.prompts.folders = {f.folder(u"new"_s)};
        f.action("mnuAjouterSourceParcourir")->trigger();
        f.window().grid()->setSelectionHighlight(true);
        f.prompts.defaultAnswer = UserPrompts::Answer::Yes;
        f.action("mnuSupprimerDossiers")->trigger();
        QCOMPARE(readFile(f.path(u"Torvanelo.w"_s)), pairFile);
        QVERIFY(f.window().pairModel().rowCount() == 6 && f.exits.empty());
        // No settings asked for a pair that did not make it into the list.
        QCoreApplication::processEvents();
        QVERIFY(driver.seen.isEmpty());
    }

    void unreadablePairFileEndsTheProgram() {
        ProgramFixture f;
        QVERIFY(f.start(QString(), f.pairs(6)));
        const auto parameters = readFile(f.path(u"Torvanelo.ini"_s));
        // A folder in the pair file's place: the save cannot put the list
        // there and the reload cannot read it.
        const QString pairFile = f.path(u"Torvanelo.w"_s);
        QVERIFY(QFile::remove(pairFile) && QDir().mkdir(pairFile));
        f.prompts.texts = {u"/typed"_s};
        f.action("mnuAjouterSourceSaisir")->trigger();
        QCOMPARE(f.exits, std::vector<int>{1});
        QVERIFY(said(f.prompts.messages.back()).startsWith(u"[error]"_s));
        QVERIFY(f.prompts.messages.back().text.contains(pairFile));
        // The new settings did not stay behind without their list.
        QCOMPARE(readFile(f.path(u"Torvanelo.ini"_s)), parameters);
    }
};

TORVANELO_TEST(PairEditingTest);
#include "PairEditingTest.moc"
