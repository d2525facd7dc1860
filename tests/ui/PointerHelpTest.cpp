#include "FolderGrid.h"
#include "FolderPairModel.h"
#include "Pictures.h"
#include "ProgramFixture.h"
#include "QtUserPrompts.h"
#include "TestRegistry.h"
#include "WindowTexts.h"
#include "frmKelvadon.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

// A pointer move over the widget, as the window system delivers it when no
// button is held.
void hover(QWidget* widget, const QPoint& position) {
    QMouseEvent move(QEvent::MouseMove, position, widget->mapToGlobal(position), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
}

} // namespace

// The information line and the grid's tooltip, the pictures, and the prompts
// of a program without a screen.
class PointerHelpTest : public QObject {
    Q_OBJECT

private slots:
    void intervalTexts_data();
    void intervalTexts();
    void intervalSeconds_data();
    void intervalSeconds();
    void pointerDescribesThePairUnderIt_data();
    void pointerDescribesThePairUnderIt();
    void pointerBelowTheRowsOrOverHeadingsClears();
    void pointerHelpWaitsWhilePassesRun();
    void tooltipOnlyForTextsTooWide();
    void picturesAreClearAtBothSizes_data();
    void picturesAreClearAtBothSizes();
    void headlessPromptsNeverWait();
};

void PointerHelpTest::intervalTexts_data() {
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << qint64(0) << u"0 s"_s;
    QTest::newRow("10") << qint64(10) << u"10 s"_s;
    QTest::newRow("59") << qint64(59) << u"59 s"_s;
    QTest::newRow("60") << qint64(60) << u"1 min 0 s"_s;
    QTest::newRow("125") << qint64(125) << u"2 min 5 s"_s;
    QTest::newRow("3599") << qint64(3599) << u"59 min 59 s"_s;
    QTest::newRow("3600") << qint64(3600) << u"1 h 0 min 0 s"_s;
    QTest::newRow("7 x 600") << qint64(4200) << u"1 h 10 min 0 s"_s;
    QTest::newRow("a day and more") << qint64(90061) << u"25 h 1 min 1 s"_s;
    QTest::newRow("64000 x 32767") << qint64(2097088000) << u"582524 h 26 min 40 s"_s;
    QTest::newRow("negative") << qint64(-5) << u"0 s"_s;
}

void PointerHelpTest::intervalTexts() {
    QFETCH(qint64, seconds);
    QFETCH(QString, text);
    QCOMPARE(IntervalText(seconds), text);
}

void PointerHelpTest::intervalSeconds_data() {
    QTest::addColumn<QString>("count");
    QTest::addColumn<int>("delay");
    QTest::addColumn<qint64>("seconds");
    QTest::newRow("7 of 600 s") << u"7"_s << 600 << qint64(4200);
    QTest::newRow("1") << u"1"_s << 10 << qint64(10);
    QTest::newRow("0 counts as 1") << u"0"_s << 10 << qint64(10);
    QTest::newRow("empty") << QString() << 10 << qint64(10);
    QTest::newRow("not a number") << u"abc"_s << 10 << qint64(10);
    QTest::newRow("negative") << u"-3"_s << 10 << qint64(10);
    QTest::newRow("half to even") << u"2.5"_s << 10 << qint64(20);
    QTest::newRow("largest") << u"64000"_s << 32767 << qint64(2097088000);
    QTest::newRow("edited beyond any width") << u"1e30"_s << 10 << qint64(21474836470);
}

void PointerHelpTest::intervalSeconds() {
    QFETCH(QString, count);
    QFETCH(int, delay);
    QFETCH(qint64, seconds);
    QCOMPARE(PairIntervalSeconds(count, delay), seconds);
}

void PointerHelpTest::pointerDescribesThePairUnderIt_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("delay");
    QTest::addColumn<QString>("interval");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("enabled");
    QTest::addColumn<bool>("targetExists");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::newRow("7 intervals of 600 s")
        << u"0"_s << u"600"_s << u"7"_s << u"0"_s << u"1"_s << true << QString()
        << u"T = 1 h 10 min 0 s; compress files"_s;
    QTest::newRow("interval 0, 10 s") << u"0"_s << u"10"_s << u"0"_s << u"1"_s << u"1"_s << true
                                      << QString() << u"T = 10 s; uncompress files"_s;
    QTest::newRow("disabled, English")
        << u"0"_s << u"10"_s << u"1"_s << u"0"_s << u"0"_s << true
        << u" [Compress/uncompress disabled]"_s << u"T = 10 s; compress files"_s;
    QTest::newRow("disabled, French") << u"1"_s << u"30"_s << u"3"_s << u"1"_s << u"0"_s << true
                                      << u" [Compression/décompression inactive]"_s
                                      << u"T = 1 min 30 s; décompresser les fichiers"_s;
    QTest::newRow("French, missing target")
        << u"1"_s << u"10"_s << u"1"_s << u"0"_s << u"1"_s << false << QString()
        << u"T = 10 s; compresser les fichiers"_s;
    // The pass skips any value but "1" and uncompresses any mode but "0".
    QTest::newRow("odd values as the pass reads them")
        << u"0"_s << u"10"_s << u"1"_s << u"2"_s << u"yes"_s << true
        << u" [Compress/uncompress disabled]"_s << u"T = 10 s; uncompress files"_s;
}

void PointerHelpTest::pointerDescribesThePairUnderIt() {
    QFETCH(QString, language);
    QFETCH(QString, delay);
    QFETCH(QString, interval);
    QFETCH(QString, mode);
    QFETCH(QString, enabled);
    QFETCH(bool, targetExists);
    QFETCH(QString, first);
    QFETCH(QString, second);
    ProgramFixture fixture;
    fixture.writeParameters(u"[Configuration]\nLangue="_s + language + u"\nTemporisation="_s
                            + delay);
    const QString source = fixture.folder(u"source"_s);
    const QString target = targetExists ? fixture.folder(u"target"_s) : fixture.path(u"gone"_s);
    fixture.writePairs({pairOf(fixture.folder(u"other"_s), fixture.folder(u"other2"_s)),
                        pairOf(source, target, mode, enabled, interval)});
    QVERIFY(fixture.start());
    frmKelvadon& window = fixture.window();
    FolderGrid* grid = window.grid();
    QLabel* message = fixture.label("lblMessage");

    const QPoint over = grid->visualRect(grid->model()->index(1, 0)).center();
    hover(grid->viewport(), over);
    const QString shownTarget = targetExists ? target : u"??? "_s + target;
    QCOMPARE(window.messageText(), source + u" -> "_s + shownTarget + first + u'\n' + second);
    QCOMPARE(window.describedRow(), 1);
    const QColor expected =
        enabled == u"1" ? window.palette().color(QPalette::ButtonText) : QColor(128, 128, 128);
    QCOMPARE(message->palette().color(QPalette::WindowText), expected);
}

void PointerHelpTest::pointerBelowTheRowsOrOverHeadingsClears() {
    ProgramFixture fixture;
    fixture.writePairs({pairOf(fixture.folder(u"a"_s), fixture.folder(u"b"_s), u"0"_s, u"0"_s)});
    QVERIFY(fixture.start());
    frmKelvadon& window = fixture.window();
    FolderGrid* grid = window.grid();
    const QPoint onRow = grid->visualRect(grid->model()->index(0, 2)).center();
    hover(grid->viewport(), onRow);
    QVERIFY(!window.messageText().isEmpty());

    hover(grid->viewport(), QPoint(onRow.x(), grid->viewport()->height() - 2));
    QVERIFY(window.messageText().isEmpty());
    QCOMPARE(window.describedRow(), -1);
    // The grey of a disabled pair does not stay behind.
    QCOMPARE(fixture.label("lblMessage")->palette().color(QPalette::WindowText),
             window.palette().color(QPalette::ButtonText));

    hover(grid->viewport(), onRow);
    QVERIFY(!window.messageText().isEmpty());
    hover(fixture.label("lblDossiersCibles"), QPoint(5, 5));
    QVERIFY(window.messageText().isEmpty());
    hover(grid->viewport(), onRow);
    hover(fixture.find<QWidget>("centralWidget"), QPoint(300, 445));
    QVERIFY(window.messageText().isEmpty());
}

void PointerHelpTest::pointerHelpWaitsWhilePassesRun() {
    ProgramFixture fixture;
    fixture.writePairs({pairOf(fixture.folder(u"a"_s), fixture.folder(u"b"_s)),
                        pairOf(fixture.folder(u"c"_s), fixture.path(u"gone"_s))});
    QVERIFY(fixture.start());
    frmKelvadon& window = fixture.window();
    QTest::mouseClick(fixture.button("cmdMiroir"), Qt::LeftButton);
    const QString summary = window.messageText();
    QVERIFY(summary.contains(u"1 invalid target folder"_s));
    FolderGrid* grid = window.grid();
    grid->setToolTip(QString());
    hover(grid->viewport(), grid->visualRect(grid->model()->index(0, 0)).center());
    hover(fixture.label("lblDossiersSources"), QPoint(5, 5));
    hover(grid->viewport(), QPoint(5, grid->viewport()->height() - 2));
    QCOMPARE(window.messageText(), summary);
    QCOMPARE(window.describedRow(), -1);
}

void PointerHelpTest::tooltipOnlyForTextsTooWide() {
    ProgramFixture fixture;
    const QString deep = fixture.path(QString(14, u'x')
                                      + u"/a-folder-name-long-enough-to-overflow"
                                        u"-its-column-in-the-grid/and-then-some-more"_s);
    fixture.writePairs({pairOf(deep, fixture.folder(u"b"_s))});
    QVERIFY(fixture.start());
    FolderGrid* grid = fixture.window().grid();
    hover(grid->viewport(), grid->visualRect(grid->model()->index(0, 0)).center());
    QCOMPARE(grid->toolTip(), u"??? "_s + deep);
    hover(grid->viewport(), grid->visualRect(grid->model()->index(0, 2)).center());
    QVERIFY(grid->toolTip().isEmpty());
    hover(grid->viewport(), grid->visualRect(grid->model()->index(0, 0)).center());
    QVERIFY(!grid->toolTip().isEmpty());
    hover(grid->viewport(), QPoint(5, grid->viewport()->height() - 2));
    QVERIFY(grid->toolTip().isEmpty());
}

void PointerHelpTest::picturesAreClearAtBothSizes_data() {
    QTest::addColumn<int>("picture");
    QTest::addColumn<int>("size");
    const char* names[] = {
        "start", "stop",        "compress", "uncompress", "compress grey", "uncompress grey",
        "mac",   "application", "service",  "program",    "arrow left",    "arrow right"};
    for (int picture = 0; picture <= int(Picture::ArrowRight); ++picture)
        for (int size : {16, 32})
            QTest::addRow("%s %d", names[picture], size) << picture << size;
}

void PointerHelpTest::picturesAreClearAtBothSizes() {
    QFETCH(int, picture);
    QFETCH(int, size);
    // A missing SVG plugin gives null pictures; a broken file, empty ones.
    const QImage image = picturePixmap(Picture(picture), QSize(size, size))
                             .toImage()
                             .convertToFormat(QImage::Format_ARGB32);
    QVERIFY(!image.isNull());
    QVERIFY(image.width() == size || image.height() == size);
    int opaque = 0;
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) == 255)
                ++opaque;
            colours.insert(pixel);
        }
    QVERIFY2(opaque >= image.width() * image.height() / 8, "too little is drawn");
    QVERIFY(colours.size() >= 2);
}

void PointerHelpTest::headlessPromptsNeverWait() {
    QVERIFY(QtUserPrompts::headless());
    QtUserPrompts prompts;
    QStringList reported;
    prompts.setReportSink([&reported](const QString& text) { reported << text; });
    QCOMPARE(prompts.message(nullptr, UserPrompts::Icon::Question, UserPrompts::Buttons::YesNo,
                             u"Torvanelo"_s,
                             u"Torvanelo Service installed\nsee it\n\nRemove it ?"_s),
             UserPrompts::Answer::No);
    QCOMPARE(prompts.message(nullptr, UserPrompts::Icon::Error, UserPrompts::Buttons::Ok,
                             u"Torvanelo - 1.0b"_s,
                             u"WinRar not installed\n\nTorvanelo cannot run"_s),
             UserPrompts::Answer::Ok);
    QCOMPARE(reported,
             (QStringList{u"Torvanelo: Torvanelo Service installed see it Remove it ?"_s,
                          u"Torvanelo - 1.0b: WinRar not installed Torvanelo cannot run"_s}));
    QVERIFY(!prompts.browseFolder(nullptr, u"ADD: select a SOURCE folder"_s, QString()));
    QVERIFY(!prompts.enterText(nullptr, u"Torvanelo"_s, u"prompt"_s, u"x"_s));
}

TORVANELO_TEST(PointerHelpTest);
#include "PointerHelpTest.moc"
