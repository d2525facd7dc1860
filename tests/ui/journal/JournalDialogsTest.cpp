#include "JournalUiSupport.h"
#include "ProgramFixture.h"
#include "SettingsStore.h"
#include "TestRegistry.h"
#include "frmKelvadon.h"
#include "frmPathLogs.h"
#include "frmPurgeLogs.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

template <typename T>
T* child(QWidget* dialog, const char* name) {
    return dialog->findChild<T*>(QString::fromLatin1(name));
}

void click(QWidget* dialog, const char* name) {
    QTest::mouseClick(child<QAbstractButton>(dialog, name), Qt::LeftButton);
}

// The [Logs] section as the file holds it, key by key in file order.
QStringList logsKeys(const QString& parametersFile) {
    QStringList keys;
    const auto content = readFile(parametersFile);
    bool inLogs = false;
    for (const QByteArray& line : content.value_or(QByteArray()).split('\n')) {
        const QString text = QString::fromUtf8(line).trimmed();
        if (text.startsWith(u'['))
            inLogs = text == u"[Logs]";
        else if (inLogs && text.contains(u'='))
            keys << text.section(u'=', 0, 0);
    }
    return keys;
}

} // namespace

// The journal folder dialog and the purge dialog: what they show, what OK
// writes and in which order, what they refuse, and the menu check marks.
class JournalDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void folderDialogWritesInOrder() {
        ProgramFixture fixture;
        const QString chosen = fixture.folder(u"journaux/2024"_s);
        QVERIFY(fixture.start());
        SettingsStore& store = fixture.program().store();
        frmPathLogs dialog(store, &fixture.window());
        QCOMPARE(dialog.windowTitle(), u"Torvanelo 1.0b"_s);
        QCOMPARE(child<QCheckBox>(&dialog, "chkLogs")->text(),
                 u"Archive compress/uncompress operations in daily Log files"_s);
        // Logging off: the rest is greyed.
        QVERIFY(!child<QCheckBox>(&dialog, "chkLogs")->isChecked());
        for (const char* name :
             {"chkFichiersLogs", "lblTitre", "Lecteurs", "Chemins", "lblDossier"})
            QVERIFY2(!child<QWidget>(&dialog, name)->isEnabled(), name);
        // The tree starts at the journal folder: the program folder.
        QCOMPARE(dialog.currentFolder(), fixture.home());
        QCOMPARE(child<QLabel>(&dialog, "lblDossier")->text(), fixture.home());

        click(&dialog, "chkLogs");
        for (const char* name :
             {"chkFichiersLogs", "lblTitre", "Lecteurs", "Chemins", "lblDossier"})
            QVERIFY2(child<QWidget>(&dialog, name)->isEnabled(), name);
        click(&dialog, "chkFichiersLogs");
        QVERIFY(dialog.pointTreeAt(chosen));
        QCOMPARE(child<QLabel>(&dialog, "lblDossier")->text(), chosen);
        auto* tree = child<QTreeView>(&dialog, "Chemins");
        QCOMPARE(tree->currentIndex().data(Qt::DisplayRole).toString(), u"2024"_s);
        click(&dialog, "cmdOK");

        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(fixture.storedValue(u"Logs"_s, u"Logs"_s), u"1"_s);
        QCOMPARE(fixture.storedValue(u"Logs"_s, u"FichiersLogs"_s), u"1"_s);
        QCOMPARE(fixture.storedValue(u"Logs"_s, u"PathLogs"_s), chosen);
        QCOMPARE(logsKeys(fixture.path(u"Torvanelo.ini"_s)),
                 QStringList({u"Logs"_s, u"FichiersLogs"_s, u"PathLogs"_s}));
        QVERIFY(store.settings().LogEnabled);
        QCOMPARE(store.settings().LogFolder, chosen);
    }

    void loggingOffStillStoresTheFolderAndTheNames() {
        ProgramFixture fixture;
        const QString journals = fixture.folder(u"journaux"_s);
        fixture.writeParameters(u"[Logs]\nLogs=1\nFichiersLogs=1\nPathLogs="_s + journals + u'\n');
        QVERIFY(fixture.start());
        QVERIFY(fixture.action("mnuDefinirLogs")->isChecked());
        {
            ModalScript script(u"frmPathLogs"_s, [&](QWidget* dialog) {
                QCOMPARE(child<QLabel>(dialog, "lblDossier")->text(), journals);
                click(dialog, "chkLogs");
                // Greyed, the names box keeps its tick.
                QVERIFY(!child<QCheckBox>(dialog, "chkFichiersLogs")->isEnabled());
                QVERIFY(child<QCheckBox>(dialog, "chkFichiersLogs")->isChecked());
                click(dialog, "cmdOK");
            });
            fixture.action("mnuDefinirLogs")->trigger();
            QVERIFY(script.ran());
        }
        QCOMPARE(fixture.storedValue(u"Logs"_s, u"Logs"_s), u"0"_s);
        QCOMPARE(fixture.storedValue(u"Logs"_s, u"FichiersLogs"_s), u"1"_s);
        QCOMPARE(fixture.storedValue(u"Logs"_s, u"PathLogs"_s), journals);
        QVERIFY(!fixture.action("mnuDefinirLogs")->isChecked());
    }

    void cancelChangesNothing() {
        ProgramFixture fixture;
        fixture.writeParameters(u"[Logs]\nLogs=1\n"_s);
        QVERIFY(fixture.start());
        const auto before = readFile(fixture.path(u"Torvanelo.ini"_s));
        {
            ModalScript script(u"frmPathLogs"_s, [](QWidget* dialog) {
                click(dialog, "chkLogs");
                click(dialog, "cmdAnnuler");
            });
            fixture.action("mnuDefinirLogs")->trigger();
            QVERIFY(script.ran());
        }
        QCOMPARE(readFile(fixture.path(u"Torvanelo.ini"_s)), before);
        QVERIFY(fixture.action("mnuDefinirLogs")->isChecked());
    }

    void vanishedFolderFallsBackWithoutAMessage() {
        ProgramFixture fixture;
        const QString journals = fixture.folder(u"journaux"_s);
        fixture.writeParameters(u"[Configuration]\nLangue=1\n[Logs]\nPathLogs="_s + journals
                                + u'\n');
        QVERIFY(fixture.start());
        QVERIFY(QDir(journals).removeRecursively());
        frmPathLogs dialog(fixture.program().store(), &fixture.window());
        QCOMPARE(child<QCheckBox>(&dialog, "chkLogs")->text(),
                 u"Archiver quotidiennement les traitements effectués"_s);
        QCOMPARE(child<QPushButton>(&dialog, "cmdAnnuler")->text(), u"&Annuler"_s);
        QCOMPARE(dialog.currentFolder(), fixture.home());
        QVERIFY(!dialog.pointTreeAt(journals));
        QVERIFY(!dialog.pointTreeAt(QString()));
        QVERIFY(!dialog.pointTreeAt(u"relative/folder"_s));
        QCOMPARE(dialog.currentFolder(), fixture.home());
        click(&dialog, "cmdOK");
        QCOMPARE(fixture.storedValue(u"Logs"_s, u"PathLogs"_s), fixture.home());
        QVERIFY(fixture.prompts.messages.empty());
    }

    void drivesAreTheMountPoints() {
        ProgramFixture fixture;
        const QString sub = fixture.folder(u"mnt/usb/photos"_s);
        QVERIFY(fixture.start());
        // A drive that is there, and one that is gone (a stick pulled out).
        const QString usb = fixture.path(u"mnt/usb"_s);
        const QString gone = fixture.path(u"mnt/gone"_s);
        frmPathLogs dialog(fixture.program().store(), &fixture.window(), {u"/"_s, usb, gone});
        auto* drives = child<QComboBox>(&dialog, "Lecteurs");
        QCOMPARE(drives->count(), 3);
        QCOMPARE(drives->itemText(0), u"/"_s);
        QCOMPARE(dialog.currentDrive(), u"/"_s);
        QCOMPARE(drives->currentIndex(), 0);

        // A folder on the other drive moves the list along.
        QVERIFY(dialog.pointTreeAt(sub));
        QCOMPARE(dialog.currentDrive(), usb);
        QCOMPARE(drives->currentText(), usb);

        // Back to "/": the folder last shown there.
        dialog.Lecteurs_Change(0);
        QCOMPARE(dialog.currentFolder(), fixture.home());
        // The other drive: its folder last shown.
        dialog.Lecteurs_Change(1);
        QCOMPARE(dialog.currentFolder(), sub);
        // A drive that cannot be shown: the list goes back, silently.
        drives->setCurrentIndex(2);
        dialog.Lecteurs_Change(2);
        QCOMPARE(drives->currentIndex(), 1);
        QCOMPARE(dialog.currentFolder(), sub);
        QVERIFY(fixture.prompts.messages.empty());
    }

    void purgeArrowsShowTheBounds_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("minimum");
        QTest::addColumn<QString>("maximum");
        QTest::newRow("English") << 0 << u"Minimal value reached"_s << u"Maximal value reached"_s;
        QTest::newRow("French") << 1 << u"Valeur minimale atteinte"_s
                                << u"Valeur maximale atteinte"_s;
    }
    void purgeArrowsShowTheBounds() {
        QFETCH(int, language);
        QFETCH(QString, minimum);
        QFETCH(QString, maximum);
        ProgramFixture fixture;
        fixture.writeParameters(u"[Configuration]\nLangue="_s + QString::number(language)
                                + u"\n[Logs]\nDelaiLogs=3\n"_s);
        QVERIFY(fixture.start());
        frmPurgeLogs dialog(fixture.program().store(), fixture.prompts, &fixture.window());
        dialog.show();
        auto* box = child<QLineEdit>(&dialog, "Text1");
        auto* bound = child<QLabel>(&dialog, "Label1");
        QCOMPARE(box->text(), u"3"_s);
        QVERIFY(!bound->isVisible());
        click(&dialog, "UpDown1Down");
        QCOMPARE(box->text(), u"2"_s);
        QVERIFY(bound->isVisible());
        QCOMPARE(bound->text(), minimum);
        click(&dialog, "UpDown1Up");
        QCOMPARE(box->text(), u"3"_s);
        QVERIFY(!bound->isVisible());
        box->setText(u"365"_s);
        click(&dialog, "UpDown1Up");
        QCOMPARE(box->text(), u"366"_s);
        QCOMPARE(bound->text(), maximum);
        QVERIFY(bound->isVisible());
        box->setText(u"500"_s);
        click(&dialog, "UpDown1Up");
        QCOMPARE(box->text(), u"366"_s);
        QCOMPARE(child<QLabel>(&dialog, "lblJours")->text(),
                 language == 1 ? u"jours"_s : u"days"_s);
    }

    void purgeOkRefusesOutOfRange_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("1") << u"1"_s;
        QTest::newRow("367") << u"367"_s;
        QTest::newRow("text") << u"ten"_s;
        QTest::newRow("empty") << QString();
        QTest::newRow("huge") << u"1e999"_s;
    }
    void purgeOkRefusesOutOfRange() {
        QFETCH(QString, typed);
        ProgramFixture fixture;
        QVERIFY(fixture.start());
        const auto before = readFile(fixture.path(u"Torvanelo.ini"_s));
        frmPurgeLogs dialog(fixture.program().store(), fixture.prompts, &fixture.window());
        dialog.show();
        child<QCheckBox>(&dialog, "chkPurgeLogs")->setChecked(true);
        child<QLineEdit>(&dialog, "Text1")->setText(typed);
        click(&dialog, "cmdOK");
        QCOMPARE(int(fixture.prompts.messages.size()), 1);
        const auto& message = fixture.prompts.messages.front();
        QCOMPARE(message.text, u"Invalid value: "_s + typed);
        QCOMPARE(message.title, u"Torvanelo 1.0b"_s);
        QCOMPARE(message.icon, UserPrompts::Icon::Error);
        // Still open, nothing written.
        QVERIFY(dialog.isVisible());
        QCOMPARE(readFile(fixture.path(u"Torvanelo.ini"_s)), before);
        QVERIFY(!fixture.program().store().settings().PurgeOldLogs);
    }

    void purgeOkStoresThroughTheMenu() {
        ProgramFixture fixture;
        fixture.writeParameters(u"[Configuration]\nLangue=1\n"_s);
        QVERIFY(fixture.start());
        QVERIFY(!fixture.action("mnuPurgeLogs")->isChecked());
        {
            ModalScript script(u"frmPurgeLogs"_s, [](QWidget* dialog) {
                QCOMPARE(child<QCheckBox>(dialog, "chkPurgeLogs")->text(),
                         u"Effacer automatiquement les journaux après..."_s);
                QCOMPARE(child<QLineEdit>(dialog, "Text1")->text(), u"10"_s);
                child<QCheckBox>(dialog, "chkPurgeLogs")->setChecked(true);
                child<QLineEdit>(dialog, "Text1")->setText(u"2.5"_s);
                click(dialog, "cmdOK");
            });
            fixture.action("mnuPurgeLogs")->trigger();
            QVERIFY(script.ran());
        }
        QCOMPARE(fixture.storedValue(u"Logs"_s, u"PurgeLogs"_s), u"1"_s);
        QCOMPARE(fixture.storedValue(u"Logs"_s, u"DelaiLogs"_s), u"2"_s);
        QVERIFY(fixture.action("mnuPurgeLogs")->isChecked());

        // Switched off again, the number stays as typed.
        {
            ModalScript script(u"frmPurgeLogs"_s, [](QWidget* dialog) {
                QVERIFY(child<QCheckBox>(dialog, "chkPurgeLogs")->isChecked());
                child<QCheckBox>(dialog, "chkPurgeLogs")->setChecked(false);
                child<QLineEdit>(dialog, "Text1")->setText(u"366"_s);
                click(dialog, "cmdOK");
            });
            fixture.action("mnuPurgeLogs")->trigger();
            QVERIFY(script.ran());
        }
        QCOMPARE(fixture.storedValue(u"Logs"_s, u"PurgeLogs"_s), u"0"_s);
        QCOMPARE(fixture.storedValue(u"Logs"_s, u"DelaiLogs"_s), u"366"_s);
        QVERIFY(!fixture.action("mnuPurgeLogs")->isChecked());
    }
};

TORVANELO_TEST(JournalDialogsTest);
#include "JournalDialogsTest.moc"
