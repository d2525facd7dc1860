#include "FolderContents.h"

#include "FolderGrid.h"
#include "NameCodec.h"
#include "ProcessingController.h"
#include "ProgramFixture.h"
#include "ScratchFolder.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "Texts.h"
#include "frmKelvadon.h"

#include <QAction>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

QStringList itemTexts(const QListWidget* list) {
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts << list->item(row)->text();
    return texts;
}

const QListWidgetItem* itemNamed(const QListWidget* list, const QString& text) {
    const auto found = list->findItems(text, Qt::MatchExactly);
    return found.size() == 1 ? found.front() : nullptr;
}

void clickRow(FolderGrid* grid, int row) {
    const QPoint at = grid->visualRect(grid->model()->index(row, 0)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
}

} // namespace

// The contents of the selected pair's folders in the main window: what is
// listed and how, the counts, the tooltips, the F2 toggle and the refreshes.
class FolderContentsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // Sizes in the tooltips follow the user's regional settings.
        m_locale = QLocale();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void cleanupTestCase() { QLocale::setDefault(m_locale); }

    void listsFilesAndFoldersWithCounts_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("countWord");
        QTest::addColumn<QString>("folderWord");
        QTest::newRow("English") << LanguageEnglish << u" files/folders in "_s << u"folder "_s;
        QTest::newRow("French") << LanguageFrench << u" fichiers/dossiers dans "_s << u"dossier "_s;
    }
    void listsFilesAndFoldersWithCounts() {
        QFETCH(int, language);
        QFETCH(QString, countWord);
        QFETCH(QString, folderWord);
        ScratchFolder data;
        const QString in = data.filePath(u"in"_s);
        // Markup in a folder name stays text in the count.
        const QString out = data.filePath(u"<i>out</i>"_s);
        QVERIFY(QDir().mkpath(in + u"/Plans"_s) && QDir().mkpath(out));
        QVERIFY(writeFile(in + u"/b.txt"_s, "abc"));
        QVERIFY(writeFile(in + u"/A.doc"_s, QByteArray(1536, 'x')));
        const QString odd = decodeFileName("caf\xe9.txt");
        QVERIFY(writeFile(in + u'/' + odd, QByteArray(2048, 'y')));
        QVERIFY(writeFile(in + u"/.profile"_s, ""));
        QVERIFY(writeFile(out + u"/RA000001.rar"_s, QByteArray(10240, 'z')));

        ProgramFixture fixture;
        fixture.writeParameters(u"[Configuration]\nAfficherFichiers=1\nLangue="_s
                                + QString::number(language) + u'\n');
        fixture.writePairs({pairOf(in, out)});
        // A hidden leftover of the program is listed like any other file.
        QVERIFY(fixture.files.setHidden(in + u"/b.txt"_s, true));
        QVERIFY(fixture.start());
        frmKelvadon& window = fixture.window();
        clickRow(window.grid(), 0);

        const QListWidget* sources = window.sourceFileList();
        const QListWidget* targets = window.targetFileList();
        QStringList listed = itemTexts(sources);
        // In the list's own order, whatever the file system's.
        for (int row = 1; row < sources->count(); ++row)
            QVERIFY(!(*sources->item(row) < *sources->item(row - 1)));
        listed.sort();
        QStringList expected = {u".profile"_s, u"A.doc"_s, u"[Plans]"_s, u"b.txt"_s, odd};
        expected.sort();
        QCOMPARE(listed, expected);
        QCOMPARE(window.sourceFileCount()->text(), u"5"_s + countWord + in);
        QCOMPARE(itemTexts(targets), QStringList({u"RA000001.rar"_s}));
        QCOMPARE(window.targetFileCount()->text(), u"1"_s + countWord + out);
        QCOMPARE(window.targetFileCount()->textFormat(), Qt::PlainText);

        const QListWidgetItem* folder = itemNamed(sources, u"[Plans]"_s);
        QVERIFY(folder);
        QCOMPARE(folder->toolTip(), folderWord + u"[Plans]"_s);
        QVERIFY(folder->data(FolderContents::FolderRole).toBool());
        QCOMPARE(itemNamed(sources, u"A.doc"_s)->toolTip(), u"A.doc   1.50KB (1,536 bytes)"_s);
        QCOMPARE(itemNamed(sources, odd)->toolTip(), odd + u"   2.00KB (2,048 bytes)"_s);
        QCOMPARE(itemNamed(sources, u".profile"_s)->toolTip(), u".profile   0 bytes"_s);
        QCOMPARE(itemNamed(targets, u"RA000001.rar"_s)->toolTip(),
                 u"RA000001.rar   10.0KB (10,240 bytes)"_s);
    }

    void sizesAboveTwoGigabytesStayWhole() {
        ScratchFolder data;
        const QString in = data.filePath(u"in"_s);
        QVERIFY(QDir().mkpath(in));
        // Sparse files: the sizes are real, the disk is not filled.
        const std::pair<QString, qint64> files[] = {{u"big.iso"_s, 3221225472},
                                                    {u"ones.bin"_s, 4294967295}};
        for (const auto& [name, size] : files) {
            QFile file(in + u'/' + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.resize(size));
        }
        ProgramFixture fixture;
        fixture.writeParameters(u"[Configuration]\nAfficherFichiers=1\n"_s);
        fixture.writePairs({pairOf(in, QString())});
        QVERIFY(fixture.start());
        clickRow(fixture.window().grid(), 0);
        const QListWidget* list = fixture.window().sourceFileList();
        const QListWidgetItem* big = itemNamed(list, u"big.iso"_s);
        QVERIFY(big);
        QCOMPARE(big->toolTip(), u"big.iso   3.00GB (3,221,225,472 bytes)"_s);
        QCOMPARE(big->data(FolderContents::SizeRole).toLongLong(), 3221225472);
        // All ones in the low 32 bits: still a file, with its size.
        const QListWidgetItem* ones = itemNamed(list, u"ones.bin"_s);
        QVERIFY(ones);
        QVERIFY(!ones->data(FolderContents::FolderRole).toBool());
        QCOMPARE(ones->toolTip(), u"ones.bin   4.00GB (4,294,967,295 bytes)"_s);
    }

    void missingFoldersGiveEmptyLists() {
        ProgramFixture fixture;
        const QString gone = fixture.path(u"gone"_s);
        fixture.writeParameters(u"[Configuration]\nAfficherFichiers=1\n"_s);
        fixture.writePairs({pairOf(gone, QString())});
        QVERIFY(fixture.start());
        frmKelvadon& window = fixture.window();
        clickRow(window.grid(), 0);
        QCOMPARE(window.sourceFileList()->count(), 0);
        QCOMPARE(window.targetFileList()->count(), 0);
        // The folder as the grid shows it.
        QCOMPARE(window.sourceFileCount()->text(), u"0 files/folders in ??? "_s + gone);
        QCOMPARE(window.targetFileCount()->text(), u"0 files/folders in ???"_s);
    }

    void f2SwapsLegendAndListsAndWritesAtOnce() {
        ProgramFixture fixture;
        const QString in = fixture.folder(u"in"_s);
        const QString out = fixture.folder(u"out"_s);
        QVERIFY(writeFile(in + u"/one.txt"_s, "1"));
        fixture.writePairs({pairOf(in, out)});
        QVERIFY(fixture.start());
        frmKelvadon& window = fixture.window();
        auto* legend = fixture.find<QGroupBox>("frameLegende");
        QAction* f2 = fixture.action("mnuAfficherFichiers");
        QCOMPARE(f2->shortcut(), QKeySequence(Qt::Key_F2));
        QVERIFY(legend->isVisible());
        QVERIFY(!window.sourceFileList()->isVisible());

        f2->trigger();
        QCOMPARE(fixture.storedValue(u"Configuration"_s, u"AfficherFichiers"_s), u"1"_s);
        QVERIFY(f2->isChecked());
        QVERIFY(!legend->isVisible());
        for (QWidget* shown : {static_cast<QWidget*>(window.sourceFileList()),
                               static_cast<QWidget*>(window.targetFileList()),
                               static_cast<QWidget*>(window.sourceFileCount()),
                               static_cast<QWidget*>(window.targetFileCount())})
            QVERIFY(shown->isVisible());
        // The grid's current row is listed at once.
        QCOMPARE(itemTexts(window.sourceFileList()), QStringList({u"one.txt"_s}));
        QCOMPARE(window.targetFileCount()->text(), u"0 files/folders in "_s + out);

        f2->trigger();
        QCOMPARE(fixture.storedValue(u"Configuration"_s, u"AfficherFichiers"_s), u"0"_s);
        QVERIFY(!f2->isChecked());
        QVERIFY(legend->isVisible());
        QVERIFY(!window.sourceFileList()->isVisible());
        QCOMPARE(window.sourceFileList()->count(), 0);
        QCOMPARE(window.sourceFileCount()->text(), QString());
        QCOMPARE(window.targetFileCount()->text(), QString());
    }

    void f2WithoutPairsShowsEmptyLists() {
        ProgramFixture fixture;
        QVERIFY(fixture.start());
        frmKelvadon& window = fixture.window();
        fixture.action("mnuAfficherFichiers")->trigger();
        QCOMPARE(fixture.storedValue(u"Configuration"_s, u"AfficherFichiers"_s), u"1"_s);
        QVERIFY(window.sourceFileList()->isVisible());
        QCOMPARE(window.sourceFileList()->count(), 0);
        QCOMPARE(window.sourceFileCount()->text(), QString());
    }

    void rowChangeListsThatPair() {
        ProgramFixture fixture;
        const QString first = fixture.folder(u"first"_s);
        const QString second = fixture.folder(u"second"_s);
        QVERIFY(writeFile(first + u"/from-first.txt"_s, "1"));
        QVERIFY(writeFile(second + u"/from-second.txt"_s, "2"));
        fixture.writeParameters(u"[Configuration]\nAfficherFichiers=1\n"_s);
        fixture.writePairs({pairOf(first, second), pairOf(second, first)});
        QVERIFY(fixture.start());
        frmKelvadon& window = fixture.window();
        FolderGrid* grid = window.grid();
        clickRow(grid, 0);
        QCOMPARE(itemTexts(window.sourceFileList()), QStringList({u"from-first.txt"_s}));
        QCOMPARE(itemTexts(window.targetFileList()), QStringList({u"from-second.txt"_s}));
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(grid->currentRow(), 1);
        QCOMPARE(itemTexts(window.sourceFileList()), QStringList({u"from-second.txt"_s}));
        QCOMPARE(window.sourceFileCount()->text(), u"1 files/folders in "_s + second);
    }

    void passRefreshesTheLists() {
        ProgramFixture fixture(ProgramFixture::Runner::Real);
        const QString in = fixture.folder(u"in"_s);
        const QString out = fixture.folder(u"out"_s);
        QVERIFY(writeFile(in + u"/Plan.doc"_s, "plan"));
        fixture.writeParameters(u"[Configuration]\nAfficherFichiers=1\nTemporisation=600\n"_s);
        fixture.writePairs({pairOf(in, out)});
        QVERIFY(fixture.start());
        frmKelvadon& window = fixture.window();
        clickRow(window.grid(), 0);
        QCOMPARE(itemTexts(window.sourceFileList()), QStringList({u"Plan.doc"_s}));

        // The pass packs the file: both sides are listed again.
        QTest::mouseClick(fixture.button("cmdMiroir"), Qt::LeftButton);
        QVERIFY(QFile::exists(out + u"/RA000001.rar"_s));
        QCOMPARE(window.sourceFileList()->count(), 0);
        QCOMPARE(window.sourceFileCount()->text(), u"0 files/folders in "_s + in);
        QCOMPARE(itemTexts(window.targetFileList()), QStringList({u"RA000001.rar"_s}));

        // A pass that does nothing lists the source again, not the target.
        QVERIFY(writeFile(out + u"/later.txt"_s, "later"));
        QVERIFY(QDir(in).mkdir(u"sub"_s));
        fixture.program().controller().RunPass();
        QCOMPARE(itemTexts(window.sourceFileList()), QStringList({u"[sub]"_s}));
        QCOMPARE(itemTexts(window.targetFileList()), QStringList({u"RA000001.rar"_s}));
        QTest::mouseClick(fixture.button("cmdMiroir"), Qt::LeftButton);
    }

private:
    QLocale m_locale;
};

TORVANELO_TEST(FolderContentsTest);
#include "FolderContentsTest.moc"
