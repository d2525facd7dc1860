#include "DialogTestSupport.h"
#include "FormatSize.h"
#include "HelpDocument.h"
#include "JournalWindows.h"
#include "NameCodec.h"
#include "PermissionsEnforced.h"
#include "ProgramFixture.h"
#include "ScratchFolder.h"
#include "ScratchMount.h"
#include "SettingsStore.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "frmPathLogs.h"
#include "frmVoirLogs.h"

#include <QCheckBox>
#include <QDir>
#include <QListView>
#include <QMenu>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

QString journalName(const QDate& date) {
    return u"Log Torvanelo "_s + date.toString(u"yyyy-MM-dd") + u".htm"_s;
}

QStringList journalsIn(const QString& folder) {
    return QDir(folder).entryList({u"Log Torvanelo*.htm"_s}, QDir::Files, QDir::Name);
}

// The parameters of a program that journals into its folder "journaux",
// with more lines for the Configuration section, and journals for the
// `count` days before the fixture's today; their dates, oldest first.
std::vector<QDate> prepareJournals(ProgramFixture& f, int count,
                                   const QString& configuration = QString()) {
    const QString journals = f.folder(u"journaux"_s);
    f.writeParameters(u"[Configuration]\nTemporisation=600\n"_s + configuration
                      + u"[Logs]\nLogs=1\nPathLogs="_s + journals + u'\n');
    std::vector<QDate> dates;
    for (int day = count; day >= 1; --day) {
        dates.push_back(f.clock.now().date().addDays(-day));
        if (!writeFile(journals + u'/' + journalName(dates.back()), "<html>\r\n"))
            return {};
    }
    return dates;
}

frmVoirLogs* openViewer(ProgramFixture& f) {
    f.action("mnuVoirLogs")->trigger();
    auto* journals = f.window().findChild<JournalWindows*>();
    return journals ? journals->viewer() : nullptr;
}

const QColor Purple(0x80, 0x00, 0x80);

} // namespace

// The folder contents, the journal viewer and the journal dialogs with real
// files, help, and screenshots of every window for the eye.
class JournalUiTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // Sizes in the tooltips follow the user's regional settings.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    // The unit follows the whole kilobytes, not the rounded value; beyond
    // 2 GiB the full size, never its low 32 bits; the user's own separators.
    void formatSize_data() {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        const std::pair<qint64, const char*> rows[] = {
            {0, "0 bytes"},
            {1023, "1,023 bytes"},
            {1024, "1.00KB (1,024 bytes)"},
            {1536, "1.50KB (1,536 bytes)"},
            {10240, "10.0KB (10,240 bytes)"},
            {102400, "100KB (102,400 bytes)"},
            {1048575, "1024KB (1,048,575 bytes)"},
            {1048576, "1.00MB (1,048,576 bytes)"},
            {1073741824, "1.00GB (1,073,741,824 bytes)"},
            {10239, "10.00KB (10,239 bytes)"},
            {3221225472, "3.00GB (3,221,225,472 bytes)"}};
        for (const auto& [bytes, text] : rows)
            QTest::addRow("%lld", bytes) << bytes << QString::fromUtf8(text);
    }
    void formatSize() {
        QFETCH(qint64, bytes);
        QTEST(FormatSize(bytes, QLocale(QLocale::English, QLocale::UnitedStates)), "text");
        if (bytes == 1048575)
            QCOMPARE(FormatSize(bytes, QLocale(QLocale::German)), u"1024KB (1.048.575 bytes)"_s);
    }

    // The document is looked for in the program folder, then beside the
    // executable, in the language's own name only; a folder of the
    // document's name is no document. When nothing opens it, the user is
    // told with its path.
    void helpFollowsTheLanguage_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QStringList>("present"); // "home/" or "exe/" + the name
        QTest::addColumn<bool>("opens");          // the desktop opens documents
        QTest::addColumn<QString>("shown");       // the document opened, or the message
        const QString fr = u"TorvaneloHelpFR.htm"_s;
        const QString en = u"TorvaneloHelpEN.htm"_s;
        QTest::newRow("French, both, in both folders")
            << 1 << QStringList{u"home/"_s + fr, u"home/"_s + en, u"exe/"_s + fr} << true
            << u"home/"_s + fr;
        QTest::newRow("other code, beside the executable only")
            << 2 << QStringList{u"exe/"_s + fr, u"exe/"_s + en} << true << u"exe/"_s + en;
        QTest::newRow("French, English only")
            << 1 << QStringList{u"home/"_s + en, u"exe/"_s + en} << true
            << u"[information] Torvanelo: La documentation n'est pas encore disponible..."_s;
        QTest::newRow("English, a folder")
            << 0 << QStringList{} << true
            << u"[information] Torvanelo: Documentation not yet available..."_s;
        QTest::newRow("English, nothing opens it")
            << 0 << QStringList{u"exe/"_s + en} << false
            << u"exe/"_s + en
                   + u"|[warning] Torvanelo: No program could open the documentation\r\n"_s
                   + u"exe/"_s + en;
        QTest::newRow("French, nothing opens it")
            << 1 << QStringList{u"home/"_s + fr} << false
            << u"home/"_s + fr
                   + u"|[warning] Torvanelo: Aucun programme n'a pu ouvrir la documentation\r\n"_s
                   + u"home/"_s + fr;
    }
    void helpFollowsTheLanguage() {
        QFETCH(int, language);
        QFETCH(QStringList, present);
        QFETCH(bool, opens);
        ScratchFolder folder;
        QVERIFY(QDir(folder.path()).mkdir(u"home"_s) && QDir(folder.path()).mkdir(u"exe"_s));
        for (const QString& name : present)
            QVERIFY(writeFile(folder.filePath(name), "<html></html>"));
        QVERIFY(!present.isEmpty() || QDir(folder.path()).mkdir(u"home/TorvaneloHelpEN.htm"_s));
        LinuxFileSystem files;
        ScriptedUserPrompts prompts;
        QStringList shown;
        const DocumentOpenerOverride opener([&](const QUrl& url) {
            shown << url.toLocalFile();
            return opens;
        });
        ShowHelp({folder.filePath(u"home"_s), folder.filePath(u"exe"_s)}, language, files, prompts,
                 nullptr);
        for (const auto& message : prompts.messages)
            shown << said(message);
        QTEST(shown.join(u'|').replace(folder.path() + u'/', QString()), "shown");
    }

    // Spaces, '#' and '%' are part of the name, not of the address; a name
    // that is not valid UTF-8 reaches the browser as its bytes.
    void documentAddresses() {
        QCOMPARE(DocumentUrl(u"/srv/Log Torvanelo #1 100%.htm"_s).toEncoded(),
                 QByteArray("file:///srv/Log%20Torvanelo%20%231%20100%25.htm"));
        QCOMPARE(DocumentUrl(decodeFileName("/srv/journ\xe9/x.htm")).toEncoded(),
                 QByteArray("file:///srv/journ%E9/x.htm"));
    }

    // The purge as the user sets it, on and keeping 10, over 25 older
    // journals (the journal's own tests count the other cases): nothing is
    // deleted before the day's journal is created; then the oldest go until,
    // with the new day's journal, 10 remain. A folder of a journal's name is
    // not counted, nor a user's copy. The viewer lists what remains and opens
    // today's at once, drawn as visited.
    void purgeThenListing() {
        const int older = 25;
        const int kept = 10;
        ProgramFixture f;
        std::vector<QDate> dates = prepareJournals(f, older);
        const QString journals = f.path(u"journaux"_s);
        QVERIFY(QDir(journals).mkdir(u"Log Torvanelo 1999-01-01.htm"_s));
        QVERIFY(writeFile(journals + u"/Log Torvanelo (copie).htm"_s, "mine"));
        QVERIFY(f.start(QString(), f.pairs(1)));
        ModalDriver driver([](QDialog* dialog) {
            control<QCheckBox>(dialog, "chkPurgeLogs")->setChecked(true);
            control<QLineEdit>(dialog, "Text1")->setText(u"10"_s);
            click(dialog, "cmdOK");
        });
        f.action("mnuPurgeLogs")->trigger();
        QVERIFY(f.action("mnuPurgeLogs")->isChecked() && journalsIn(journals).size() == older + 1);
        f.command(u"cmdMiroir"_s);
        dates.push_back(f.clock.now().date());
        QStringList expected;
        for (auto date = dates.end() - kept; date != dates.end(); ++date)
            expected << journalName(*date);
        QCOMPARE(journalsIn(journals), QStringList{u"Log Torvanelo (copie).htm"_s} + expected);
        QVERIFY(QFile::remove(journals + u"/Log Torvanelo (copie).htm"_s));
        // A journal dated later (a clock set wrong once) sorts last; today's
        // is the one opened.
        QVERIFY(writeFile(journals + u'/' + journalName(QDate(2099, 1, 1)), "x"));
        RecordedDocuments opened;
        frmVoirLogs* viewer = openViewer(f);
        QVERIFY(viewer && viewer->labelCount() == kept + 1);
        for (int i = 0; i < kept; ++i)
            QCOMPARE(viewer->dateLabel(i)->text(), expected[i].mid(14, 10));
        QCOMPARE(opened.paths, QStringList{journals + u'/' + expected.back()});
        QCOMPARE(viewer->dateLabel(kept - 1)->palette().color(QPalette::WindowText), Purple);
        QVERIFY(viewer->dateLabel(kept)->palette().color(QPalette::WindowText) != Purple);
        QVERIFY(viewer->dateLabel(0)->palette().color(QPalette::WindowText) != Purple);
    }

    // Deletion through the pop-up menu: a journal that could not go keeps
    // its label; the others keep their places and their files. A name that
    // is not a date is listed under the ten characters after the prefix,
    // and its label opens that very file; markup in a name stays text. On
    // opening, the latest dated journal opens. A click opens the journal and
    // sends the main window to the tray.
    void deleteAndOpenFromTheViewer_data() {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("readOnly"); // the folder: the journal cannot go
        QTest::newRow("yes") << true << false;
        QTest::newRow("no") << false << false;
        QTest::newRow("read-only folder") << true << true;
    }
    void deleteAndOpenFromTheViewer() {
        QFETCH(bool, yes);
        QFETCH(bool, readOnly);
        ProgramFixture f;
        std::optional<ScratchMount> mount;
        if (readOnly && !mount.emplace(f.folder(u"journaux"_s), "tmpfs", "size=1m").mounted())
            QSKIP(qPrintable(mount->error()));
        const std::vector<QDate> dates = prepareJournals(f, 3);
        const QString journals = f.path(u"journaux"_s);
        QVERIFY(writeFile(journals + u"/Log Torvanelo backup.htm"_s, "x")
                && writeFile(journals + u"/Log Torvanelo <b>bold<b>.htm"_s, "x"));
        QVERIFY((!readOnly || mount->setReadOnly(true)) && f.start());
        RecordedDocuments opened;
        frmVoirLogs* viewer = openViewer(f);
        QVERIFY(viewer && viewer->labelCount() == 5);
        QCOMPARE(viewer->dateLabel(3)->text() + u'|' + viewer->dateLabel(4)->text(),
                 u"<b>bold<b>|backup.htm"_s);
        QCOMPARE(viewer->dateLabel(3)->textFormat(), Qt::PlainText);
        const QPoint before = viewer->dateLabel(2)->pos();
        QTest::mousePress(viewer->dateLabel(1), Qt::RightButton, {}, QPoint(2, 2));
        QTRY_VERIFY(viewer->popupMenu()->isVisible());
        f.prompts.answers.push_back(yes ? UserPrompts::Answer::Yes : UserPrompts::Answer::No);
        viewer->popupMenu()->findChild<QAction*>(u"mnuSupprimerLog"_s)->trigger();
        viewer->popupMenu()->hide();
        QCOMPARE(f.shown(),
                 QStringList{u"[question yes/no] Torvanelo: Remove Log '2024-03-13'"_s}
                     + (readOnly ? QStringList{u"[warning] Torvanelo: Log '2024-03-13' could "
                                               u"not be removed."_s}
                                 : QStringList{}));
        const bool gone = yes && !readOnly;
        QVERIFY(QFile::exists(journals + u'/' + journalName(dates[1])) != gone
                && viewer->dateLabel(1)->isHidden() == gone);
        QVERIFY(viewer->dateLabel(2)->pos() == before && viewer->dateLabel(0)->isVisible());
        QCOMPARE(journalsIn(journals).size(), gone ? 4 : 5);
        QTest::mouseClick(viewer->dateLabel(4), Qt::LeftButton, {}, QPoint(2, 2));
        // Without today's journal, the latest dated one opened at once, not
        // the name that sorts last.
        QCOMPARE(opened.paths, (QStringList{journals + u'/' + journalName(dates[2]),
                                            journals + u"/Log Torvanelo backup.htm"_s}));
        // Without a tray the main window is minimized, never out of reach,
        // and comes back when the viewer closes.
        QTRY_VERIFY(f.window().isMinimized() && f.window().isVisible());
        viewer->close();
        QTRY_VERIFY(!f.window().isMinimized() && f.window().isVisible());
        QVERIFY(!readOnly || mount->setReadOnly(false));
    }

    // With a tray, the viewer sends the main window into it (a click on a
    // date, a second opening) and closing the viewer brings it back; a
    // window the user had put into the tray before stays there. Without a
    // tray the window is only minimized and comes back all the same.
    void closingTheViewerGivesTheWindowBack_data() {
        QTest::addColumn<bool>("tray");
        QTest::addColumn<bool>("inTrayBefore"); // the viewer opened from the tray's menu
        QTest::addColumn<bool>("dateClicked");  // else the viewer is opened a second time
        QTest::addColumn<bool>("givenBack");
        QTest::newRow("tray, date") << true << false << true << true;
        QTest::newRow("tray, opened again") << true << false << false << true;
        QTest::newRow("tray, in the tray before") << true << true << false << false;
        QTest::newRow("tray, in the tray before, date") << true << true << true << false;
        QTest::newRow("no tray, opened again") << false << false << false << true;
    }
    void closingTheViewerGivesTheWindowBack() {
        QFETCH(bool, tray);
        QFETCH(bool, inTrayBefore);
        QFETCH(bool, dateClicked);
        QFETCH(bool, givenBack);
        ProgramFixture f;
        QVERIFY(!prepareJournals(f, 2).empty() && f.start());
        frmKelvadon& window = f.window();
        window.setTrayPresence([tray] { return tray; });
        RecordedDocuments opened;
        if (inTrayBefore) {
            window.toggleFromTray();
            QVERIFY(window.isHidden());
        }
        f.action(inTrayBefore ? "mnuFichierVoirLogs" : "mnuVoirLogs")->trigger();
        frmVoirLogs* viewer = f.window().findChild<JournalWindows*>()->viewer();
        QVERIFY(viewer && viewer->labelCount() == 2);
        if (dateClicked)
            QTest::mouseClick(viewer->dateLabel(0), Qt::LeftButton, {}, QPoint(2, 2));
        else
            f.action("mnuVoirLogs")->trigger();
        QTRY_VERIFY(tray ? window.isHidden() : window.isMinimized() && window.isVisible());
        QCOMPARE(opened.paths.size(), dateClicked ? 2 : 1);
        viewer->close();
        if (givenBack)
            QTRY_VERIFY(window.isVisible() && !window.isMinimized());
        else
            QVERIFY(window.isHidden());
    }

    // Logging on with a folder; the same switched off but cancelled;
    // switched off: the folder stays. Logging off greys the rest; a folder
    // that is gone or relative is refused, silently.
    void journalFolderDialogWritesOnlyWhenConfirmed() {
        ProgramFixture f;
        const QString chosen = f.folder(u"journaux/2024"_s);
        QVERIFY(f.start());
        for (const auto& [button, logs] :
             {std::pair{"cmdOK", u"1"_s}, {"cmdAnnuler", u"1"_s}, {"cmdOK", u"0"_s}}) {
            const QByteArray before = f.snapshot();
            ModalDriver driver([&](QDialog* dialog) {
                auto* pathLogs = static_cast<frmPathLogs*>(dialog);
                QCOMPARE(control<QWidget>(dialog, "Chemins")->isEnabled(),
                         f.program().store().settings().LogEnabled);
                click(dialog, "chkLogs");
                QVERIFY(pathLogs->pointTreeAt(chosen) && !pathLogs->pointTreeAt(f.path(u"gone"_s))
                        && !pathLogs->pointTreeAt(u"relative"_s));
                QCOMPARE(control<QLabel>(dialog, "lblDossier")->text(), chosen);
                click(dialog, button);
            });
            f.action("mnuDefinirLogs")->trigger();
            QCOMPARE(f.storedValue(u"Logs"_s, u"Logs"_s) + f.storedValue(u"Logs"_s, u"PathLogs"_s),
                     logs + chosen);
            QCOMPARE(f.action("mnuDefinirLogs")->isChecked(), logs == u"1");
            QVERIFY(button[3] == 'O' || f.snapshot() == before);
        }
        QVERIFY(f.prompts.messages.empty());
    }

    // A journal setting that cannot be written (the program folder and the
    // parameters file read-only) is in force for the run all the same, and
    // the dialog says so; the file stays as it was.
    void unsavedJournalSettingIsSaid_data() {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<int>("language");
        QTest::newRow("purge, French") << "mnuPurgeLogs"_ba << 1;
        QTest::newRow("journal folder, English") << "mnuDefinirLogs"_ba << 0;
    }
    void unsavedJournalSettingIsSaid() {
        QFETCH(QByteArray, entry);
        QFETCH(int, language);
        ProgramFixture f;
        const QString ini = f.path(u"Torvanelo.ini"_s);
        QVERIFY(f.start(u"[Configuration]\nLangue="_s + QString::number(language) + u'\n'));
        const QByteArray before = f.snapshot();
        QVERIFY(setMode(ini, 0444) && setMode(f.home(), 0555));
        {
            const PermissionsEnforced ordinaryUser;
            ModalDriver driver([](QDialog* dialog) {
                if (auto* purge = control<QCheckBox>(dialog, "chkPurgeLogs")) {
                    purge->setChecked(true);
                    control<QLineEdit>(dialog, "Text1")->setText(u"20"_s);
                } else {
                    control<QCheckBox>(dialog, "chkLogs")->setChecked(true);
                }
                click(dialog, "cmdOK");
            });
            f.action(entry.constData())->trigger();
        }
        QVERIFY(setMode(f.home(), 0700) && setMode(ini, 0644));
        QCOMPARE(f.shown(),
                 QStringList{u"[warning] Torvanelo 1.0b: "_s
                             + (language == 1 ? u"Le réglage n'a pas pu être enregistré: il vaut "
                                                u"jusqu'à la fin du programme\r\n"_s
                                              : u"The setting could not be saved: it holds until "
                                                u"the program ends\r\n"_s)
                             + ini});
        const Settings& s = f.program().store().settings();
        QVERIFY(entry == "mnuPurgeLogs" ? s.PurgeOldLogs && s.LogRetention == 20 : s.LogEnabled);
        QVERIFY(f.action(entry.constData())->isChecked());
        QCOMPARE(f.snapshot(), before);
    }

    // The main window empty in English; in French with a disabled pair,
    // one uncompressing onto a Macintosh volume and one with a missing
    // target, then with the folder contents shown by F2; the journal viewer
    // and every dialog of the menus and of the grid.
    void screenshots() {
        ProgramFixture empty;
        QVERIFY(empty.start() && QTest::qWaitForWindowExposed(&empty.window()));
        saveScreenshot(&empty.window(), u"main-empty-en.png"_s);
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        ProgramFixture f;
        const QString in = f.folder(u"Depot/Entree"_s);
        const QString out = f.folder(u"Depot/Archives"_s);
        const QString mac = f.folder(u"Volumes/Graphisme"_s);
        f.folder(u"Volumes/Graphisme/Network Trash Folder"_s);
        QVERIFY(QDir(in).mkdir(u"Plans 2024"_s)
                && writeFile(in + u"/Devis été.pdf"_s, QByteArray(254321, 'd')));
        QVERIFY(writeFile(out + u"/RA000123.rar"_s, QByteArray(51234, 'a')));
        prepareJournals(f, 6, u"Langue=1\n"_s);
        f.writePairs({pairOf(in, out, u"0"_s, u"0"_s, u"100"_s),
                      pairOf(out, f.folder(u"Volumes/Graphisme/Mq"_s), u"1"_s, u"1"_s, u"7"_s),
                      pairOf(f.folder(u"Volumes/Graphisme/Sortie"_s), f.path(u"Absent"_s))});
        QVERIFY(f.start());
        frmKelvadon& window = f.window();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QAbstractItemModel* grid = window.grid()->model();
        QCOMPARE(grid->index(1, 2).data().toString(), u"      "_s + mac + u"/Mq"_s);
        QCOMPARE(grid->index(2, 2).data().toString(), u"??? "_s + f.path(u"Absent"_s));
        saveScreenshot(&window, u"main-pairs-fr.png"_s);
        QTest::keyClick(&window, Qt::Key_F2);
        clickCell(window.grid(), 0, 0);
        QCOMPARE(window.sourceFileList()->model()->rowCount(), 2);
        saveScreenshot(&window, u"journal-main-files-fr.png"_s);
        RecordedDocuments documents;
        frmVoirLogs* viewer = openViewer(f);
        QVERIFY(QTest::qWaitForWindowExposed(viewer));
        QCOMPARE(viewer->windowTitle(), u"Voir les journaux - [Retour à Torvanelo] ->"_s);
        saveScreenshot(viewer, u"journal-viewer-fr.png"_s);
        viewer->close();
        QStringList titles;
        ModalDriver driver([&titles](QDialog* dialog) {
            titles << dialog->windowTitle();
            if (auto* duration = control<QLabel>(dialog, "lblMiroirN2"))
                titles << duration->text();
            saveScreenshot(dialog, u"dialog-"_s + dialog->objectName() + u"-fr.png"_s);
        });
        for (const char* entry : {"mnuPrefixe", "mnuTempo", "mnuPerformance", "mnuDossierErr",
                                  "mnuDefinirLogs", "mnuPurgeLogs", "mnuAPropos"})
            f.action(entry)->trigger();
        clickCell(window.grid(), 0, 1);
        QCOMPARE(driver.seen, (QStringList{u"frmPrefixeCible"_s, u"frmTempo"_s, u"frmPerformance"_s,
                                           u"frmAvertirDossierErr"_s, u"frmPathLogs"_s,
                                           u"frmPurgeLogs"_s, u"frmAbout"_s, u"frmSetMode"_s}));
        QCOMPARE(titles.mid(6), (QStringList{u"A propos de..."_s, u"Paramètres et temporisation"_s,
                                             u"soit: 16 h 40 min 0 sec"_s}));
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
};

TORVANELO_TEST(JournalUiTest);
#include "JournalUiTest.moc"
