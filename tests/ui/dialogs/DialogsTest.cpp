#include "DialogTestSupport.h"
#include "FolderPairModel.h"
#include "PermissionsEnforced.h"
#include "ProcessingController.h"
#include "ProgramFixture.h"
#include "SettingsStore.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "frmSetMode.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

// Adding, changing and removing pairs from the main window, and the
// per-pair settings, prefix, delay, performance and warning dialogs: what
// they refuse and what they write, on real files.
class DialogsTest : public QObject {
    Q_OBJECT

private slots:
    // The user picks a row and stretches the selection with Shift+arrow;
    // only the chosen pairs go, each remaining one with its own settings.
    void removalKeepsEachRemainingPairsSettings_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("steps"); // Shift+Down, or Shift+Up when negative
        QTest::addColumn<QList<int>>("kept");
        QTest::newRow("rows 2 to 4, from row 4 up") << 4 << -2 << QList<int>{0, 1, 5};
        QTest::newRow("rows 2 to 4, from row 2 down") << 2 << 2 << QList<int>{0, 1, 5};
        QTest::newRow("every row") << 5 << -5 << QList<int>{};
    }
    void removalKeepsEachRemainingPairsSettings() {
        QFETCH(int, from);
        QFETCH(int, steps);
        QFETCH(QList<int>, kept);
        ProgramFixture f;
        const std::vector<FolderPair> pairs = f.pairs(6);
        QVERIFY(f.start(QString(), pairs));
        FolderGrid* grid = f.window().grid();
        clickCell(grid, from, 0);
        for (int step = 0; step < std::abs(steps); ++step)
            QTest::keyClick(grid, steps < 0 ? Qt::Key_Up : Qt::Key_Down, Qt::ShiftModifier);
        f.prompts.answers.push_back(UserPrompts::Answer::Yes);
        QTest::keyClick(grid, Qt::Key_Delete);
        QCOMPARE(f.shown(),
                 QStringList{u"[question yes/no] Torvanelo: Remove the selected folders"_s});
        std::vector<FolderPair> expected;
        for (const int row : kept)
            expected.push_back(pairs[std::size_t(row)]);
        QCOMPARE(f.pairsOnDisk(), expected);
        QCOMPARE(f.window().pairModel().pairs(), expected);
        QVERIFY(f.label("lblBulle1")->isVisible() == kept.isEmpty() && !grid->selectionHighlight());
    }

    // A refusal asks for no folder; a cancelled browser or entry ends the
    // command. Neither writes nor opens the settings.
    void refusedOrCancelledCommandsChangeNothing_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("chosen");    // a pair chosen in the grid
        QTest::addColumn<QString>("answer"); // of the browser and the entry; null: cancelled
        QTest::addColumn<QString>("message");
        QTest::newRow("remove, no pair chosen")
            << u"cmdSupprimer"_s << false << QString()
            << u"[information] Torvanelo: Select a couple of folders (source+target) to remove"_s;
        QTest::newRow("remove, answered No")
            << u"mnuSupprimerDossiers"_s << true << QString()
            << u"[question yes/no] Torvanelo: Remove the selected folders"_s;
        QTest::newRow("modify target browsed, after a load")
            << u"mnuModifierCibleParcourir"_s << false << u"/x"_s
            << u"[information] Torvanelo: Select a TARGET folder to modify"_s;
        QTest::newRow("add, browser cancelled")
            << u"cmdAjouterDossierSource"_s << true << QString() << QString();
        QTest::newRow("modify, entry empty")
            << u"mnuModifierCibleSaisir"_s << true << u""_s << QString();
    }
    void refusedOrCancelledCommandsChangeNothing() {
        QFETCH(QString, command);
        QFETCH(bool, chosen);
        QFETCH(QString, answer);
        QFETCH(QString, message);
        ProgramFixture f;
        QVERIFY(f.start(QString(), f.pairs(2)));
        const QByteArray before = f.snapshot();
        f.window().grid()->setSelectionHighlight(chosen);
        f.prompts.folders = f.prompts.texts = {answer};
        ModalDriver driver;
        f.command(command);
        QCoreApplication::processEvents();
        QVERIFY(f.snapshot() == before && f.window().pairModel().rowCount() == 2);
        QVERIFY(driver.seen.isEmpty());
        QCOMPARE(f.shown().join(u'|'), message);
        QCOMPARE(f.prompts.browseTitles.size() + f.prompts.entryPrompts.size(),
                 message.isEmpty() ? 1u : 0u);
    }

    // Delete and every editing command refuse, even asked directly rather
    // than through the controls the passes disable; the settings dialog may
    // show, but cannot be confirmed.
    void nothingChangesWhilePassesRun() {
        ProgramFixture f;
        QVERIFY(f.start(QString(), f.pairs(6)));
        const QByteArray before = f.snapshot();
        frmKelvadon& window = f.window();
        f.command(u"cmdMiroir"_s);
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
        emit window.removePairsRequested();
        emit window.EditFolderRequested(3, 1);
        emit window.EditFolderRequested(1, 2);
        emit window.setModeRequested(0);
        QCoreApplication::processEvents();
        QVERIFY(f.prompts.messages.empty() && f.prompts.entryPrompts.empty()
                && f.prompts.browseTitles.empty());
        QVERIFY(f.snapshot() == before && window.pairModel().rowCount() == 6);
        QCOMPARE(driver.seen, QStringList{u"frmSetMode"_s});
    }

    // Typed: added at once with default settings (a section left from an
    // earlier, longer list lends it none), no settings dialog. Browsed: the
    // settings dialog opens on the new pair.
    void addingOpensTheSettingsOnlyWhenBrowsed() {
        ProgramFixture f;
        const std::vector<FolderPair> first = f.pairs(1);
        QVERIFY(f.start(u"[Rar_2]\nRar=1\nEnable=0\nNbTemporisations=50\n"_s, first));
        const QString typed = u"/nowhere/typed folder "_s;
        f.prompts.texts = {typed};
        auto driver = std::make_unique<ModalDriver>();
        f.action("mnuAjouterSourceSaisir")->trigger();
        QCoreApplication::processEvents();
        QVERIFY(driver->seen.isEmpty());
        QCOMPARE(f.prompts.entryPrompts,
                 std::vector<QString>{u"Torvanelo | ADD: select a SOURCE folder | "_s});
        QCOMPARE(f.pairsOnDisk(), (std::vector<FolderPair>{first[0], newFolderPair(typed)}));
        QCOMPARE(f.window().pairModel().folderText(1, FolderPairModel::SourceColumn),
                 u"??? "_s + typed);
        f.action("mnuFrancais")->trigger();
        const QString chosen = f.folder(u"chosen"_s);
        f.prompts.folders = {chosen};
        QString source;
        driver = std::make_unique<ModalDriver>([&source](QDialog* dialog) {
            source = control<QLabel>(dialog, "lblSource")->text();
            indexed<QRadioButton>(dialog, "optRar", 1)->click();
            click(dialog, "cmdOK");
        });
        f.command(u"cmdAjouterDossierSource"_s);
        QCOMPARE(f.prompts.browseTitles,
                 std::vector<QString>{u"AJOUTER: choisir un dossier SOURCE"_s});
        QVERIFY(driver->seen == QStringList{u"frmSetMode"_s} && source == chosen);
        const std::vector<FolderPair> onDisk = f.pairsOnDisk();
        QVERIFY(onDisk.size() == 3 && onDisk[2].Source == chosen && onDisk[2].Mode == u"1");
        QCOMPARE(f.window().grid()->currentRow(), 2);
    }

    // The second pair's source is missing, its target on a Macintosh
    // volume: the entry offers the folder itself, not the marks of the grid.
    // A double-click on a target cell browses for that pair only.
    void modifyChangesOnlyThatFolder() {
        ProgramFixture f;
        f.folder(u"mac/Network Trash Folder"_s);
        std::vector<FolderPair> pairs{
            pairOf(f.folder(u"a"_s), f.folder(u"b"_s), u"1"_s, u"0"_s, u"7"_s),
            pairOf(f.path(u"gone"_s), f.folder(u"mac/out"_s), u"0"_s, u"1"_s, u"3"_s)};
        QVERIFY(f.start(QString(), pairs));
        FolderGrid* grid = f.window().grid();
        clickCell(grid, 1, 0);
        f.action("mnuModifierCibleSaisir")->trigger();
        f.prompts.texts = {u"/srv/new source "_s};
        f.action("mnuModifierSourceSaisir")->trigger();
        QCOMPARE(f.prompts.entryPrompts,
                 (std::vector<QString>{
                     u"Torvanelo | MODIFY: Select a TARGET folder | "_s + pairs[1].Target,
                     u"Torvanelo | MODIFY: Select a SOURCE folder | "_s + pairs[1].Source}));
        pairs[1].Source = u"/srv/new source "_s;
        QCOMPARE(f.pairsOnDisk(), pairs);
        f.prompts.folders = {f.folder(u"c"_s)};
        clickCell(grid, 0, 2);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cellCentre(grid, 0, 2));
        QCOMPARE(f.prompts.browseTitles, std::vector<QString>{u"MODIFY: Select a TARGET folder"_s});
        pairs[0].Target = f.path(u"c"_s);
        QCOMPARE(f.pairsOnDisk(), pairs);
    }

    // The parameters file, then the pair file, replaced by a folder. The
    // first: the pair file and the grid stay as they were, and no settings
    // are asked for a pair that did not make it into the list. The second:
    // the save cannot put the list there and the reload cannot read it, so
    // the program ends, and the new settings do not stay behind without it.
    void failedSaves() {
        ProgramFixture f;
        QVERIFY(f.start(QString(), f.pairs(6)));
        const QString ini = f.path(u"Torvanelo.ini"_s);
        const QString pairFile = f.path(u"Torvanelo.w"_s);
        const auto pairs = readFile(pairFile);
        QVERIFY(QFile::rename(ini, ini + u".away"_s) && QDir().mkdir(ini));
        ModalDriver driver;
        f.prompts.folders = {f.folder(u"new"_s)};
        f.action("mnuAjouterSourceParcourir")->trigger();
        f.window().grid()->setSelectionHighlight(true);
        f.prompts.defaultAnswer = UserPrompts::Answer::Yes;
        f.action("mnuSupprimerDossiers")->trigger();
        QCOMPARE(readFile(pairFile), pairs);
        QVERIFY(f.window().pairModel().rowCount() == 6 && f.exits.empty());
        QCoreApplication::processEvents();
        QVERIFY(driver.seen.isEmpty());

        QVERIFY(QDir().rmdir(ini) && QFile::rename(ini + u".away"_s, ini));
        const auto parameters = readFile(ini);
        QVERIFY(QFile::remove(pairFile) && QDir().mkdir(pairFile));
        f.prompts.texts = {u"/typed"_s};
        f.action("mnuAjouterSourceSaisir")->trigger();
        QCOMPARE(f.exits, std::vector<int>{1});
        QVERIFY(f.shown().back().startsWith(u"[error]"_s) && f.shown().back().contains(pairFile));
        QCOMPARE(readFile(ini), parameters);
    }

    // Opened from the grid on a pair whose interval only an edited file can
    // hold: the default is offered. With the mode and the enabled box
    // changed, the interval is checked as typed; a refusal keeps the dialog
    // open and writes nothing, Cancel writes nothing, OK stores the three
    // keys and reloads the pair, its row current.
    void setModeFromTheGrid_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("label");   // lblErr when refused, else lblMiroirN2
        QTest::addColumn<QString>("message"); // empty: none
        QTest::addColumn<QString>("button");
        const QString range = u"Value must be between 2 and 64000"_s;
        const QString rangeMessage = u"Value must be set between 2 and 64000"_s;
        const QString ok = u"cmdOK"_s;
        QTest::newRow("abc") << u"abc"_s << u"Invalid value"_s << u"Invalid value"_s << ok;
        QTest::newRow("1") << u"1"_s << range << rangeMessage << ok;
        QTest::newRow("64001") << u"64001"_s << range << rangeMessage << ok;
        QTest::newRow("100") << u" 100"_s << u"i.e. 1 h 40 min 0 sec"_s << QString() << ok;
        QTest::newRow("64000") << u"64000"_s << u"i.e. 1066 h 40 min 0 sec"_s << QString() << ok;
        QTest::newRow("cancelled")
            << u"100"_s << u"i.e. 1 h 40 min 0 sec"_s << QString() << u"cmdAnnuler"_s;
    }
    void setModeFromTheGrid() {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(QString, button);
        ProgramFixture f;
        std::vector<FolderPair> pairs = f.pairs(2);
        pairs[1].IntervalCount = pairs[1].PassesLeft = u"100000"_s;
        QVERIFY(f.start(u"[Configuration]\nTemporisation=60\n"_s, pairs));
        const QByteArray before = f.snapshot();
        QStringList opened;
        ModalDriver driver([&](QDialog* dialog) {
            auto* box = control<QLineEdit>(dialog, "txtMiroirN");
            opened << dialog->windowTitle() << box->text();
            QVERIFY(indexed<QRadioButton>(dialog, "optTempo", 0)->isChecked()
                    && indexed<QRadioButton>(dialog, "optRar", 1)->isChecked());
            control<QCheckBox>(dialog, "chkEnable")->click();
            QTest::mouseClick(control<QLabel>(dialog, "PictureSet"), Qt::LeftButton);
            QTest::mouseClick(indexed<QRadioButton>(dialog, "optTempo", 1), Qt::LeftButton);
            typeInto(box, typed);
            auto* error = control<QLabel>(dialog, "lblErr");
            auto* duration = control<QLabel>(dialog, "lblMiroirN2");
            QVERIFY(error->isVisible() != message.isEmpty()
                    && duration->isVisible() == message.isEmpty());
            QTEST((message.isEmpty() ? duration : error)->text(), "label");
            click(dialog, qPrintable(button));
            QCOMPARE(dialog->isVisible(), !message.isEmpty());
        });
        clickCell(f.window().grid(), 1, 1);
        QCOMPARE(opened, (QStringList{u"Parameters and time setting"_s, u"2"_s}));
        QCOMPARE(f.shown().join(u'|'),
                 message.isEmpty() ? QString() : u"[warning] Torvanelo: "_s + message);
        if (message.isEmpty() && button == u"cmdOK")
            QCOMPARE(f.storedValue(u"Rar_2"_s, u"Rar"_s) + f.storedValue(u"Rar_2"_s, u"Enable"_s)
                         + f.storedValue(u"Rar_2"_s, u"NbTemporisations"_s) + u'|'
                         + f.storedValue(u"Rar_1"_s, u"NbTemporisations"_s),
                     u"00"_s + typed.trimmed() + u"|10"_s);
        else
            QCOMPARE(f.snapshot(), before);
        QCOMPARE(f.window().pairModel().pairs(), f.pairsOnDisk());
        QCOMPARE(f.window().grid()->currentRow(), 1);
    }

    // A value typed into the prefix, delay or journal purge dialog and
    // confirmed: stored at once and in effect (the dialog opens on it
    // again), or refused with a message quoting it, the dialog left open and
    // nothing written. The prefix is stored upper case; a separator would
    // put the archives in another folder; the upper case "SS" of a sharp s
    // would make three characters. The delay is whole seconds within 1 to
    // 32767 (held in 16 bits), and the next pass comes a whole new delay
    // later.
    void typedSetting_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");  // then shown when the dialog opens again
        QTest::addColumn<QString>("message"); // empty: none
        const auto row = [](const char* tag, const char* entry, const QString& typed,
                            const QString& stored, const QString& message) {
            QTest::newRow(tag) << QString::fromLatin1(entry) << typed << stored << message;
        };
        const QString warning = u"[warning] Torvanelo 1.0b: "_s;
        const QString length = warning + u"Prefix must be 2 characters"_s;
        const QString invalid = u"[error] Torvanelo 1.0b: Invalid value: "_s;
        row("prefix ab", "mnuPrefixe", u"ab"_s, u"AB"_s, QString());
        row("prefix a:", "mnuPrefixe", u"a:"_s, u"abc"_s, warning + u"Invalid character"_s);
        row("prefix a/", "mnuPrefixe", u"a/"_s, u"abc"_s, warning + u"Invalid character"_s);
        row("prefix sharp s", "mnuPrefixe", u" ßx"_s, u"ßX"_s, QString());
        row("prefix one", "mnuPrefixe", u" a "_s, u"abc"_s, length);
        row("prefix three", "mnuPrefixe", u"xyz"_s, u"abc"_s, length);
        row("delay 2.5", "mnuTempo", u"2.5"_s, u"2"_s, QString());
        row("delay 32767", "mnuTempo", u"32767"_s, u"32767"_s, QString());
        row("delay 32768", "mnuTempo", u"32768"_s, u"10"_s, invalid + u"32768"_s);
        row("delay 0", "mnuTempo", u" 0"_s, u"10"_s, invalid + u" 0"_s);
        row("purge 30", "mnuPurgeLogs", u"30"_s, u"30"_s, QString());
        row("purge 1", "mnuPurgeLogs", u"1"_s, u"10"_s, invalid + u"1"_s);
        row("purge 366.4", "mnuPurgeLogs", u"366.4"_s, u"10"_s, invalid + u"366.4"_s);
        row("purge huge", "mnuPurgeLogs", u"1e999"_s, u"10"_s, invalid + u"1e999"_s);
    }
    void typedSetting() {
        QFETCH(QString, entry);
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(QString, message);
        ProgramFixture f;
        QVERIFY(f.start(u"[Configuration]\nPrefixeFichiersCompresses=abc\nTemporisation=10\n"_s));
        const QByteArray before = f.snapshot();
        std::optional<ModalDriver> driver(std::in_place, [&](QDialog* dialog) {
            if (auto* purge = control<QCheckBox>(dialog, "chkPurgeLogs"))
                purge->setChecked(true);
            typeInto(control<QLineEdit>(dialog, "Text1"), typed);
            click(dialog, "cmdOK");
            QCOMPARE(dialog->isVisible(), !message.isEmpty());
        });
        f.action(qPrintable(entry))->trigger();
        QCOMPARE(f.shown().join(u'|'), message);
        const auto [section, key] =
            entry == u"mnuPrefixe" ? std::pair{u"Configuration"_s, u"PrefixeFichiersCompresses"_s}
            : entry == u"mnuTempo" ? std::pair{u"Configuration"_s, u"Temporisation"_s}
                                   : std::pair{u"Logs"_s, u"DelaiLogs"_s};
        QVERIFY(message.isEmpty() ? f.storedValue(section, key) == stored : f.snapshot() == before);
        QVERIFY(entry != u"mnuTempo"
                || f.program().controller().SecondsToNextPass() == stored.toInt()
                || !message.isEmpty());
        QString reopened;
        driver.emplace(
            [&](QDialog* dialog) { reopened = control<QLineEdit>(dialog, "Text1")->text(); });
        f.action(qPrintable(entry))->trigger();
        QCOMPARE(reopened, stored);
    }

    // 1 to 100, stored and in effect at once; a value only an edited file
    // can hold opens at the end of the bar, and Cancel keeps it.
    void performance() {
        ProgramFixture f;
        QVERIFY(f.start(u"[Configuration]\nPerformance=500\n"_s));
        using Step = std::tuple<int, int, int>; // action, stored after, position when opened
        for (const auto& [action, stored, openedAt] :
             {Step{QAbstractSlider::SliderNoAction, 500, 100},
              {QAbstractSlider::SliderToMinimum, 1, 100},
              {QAbstractSlider::SliderToMaximum, 100, 1}}) {
            ModalDriver driver([&](QDialog* dialog) {
                auto* bar = control<QScrollBar>(dialog, "HScroll1");
                QCOMPARE(bar->value(), openedAt);
                bar->triggerAction(QAbstractSlider::SliderAction(action));
                click(dialog, action == QAbstractSlider::SliderNoAction ? "cmdAnnuler" : "cmdOK");
            });
            f.action("mnuPerformance")->trigger();
            QCOMPARE(f.stored(u"Performance"_s), QString::number(stored));
            QCOMPARE(f.program().store().settings().Performance, stored);
        }
    }

    // Screen, beep and net send ticked unequally, so a key stored from the
    // wrong box shows; the last round cancelled. The text box takes text
    // only while net send is ticked; an empty text is kept (later passes
    // then send nothing). The event-log warning has no part in the menu's
    // check mark. Try says when there is no text, else appends the text
    // unchanged (no quoting, trimming or escaping), starts it through the
    // shell and stores nothing.
    void warningSettings() {
        ProgramFixture f;
        QVERIFY(f.start(u"[Configuration]\nErreurDossierEventLog=1\n"_s));
        QAction* menu = f.action("mnuDossierErr");
        QVERIFY(!menu->isChecked());
        const QString text = u" ops \"Dossier inconnu\"; $X "_s;
        const char* const boxes[] = {"chkDossierErr", "chkDossierErrSon", "chkDossierErrNetSend"};
        for (const auto& [ticks, button] :
             {std::pair{u"011"_s, "cmdOK"}, {u"000"_s, "cmdOK"}, {u"101"_s, "cmdAnnuler"}}) {
            const QByteArray before = f.snapshot();
            const bool ok = button[3] == 'O';
            const QString stored = ok ? ticks : u"000"_s;
            ModalDriver driver([&](QDialog* dialog) {
                auto* box = control<QLineEdit>(dialog, "txtNetSend");
                QCOMPARE(box->isEnabled(), f.program().store().settings().WarnNetSend);
                typeInto(box, QString());
                for (int i = 0; i < 3; ++i)
                    if (control<QCheckBox>(dialog, boxes[i])->isChecked() != (ticks[i] == u'1'))
                        control<QCheckBox>(dialog, boxes[i])->click();
                QCOMPARE(box->isEnabled(), ticks[2] == u'1');
                if (!ok)
                    click(dialog, "cmdEssayer"); // with no text yet
                typeInto(box, text);
                if (!ok)
                    click(dialog, "cmdEssayer");
                click(dialog, button);
            });
            menu->trigger();
            QCOMPARE(f.stored(u"ErreurDossier"_s) + f.stored(u"ErreurDossierSon"_s)
                         + f.stored(u"ErreurDossierNetSend"_s),
                     stored);
            QCOMPARE(f.program().store().settings().NetSendMessage,
                     stored[2] == u'1' ? text : QString());
            QVERIFY(menu->isChecked() == (stored != u"000") && (ok || f.snapshot() == before));
        }
        QCOMPARE(f.recordingRunner.commandLines(RecordingProcessRunner::Kind::ShellDetached),
                 QStringList{u"net send "_s + text});
        QCOMPARE(f.shown(), QStringList{u"[warning] Torvanelo: No message to send"_s});
    }

    // Every menu toggle and settings dialog, with a parameters file that
    // cannot be written (neither replaced nor rewritten in place): the user
    // is told, the file is left as it was, and the change holds for the run
    // (the check marks show it). With a writable file nothing is said.
    void unsavedSettingIsSaid_data() {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<QString>("inForce"); // the setting's value afterwards
        for (const bool writable : {false, true}) {
            const auto row = [&](const char* entry, const char* value) {
                QTest::addRow("%s%s", entry, writable ? ", writable" : "")
                    << QByteArray(entry) << writable << QString::fromLatin1(value);
            };
            row("mnuTempo", "25");
            row("mnuPerformance", "1");
            row("mnuPrefixe", "ZZ");
            row("mnuDossierErr", "1");
            row("mnuService", "1");
            row("mnuAutomatique", "1");
            if (writable)
                continue;
            row("mnuArretAutomatique", "1");
            row("mnuVoirConsoleRAR", "1");
            row("mnuAfficherFichiers", "1");
            row("mnuFrancais", "1");
        }
    }
    void unsavedSettingIsSaid() {
        QFETCH(QByteArray, entry);
        QFETCH(bool, writable);
        ProgramFixture f;
        const QString ini = f.path(u"Torvanelo.ini"_s);
        QVERIFY(f.start(u"[Configuration]\nPerformance=50\n"_s, f.pairs(1)));
        const QByteArray before = f.snapshot();
        if (!writable)
            QVERIFY(setMode(ini, 0444) && setMode(f.home(), 0555));
        {
            const PermissionsEnforced ordinaryUser;
            ModalDriver driver([](QDialog* dialog) {
                if (auto* bar = control<QScrollBar>(dialog, "HScroll1"))
                    bar->triggerAction(QAbstractSlider::SliderToMinimum);
                else if (auto* text = control<QLineEdit>(dialog, "Text1"))
                    typeInto(text, dialog->objectName() == u"frmTempo" ? u"25"_s : u"zz"_s);
                else if (auto* screen = control<QCheckBox>(dialog, "chkDossierErr"))
                    screen->click();
                else if (auto* eventLog = control<QCheckBox>(dialog, "chkDossierErrEventLog"))
                    eventLog->click(); // written at once; the dialog is then cancelled
                click(dialog, control<QAbstractButton>(dialog, "cmdOK") ? "cmdOK" : "cmdAnnuler");
            });
            f.action(entry.constData())->trigger();
            QCoreApplication::processEvents();
        }
        QVERIFY(setMode(f.home(), 0700) && setMode(ini, 0644));
        const Settings& s = f.program().store().settings();
        const std::map<QByteArray, QString> values{
            {"mnuTempo", QString::number(s.DefaultDelay)},
            {"mnuPerformance", QString::number(s.Performance)},
            {"mnuPrefixe", s.CompressedPrefix},
            {"mnuDossierErr", QString::number(s.WarnOnScreen)},
            {"mnuService", QString::number(s.WarnEventLog)},
            {"mnuAutomatique", QString::number(s.AutoStart)},
            {"mnuArretAutomatique", QString::number(s.StopAfterFirstPass)},
            {"mnuVoirConsoleRAR", QString::number(s.ShowArchiverConsole)},
            {"mnuAfficherFichiers", QString::number(s.ShowFolderFiles)},
            {"mnuFrancais", QString::number(s.Language)},
        };
        QTEST(values.at(entry), "inForce");
        QAction* action = f.action(entry.constData());
        QVERIFY(!action->isCheckable() || action->isChecked());
        if (writable) {
            QCOMPARE(f.shown(), QStringList());
            QVERIFY(f.snapshot() != before);
            return;
        }
        const QString text = entry == "mnuFrancais"
                                 ? u"Le réglage n'a pas pu être enregistré: il vaut jusqu'à la "
                                   u"fin du programme"_s
                                 : u"The setting could not be saved: it holds until the program "
                                   u"ends"_s;
        QCOMPARE(f.shown(), QStringList{u"[warning] Torvanelo 1.0b: "_s + text + u"\r\n"_s + ini});
        QCOMPARE(f.snapshot(), before);
    }
};

TORVANELO_TEST(DialogsTest);
#include "DialogsTest.moc"
