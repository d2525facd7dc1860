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
using test::FakeClock;
using test::FakeServiceControl;
using test::RecordingProcessRunner;

namespace {

// Records the window side of the warnings, in order, together with what the
// other ways had done at that moment.
class RecordingWarningView final : public WarningView {
public:
    void showWarning(const QString& text) override {
        if (onEffect)
            onEffect(QStringLiteral("screen"));
        effects << QStringLiteral("screen ") + text;
    }
    void beep() override {
        if (onEffect)
            onEffect(QStringLiteral("beep"));
        effects << QStringLiteral("beep");
    }

    QStringList effects;
    std::function<void(const QString&)> onEffect;
};

const QDate Today(2001, 5, 12);

} // namespace

class FolderWarningsTest : public QObject {
    Q_OBJECT

private slots:
    void makesTheWarningText_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::newRow("english source") << LanguageEnglish << int(FolderKind::Source)
                                        << QStringLiteral("14:02:11 - Unknown source folder");
        QTest::newRow("english target") << LanguageEnglish << int(FolderKind::Target)
                                        << QStringLiteral("14:02:11 - Unknown target folder");
        QTest::newRow("french source") << LanguageFrench << int(FolderKind::Source)
                                       << QStringLiteral("14:02:11 - Dossier source inconnu");
        QTest::newRow("french target") << LanguageFrench << int(FolderKind::Target)
                                       << QStringLiteral("14:02:11 - Dossier cible inconnu");
    }
    void makesTheWarningText() {
        QFETCH(int, language);
        QFETCH(int, kind);
        QFETCH(QString, text);
        QCOMPARE(FolderWarningText(FolderKind(kind), language, QTime(14, 2, 11)), text);
        QCOMPARE(FolderWarningText(FolderKind::Source, LanguageEnglish, QTime(9, 5, 1)),
                 QStringLiteral("09:05:01 - Unknown source folder"));
    }

    void deliversEachWayWhenItsSettingIsOn_data() {
        QTest::addColumn<bool>("screen");
        QTest::addColumn<bool>("logs");
        QTest::addColumn<bool>("eventLog");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<bool>("running");
        QTest::addColumn<bool>("beep");
        QTest::addColumn<bool>("netSend");
        QTest::addColumn<QString>("netSendText");
        QTest::addColumn<bool>("expectScreen");
        QTest::addColumn<bool>("expectJournal");
        QTest::addColumn<bool>("expectEvent");
        QTest::addColumn<bool>("expectBeep");
        QTest::addColumn<bool>("expectNetSend");
        const QString message = QStringLiteral("Administrator \"Warning\"");
        QTest::newRow("nothing on") << false << true << false << true << true << false << false
                                    << message << false << false << false << false << false;
        QTest::newRow("all on") << true << true << true << true << true << true << true << message
                                << true << true << true << true << true;
        QTest::newRow("screen without journal")
            << true << false << false << false << false << false << false << message << true
            << false << false << false << false;
        QTest::newRow("journal needs the screen warning")
            << false << true << true << true << true << false << false << message << false << false
            << true << false << false;
        QTest::newRow("event log, service not installed")
            << false << false << true << false << true << false << false << message << false
            << false << false << false << false;
        QTest::newRow("event log, service stopped")
            << false << false << true << true << false << false << false << message << false
            << false << false << false << false;
        QTest::newRow("beep alone") << false << false << false << false << false << true << false
                                    << message << false << false << false << true << false;
        QTest::newRow("net send with empty text")
            << false << false << false << false << false << false << true << QString() << false
            << false << false << false << false;
        QTest::newRow("net send") << false << false << false << false << false << false << true
                                  << message << false << false << false << false << true;
    }
    void deliversEachWayWhenItsSettingIsOn() {
        QFETCH(bool, screen);
        QFETCH(bool, logs);
        QFETCH(bool, eventLog);
        QFETCH(bool, installed);
        QFETCH(bool, running);
        QFETCH(bool, beep);
        QFETCH(bool, netSend);
        QFETCH(QString, netSendText);
        QFETCH(bool, expectScreen);
        QFETCH(bool, expectJournal);
        QFETCH(bool, expectEvent);
        QFETCH(bool, expectBeep);
        QFETCH(bool, expectNetSend);

        QTemporaryDir folder;
        LinuxFileSystem files;
        Settings settings;
        settings.WarnOnScreen = screen;
        settings.LogEnabled = logs;
        settings.LogFolder = folder.path();
        settings.WarnEventLog = eventLog;
        settings.WarnBeep = beep;
        settings.WarnNetSend = netSend;
        settings.NetSendMessage = netSendText;
        FakeClock clock(QDateTime(Today, QTime(14, 2, 11)));
        RecordingWarningView view;
        FakeServiceControl service;
        service.installed = installed;
        service.running = running;
        RecordingProcessRunner shell;
        DayJournal journal(files, settings, Today, QLocale(QLocale::English));

        FolderWarnings warnings(settings, clock, view, service, shell);
        warnings.deliver(FolderKind::Source, QStringLiteral("/srv/Depot/Entree"), &journal);

        const QString text = QStringLiteral("14:02:11 - Unknown source folder");
        QCOMPARE(view.effects.contains(QStringLiteral("screen ") + text), expectScreen);
        QCOMPARE(view.effects.contains(QStringLiteral("beep")), expectBeep);
        const auto content = test::readFile(journal.path());
        QCOMPARE(content.has_value(), expectJournal);
        if (expectJournal) {
            QVERIFY(
                content->endsWith("14:02:11 - Unknown source folder: /srv/Depot/Entree/<br>\r\n"));
            QVERIFY(content->startsWith("<html>\r\n"));
        }
        if (expectEvent) {
            QCOMPARE(service.events.size(), std::size_t(1));
            QCOMPARE(service.events[0].text, text + QStringLiteral(": /srv/Depot/Entree/"));
            QCOMPARE(service.events[0].eventType, EventWarning);
        } else {
            QVERIFY(service.events.empty());
        }
        const QStringList shellLines =
            shell.commandLines(RecordingProcessRunner::Kind::ShellDetached);
        QCOMPARE(shellLines.size(), expectNetSend ? 1 : 0);
        if (expectNetSend)
            QCOMPARE(shellLines[0], QStringLiteral("net send ") + netSendText);
        QCOMPARE(shell.runs.size(), std::size_t(expectNetSend ? 1 : 0));
    }

    void deliversInOrder() {
        QTemporaryDir folder;
        LinuxFileSystem files;
        Settings settings;
        settings.WarnOnScreen = settings.LogEnabled = settings.WarnEventLog = true;
        settings.WarnBeep = settings.WarnNetSend = true;
        settings.NetSendMessage = QStringLiteral("admin hello");
        settings.LogFolder = folder.path();
        settings.Language = LanguageFrench;
        FakeClock clock(QDateTime(Today, QTime(23, 59, 58)));
        RecordingWarningView view;
        FakeServiceControl service;
        service.installed = service.running = true;
        RecordingProcessRunner shell;
        DayJournal journal(files, settings, Today, QLocale(QLocale::French));

        // At each effect, note what the others had done before it.
        QStringList order;
        const auto snapshot = [&](const QString& now) {
            const auto content = test::readFile(journal.path());
            order << now + QStringLiteral(": journal=")
                         + QString::number(content ? content->count("<br>") : 0)
                         + QStringLiteral(" events=") + QString::number(service.events.size())
                         + QStringLiteral(" shell=") + QString::number(shell.runs.size())
                         + QStringLiteral(" view=") + QString::number(view.effects.size());
        };
        view.onEffect = snapshot;
        shell.effect = [&](const RecordingProcessRunner::Run&) {
            snapshot(QStringLiteral("net send"));
        };

        FolderWarnings warnings(settings, clock, view, service, shell);
        warnings.deliver(FolderKind::Source, QStringLiteral("/a<b>"), &journal);
        clock.advanceSeconds(1);
        warnings.deliver(FolderKind::Target, QStringLiteral("/c&d"), &journal);

        QCOMPARE(order, (QStringList{
                            QStringLiteral("screen: journal=0 events=0 shell=0 view=0"),
                            QStringLiteral("beep: journal=1 events=1 shell=0 view=1"),
                            QStringLiteral("net send: journal=1 events=1 shell=1 view=2"),
                            QStringLiteral("screen: journal=1 events=1 shell=1 view=2"),
                            QStringLiteral("beep: journal=2 events=2 shell=1 view=3"),
                            QStringLiteral("net send: journal=2 events=2 shell=2 view=4"),
                        }));
        const auto content = test::readFile(journal.path());
        QVERIFY(content.has_value());
        QVERIFY(content->endsWith("23:59:58 - Dossier source inconnu: /a&lt;b&gt;/<br>\r\n"
                                  "23:59:59 - Dossier cible inconnu: /c&amp;d/<br>\r\n"));
        QCOMPARE(service.events[1].text, QStringLiteral("23:59:59 - Dossier cible inconnu: /c&d/"));
    }

    void reopensAJournalRemovedDuringThePass() {
        QTemporaryDir folder;
        LinuxFileSystem files;
        Settings settings;
        settings.WarnOnScreen = settings.LogEnabled = true;
        settings.LogFolder = folder.path();
        FakeClock clock(QDateTime(Today, QTime(8, 0, 0)));
        RecordingWarningView view;
        FakeServiceControl service;
        RecordingProcessRunner shell;
        DayJournal journal(files, settings, Today, QLocale(QLocale::English));
        QVERIFY(journal.open());
        QVERIFY(QFile::remove(journal.path()));

        FolderWarnings(settings, clock, view, service, shell)
            .deliver(FolderKind::Target, QStringLiteral("/x"), &journal);
        const auto content = test::readFile(journal.path());
        QVERIFY(content.has_value());
        QVERIFY(content->startsWith("<html>\r\n"));
        QVERIFY(content->endsWith("08:00:00 - Unknown target folder: /x/<br>\r\n"));
    }
};

TORVANELO_TEST(FolderWarningsTest);
#include "FolderWarningsTest.moc"
