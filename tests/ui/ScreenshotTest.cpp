#include "FolderGrid.h"
#include "FolderPairModel.h"
#include "ProcessingController.h"
#include "ProgramFixture.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "frmKelvadon.h"
#include "frmSplash.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTest>

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

// The darkest pixel of a cell: about 128 for a disabled pair's grey text,
// near 0 for black text (edges of antialiased text are lighter, never darker).
int darkestPixel(const QImage& image, const QRect& cell) {
    int darkest = 255;
    for (int y = cell.top(); y <= cell.bottom(); ++y)
        for (int x = cell.left(); x <= cell.right(); ++x)
            darkest = std::min(darkest, qGray(image.pixel(x, y)));
    return darkest;
}

} // namespace

// Pictures of the main window for the eye (under <build>/screenshots), with
// what can be checked on them.
class ScreenshotTest : public QObject {
    Q_OBJECT

private slots:
    void emptyListInEnglish();
    void threePairsInFrench();
    void passesRunningAndSplash();
};

void ScreenshotTest::emptyListInEnglish() {
    ProgramFixture fixture;
    QVERIFY(fixture.start());
    QVERIFY(QTest::qWaitForWindowExposed(&fixture.window()));
    save(&fixture.window(), u"main-empty-en.png"_s);
}

void ScreenshotTest::threePairsInFrench() {
    ProgramFixture fixture;
    fixture.writeParameters(u"[Configuration]\nLangue=1\nTemporisation=600\n"_s);
    const QString macVolume = fixture.folder(u"Volumes/Graphisme"_s);
    fixture.folder(u"Volumes/Graphisme/Network Trash Folder"_s);
    fixture.writePairs({
        pairOf(fixture.folder(u"Depot/Entree"_s), fixture.folder(u"Depot/Archives"_s), u"0"_s,
               u"0"_s),
        pairOf(fixture.folder(u"Depot/Archives"_s), macVolume + u"/Maquettes"_s, u"1"_s, u"1"_s,
               u"7"_s),
        pairOf(fixture.folder(u"Volumes/Graphisme/Sortie"_s), fixture.path(u"Serveur/Absent"_s)),
    });
    QDir().mkpath(macVolume + u"/Maquettes"_s);
    QVERIFY(fixture.start());
    frmKelvadon& window = fixture.window();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    FolderGrid* grid = window.grid();
    QCOMPARE(grid->model()->rowCount(), 3);
    QCOMPARE(grid->model()->index(1, 2).data().toString(),
             u"      "_s + macVolume + u"/Maquettes"_s);
    QCOMPARE(grid->model()->index(2, 2).data().toString(),
             u"??? "_s + fixture.path(u"Serveur/Absent"_s));

    // The disabled pair's texts are drawn in its grey, the others' are not.
    const QImage image = grid->viewport()->grab().toImage();
    // Text cells only: the pictures have dark outlines of their own.
    auto darkest = [&](int row, int column) {
        QRect cell = grid->visualRect(grid->model()->index(row, column));
        cell.setLeft(cell.left() + 20);
        return darkestPixel(image, cell);
    };
    for (int column : {0, 2}) {
        QVERIFY(darkest(0, column) >= 110);
        QVERIFY(darkest(0, column) <= 140);
        QVERIFY(darkest(1, column) < 80);
        QVERIFY(darkest(2, column) < 80);
    }

    // The current row (the last one after a load) shows no selection until
    // the user works in the grid.
    const QPoint inLastRow = grid->visualRect(grid->model()->index(2, 1)).topLeft() + QPoint(2, 2);
    QCOMPARE(image.pixelColor(inLastRow), grid->palette().color(QPalette::Base));
    grid->setSelectionHighlight(true);
    QCOMPARE(grid->viewport()->grab().toImage().pixelColor(inLastRow),
             QApplication::palette().color(QPalette::Active, QPalette::Highlight));
    grid->setSelectionHighlight(false);

    QMouseEvent move(QEvent::MouseMove, grid->visualRect(grid->model()->index(0, 0)).center(),
                     QPointF(), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(grid->viewport(), &move);
    QVERIFY(window.messageText().contains(u"[Compression/décompression inactive]"_s));
    save(&window, u"main-pairs-fr.png"_s);
}

void ScreenshotTest::passesRunningAndSplash() {
    ProgramFixture fixture;
    fixture.writeParameters(u"[Configuration]\nTemporisation=30\n"_s);
    fixture.writePairs({pairOf(fixture.folder(u"in"_s), fixture.folder(u"out"_s))});
    QVERIFY(fixture.start());
    frmKelvadon& window = fixture.window();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(window.findChild<QPushButton*>(u"cmdMiroir"_s), Qt::LeftButton);
    for (int tick = 0; tick < 12; ++tick)
        fixture.program().controller().Timer1_Timer();
    save(&window, u"main-running-en.png"_s);

    window.showWarning(u"14:02:11 - Unknown source folder"_s);
    QVERIFY(QTest::qWaitForWindowExposed(&window.splash()));
    save(&window.splash(), u"splash-en.png"_s);
}

TORVANELO_TEST(ScreenshotTest);
#include "ScreenshotTest.moc"
