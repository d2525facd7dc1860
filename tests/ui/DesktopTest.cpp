#include "DialogTestSupport.h"
#include "FolderBrowser.h"
#include "InstanceRendezvous.h"
#include "NameCodec.h"
#include "ProcessingController.h"
#include "ProgramFixture.h"
#include "QtUserPrompts.h"
#include "SettingsStore.h"
#include "SingleInstance.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "Texts.h"
#include "WindowTexts.h"
#include "frmPerformance.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QProcess>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

// A runtime folder of the test's own for the single-instance locks.
struct RuntimeFolder {
    QTemporaryDir folder;
    QByteArray before = qgetenv("XDG_RUNTIME_DIR");
    RuntimeFolder() { qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder.path())); }
    ~RuntimeFolder() { qputenv("XDG_RUNTIME_DIR", before); }
    qsizetype locks() const {
        return QDir(folder.path()).entryList({u"torvanelo-*.lock"_s}, QDir::Files).size();
    }
};

QString buttonText(QWidget* dialog, QDialogButtonBox::StandardButton which) {
    for (auto* box : dialog->findChildren<QDialogButtonBox*>()) {
        if (QPushButton* button = box->button(which))
            return button->text();
    }
    return QString();
}

} // namespace

// The program on a desktop as people have it: with or without a tray, in
// French down to Qt's own dialogs, started twice, moved about.
class DesktopTest : public QObject {
    Q_OBJECT

private slots:
    // The offscreen platform has no tray: minimizing, the automatic start
    // and the journal viewer all leave a minimized window, never a hidden
    // one; the icon is made anyway, for a tray that comes later.
    void withoutATrayTheWindowStaysWithinReach() {
        ProgramFixture f;
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
        QVERIFY(f.start(u"[Configuration]\nAutomatique=1\n"_s, f.pairs(1)));
        QVERIFY(f.window().trayIcon() && f.window().trayIcon()->isVisible());
        QVERIFY(f.window().isVisible() && f.window().isMinimized());
        f.action("mnuRestaurer")->trigger();
        QVERIFY(f.window().isVisible() && !f.window().isMinimized());
        f.window().setWindowState(Qt::WindowMinimized);
        QCoreApplication::processEvents();
        QVERIFY(f.window().isVisible() && f.window().isMinimized());
        f.window().toggleFromTray();
        QVERIFY(f.window().isVisible() && !f.window().isMinimized());
    }

    // A tray that comes after the program (a panel started later): the
    // icon made at start-up is used from then on, the window minimized into
    // the tray and back; when the tray goes again, the window stays within
    // reach once more.
    void aTrayThatComesLaterIsUsed() {
        ProgramFixture f;
        bool trayThere = false;
        f.writeParameters(u"[Configuration]\nAutomatique=1\n"_s);
        f.writePairs(f.pairs(1));
        f.build().window().setTrayPresence([&trayThere] { return trayThere; });
        QVERIFY(f.program().start());
        frmKelvadon& window = f.window();
        QVERIFY(window.isVisible() && window.isMinimized());
        trayThere = true;
        window.restoreWindow();
        QVERIFY(!f.action("mnuRestaurer")->isVisible());
        // The window manager's minimize button.
        window.setWindowState(Qt::WindowMinimized);
        QTRY_VERIFY(window.isHidden());
        QVERIFY(f.action("mnuRestaurer")->isVisible()
                && f.action("mnuFichierVoirLogs")->isVisible());
        window.toggleFromTray();
        QVERIFY(window.isVisible() && !window.isMinimized());
        trayThere = false;
        window.toggleFromTray();
        QVERIFY(window.isVisible() && window.isMinimized());
    }

    // Two programs on the same program folder, or on the same executable,
    // never run side by side (a link to the folder is the same folder); the
    // refused start asks the running copy to show its window.
    void secondStartShowsTheFirstAndIsRefused_data() {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("folder"); // "same", "link" or "other"
        QTest::addColumn<bool>("refused");
        QTest::newRow("same executable, other folder")
            << u"/opt/a/torvanelo"_s << u"other"_s << true;
        QTest::newRow("other executable, same folder")
            << u"/opt/b/torvanelo"_s << u"same"_s << true;
        QTest::newRow("other executable, folder by a link")
            << u"/opt/b/torvanelo"_s << u"link"_s << true;
        QTest::newRow("other executable, other folder")
            << u"/opt/b/torvanelo"_s << u"other"_s << false;
    }
    void secondStartShowsTheFirstAndIsRefused() {
        QFETCH(QString, executable);
        QFETCH(QString, folder);
        QFETCH(bool, refused);
        RuntimeFolder runtime;
        ProgramFixture f;
        QVERIFY(f.start(QString(), f.pairs(1)));
        f.window().minimizeToTray();
        const QString other = f.folder(u"other"_s);
        QVERIFY(QFile::link(f.home(), f.path(u"link"_s)));
        SingleInstance first(u"/opt/a/torvanelo"_s, f.home());
        SingleInstance second(executable, folder == u"same"   ? f.home()
                                          : folder == u"link" ? f.path(u"link"_s)
                                                              : other);
        QVERIFY(first.acquire());
        InstanceRendezvous rendezvous;
        QVERIFY(rendezvous.listen(first.rendezvousNames()));
        QObject::connect(&rendezvous, &InstanceRendezvous::showRequested, &f.window(),
                         &frmKelvadon::restoreWindow);
        QCOMPARE(second.acquire(), !refused);
        QCOMPARE(runtime.locks(), refused ? 2 : 4);
        if (!refused)
            return;
        QVERIFY(InstanceRendezvous::askToShow(second.refusedBy()));
        QTRY_VERIFY(!f.window().isMinimized());
    }

    // The built program, copied to two places and run on one program
    // folder: the second copy is refused with the usual message and ends in
    // failure; the same copy on another folder runs.
    void twoCopiesOfTheProgramOnOneFolder() {
        RuntimeFolder runtime;
        QTemporaryDir place;
        const QString home = place.filePath(u"home"_s);
        const QString otherHome = place.filePath(u"home2"_s);
        QVERIFY(QDir().mkpath(home) && QDir().mkpath(otherHome));
        for (const QString& copy : {u"a"_s, u"b"_s}) {
            QVERIFY(QDir().mkpath(place.filePath(copy)));
            for (const QString& name : {u"torvanelo"_s, u"rar"_s})
                QVERIFY(QFile::copy(buildDir() + u'/' + name, place.filePath(copy + u'/' + name)));
        }
        QVERIFY(writeFile(home + u"/Torvanelo.ini"_s, "[Configuration]\nLangue=1\n"));
        const auto program = [&](const QString& copy, const QString& folder) {
            auto process = std::make_unique<QProcess>();
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(u"TORVANELO_HOME"_s, folder);
            environment.insert(u"XDG_RUNTIME_DIR"_s, runtime.folder.path());
            environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
            process->setProcessEnvironment(environment);
            process->start(place.filePath(copy + u"/torvanelo"_s), {});
            return process;
        };
        auto first = program(u"a"_s, home);
        QTRY_COMPARE(runtime.locks(), 2);
        auto second = program(u"b"_s, home);
        QVERIFY(second->waitForFinished(-1));
        QCOMPARE(second->exitCode(), 1);
        QVERIFY2(second->readAllStandardError().contains("Programme déjà lancé"),
                 "the refusal in the folder's language");
        QCOMPARE(first->state(), QProcess::Running);
        auto third = program(u"b"_s, otherHome);
        QTRY_COMPARE(runtime.locks(), 4);
        for (QProcess* process : {first.get(), third.get()}) {
            QCOMPARE(process->state(), QProcess::Running);
            process->kill();
            process->waitForFinished(-1);
        }
    }

    // Qt's own buttons and boxes follow the language, both ways.
    void qtDialogsSpeakTheProgramsLanguage() {
        ProgramFixture f;
        QVERIFY(f.start(u"[Configuration]\nLangue=1\n"_s));
        const auto question = [&] {
            return QtUserPrompts::messageBox(&f.window(), UserPrompts::Icon::Question,
                                             UserPrompts::Buttons::YesNo, ProductName,
                                             quitQuestion(f.program().store().settings().Language));
        };
        auto box = question();
        QCOMPARE(box->button(QMessageBox::Yes)->text() + u'/'
                     + box->button(QMessageBox::No)->text(),
                 u"&Oui/&Non"_s);
        box->show();
        saveScreenshot(box.get(), u"messagebox-question-fr.png"_s);
        box->close();
        QInputDialog entry(&f.window());
        entry.setWindowTitle(ProductName);
        entry.setLabelText(u"Dossier source"_s);
        entry.show();
        QCOMPARE(buttonText(&entry, QDialogButtonBox::Cancel), u"Annuler"_s);
        saveScreenshot(&entry, u"typed-entry-fr.png"_s);
        entry.close();
        FolderBrowser browser(u"Ajouter un dossier source"_s, f.home(), &f.window());
        browser.show();
        QCOMPARE(buttonText(&browser, QDialogButtonBox::Cancel), u"Annuler"_s);
        saveScreenshot(&browser, u"folder-browser-fr.png"_s);
        browser.close();
        f.action("mnuAnglais")->trigger();
        box = question();
        QCOMPARE(box->button(QMessageBox::Yes)->text(), u"&Yes"_s);
        box->show();
        saveScreenshot(box.get(), u"messagebox-question-en.png"_s);
        box->close();
        FolderBrowser english(u"Add a source folder"_s, f.home(), &f.window());
        english.show();
        QCOMPARE(buttonText(&english, QDialogButtonBox::Cancel), u"Cancel"_s);
        saveScreenshot(&english, u"folder-browser-en.png"_s);
    }

    // Focus coming back (another window, a menu closed, Tab) leaves the
    // highlight off, so Remove and Modify do not act on a pair the user
    // never chose; a moving key in the grid turns it on.
    void onlyAClickOrAKeyHighlightsTheGrid_data() {
        QTest::addColumn<int>("reason");
        QTest::newRow("window activated") << int(Qt::ActiveWindowFocusReason);
        QTest::newRow("menu closed") << int(Qt::PopupFocusReason);
        QTest::newRow("tab") << int(Qt::TabFocusReason);
    }
    void onlyAClickOrAKeyHighlightsTheGrid() {
        QFETCH(int, reason);
        ProgramFixture f;
        QVERIFY(f.start(QString(), f.pairs(2)));
        FolderGrid* grid = f.window().grid();
        QVERIFY(!grid->selectionHighlight());
        QFocusEvent focus(QEvent::FocusIn, Qt::FocusReason(reason));
        QCoreApplication::sendEvent(grid, &focus);
        QVERIFY(!grid->selectionHighlight());
        const QByteArray before = f.snapshot();
        f.command(u"cmdSupprimer"_s);
        QCOMPARE(f.pairsOnDisk().size(), 2u);
        QCOMPARE(f.snapshot(), before);
        QTest::keyClick(grid, Qt::Key_Up);
        QVERIFY(grid->selectionHighlight() && grid->currentRow() == 0);
    }

    // A box as wide as its title (in a title bar's bold font), and never
    // narrower than the minimum.
    void messageBoxesAreAsWideAsTheirTitle_data() {
        QTest::addColumn<QString>("title");
        QTest::newRow("product") << u"Torvanelo"_s;
        QTest::newRow("settings dialog") << u"Torvanelo - 1.0b"_s;
        QTest::newRow("long")
            << u"Torvanelo 1.0b   filesrv; backup; Debian GNU/Linux 12 (bookworm) "
               u"v.6.1, Build 0"_s;
    }
    void messageBoxesAreAsWideAsTheirTitle() {
        QFETCH(QString, title);
        auto box = QtUserPrompts::messageBox(nullptr, UserPrompts::Icon::Information,
                                             UserPrompts::Buttons::Ok, title, u"Ok"_s);
        box->show();
        QFont bold = box->font();
        bold.setBold(true);
        QVERIFY(box->width() >= QtUserPrompts::MinimumBoxWidth);
        QVERIFY2(box->width() >= QFontMetrics(bold).horizontalAdvance(title)
                                     + QtUserPrompts::TitleBarButtonsWidth,
                 qPrintable(QString::number(box->width())));
        box->close();
    }

    // Folders whose names are not UTF-8 are entered and chosen with their
    // bytes intact; a start folder that is gone starts at its nearest
    // existing parent.
    void theFolderBrowserTakesAnyName() {
        QTemporaryDir root;
        const QByteArray base = QFile::encodeName(root.path());
        QCOMPARE(::mkdir((base + "/caf\xe9").constData(), 0700), 0);
        QCOMPARE(::mkdir((base + "/caf\xe9/sous \xff dossier").constData(), 0700), 0);
        QVERIFY(writeFile(root.filePath(u"file"_s), "x"));
        FolderBrowser browser(u"Browse"_s, root.filePath(u"gone/deeper"_s));
        QCOMPARE(browser.currentFolder(), root.path());
        auto* list = browser.findChild<QListWidget*>(u"lstSousDossiers"_s);
        QCOMPARE(list->count(), 2); // "..", the folder; not the file
        list->setCurrentRow(1);
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(encodeFileName(browser.currentFolder()), base + "/caf\xe9");
        QCOMPARE(list->item(1)->text(), u"sous \uFFFD dossier"_s);
        list->setCurrentRow(1);
        browser.accept();
        QCOMPARE(encodeFileName(browser.chosenFolder()), base + "/caf\xe9/sous \xff dossier");
        struct stat status {};
        QVERIFY(::stat(encodeFileName(browser.chosenFolder()).constData(), &status) == 0
                && S_ISDIR(status.st_mode));
        // QTemporaryDir cannot remove names that are not UTF-8.
        QCOMPARE(::rmdir((base + "/caf\xe9/sous \xff dossier").constData()), 0);
        QCOMPARE(::rmdir((base + "/caf\xe9").constData()), 0);
    }

    // The performance scroll bar is reached with Tab.
    void performanceBarTakesTheKeyboard() {
        ProgramFixture f;
        QVERIFY(f.start());
        frmPerformance dialog(f.program().store(), f.prompts, &f.window());
        dialog.show();
        auto* bar = dialog.findChild<QScrollBar*>(u"HScroll1"_s);
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        for (int tabs = 0; tabs < 5 && QApplication::focusWidget() != bar; ++tabs)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), bar);
    }

    // Desktop notifications are off until chosen in the warning dialog;
    // chosen, they are stored and count for the menu's mark.
    void desktopNotificationIsChosenInTheWarningDialog() {
        ProgramFixture f;
        QVERIFY(f.start());
        QVERIFY(!f.program().store().settings().WarnDesktop);
        ModalDriver driver([](QDialog* dialog) {
            auto* box = control<QCheckBox>(dialog, "chkDossierErrNotification");
            QVERIFY(box && !box->isChecked());
            box->click();
            click(dialog, "cmdOK");
        });
        f.action("mnuDossierErr")->trigger();
        QCOMPARE(driver.seen, QStringList{u"frmAvertirDossierErr"_s});
        QCOMPARE(f.stored(u"ErreurDossierNotification"_s), u"1"_s);
        QVERIFY(f.program().store().settings().WarnDesktop
                && f.action("mnuDossierErr")->isChecked());
    }

    // The tray icon says whether passes wait, run or are stopped, and marks
    // an unknown folder until a pass meets none.
    void theTrayIconShowsTheState() {
        ProgramFixture f;
        const QString in = f.folder(u"in"_s);
        QVERIFY(writeFile(in + u"/a.txt"_s, "a"));
        const QString gone = f.path(u"gone"_s);
        QVERIFY(
            f.start(QString(), {pairOf(in, f.folder(u"out"_s)), pairOf(gone, f.folder(u"o2"_s))}));
        std::vector<TrayState> duringArchiver;
        f.recordingRunner.effect = [&](const RecordingProcessRunner::Run&) {
            duringArchiver.push_back(f.window().trayState());
        };
        QSystemTrayIcon* tray = f.window().trayIcon();
        const auto looks = [&](TrayState state, bool warning) {
            return f.window().trayState() == state
                   && tray->icon().pixmap(32).toImage()
                          == trayPicture(state, warning).pixmap(32).toImage();
        };
        QVERIFY(looks(TrayState::Stopped, false));
        f.command(u"cmdMiroir"_s);
        QVERIFY(!duringArchiver.empty() && duringArchiver.front() == TrayState::InPass);
        QVERIFY(looks(TrayState::Waiting, true));
        QCOMPARE(tray->toolTip(), u"Torvanelo 1.0b - Wait\n"_s + f.window().trayWarning());
        QVERIFY(f.window().trayWarning().endsWith(u"Unknown source folder"_s));
        QVERIFY(QDir().mkpath(gone));
        ProcessingController& controller = f.program().controller();
        QSignalSpy passes(&controller, &ProcessingController::passFinished);
        while (passes.isEmpty())
            controller.Timer1_Timer();
        QVERIFY(looks(TrayState::Waiting, false));
        QCOMPARE(tray->toolTip(), u"Torvanelo 1.0b - Wait"_s);
        f.command(u"cmdMiroir"_s);
        QVERIFY(looks(TrayState::Stopped, false));
    }

    // The window opens where the user left it, when that is on a screen;
    // a move by the user is written, the program's own placing is not.
    void theWindowKeepsItsPlace_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("used");
        QTest::newRow("on the screen") << u"40,30"_s << true;
        QTest::newRow("off every screen") << u"5000,5000"_s << false;
        QTest::newRow("not a position") << u"40;30"_s << false;
        QTest::newRow("none") << QString() << false;
    }
    void theWindowKeepsItsPlace() {
        QFETCH(QString, stored);
        QFETCH(bool, used);
        ProgramFixture f;
        const QPoint centred = f.build().window().pos();
        QVERIFY(f.start(stored.isNull() ? u"[Configuration]\n"_s
                                        : u"[Configuration]\nPositionFenetre="_s + stored));
        QCOMPARE(f.window().pos(), used ? QPoint(40, 30) : centred);
        QCOMPARE(f.stored(u"PositionFenetre"_s), stored);
        f.window().move(70, 55);
        QTRY_COMPARE(f.stored(u"PositionFenetre"_s), u"70,55"_s);
    }
};

TORVANELO_TEST(DesktopTest);
#include "DesktopTest.moc"
