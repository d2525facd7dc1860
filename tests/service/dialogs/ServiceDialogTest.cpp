#include "DialogTestSupport.h"
#include "ProgramFixture.h"
#include "RecordingSystemLog.h"
#include "SettingsStore.h"
#include "SystemdServiceControl.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "frmAdminService.h"
#include "frmKelvadon.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QRadioButton>
#include <QTest>

#include <memory>
#include <unistd.h>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

using Event = FakeServiceControl::Event;

const QString InstalledEnglish =
    u"Torvanelo Service installed\n(operations start automatically when the service starts)"_s;
const QString InstalledFrench =
    u"Torvanelo Service installé\n(le traitement démarre automatiquement au lancement du service)"_s;
const QString ApplicationMode = u"Application | Torvanelo Application"_s;
const QString ServiceMode = u"Service | Torvanelo Service"_s;

// A started program in application mode, in the given language, with the
// service's state set afterwards (so start-up asks nothing).
std::unique_ptr<ProgramFixture> program(int language, bool installed) {
    auto fixture = std::make_unique<ProgramFixture>();
    fixture->writeParameters(u"[Configuration]\nLangue="_s + QString::number(language) + u'\n');
    if (!fixture->start())
        return nullptr;
    fixture->service.installed = installed;
    return fixture;
}

std::unique_ptr<frmAdminService> dialogOf(ProgramFixture& fixture, ServiceControl& service) {
    auto dialog = std::make_unique<frmAdminService>(fixture.program().store(), service,
                                                    fixture.prompts, fixture.window());
    dialog->show();
    return dialog;
}

QRadioButton* option(QWidget* dialog, int index) {
    return indexed<QRadioButton>(dialog, "optType", index);
}

QString state(QWidget* dialog) {
    return control<QLabel>(dialog, "lblService")->text();
}

// No text shown is cut and the dialog fits a small screen.
void checkEverythingFits(QDialog* dialog) {
    QVERIFY(dialog->width() <= 1024 && dialog->height() <= 700);
    for (QWidget* widget : dialog->findChildren<QWidget*>()) {
        auto* label = qobject_cast<QLabel*>(widget);
        if (!widget->isVisible() || (!label && !qobject_cast<QAbstractButton*>(widget)))
            continue;
        const QSize needed = label && label->wordWrap()
                                 ? QSize(0, label->heightForWidth(label->width()))
                                 : widget->sizeHint();
        QVERIFY2(widget->width() >= needed.width() && widget->height() >= needed.height(),
                 qPrintable(widget->objectName()));
    }
}

QString modeShown(ProgramFixture& fixture) {
    return fixture.label("lblMode")->text() + u" | "_s + fixture.label("PictureMode")->toolTip();
}

} // namespace

// The installation dialog over a whole program, offscreen, with the service
// manager and the prompts scripted.
class ServiceDialogTest : public QObject {
    Q_OBJECT

private slots:
    // Opening only reads (a start type other than 0 and 1 is Disabled); the
    // interaction note follows its box; the event-log switch is written at
    // each click and Cancel does not undo it; every text fits.
    void openingShowsWhatTheServiceHolds_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<int>("startType");
        QTest::addColumn<bool>("interactive");
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("selected");
        QTest::newRow("fr-installed") << 1 << true << 0 << true << InstalledFrench << 0;
        QTest::newRow("en") << 0 << false << 1 << false << u"Torvanelo Service not installed"_s
                            << 1;
        QTest::newRow("fr") << 1 << false << 5 << false << u"Torvanelo Service non installé"_s << 2;
        QTest::newRow("en-installed, language 7")
            << 7 << true << -3 << true << InstalledEnglish << 2;
    }
    void openingShowsWhatTheServiceHolds() {
        QFETCH(int, language);
        QFETCH(bool, installed);
        QFETCH(int, startType);
        QFETCH(bool, interactive);
        auto fixture = program(language, installed);
        QVERIFY(fixture);
        fixture->service.startType = startType;
        fixture->service.interactive = interactive;
        const auto stored = [&] {
            return fixture->storedValue(u"Configuration"_s, u"ErreurDossierEventLog"_s)
                   + (fixture->program().store().settings().WarnEventLog ? u" on"_s : u" off"_s);
        };
        {
            const auto dialog = dialogOf(*fixture, fixture->service);
            QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
            QCOMPARE(dialog->windowTitle(), u"Torvanelo Service [NT]"_s);
            QTEST(state(dialog.get()), "state");
            QFETCH(int, selected);
            QVERIFY(option(dialog.get(), selected)->isChecked());
            auto* box = control<QCheckBox>(dialog.get(), "chkInteract");
            auto* note = control<QLabel>(dialog.get(), "lblInteract");
            QCOMPARE(box->isChecked(), interactive);
            QCOMPARE(note->isVisible(), interactive);
            checkEverythingFits(dialog.get());
            box->click();
            QCOMPARE(note->isVisible(), !interactive);

            auto* eventLog = control<QCheckBox>(dialog.get(), "chkDossierErrEventLog");
            QVERIFY(!eventLog->isChecked());
            QCOMPARE(stored(), u" off"_s);
            for (const QString& expected : {u"1 on"_s, u"0 off"_s, u"1 on"_s}) {
                eventLog->click();
                QCOMPARE(stored(), expected);
            }
            click(dialog.get(), "cmdAnnuler");
            QCOMPARE(dialog->result(), int(QDialog::Rejected));
        }
        QCOMPARE(stored(), u"1 on"_s);
        QVERIFY(
            control<QCheckBox>(dialogOf(*fixture, fixture->service).get(), "chkDossierErrEventLog")
                ->isChecked());
        QCOMPARE(fixture->service.calls, QStringList());
        QVERIFY(fixture->service.events.empty() && fixture->exits.empty());
    }

    // Start type, interaction flag, then Install; the window shows the
    // service when the message comes, and the program ends once it closes.
    void installWritesInOrderLogsAndEndsAfterTheMessage_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("chosen");
        QTest::addColumn<bool>("interactive");
        QTest::addColumn<QString>("message");
        const QString english =
            InstalledEnglish + u"\n\nConfiguration and start, see\n'Control panel/Services'"_s;
        const QString french = InstalledFrench
                               + u"\n\nConfiguration et démarrage, voir\n'Panneau de "
                                 u"configuration/Services'"_s;
        QTest::newRow("automatic, headless") << 0 << 0 << false << english;
        QTest::newRow("manual, desktop") << 0 << 1 << true << english;
        QTest::newRow("disabled, headless, French") << 1 << 2 << false << french;
    }
    void installWritesInOrderLogsAndEndsAfterTheMessage() {
        QFETCH(int, language);
        QFETCH(int, chosen);
        QFETCH(bool, interactive);
        QFETCH(QString, message);
        auto fixture = program(language, false);
        QVERIFY(fixture);
        fixture->service.startType = 1;
        fixture->service.interactive = !interactive;
        QStringList whenShown;
        fixture->prompts.onMessage = [&](const ScriptedUserPrompts::Message& shown) {
            whenShown << state(QApplication::activeModalWidget()) << modeShown(*fixture)
                      << QString::number(fixture->exits.size()) << said(shown);
        };
        ModalDriver driver([&](QDialog* dialog) {
            option(dialog, chosen)->click();
            control<QCheckBox>(dialog, "chkInteract")->click();
            click(dialog, "cmdInstall");
        });
        fixture->action("mnuService")->trigger();

        QCOMPARE(fixture->service.calls,
                 (QStringList{u"setStartType %1"_s.arg(chosen),
                              u"setInteractive %1"_s.arg(int(interactive)), u"Install"_s}));
        const QString installed = language == 1 ? InstalledFrench : InstalledEnglish;
        QVERIFY(fixture->service.events == (std::vector<Event>{{installed, EventInformation}}));
        QCOMPARE(whenShown, (QStringList{installed, ServiceMode, u"0"_s,
                                         u"[information] Torvanelo: "_s + message}));
        QCOMPARE(fixture->exits, std::vector<int>{0});
    }

    // Install over an installed service and a second Remove beep; a failed
    // removal claims nothing and leaves the window in service mode.
    void refusalsAndRemoval_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<bool>("removable");
        QTest::addColumn<QString>("states"); // after Install, Remove, Remove
        QTest::addColumn<QString>("mode");
        QTest::newRow("English") << 0 << true << u"* already installed|*: removed|* not installed"_s
                                 << ApplicationMode;
        QTest::newRow("French") << 1 << true << u"* déjà installé|*: supprimé|* non installé"_s
                                << ApplicationMode;
        QTest::newRow("removal fails")
            << 0 << false << u"* already installed|* could not be removed|* could not be removed"_s
            << ServiceMode;
    }
    void refusalsAndRemoval() {
        QFETCH(int, language);
        QFETCH(bool, removable);
        auto fixture = program(language, true);
        QVERIFY(fixture);
        fixture->service.uninstallResult = removable;
        fixture->window().setModeDisplay(ProgramMode::Service);
        const auto dialog = dialogOf(*fixture, fixture->service);
        QStringList seen;
        for (const char* button : {"cmdInstall", "cmdRemove", "cmdRemove"}) {
            click(dialog.get(), button);
            seen << state(dialog.get());
            QVERIFY(dialog->isVisible());
        }
        QTEST(seen.join(u'|').replace(u"Torvanelo Service"_s, u"*"_s), "states");
        QCOMPARE(fixture->prompts.beeps, removable ? 2 : 3);
        QCOMPARE(fixture->service.calls.join(u' '),
                 removable ? u"Uninstall"_s : u"Uninstall Uninstall"_s);
        QVERIFY(fixture->service.events
                == (removable ? std::vector<Event>{{seen[1], EventInformation}}
                              : std::vector<Event>{}));
        QVERIFY(fixture->prompts.messages.empty() && fixture->exits.empty());
        QTEST(modeShown(*fixture), "mode");
    }

    // The real back-end over temporary unit folders. systemd refuses to
    // enable the unit (three calls to install, four to remove): the unit is
    // taken back. Run as root over a program folder that others may write:
    // refused before any unit is written or systemd is asked, with the path
    // and its fix. The failure is reported and the program goes on as it was.
    void failedInstallLeavesNoUnit_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<bool>("othersMayWrite");
        QTest::addColumn<int>("calls");
        QTest::addColumn<QString>("message"); // %1: the program folder
        QTest::addColumn<QString>("state");
        QTest::newRow("systemd refuses")
            << 1 << false << 7 << u"Torvanelo Service n'a pas pu être installé"_s
            << u"Torvanelo Service non installé"_s;
        QTest::newRow("program folder others may write")
            << 0 << true << 0
            << u"Torvanelo Service could not be installed\n\n%1 can be written by users other "
               u"than root (group or others). Fix it with: chmod go-w %1"_s
            << u"Torvanelo Service not installed"_s;
    }
    void failedInstallLeavesNoUnit() {
        QFETCH(int, language);
        QFETCH(bool, othersMayWrite);
        QFETCH(int, calls);
        QFETCH(QString, message);
        if (othersMayWrite && ::geteuid() != 0)
            QSKIP("only a unit that runs as root is checked");
        auto fixture = program(language, false);
        QVERIFY(fixture);
        QTemporaryDir units;
        RecordingProcessRunner systemctl;
        RecordingSystemLog log;
        SystemdServiceControl service(systemctl, log,
                                      {u"/opt/torvanelo/torvanelo"_s, fixture->home(),
                                       units.filePath(u"system"_s), units.filePath(u"user"_s)});
        for (const int exitCode : {0, 0, 1})
            systemctl.queueResult(RunResult{true, exitCode, false, "Failed to enable unit\n"});
        QVERIFY(!othersMayWrite || setMode(fixture->home(), 0777));
        const auto dialog = dialogOf(*fixture, service);
        option(dialog.get(), 0)->click();
        click(dialog.get(), "cmdInstall");
        QVERIFY(setMode(fixture->home(), 0755));

        QCOMPARE(systemctl.runs.size(), std::size_t(calls));
        QVERIFY(!QFile::exists(units.filePath(u"system/torvanelo.service"_s)));
        QCOMPARE(fixture->shown(),
                 QStringList{u"[error] Torvanelo: "_s + message.replace(u"%1"_s, fixture->home())});
        QTEST(state(dialog.get()), "state");
        QVERIFY(log.entries.empty() && fixture->exits.empty() && dialog->isVisible());
        QCOMPARE(modeShown(*fixture), ApplicationMode);
    }
};

TORVANELO_TEST(ServiceDialogTest);
#include "ServiceDialogTest.moc"
