#include "FolderWarnings.h"

#include "DailyLog.h"
#include "FakeClock.h"
#include "FakeServiceControl.h"
#include "RecordingProcessRunner.h"
#include "Settings.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "Texts.h"
#include "WarningView.h"
#include "linux/LinuxFileSystem.h"

#include <QTemporaryDir>
#include <QTest>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

// The surroundings of a pass, with the ways of warning named in `on`: a real
// journal in a temporary folder; the clock, the service, the shell and the
// window (the rig itself) record.
// Every effect on the window or the shell is traced with what the journal
// (lines), the system log (entries) and the shell (runs) held at that moment.
struct Rig final : WarningView {
    QTemporaryDir folder;
    LinuxFileSystem files;
    Settings settings = [this] {
        Settings inFolder;
        inFolder.LogFolder = folder.path();
        return inFolder;
    }();
    FakeClock clock{QDateTime(QDate(2001, 5, 12), QTime(23, 59, 58))};
    FakeServiceControl service;
    RecordingProcessRunner shell;
    DayJournal journal{files, settings, QDate(2001, 5, 12), QLocale(QLocale::English)};
    QStringList trace;
    FolderWarnings warnings{settings, clock, *this, service, shell};

    explicit Rig(const QString& on) {
        const QStringList ways = on.split(u' ');
        settings.WarnOnScreen = ways.contains(u"screen"_s);
        settings.LogEnabled = ways.contains(u"journal"_s);
        settings.WarnEventLog = ways.contains(u"log"_s);
        service.installed = ways.contains(u"installed"_s);
        service.running = ways.contains(u"running"_s);
        settings.WarnBeep = ways.contains(u"beep"_s);
        settings.WarnNetSend = ways.contains(u"netsend"_s);
        settings.WarnDesktop = ways.contains(u"desktop"_s);
        settings.NetSendMessage.clear();
        shell.effect = [this](const RecordingProcessRunner::Run& run) { note(run.commandLine); };
    }
    void showWarning(const QString& text) override { note(u"screen "_s + text); }
    void beep() override { note(u"beep"_s); }
    void notifyDesktop(const QString& text) override { note(u"desktop "_s + text); }
    void note(const QString& what) {
        trace << what
                     + u" [%1 %2 %3]"_s.arg(readFile(journal.path()).value_or("").count("<br>"))
                           .arg(service.events.size())
                           .arg(shell.runs.size());
    }
};

} // namespace

class FolderWarningsTest : public QObject {
    Q_OBJECT

private slots:
    // Each way only when its setting is on (the journal only with the screen
    // warning, the system log only while the service is installed and
    // running, net send never with an empty text).
    void deliversEachWayWhenItsSettingIsOn_data() {
        QTest::addColumn<QString>("on");
        QTest::addColumn<QString>("trace");
        QTest::newRow("screen without journal")
            << u"screen"_s << u"screen 23:59:58 - Unknown source folder [0 0 0], end [0 0 0]"_s;
        QTest::newRow("journal needs the screen warning")
            << u"journal log installed running"_s << u"end [0 1 0]"_s;
        QTest::newRow("log, service not installed") << u"log running"_s << u"end [0 0 0]"_s;
        QTest::newRow("log, service stopped") << u"log installed"_s << u"end [0 0 0]"_s;
        QTest::newRow("beep alone") << u"beep"_s << u"beep [0 0 0], end [0 0 0]"_s;
        QTest::newRow("net send with an empty text") << u"netsend"_s << u"end [0 0 0]"_s;
        QTest::newRow("desktop notification, with the folder")
            << u"desktop"_s
            << u"desktop 23:59:58 - Unknown source folder: /srv/Depot/Entree/ [0 0 0], end [0 0 0]"_s;
    }
    void deliversEachWayWhenItsSettingIsOn() {
        QFETCH(QString, on);
        Rig rig(on);
        rig.warnings.deliver(FolderKind::Source, u"/srv/Depot/Entree"_s, &rig.journal);
        rig.note(u"end"_s);
        QTEST(rig.trace.join(u", "), "trace");
    }

    // Every way on: screen, journal, system log, beep, net send, in that
    // order, source before target; the texts in the language of the moment,
    // the folder escaped in the journal only, the net send text unchanged;
    // a journal removed since the pass opened it comes back with its header.
    void allWaysInOrderWithTheirTexts() {
        Rig rig(u"screen journal log installed running beep netsend"_s);
        rig.settings.Language = LanguageFrench;
        rig.settings.NetSendMessage = u"admin \"Warning: unknown folder\""_s;
        QVERIFY(rig.journal.open());
        QVERIFY(QFile::remove(rig.journal.path()));
        rig.warnings.deliver(FolderKind::Source, u"/a<b>"_s, &rig.journal);
        rig.clock.advanceSeconds(1);
        rig.warnings.deliver(FolderKind::Target, u"/c&d"_s, &rig.journal);

        const QString send = u"net send admin \"Warning: unknown folder\""_s;
        QCOMPARE(rig.trace, (QStringList{u"screen 23:59:58 - Dossier source inconnu [0 0 0]"_s,
                                         u"beep [1 1 0]"_s, send + u" [1 1 1]"_s,
                                         u"screen 23:59:59 - Dossier cible inconnu [1 1 1]"_s,
                                         u"beep [2 2 1]"_s, send + u" [2 2 2]"_s}));
        const auto journal = readFile(rig.journal.path());
        QVERIFY(journal && journal->startsWith("<html>\r\n"));
        QVERIFY(journal->endsWith("</h3></center>\r\n"
                                  "23:59:58 - Dossier source inconnu: /a&lt;b&gt;/<br>\r\n"
                                  "23:59:59 - Dossier cible inconnu: /c&amp;d/<br>\r\n"));
        QVERIFY(rig.service.events
                == (std::vector<FakeServiceControl::Event>{
                    {u"23:59:58 - Dossier source inconnu: /a<b>/"_s, EventWarning},
                    {u"23:59:59 - Dossier cible inconnu: /c&d/"_s, EventWarning}}));
    }
};

TORVANELO_TEST(FolderWarningsTest);
#include "FolderWarningsTest.moc"
