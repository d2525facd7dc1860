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

Settings journalIn(const QString& folder) {
    Settings settings;
    settings.LogFolder = folder;
    return settings;
}

// The surroundings of a pass: a real journal in a temporary folder; the
// clock, the service, the shell and the window record. Every effect on the
// window or the shell is traced with what the journal (lines), the system
// log (entries) and the shell (runs) held at that moment.
struct Rig {
    QTemporaryDir folder;
    LinuxFileSystem files;
    Settings settings = journalIn(folder.path());
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
                     + u" | journal %1, log %2, shell %3"_s
                           .arg(readFile(journal.path()).value_or("").count("<br>"))
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
        QTest::addColumn<QStringList>("on");
        QTest::addColumn<QString>("netSendText");
        QTest::addColumn<QStringList>("trace");
        const QString text = u"23:59:58 - Unknown source folder"_s;
        const QStringList all{u"screen"_s,  u"journal"_s, u"log"_s,    u"installed"_s,
                              u"running"_s, u"beep"_s,    u"netsend"_s};
        QTest::newRow("all on") << all << u"admin \"hi\""_s
                                << QStringList{
                                       u"screen "_s + text + u" | journal 0, log 0, shell 0"_s,
                                       u"beep | journal 1, log 1, shell 0"_s,
                                       u"net send admin \"hi\" | journal 1, log 1, shell 1"_s,
                                       u"end | journal 1, log 1, shell 1"_s};
        QTest::newRow("screen without journal")
            << QStringList{u"screen"_s} << QString()
            << QStringList{u"screen "_s + text + u" | journal 0, log 0, shell 0"_s,
                           u"end | journal 0, log 0, shell 0"_s};
        QTest::newRow("journal needs the screen warning")
            << QStringList{u"journal"_s, u"log"_s, u"installed"_s, u"running"_s} << QString()
            << QStringList{u"end | journal 0, log 1, shell 0"_s};
        QTest::newRow("log, service not installed")
            << QStringList{u"log"_s, u"running"_s} << QString()
            << QStringList{u"end | journal 0, log 0, shell 0"_s};
        QTest::newRow("log, service stopped") << QStringList{u"log"_s, u"installed"_s} << QString()
                                              << QStringList{u"end | journal 0, log 0, shell 0"_s};
        QTest::newRow("beep alone") << QStringList{u"beep"_s} << QString()
                                    << QStringList{u"beep | journal 0, log 0, shell 0"_s,
                                                   u"end | journal 0, log 0, shell 0"_s};
        QTest::newRow("net send with an empty text")
            << QStringList{u"netsend"_s} << QString()
            << QStringList{u"end | journal 0, log 0, shell 0"_s};
    }
    void deliversEachWayWhenItsSettingIsOn() {
        QFETCH(QStringList, on);
        QFETCH(QString, netSendText);
        Rig rig;
        rig.settings.WarnOnScreen = on.contains(u"screen"_s);
        rig.settings.LogEnabled = on.contains(u"journal"_s);
        rig.settings.WarnEventLog = on.contains(u"log"_s);
        rig.service.installed = on.contains(u"installed"_s);
        rig.service.running = on.contains(u"running"_s);
        rig.settings.WarnBeep = on.contains(u"beep"_s);
        rig.settings.WarnNetSend = on.contains(u"netsend"_s);
        rig.settings.NetSendMessage = netSendText;
        rig.warnings.deliver(FolderKind::Source, u"/srv/Depot/Entree"_s, &rig.journal);
        rig.note(u"end"_s);
        QTEST(rig.trace, "trace");
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
        QVERIFY(rig.trace[0].startsWith(u"screen 23:59:58 - Dossier source inconnu |"_s));
        QVERIFY(rig.trace[1].startsWith(
            u"net send Administrator \"Warning from Torvanelo: unknown folder\" |"_s));
        QVERIFY(rig.trace[2].startsWith(u"screen 23:59:59 - Dossier cible inconnu |"_s));
    }
};

TORVANELO_TEST(FolderWarningsTest);
#include "FolderWarningsTest.moc"
