#include "FolderContents.h"

#include "DialogTestSupport.h"
#include "FolderListModel.h"
#include "FolderPairModel.h"
#include "NameCodec.h"
#include "ProgramFixture.h"
#include "ScratchFolder.h"
#include "TestFiles.h"
#include "TestRegistry.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QListView>
#include <QRadioButton>

#include <set>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

// Each row as it shows, "text | tooltip", in the list's order.
QStringList shownItems(const QListView* list) {
    const QAbstractItemModel* items = list->model();
    QStringList shown;
    for (int row = 0; row < items->rowCount(); ++row) {
        const QModelIndex index = items->index(row, 0);
        shown << index.data().toString() + u" | "_s + index.data(Qt::ToolTipRole).toString();
    }
    return shown;
}

bool fits(const QLabel* label) {
    for (const QString& line : label->text().split(u'\n')) {
        if (label->fontMetrics().horizontalAdvance(line) > label->contentsRect().width())
            return false;
    }
    return true;
}

} // namespace

// The folder contents of the main window with real folders: texts, counts,
// the order a file manager gives, a big folder listed between turns of the
// event loop, and texts too long for their places.
class FolderContentsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    // A hidden leftover of the program is listed like any other file; a
    // sparse file with all ones in its low 32 bits keeps its whole size;
    // markup in a folder name stays text in the count. Missing folders list
    // nothing, named as the grid shows them.
    void listsFilesAndFoldersWithCounts_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("countWord");
        QTest::addColumn<QString>("folderWord");
        QTest::newRow("English") << u"0"_s << u" files/folders in "_s << u"folder "_s;
        QTest::newRow("French") << u"1"_s << u" fichiers/dossiers dans "_s << u"dossier "_s;
    }
    void listsFilesAndFoldersWithCounts() {
        QFETCH(QString, language);
        QFETCH(QString, countWord);
        QFETCH(QString, folderWord);
        ProgramFixture f;
        const QString in = f.folder(u"in"_s);
        const QString out = f.folder(u"<i>out</i>"_s);
        const QString odd = decodeFileName("caf\xe9.txt");
        QVERIFY(QDir(in).mkdir(u"Plans"_s) && writeFile(in + u"/b.txt"_s, "abc"));
        QVERIFY(writeFile(in + u"/A.doc"_s, QByteArray(1536, 'x'))
                && writeFile(in + u'/' + odd, QByteArray(2048, 'y')));
        QVERIFY(writeFile(in + u"/.profile"_s, "") && writeFile(out + u"/RA000001.rar"_s, ""));
        QVERIFY(f.files.setHidden(in + u"/b.txt"_s, true));
        QFile sparse(in + u"/ones.bin"_s);
        QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(4294967295));
        const QString gone = f.path(u"gone"_s);
        QVERIFY(f.start(u"[Configuration]\nAfficherFichiers=1\nLangue="_s + language,
                        {pairOf(in, out), pairOf(gone, QString())}));
        clickCell(f.window().grid(), 0, 0);
        QCOMPARE(
            shownItems(f.window().sourceFileList()),
            (QStringList{u".profile | .profile   0 bytes"_s,
                         u"[Plans] | "_s + folderWord + u"[Plans]"_s,
                         u"A.doc | A.doc   1.50KB (1,536 bytes)"_s, u"b.txt | b.txt   3 bytes"_s,
                         odd + u" | "_s + odd + u"   2.00KB (2,048 bytes)"_s,
                         u"ones.bin | ones.bin   4.00GB (4,294,967,295 bytes)"_s}));
        QCOMPARE(f.window().sourceFileCount()->text(), u"6"_s + countWord + in);
        QCOMPARE(f.window().targetFileCount()->text(), u"1"_s + countWord + out);
        QCOMPARE(f.window().targetFileCount()->textFormat(), Qt::PlainText);
        clickCell(f.window().grid(), 1, 0);
        QVERIFY(f.window().sourceFileList()->model()->rowCount() == 0
                && f.window().targetFileList()->model()->rowCount() == 0);
        QCOMPARE(f.window().sourceFileCount()->text() + u'|' + f.window().targetFileCount()->text(),
                 u"0"_s + countWord + u"??? "_s + gone + u"|0"_s + countWord + u"???"_s);
    }

    // Names ending in '/' are folders. Under the C locale, which knows
    // neither accents nor numbers, the program's language gives the order.
    void sortsAsAFileManager_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("order");
        const QLocale english(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("case ignored") << english << QStringList{u"Zeta"_s, u"alpha"_s, u"Beta"_s}
                                      << QStringList{u"alpha"_s, u"Beta"_s, u"Zeta"_s};
        QTest::newRow("numbers") << english
                                 << QStringList{u"file10"_s, u"file2"_s, u"File1"_s, u"10"_s,
                                                u"9"_s}
                                 << QStringList{u"9"_s, u"10"_s, u"File1"_s, u"file2"_s,
                                                u"file10"_s};
        QTest::newRow("accents") << QLocale(QLocale::French, QLocale::France)
                                 << QStringList{u"eu"_s, u"été"_s, u"ete"_s}
                                 << QStringList{u"ete"_s, u"été"_s, u"eu"_s};
        QTest::newRow("C locale") << QLocale::c()
                                  << QStringList{u"eu"_s, u"été"_s, u"x10"_s, u"X9"_s}
                                  << QStringList{u"été"_s, u"eu"_s, u"X9"_s, u"x10"_s};
        QTest::newRow("names equal but for case, and folders")
            << english << QStringList{u"a.doc"_s, u"Plans/"_s, u"A.doc"_s, u"plans"_s}
            << QStringList{u"[Plans]"_s, u"A.doc"_s, u"a.doc"_s, u"plans"_s};
    }
    void sortsAsAFileManager() {
        QFETCH(QLocale, locale);
        QFETCH(QStringList, names);
        QLocale::setDefault(locale);
        ScratchFolder folder;
        for (const QString& name : names) {
            QVERIFY(name.endsWith(u'/') ? QDir(folder.path()).mkdir(name.chopped(1))
                                        : writeFile(folder.filePath(name), ""));
        }
        LinuxFileSystem files;
        FolderListModel items(files, [] { return 1; });
        QAbstractItemModelTester tester(&items);
        items.list(folder.path());
        QStringList shown;
        for (int row = 0; row < items.rowCount(); ++row)
            shown << items.index(row).data().toString();
        QTEST(shown, "order");
    }

    // A folder of many files fills its list in steps, sorted at every step,
    // while the event loop keeps turning; its count comes at the end. A new
    // listing abandons the one under way, and so does F2 turning the lists
    // off.
    void bigFolderIsListedBetweenTurnsOfTheEventLoop() {
        constexpr int Files = 20000;
        constexpr int Steps = Files / FolderListModel::EntriesPerStep;
        ProgramFixture f;
        const QString small = f.folder(u"small"_s);
        const QString big = f.folder(u"big"_s);
        QVERIFY(writeFile(small + u"/only.txt"_s, "x"));
        for (int n = Files; n >= 1; --n)
            QVERIFY(writeFile(big + u"/n"_s + QString::number(n), QByteArray()));
        QVERIFY(
            f.start(QString(), {pairOf(small, f.folder(u"a"_s)), pairOf(big, f.folder(u"b"_s))}));
        QVERIFY(QTest::qWaitForWindowExposed(&f.window()));
        const QAbstractItemModel* items = f.window().sourceFileList()->model();
        QLabel* count = f.window().sourceFileCount();
        int turns = 0;
        std::set<int> seen;
        QTimer ticker;
        ticker.setInterval(0);
        connect(&ticker, &QTimer::timeout, this, [&] {
            ++turns;
            seen.insert(items->rowCount());
        });
        ticker.start();
        auto waitTurns = [&](int more) {
            const int until = turns + more;
            return QTest::qWaitFor([&] { return turns >= until; });
        };

        // F2 lists the current row, the last: the big folder.
        f.action("mnuAfficherFichiers")->trigger();
        QCOMPARE(items->rowCount(), FolderListModel::EntriesPerStep);
        QVERIFY(count->text().isEmpty());
        clickCell(f.window().grid(), 0, 0);
        QCOMPARE(shownItems(f.window().sourceFileList()),
                 QStringList{u"only.txt | only.txt   1 bytes"_s});
        QVERIFY(waitTurns(2 * Steps));
        QCOMPARE(items->rowCount(), 1);
        QCOMPARE(count->text(), u"1 files/folders in "_s + small);

        clickCell(f.window().grid(), 1, 0);
        seen.clear();
        QTRY_COMPARE_WITH_TIMEOUT(count->text(), u"20000 files/folders in "_s + big, 120000);
        // The wait may end before the ticker's turn after the last step.
        QVERIFY(waitTurns(1));
        QVERIFY2(seen.size() >= std::size_t(Steps / 2), qPrintable(QString::number(seen.size())));
        QCOMPARE(*seen.rbegin(), Files);
        for (int row = 0; row < Files; ++row)
            QCOMPARE(items->index(row, 0).data().toString(), u"n"_s + QString::number(row + 1));

        clickCell(f.window().grid(), 0, 0);
        clickCell(f.window().grid(), 1, 0);
        QVERIFY(items->rowCount() < Files);
        f.action("mnuAfficherFichiers")->trigger();
        QVERIFY(waitTurns(2 * Steps));
        QVERIFY(items->rowCount() == 0 && count->text().isEmpty());
    }

    // The folders of the count and the pair of the information line are
    // elided in their middle, the whole text in the tooltip.
    void longTextsAreElided() {
        ProgramFixture f;
        const QString deep = u"Dossier partagé de la comptabilité générale"_s;
        const QString in = f.folder(deep + u'/' + deep + u"/Entrée"_s);
        const QString out = f.folder(deep + u'/' + deep + u"/Sortie"_s);
        QVERIFY(f.start(u"[Configuration]\nAfficherFichiers=1"_s, {pairOf(in, out)}));
        clickCell(f.window().grid(), 0, 0);
        QLabel* count = f.window().sourceFileCount();
        QVERIFY2(count->text().startsWith(u"0 files/folders in\n"_s + f.home().left(4))
                     && count->text().contains(u'…') && count->text().endsWith(u"/Entrée"_s),
                 qPrintable(count->text()));
        QVERIFY(fits(count));
        QCOMPARE(count->toolTip(), u"0 files/folders in "_s + in);

        hover(f.window().grid()->viewport(), cellCentre(f.window().grid(), 0, 0));
        const QString described = in + u" -> "_s + out + u"\nT = 10 s; compress files"_s;
        QCOMPARE(f.window().messageText(), described);
        QLabel* line = f.label("lblMessage");
        QVERIFY2(fits(line) && line->text().contains(u'…')
                     && line->text().endsWith(u"/Sortie\nT = 10 s; compress files"_s),
                 qPrintable(line->text()));
        QCOMPARE(line->toolTip(), described);
    }

    // The pair's dialog changes its mode: the line under the pointer says so
    // at once, without another move.
    void informationLineFollowsThePairDialog() {
        ProgramFixture f;
        QVERIFY(f.start(QString(), {pairOf(f.folder(u"in"_s), f.folder(u"out"_s))}));
        FolderGrid* grid = f.window().grid();
        hover(grid->viewport(), cellCentre(grid, 0, FolderPairModel::ModeColumn));
        QVERIFY(f.window().messageText().endsWith(u"; compress files"_s));
        ModalDriver driver([](QDialog* dialog) {
            indexed<QRadioButton>(dialog, "optRar", 1)->click();
            click(dialog, "cmdOK");
        });
        clickCell(grid, 0, FolderPairModel::ModeColumn);
        QCOMPARE(driver.seen, QStringList{u"frmSetMode"_s});
        QVERIFY2(f.window().messageText().endsWith(u"; uncompress files"_s),
                 qPrintable(f.window().messageText()));
        QCOMPARE(f.label("lblMessage")->text(), f.window().messageText());
    }
};

TORVANELO_TEST(FolderContentsTest);
#include "FolderContentsTest.moc"
