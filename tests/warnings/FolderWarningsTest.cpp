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

#include <functional>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

class RecordingWarningView final : public WarningView {
public:
    explicit RecordingWarningView(std::function<void(const QString&)> note)
        : m_note(std::move(note)) {}
    void showWarning(const QString& text) override { m_note(u"screen "_s + text); }
    void beep() override { m_note(u"beep"_s); }

private:
    std::function<void(const QString&)> m_note;
};

// The surroundings of a pass: a real journal in a temporary folder; the
// clock, the service, the shell and the window record. Every effect on the
// window or the shell is traced with what the journal (lines), the system
// log (entries) and the shell (runs) held at that moment.
struct Rig {
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
    RecordingWarningView view{[this](const QString& what) { note(what); }};
    FolderWarnings warnings{settings, clock, view, service, shell};

    Rig() {
        shell.effect = [this](const RecordingProcessRunner::Run& run) { note(run.commandLine); };
    }
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
    // Each way only when its setting is on, in this order: screen, journal
    // (with the screen warning only), system log (service installed and
    // running), beep, net send (never with an empty text).
    void deliversEachWayWhenItsSettingIsOn_data() {
        QTest::addColumn<QString>("on");
        QTest::addColumn<QString>("netSendText");
        QTest::addColumn<QString>("trace");
        QTest::newRow("all on")
            << u"screen journal log installed running beep netsend"_s << u"admin \"hi\""_s
            << u"screen 23:59:58 - Unknown source folder [0 0 0], beep [1 1 0], "
               u"net send admin \"hi\" [1 1 1], end [1 1 1]"_s;
        QTest::newRow("screen without journal")
            << u"screen"_s << QString()
            << u"screen 23:59:58 - Unknown source folder [0 0 0], end [0 0 0]"_s;
        QTest::newRow("journal needs the screen warning")
            << u"journal log installed running"_s << QString() << u"end [0 1 0]"_s;
        QTest::newRow("log, service not installed")
            << u"log running"_s << QString() << u"end [0 0 0]"_s;
        QTest::newRow("log, service stopped")
            << u"log installed"_s << QString() << u"end [0 0 0]"_s;
        QTest::newRow("beep alone") << u"beep"_s << QString() << u"beep [0 0 0], end [0 0 0]"_s;
        QTest::newRow("net send with an empty text")
            << u"netsend"_s << QString() << u"end [0 0 0]"_s;
    }
    void deliversEachWayWhenItsSettingIsOn() {
        QFETCH(QString, netSendText);
        QFETCH(QString, on);
        const QStringList ways = on.split(u' ');
        Rig rig;
        rig.settings.WarnOnScreen = ways.contains(u"screen"_s);
        rig.settings.LogEnabled = ways.contains(u"journal"_s);
        rig.settings.WarnEventLog = ways.contains(u"log"_s);
        rig.service.installed = ways.contains(u"installed"_s);
        rig.service.running = ways.contains(u"running"_s);
        rig.settings.WarnBeep = ways.contains(u"beep"_s);
        rig.settings.WarnNetSend = ways.contains(u"netsend"_s);
        rig.settings.NetSendMessage = netSendText;
        rig.warnings.deliver(FolderKind::Source, u"/srv/Depot/Entree"_s, &rig.journal);
        rig.note(u"end"_s);
        QTEST(rig.trace.join(u", "), "trace");
    }

    // The texts in the language of the moment, the folder escaped in the
    // journal only, the net send text unchanged; a journal removed since the
    // pass opened it comes back with its header.
    void textsOfTheWarnings() {
        Rig rig;
        rig.settings.Language = LanguageFrench;
        rig.settings.WarnOnScreen = rig.settings.LogEnabled = rig.settings.WarnEventLog = true;
        rig.settings.WarnNetSend = true;
        rig.settings.NetSendMessage = u"Administrator \"Warning from Torvanelo: unknown folder\""_s;
        rig.service.installed = rig.service.running = true;
        QVERIFY(rig.journal.open());
        QVERIFY(QFile::remove(rig.journal.path()));
        rig.warnings.deliver(FolderKind::Source, u"/a<b>"_s, &rig.journal);
        rig.clock.advanceSeconds(1);
        rig.warnings.deliver(FolderKind::Target, u"/c&d"_s, &rig.journal);

        const auto journal = readFile(rig.journal.path());
        QVERIFY(journal && journal->startsWith("<html>\r\n"));
        QVERIFY(journal->endsWith("</h3></center>\r\n"
                                  "23:59:58 - Dossier source inconnu: /a&lt;b&gt;/<br>\r\n"
                                  "23:59:59 - Dossier cible inconnu: /c&amp;d/<br>\r\n"));
        QVERIFY(rig.service.events
                == (std::vector<FakeServiceControl::Event>{
                    {u"23:59:58 - Dossier source inconnu: /a<b>/"_s, EventWarning},
                    {u"23:59:59 - Dossier cible inconnu: /c&d/"_s, EventWarning}}));
        QCOMPARE(rig.trace.size(), 4);
        QVERIFY(rig.trace[0].startsWith(u"screen 23:59:58 - Dossier source inconnu ["_s));
        QVERIFY(rig.trace[1].startsWith(
            u"net send Administrator \"Warning from Torvanelo: unknown folder\" ["_s));
        QVERIFY(rig.trace[2].startsWith(u"screen 23:59:59 - Dossier cible inconnu ["_s));
    }
};

TORVANELO_TEST(FolderWarningsTest);
#include "FolderWarningsTest.moc"
