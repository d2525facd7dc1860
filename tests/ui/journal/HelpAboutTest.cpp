#include "FolderGrid.h"
#include "HelpDocument.h"
#include "JournalUiSupport.h"
#include "JournalWindows.h"
#include "ProgramFixture.h"
#include "ScratchFolder.h"
#include "TestRegistry.h"
#include "Texts.h"
#include "frmAbout.h"
#include "frmKelvadon.h"
#include "frmPathLogs.h"
#include "frmPurgeLogs.h"
#include "frmVoirLogs.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStringDecoder>
#include <QTest>
#include <QToolButton>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

QString screenshotFolder() {
    const QString folder = buildDir() + u"/screenshots"_s;
    QDir().mkpath(folder);
    return folder;
}

void save(QWidget* widget, const QString& name) {
    const QPixmap shot = widget->grab();
    QVERIFY(!shot.isNull());
    QVERIFY2(shot.save(screenshotFolder() + u'/' + name), qPrintable(name));
}

} // namespace

// Help, the About box, and the pictures of the windows of this part.
class HelpAboutTest : public QObject {
    Q_OBJECT

private slots:
    void helpFollowsTheLanguage_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("opened"); // empty: the message instead
        const QString fr = u"TorvaneloHelpFR.htm"_s;
        const QString en = u"TorvaneloHelpEN.htm"_s;
        QTest::newRow("French, both") << 1 << QStringList({fr, en}) << fr;
        QTest::newRow("English, both") << 0 << QStringList({fr, en}) << en;
        QTest::newRow("other code, both") << 2 << QStringList({fr, en}) << en;
        QTest::newRow("French, English only") << 1 << QStringList({en}) << QString();
        QTest::newRow("English, French only") << 0 << QStringList({fr}) << QString();
        QTest::newRow("French, none") << 1 << QStringList() << QString();
        QTest::newRow("English, none") << 0 << QStringList() << QString();
    }
    void helpFollowsTheLanguage() {
        QFETCH(int, language);
        QFETCH(QStringList, present);
        QFETCH(QString, opened);
        ScratchFolder folder;
        for (const QString& name : present)
            QVERIFY(writeFile(folder.filePath(name), "<html></html>"));
        // A folder of the document's name is no document.
        if (present.isEmpty())
            QVERIFY(QDir(folder.path()).mkdir(u"TorvaneloHelpEN.htm"_s));
        LinuxFileSystem files;
        ScriptedUserPrompts prompts;
        RecordedDocuments documents;
        ShowHelp(folder.path(), language, files, prompts, nullptr);
        if (opened.isEmpty()) {
            QVERIFY(documents.urls.empty());
            QCOMPARE(int(prompts.messages.size()), 1);
            QCOMPARE(prompts.messages.front().title, u"Torvanelo"_s);
            QCOMPARE(prompts.messages.front().icon, UserPrompts::Icon::Information);
            QCOMPARE(prompts.messages.front().text,
                     language == 1 ? u"La documentation n'est pas encore disponible..."_s
                                   : u"Documentation not yet available..."_s);
        } else {
            QVERIFY(prompts.messages.empty());
            QCOMPARE(documents.paths(), QStringList({folder.filePath(opened)}));
        }
    }

    void theBuildPutsBothHelpDocumentsBesideTheProgram_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QStringList>("mentions");
        const QStringList common = {u"systemctl"_s,           u"journalctl -t Torvanelo"_s,
                                    u"RA000124.rn"_s,         u"RA000124.rr"_s,
                                    u".torvanelo-extract-"_s, u"TORVANELO_HOME"_s,
                                    u"Log Torvanelo"_s,       u"net send"_s};
        QTest::newRow("French") << u"TorvaneloHelpFR.htm"_s << u"fr"_s
                                << (common + QStringList({u"Premiers pas"_s, u"interruption"_s}));
        QTest::newRow("English") << u"TorvaneloHelpEN.htm"_s << u"en"_s
                                 << (common + QStringList({u"First use"_s, u"interruption"_s}));
    }
    void theBuildPutsBothHelpDocumentsBesideTheProgram() {
        QFETCH(QString, name);
        QFETCH(QString, language);
        QFETCH(QStringList, mentions);
        QVERIFY(QFile::exists(buildDir() + u"/torvanelo"_s));
        const auto bytes = readFile(buildDir() + u'/' + name);
        QVERIFY2(bytes, qPrintable(name));
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8.decode(*bytes);
        QVERIFY(!utf8.hasError());
        QVERIFY(text.contains(u"<html lang=\""_s + language + u'"'));
        QVERIFY(text.contains(u"<meta charset=\"utf-8\">"_s));
        QVERIFY(text.trimmed().endsWith(u"</html>"_s));
        for (const QString& mention : mentions)
            QVERIFY2(text.contains(mention), qPrintable(mention));
        // The same as the source the build copied it from.
        QCOMPARE(bytes, readFile(sourceDir() + u"/docs/help/"_s + name));
    }

    void aboutBox_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("purpose");
        QTest::newRow("French")
            << 1 << u"A propos de..."_s
            << u"Torvanelo: compression/décompression de fichiers en préservant les flux"_s;
        QTest::newRow("English") << 0 << u"About..."_s
                                 << u"Torvanelo: compress/uncompress files preserving streams"_s;
    }
    void aboutBox() {
        QFETCH(int, language);
        QFETCH(QString, title);
        QFETCH(QString, purpose);
        ProgramFixture fixture;
        fixture.writeParameters(u"[Configuration]\nLangue="_s + QString::number(language) + u'\n');
        QVERIFY(fixture.start());
        RecordedDocuments documents;
        ModalScript script(u"frmAbout"_s, [&](QWidget* about) {
            QCOMPARE(about->windowTitle(), title);
            QCOMPARE(about->size(), QSize(382, 148));
            const auto* credit = about->findChild<QLabel*>(u"lblCredit"_s);
            QCOMPARE(credit->text(), purpose + u'\n' + aboutCopyright());
            auto* link = about->findChild<QLabel*>(u"lblLink"_s);
            // The same address in both languages, magenta.
            QCOMPARE(link->text(), aboutWebAddress());
            QCOMPARE(link->palette().color(QPalette::WindowText), QColor(255, 0, 255));
            QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
            QTest::mouseClick(link, Qt::LeftButton);
            QCOMPARE(documents.urls.size(), std::size_t(1));
            QCOMPARE(documents.urls.front(), QUrl(aboutWebAddress()));
            auto* ok = about->findChild<QPushButton*>(u"cmdOK"_s);
            QCOMPARE(ok->text(), u"&OK"_s);
            save(about, language == 1 ? u"journal-about-fr.png"_s : u"journal-about-en.png"_s);
            QTest::mouseClick(ok, Qt::LeftButton);
        });
        fixture.action("mnuAPropos")->trigger();
        QVERIFY(script.ran());
        QVERIFY(!QApplication::activeModalWidget());
    }

    // Pictures for the eye, under <build>/screenshots.
    void screenshots() {
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        ProgramFixture fixture;
        const QString journals = fixture.path(u"Journaux"_s);
        QDir().mkpath(journals);
        const QString in = fixture.folder(u"Depot/Entree"_s);
        const QString out = fixture.folder(u"Depot/Archives"_s);
        QVERIFY(QDir(in).mkdir(u"Plans 2024"_s));
        QVERIFY(writeFile(in + u"/Devis été.pdf"_s, QByteArray(254321, 'd')));
        QVERIFY(writeFile(in + u"/Maquette.indd"_s, QByteArray(3200000, 'm')));
        QVERIFY(writeFile(out + u"/RA000123.rar"_s, QByteArray(51234, 'a')));
        QVERIFY(writeFile(out + u"/RA000124.rar"_s, QByteArray(1536, 'a')));
        fixture.writeParameters(u"[Configuration]\nLangue=1\nAfficherFichiers=1\n[Logs]\nLogs=1\n"
                                u"PurgeLogs=1\nDelaiLogs=30\nPathLogs="_s
                                + journals + u'\n');
        fixture.writePairs({pairOf(in, out), pairOf(out, fixture.folder(u"Sortie"_s), u"1"_s)});
        writeJournals(journals, fixture.clock.now().date(), 6);
        QVERIFY(fixture.start());
        frmKelvadon& window = fixture.window();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::mouseClick(window.grid()->viewport(), Qt::LeftButton, {},
                          window.grid()->visualRect(window.grid()->model()->index(0, 0)).center());
        QCOMPARE(window.sourceFileList()->count(), 3);
        save(&window, u"journal-main-files-fr.png"_s);

        RecordedDocuments documents;
        fixture.action("mnuVoirLogs")->trigger();
        frmVoirLogs* viewer = window.findChild<JournalWindows*>()->viewer();
        QVERIFY(viewer);
        QVERIFY(QTest::qWaitForWindowExposed(viewer));
        save(viewer, u"journal-viewer-fr.png"_s);
        viewer->close();
        window.restoreWindow();

        frmPathLogs pathLogs(fixture.program().store(), &window);
        pathLogs.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pathLogs));
        save(&pathLogs, u"journal-folder-dialog-fr.png"_s);

        frmPurgeLogs purge(fixture.program().store(), fixture.prompts, &window);
        purge.show();
        QVERIFY(QTest::qWaitForWindowExposed(&purge));
        purge.findChild<QLineEdit*>(u"Text1"_s)->setText(u"3"_s);
        QTest::mouseClick(purge.findChild<QToolButton*>(u"UpDown1Down"_s), Qt::LeftButton);
        save(&purge, u"journal-purge-dialog-fr.png"_s);
        QLocale::setDefault(QLocale::system());
    }
};

TORVANELO_TEST(HelpAboutTest);
#include "HelpAboutTest.moc"
