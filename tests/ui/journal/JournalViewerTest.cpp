#include "DailyLog.h"
#include "JournalUiSupport.h"
#include "JournalWindows.h"
#include "ProgramFixture.h"
#include "ScratchMount.h"
#include "TestRegistry.h"
#include "frmKelvadon.h"
#include "frmVoirLogs.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

using Answer = UserPrompts::Answer;

const QColor Purple(0x80, 0x00, 0x80);

QColor textColour(const QLabel* label) {
    return label->palette().color(QPalette::WindowText);
}

QStringList captions(const frmVoirLogs* viewer) {
    QStringList texts;
    for (int i = 0; i < viewer->labelCount(); ++i)
        texts << viewer->dateLabel(i)->text();
    return texts;
}

QStringList dateTexts(const std::vector<QDate>& dates) {
    QStringList texts;
    for (const QDate& date : dates)
        texts << date.toString(u"yyyy-MM-dd");
    return texts;
}

// A program whose journal folder is `journals` (made when missing), in the
// language given, logging on.
void prepare(ProgramFixture& fixture, const QString& journals, int language = 0,
             const QString& logs = QString()) {
    QDir().mkpath(journals);
    fixture.writeParameters(u"[Configuration]\nLangue="_s + QString::number(language)
                            + u"\nTemporisation=600\n[Logs]\nLogs=1\nPathLogs="_s + journals + u'\n'
                            + logs);
}

frmVoirLogs* openViewer(ProgramFixture& fixture) {
    fixture.action("mnuVoirLogs")->trigger();
    auto* journals = fixture.window().findChild<JournalWindows*>();
    return journals ? journals->viewer() : nullptr;
}

} // namespace

// The journal viewer with real journals: what it lists after the purge, how
// it lays them out, opens and deletes them, and how it comes and goes with
// the main window.
class JournalViewerTest : public QObject {
    Q_OBJECT

private slots:
    void purgeThenListing_data() {
        QTest::addColumn<int>("older");
        QTest::addColumn<int>("kept");
        // Exactly the number kept: nothing goes; one or more over it: the
        // oldest go until, with the new day's journal, that number remains.
        QTest::newRow("10 older") << 10 << 11;
        QTest::newRow("11 older") << 11 << 10;
        QTest::newRow("25 older") << 25 << 10;
    }
    void purgeThenListing() {
        QFETCH(int, older);
        QFETCH(int, kept);
        ProgramFixture fixture;
        const QString journals = fixture.path(u"journaux"_s);
        prepare(fixture, journals);
        const QDate today = fixture.clock.now().date();
        std::vector<QDate> dates = writeJournals(journals, today, older);
        QCOMPARE(int(dates.size()), older);
        // Neither journals nor counted: other names, and a folder.
        QVERIFY(writeFile(journals + u"/notes.txt"_s, "x"));
        QVERIFY(writeFile(journals + u"/Log Autre 2001-01-01.htm"_s, "x"));
        QVERIFY(QDir(journals).mkdir(u"Log Torvanelo 1999-01-01.htm"_s));
        fixture.writePairs({pairOf(fixture.folder(u"in"_s), fixture.folder(u"out"_s))});
        QVERIFY(fixture.start());

        // The purge as the user sets it: on, keeping 10.
        {
            ModalScript script(u"frmPurgeLogs"_s, [](QWidget* dialog) {
                dialog->findChild<QCheckBox*>(u"chkPurgeLogs"_s)->setChecked(true);
                dialog->findChild<QLineEdit*>(u"Text1"_s)->setText(u"10"_s);
                QTest::mouseClick(dialog->findChild<QPushButton*>(u"cmdOK"_s), Qt::LeftButton);
            });
            fixture.action("mnuPurgeLogs")->trigger();
            QVERIFY(script.ran());
        }
        QVERIFY(fixture.action("mnuPurgeLogs")->isChecked());
        // Nothing is deleted before the day's journal is created.
        QCOMPARE(journalsIn(journals).size(), older);

        QTest::mouseClick(fixture.button("cmdMiroir"), Qt::LeftButton);
        QTest::mouseClick(fixture.button("cmdMiroir"), Qt::LeftButton);
        QVERIFY(QFile::exists(journals + u'/' + journalName(today)));
        dates.push_back(today);
        const std::vector<QDate> remaining(dates.end() - kept, dates.end());
        QStringList expected;
        for (const QDate& date : remaining)
            expected << journalName(date);
        QCOMPARE(journalsIn(journals), expected);
        QVERIFY(QFile::exists(journals + u"/notes.txt"_s));
        QVERIFY(QFile::exists(journals + u"/Log Autre 2001-01-01.htm"_s));

        RecordedDocuments opened;
        frmVoirLogs* viewer = openViewer(fixture);
        QVERIFY(viewer);
        QCOMPARE(captions(viewer), dateTexts(remaining));
        // The newest opens at once and is drawn as visited.
        QCOMPARE(opened.paths(), QStringList({journals + u'/' + journalName(today)}));
        QCOMPARE(textColour(viewer->dateLabel(kept - 1)), Purple);
        QVERIFY(textColour(viewer->dateLabel(0)) != Purple);
    }

    void fiveJournalsMakeTwoRows() {
        ProgramFixture fixture;
        const QString journals = fixture.path(u"journaux"_s);
        prepare(fixture, journals);
        const QDate today = fixture.clock.now().date();
        const auto dates = writeJournals(journals, today, 5);
        QVERIFY(fixture.start());
        RecordedDocuments opened;
        frmVoirLogs* viewer = openViewer(fixture);
        QVERIFY(viewer);
        QCOMPARE(viewer->labelCount(), 5);
        const QPoint first = viewer->dateLabel(0)->pos();
        const int columns[] = {120, 1080, 2040, 3000};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(viewer->dateLabel(i)->y(), first.y());
            QCOMPARE(viewer->dateLabel(i)->x(), (columns[i] + 7) / 15);
        }
        // The fifth starts a new row, at the left, 360 twips lower.
        QCOMPARE(viewer->dateLabel(4)->x(), first.x());
        QCOMPARE(viewer->dateLabel(4)->y(), first.y() + 360 / 15);
        QCOMPARE(opened.paths(), QStringList({journals + u'/' + journalName(dates.back())}));
        // Kept above the others at the top right, without taking the focus.
        QVERIFY(viewer->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(viewer->testAttribute(Qt::WA_ShowWithoutActivating));
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QCOMPARE(viewer->frameGeometry().right(), screen->availableGeometry().right());
            QCOMPARE(viewer->frameGeometry().top(), screen->availableGeometry().top());
        }
        QCOMPARE(viewer->windowTitle(), u"Check Logs - [Back to Torvanelo: close] ->"_s);
    }

    void deleteThroughThePopup_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("cancel");
        QTest::newRow("English, yes") << 0 << true << u"Remove Log '2024-03-13'"_s << u"Cancel"_s;
        QTest::newRow("English, no") << 0 << false << u"Remove Log '2024-03-13'"_s << u"Cancel"_s;
        QTest::newRow("French, yes")
            << 1 << true << u"Effacer le journal '2024-03-13'"_s << u"Annuler"_s;
        QTest::newRow("French, no")
            << 1 << false << u"Effacer le journal '2024-03-13'"_s << u"Annuler"_s;
    }
    void deleteThroughThePopup() {
        QFETCH(int, language);
        QFETCH(bool, yes);
        QFETCH(QString, question);
        QFETCH(QString, cancel);
        ProgramFixture fixture;
        const QString journals = fixture.path(u"journaux"_s);
        prepare(fixture, journals, language);
        const QDate today = fixture.clock.now().date();
        writeJournals(journals, today, 3); // 03-12, 03-13, 03-14
        QVERIFY(fixture.start());
        RecordedDocuments opened;
        frmVoirLogs* viewer = openViewer(fixture);
        QVERIFY(viewer);
        QLabel* target = viewer->dateLabel(1);
        const QPoint before = viewer->dateLabel(2)->pos();

        QTest::mousePress(target, Qt::RightButton, {}, QPoint(2, 2));
        QMenu* popup = viewer->popupMenu();
        QTRY_VERIFY(popup->isVisible());
        QAction* remove = popup->findChild<QAction*>(u"mnuSupprimerLog"_s);
        QCOMPARE(remove->text(), question);
        QCOMPARE(popup->findChild<QAction*>(u"mnuAnnuler"_s)->text(), cancel);
        fixture.prompts.answers.push_back(yes ? Answer::Yes : Answer::No);
        remove->trigger();
        popup->hide();

        QCOMPARE(int(fixture.prompts.messages.size()), 1);
        const auto& asked = fixture.prompts.messages.front();
        QCOMPARE(asked.text, question);
        QCOMPARE(asked.title, u"Torvanelo"_s);
        QCOMPARE(asked.buttons, UserPrompts::Buttons::YesNo);
        const QString file = journals + u'/' + journalName(today.addDays(-2));
        QCOMPARE(QFile::exists(file), !yes);
        QCOMPARE(target->isHidden(), yes);
        // The others keep their places and their files.
        QCOMPARE(viewer->dateLabel(2)->pos(), before);
        QVERIFY(viewer->dateLabel(0)->isVisible());
        QCOMPARE(journalsIn(journals).size(), yes ? 2 : 3);
    }

    void aJournalThatCannotGoKeepsItsLabel() {
        ProgramFixture fixture;
        const QString journals = fixture.folder(u"journaux"_s);
        ScratchMount mount(journals, "tmpfs", "size=1m");
        if (!mount.mounted())
            QSKIP(qPrintable(mount.error()));
        prepare(fixture, journals);
        const QDate today = fixture.clock.now().date();
        writeJournals(journals, today, 2);
        QVERIFY(mount.setReadOnly(true));
        QVERIFY(fixture.start());
        RecordedDocuments opened;
        frmVoirLogs* viewer = openViewer(fixture);
        QVERIFY(viewer);
        QTest::mousePress(viewer->dateLabel(0), Qt::RightButton, {}, QPoint(2, 2));
        fixture.prompts.answers.push_back(Answer::Yes);
        viewer->popupMenu()->findChild<QAction*>(u"mnuSupprimerLog"_s)->trigger();
        viewer->popupMenu()->hide();
        QCOMPARE(int(fixture.prompts.messages.size()), 2);
        QCOMPARE(fixture.prompts.messages.back().text, u"Log '2024-03-13' could not be removed."_s);
        QVERIFY(QFile::exists(journals + u'/' + journalName(today.addDays(-2))));
        QVERIFY(viewer->dateLabel(0)->isVisible());
        QVERIFY(mount.setReadOnly(false));
    }

    void clickOpensAndSendsTheMainWindowAway() {
        ProgramFixture fixture;
        const QString journals = fixture.path(u"journaux"_s);
        prepare(fixture, journals);
        const QDate today = fixture.clock.now().date();
        writeJournals(journals, today, 3);
        // Not a dated name: listed under the ten characters after the prefix,
        // and the label opens that very file.
        QVERIFY(writeFile(journals + u"/Log Torvanelo backup.htm"_s, "x"));
        QVERIFY(writeFile(journals + u"/Log Torvanelo <b>bold<b>.htm"_s, "x"));
        QVERIFY(fixture.start());
        frmKelvadon& window = fixture.window();
        QVERIFY(window.isVisible());
        RecordedDocuments opened;
        frmVoirLogs* viewer = openViewer(fixture);
        QVERIFY(viewer);
        QCOMPARE(viewer->labelCount(), 5);
        // Markup in a name stays text.
        QLabel* markup = viewer->dateLabel(3);
        QCOMPARE(markup->text(), u"<b>bold<b>"_s);
        QCOMPARE(markup->textFormat(), Qt::PlainText);
        QCOMPARE(viewer->dateLabel(4)->text(), u"backup.htm"_s);
        QCOMPARE(opened.paths().back(), journals + u"/Log Torvanelo backup.htm"_s);

        QLabel* first = viewer->dateLabel(0);
        QVERIFY(textColour(first) != Purple);
        QTest::mouseClick(first, Qt::LeftButton, {}, QPoint(2, 2));
        QTest::mouseClick(first, Qt::LeftButton, {}, QPoint(2, 2));
        const QString path = journals + u'/' + journalName(today.addDays(-3));
        QCOMPARE(opened.paths().mid(1), QStringList({path, path}));
        QCOMPARE(textColour(first), Purple);
        QVERIFY(viewer->visited(0));
        QTRY_VERIFY(!window.isVisible());
        // Gone to the tray: closing the viewer leaves it there.
        viewer->close();
        QVERIFY(!window.isVisible());
    }

    void openingAgainAndClosing() {
        ProgramFixture fixture;
        const QString journals = fixture.path(u"journaux"_s);
        prepare(fixture, journals);
        writeJournals(journals, fixture.clock.now().date(), 2);
        QVERIFY(fixture.start());
        frmKelvadon& window = fixture.window();
        RecordedDocuments opened;
        QPointer<frmVoirLogs> viewer = openViewer(fixture);
        QVERIFY(viewer);
        QVERIFY(viewer->isVisible());
        QCOMPARE(opened.urls.size(), std::size_t(1));

        // Already open: the same window comes back, the main window goes.
        viewer->showMinimized();
        QCOMPARE(openViewer(fixture), viewer.data());
        QVERIFY(!viewer->isMinimized());
        QTRY_VERIFY(!window.isVisible());
        QCOMPARE(opened.urls.size(), std::size_t(1));

        // Closing brings a visible main window back to its normal state.
        window.restoreWindow();
        QVERIFY(window.isVisible());
        viewer->close();
        QTRY_VERIFY(viewer.isNull());
        QVERIFY(window.isVisible());
        QVERIFY(!window.isMinimized());

        // Opened again: built afresh, the newest opened again.
        frmVoirLogs* again = openViewer(fixture);
        QVERIFY(again);
        QCOMPARE(opened.urls.size(), std::size_t(2));
    }

    void noJournalsNoFolder() {
        ProgramFixture fixture;
        const QString journals = fixture.path(u"journaux"_s);
        prepare(fixture, journals);
        QVERIFY(writeFile(journals + u"/readme.txt"_s, "x"));
        QVERIFY(fixture.start());
        RecordedDocuments opened;
        frmVoirLogs* viewer = openViewer(fixture);
        QVERIFY(viewer);
        QCOMPARE(viewer->labelCount(), 0);
        QVERIFY(opened.urls.empty());
        viewer->close();

        // The folder vanished after start-up: an empty viewer, no message.
        QVERIFY(QDir(journals).removeRecursively());
        viewer = openViewer(fixture);
        QVERIFY(viewer);
        QCOMPARE(viewer->labelCount(), 0);
        QVERIFY(opened.urls.empty());
        QVERIFY(fixture.prompts.messages.empty());
    }

    void scrollingMovesTheLabels() {
        ProgramFixture fixture;
        const QString journals = fixture.path(u"journaux"_s);
        prepare(fixture, journals);
        // 420 journals: 105 rows, more than the fixed range would reach.
        writeJournals(journals, fixture.clock.now().date(), 420);
        QVERIFY(fixture.start());
        RecordedDocuments opened;
        frmVoirLogs* viewer = openViewer(fixture);
        QVERIFY(viewer);
        QScrollBar* bar = viewer->scrollBar();
        QCOMPARE(bar->objectName(), u"VScroll1"_s);
        QCOMPARE(bar->singleStep(), 150);
        QCOMPARE(bar->pageStep(), 150);
        QCOMPARE(bar->height(), viewer->height());
        QLabel* last = viewer->dateLabel(419);
        const int lastTop = last->y();
        QVERIFY(lastTop > viewer->height());

        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(bar->value(), 150);
        QCOMPARE(last->y(), lastTop - 10);
        bar->setValue(bar->maximum());
        // The last row can be brought into the window.
        QVERIFY(last->geometry().bottom() < viewer->height());
        QVERIFY(last->y() >= 0);
        bar->setValue(0);
        QCOMPARE(last->y(), lastTop);
    }

    void captionFollowsTheLanguage() {
        ProgramFixture fixture;
        const QString journals = fixture.path(u"journaux"_s);
        prepare(fixture, journals, 1);
        QVERIFY(fixture.start());
        frmVoirLogs* viewer = openViewer(fixture);
        QVERIFY(viewer);
        QCOMPARE(viewer->windowTitle(), u"Voir les journaux - [Retour à Torvanelo] ->"_s);
        fixture.action("mnuAnglais")->trigger();
        QCOMPARE(viewer->windowTitle(), u"Check Logs - [Back to Torvanelo: close] ->"_s);
    }
};

TORVANELO_TEST(JournalViewerTest);
#include "JournalViewerTest.moc"
