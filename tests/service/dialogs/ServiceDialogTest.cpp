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
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <memory>

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

QString modeShown(ProgramFixture& fixture) {
    return fixture.label("lblMode")->text() + u" | "_s + fixture.label("PictureMode")->toolTip();
}

} // namespace

// The installation dialog over a whole program, offscreen, with the service
// manager and the prompts scripted.
class ServiceDialogTest : public QObject {
    Q_OBJECT

private slots:
    // Opening only reads: the state, the start type (any value but 0 and 1
    // is Disabled) and the interaction flag, in the language of the moment.
    void openingShowsWhatTheServiceHolds_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<int>("startType");
        QTest::addColumn<bool>("interactive");
        QTest::addColumn<QString>("state");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("interactCaption");
        const QString french = u"Torvanelo Service interagit avec le bureau"_s;
        const QString english = u"Torvanelo Service can interact with the desktop"_s;
        QTest::newRow("French, installed, automatic")
            << 1 << true << 0 << false << InstalledFrench << 0 << french;
        QTest::newRow("English, not installed, manual, desktop")
            << 0 << false << 1 << true << u"Torvanelo Service not installed"_s << 1 << english;
        QTest::newRow("French, not installed, 5 is disabled")
            << 1 << false << 5 << false << u"Torvanelo Service non installé"_s << 2 << french;
        QTest::newRow("language 7 is English, negative start type")
            << 7 << true << -3 << true << InstalledEnglish << 2 << english;
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
        const auto dialog = dialogOf(*fixture, fixture->service);

        QCOMPARE(dialog->windowTitle(), u"Torvanelo Service [NT]"_s);
        QTEST(state(dialog.get()), "state");
        QFETCH(int, selected);
        QVERIFY(option(dialog.get(), selected)->isChecked());
        auto* box = control<QCheckBox>(dialog.get(), "chkInteract");
        auto* note = control<QLabel>(dialog.get(), "lblInteract");
        QTEST(box->text(), "interactCaption");
        QCOMPARE(box->isChecked(), interactive);
        QCOMPARE(note->isVisible(), interactive);
        // The note follows the box; only Install hands the choice over.
        box->click();
        QCOMPARE(note->isVisible(), !interactive);
        box->click();
        QCOMPARE(note->isVisible(), interactive);
        QCOMPARE(fixture->service.calls, QStringList());
        QVERIFY(fixture->service.events.empty());
        QCOMPARE(fixture->prompts.beeps, 0);
    }

    void eventLogSwitchIsWrittenAtEachClickAndKeptOnCancel() {
        auto fixture = program(1, false);
        QVERIFY(fixture);
        const auto stored = [&] {
            return fixture->storedValue(u"Configuration"_s, u"ErreurDossierEventLog"_s)
                   + (fixture->program().store().settings().WarnEventLog ? u" on"_s : u" off"_s);
        };
        {
            const auto dialog = dialogOf(*fixture, fixture->service);
            auto* box = control<QCheckBox>(dialog.get(), "chkDossierErrEventLog");
            QVERIFY(!box->isChecked());
            QCOMPARE(stored(), u" off"_s);
            for (const QString& expected : {u"1 on"_s, u"0 off"_s, u"1 on"_s}) {
                box->click();
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
        QVERIFY(fixture->exits.empty());
    }

    // From the menu entry: the start type, then the interaction flag, then
    // Install; the entry in the log; the window shows the service when the
    // message comes, and the program ends once it is closed.
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
            whenShown << modeShown(*fixture) << QString::number(fixture->exits.size())
                      << shown.title << shown.text;
        };
        QString stateAfter;
        ModalDriver driver([&](QDialog* dialog) {
            option(dialog, chosen)->click();
            control<QCheckBox>(dialog, "chkInteract")->click();
            click(dialog, "cmdInstall");
            stateAfter = state(dialog);
        });
        fixture->action("mnuService")->trigger();

        QCOMPARE(driver.seen, QStringList{u"frmAdminService"_s});
        QCOMPARE(
            fixture->service.calls,
            (QStringList{u"setStartType "_s + QString::number(chosen),
                         u"setInteractive "_s + QString::number(int(interactive)), u"Install"_s}));
        const QString installed = language == 1 ? InstalledFrench : InstalledEnglish;
        QVERIFY(fixture->service.events == (std::vector<Event>{{installed, EventInformation}}));
        QCOMPARE(whenShown, (QStringList{ServiceMode, u"0"_s, u"Torvanelo"_s, message}));
        QCOMPARE(fixture->prompts.messages.front().icon, UserPrompts::Icon::Information);
        QCOMPARE(fixture->exits, std::vector<int>{0});
        QCOMPARE(stateAfter, installed);
        QCOMPARE(fixture->prompts.beeps, 0);
    }

    // Install over an installed service and a second Remove are refused with
    // the state and a beep; the first Remove removes and logs. The window
    // ends in application mode; the dialog stays open throughout.
    void refusalsAndRemoval_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QStringList>("states");
        QTest::newRow("English") << 0
                                 << QStringList{u"Torvanelo Service already installed"_s,
                                                u"Torvanelo Service: removed"_s,
                                                u"Torvanelo Service not installed"_s};
        QTest::newRow("French") << 1
                                << QStringList{u"Torvanelo Service déjà installé"_s,
                                               u"Torvanelo Service: supprimé"_s,
                                               u"Torvanelo Service non installé"_s};
    }
    void refusalsAndRemoval() {
        QFETCH(int, language);
        QFETCH(QStringList, states);
        auto fixture = program(language, true);
        QVERIFY(fixture);
        fixture->window().setModeDisplay(ProgramMode::Service);
        const auto dialog = dialogOf(*fixture, fixture->service);
        QStringList seen;
        for (const char* button : {"cmdInstall", "cmdRemove", "cmdRemove"}) {
            click(dialog.get(), button);
            seen << state(dialog.get());
            QVERIFY(dialog->isVisible());
        }
        QCOMPARE(seen, states);
        QCOMPARE(fixture->prompts.beeps, 2);
        QCOMPARE(fixture->service.calls, QStringList{u"Uninstall"_s});
        QVERIFY(fixture->service.events == (std::vector<Event>{{states[1], EventInformation}}));
        QVERIFY(fixture->prompts.messages.empty());
        QVERIFY(fixture->exits.empty());
        QCOMPARE(modeShown(*fixture), ApplicationMode);
    }

    // The real back-end over temporary unit folders: the unit is written
    // but systemd refuses to enable it. The unit is taken back, the failure
    // is reported, and the program goes on as it was.
    void failedInstallTakesTheUnitBack_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("state");
        QTest::newRow("English") << 0 << u"Torvanelo Service could not be installed"_s
                                 << u"Torvanelo Service not installed"_s;
        QTest::newRow("French") << 1 << u"Torvanelo Service n'a pas pu être installé"_s
                                << u"Torvanelo Service non installé"_s;
    }
    void failedInstallTakesTheUnitBack() {
        QFETCH(int, language);
        auto fixture = program(language, false);
        QVERIFY(fixture);
        QTemporaryDir units;
        RecordingProcessRunner systemctl;
        RecordingSystemLog log;
        SystemdServiceControl service(systemctl, log,
                                      {u"/opt/torvanelo/torvanelo"_s, fixture->home(),
                                       units.filePath(u"system"_s), units.filePath(u"user"_s)});
        const QString unit = units.filePath(u"system/torvanelo.service"_s);
        systemctl.queueResult(RunResult{true, 0, false, {}});
        systemctl.queueResult(RunResult{true, 0, false, {}});
        systemctl.queueResult(RunResult{true, 1, false, "Failed to enable unit\n"});
        bool unitWasWritten = false;
        systemctl.effect = [&](const RecordingProcessRunner::Run& run) {
            unitWasWritten |=
                run.commandLine.endsWith(u" enable torvanelo.service"_s) && QFile::exists(unit);
        };
        const auto dialog = dialogOf(*fixture, service);
        option(dialog.get(), 0)->click();
        click(dialog.get(), "cmdInstall");

        QVERIFY(unitWasWritten);
        QVERIFY(!QFile::exists(unit));
        QCOMPARE(systemctl.commandLines(RecordingProcessRunner::Kind::Capturing),
                 (QStringList{
                     u"systemctl daemon-reload"_s, u"systemctl unmask torvanelo.service"_s,
                     u"systemctl enable torvanelo.service"_s, u"systemctl stop torvanelo.service"_s,
                     u"systemctl disable torvanelo.service"_s,
                     u"systemctl unmask torvanelo.service"_s, u"systemctl daemon-reload"_s}));
        QVERIFY(log.entries.empty());
        QCOMPARE(fixture->prompts.messages.size(), std::size_t(1));
        QCOMPARE(fixture->prompts.messages.front().icon, UserPrompts::Icon::Error);
        QTEST(fixture->prompts.messages.front().text, "message");
        QTEST(state(dialog.get()), "state");
        QVERIFY(fixture->exits.empty());
        QVERIFY(dialog->isVisible());
        QCOMPARE(modeShown(*fixture), ApplicationMode);
    }

    void failedRemovalClaimsNothing() {
        auto fixture = program(0, true);
        QVERIFY(fixture);
        fixture->service.uninstallResult = false;
        fixture->window().setModeDisplay(ProgramMode::Service);
        const auto dialog = dialogOf(*fixture, fixture->service);
        click(dialog.get(), "cmdRemove");
        QCOMPARE(fixture->service.calls, QStringList{u"Uninstall"_s});
        QCOMPARE(state(dialog.get()), u"Torvanelo Service could not be removed"_s);
        QCOMPARE(fixture->prompts.beeps, 1);
        QVERIFY(fixture->service.events.empty());
        QCOMPARE(modeShown(*fixture), ServiceMode);
    }

    // The longest texts wrap inside the dialog, no caption is cut, and the
    // whole fits a 1024 x 768 screen. The pictures go to the build folder.
    void everyTextFitsOnASmallScreen_data() {
        QTest::addColumn<int>("language");
        QTest::newRow("en") << 0;
        QTest::newRow("fr") << 1;
    }
    void everyTextFitsOnASmallScreen() {
        QFETCH(int, language);
        auto fixture = program(language, true);
        QVERIFY(fixture);
        fixture->service.interactive = true;
        const auto dialog = dialogOf(*fixture, fixture->service);
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        QVERIFY2(dialog->width() <= 1024 && dialog->height() <= 700,
                 qPrintable(u"%1 x %2"_s.arg(dialog->width()).arg(dialog->height())));
        for (QLabel* label : dialog->findChildren<QLabel*>()) {
            QVERIFY(label->isVisible());
            const QSize needed = label->wordWrap() ? QSize(0, label->heightForWidth(label->width()))
                                                   : label->sizeHint();
            QVERIFY2(label->width() >= needed.width() && label->height() >= needed.height(),
                     qPrintable(label->objectName()));
        }
        for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
            QVERIFY2(button->width() >= button->sizeHint().width()
                         && dialog->rect().contains(button->geometry()),
                     qPrintable(button->objectName()));
        }
        QVERIFY(QDir().mkpath(buildDir() + u"/screenshots"_s));
        QVERIFY(dialog->grab().save(buildDir() + u"/screenshots/service-dialog-"_s
                                    + QString::fromLatin1(QTest::currentDataTag()) + u".png"_s));
    }
};

TORVANELO_TEST(ServiceDialogTest);
#include "ServiceDialogTest.moc"
