#include "DialogTestSupport.h"
#include "ProgramFixture.h"
#include "RecordingSystemLog.h"
#include "ServiceDialogDecisions.h"
#include "SettingsStore.h"
#include "SystemdServiceControl.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "frmAdminService.h"
#include "frmKelvadon.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <memory>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

using Icon = UserPrompts::Icon;
using Event = FakeServiceControl::Event;

const QString InstalledEnglish =
    u"Torvanelo Service installed\n(operations start automatically when the service starts)"_s;
const QString InstalledFrench =
    u"Torvanelo Service installé\n(le traitement démarre automatiquement au lancement du service)"_s;

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

QRadioButton* option(QWidget* dialog, int index) {
    return indexed<QRadioButton>(dialog, "optType", index);
}

int selectedOption(QWidget* dialog) {
    for (int index = 0; index < 3; ++index) {
        if (option(dialog, index)->isChecked())
            return index;
    }
    return -1;
}

QString modeShown(ProgramFixture& fixture) {
    return fixture.label("lblMode")->text() + u" | "_s + fixture.label("PictureMode")->toolTip();
}

const QString ApplicationMode = u"Application | Torvanelo Application"_s;
const QString ServiceMode = u"Service | Torvanelo Service"_s;

} // namespace

// The installation dialog over a whole program, offscreen, with the service
// manager and the prompts scripted.
class ServiceDialogTest : public QObject {
    Q_OBJECT

private slots:
    void decisions_data();
    void decisions();
    void openingShowsTheStateAndEveryText_data();
    void openingShowsTheStateAndEveryText();
    void openingSelectsTheStartType_data();
    void openingSelectsTheStartType();
    void interactionNoteFollowsTheBoxAndWritesNothing();
    void eventLogSwitchIsWrittenAtEachClickAndKeptOnCancel();
    void installWritesInOrderLogsAndEndsAfterTheMessage_data();
    void installWritesInOrderLogsAndEndsAfterTheMessage();
    void installOverAnInstalledServiceIsRefused();
    void failedInstallIsReportedAndTheProgramGoesOn();
    void failedStartTypeTakesTheUnitBack();
    void removeTwiceRemovesThenRefuses();
    void failedRemovalClaimsNothing();
    void theMenuEntryOpensTheDialog();
    void everyTextFitsOnASmallScreen_data();
    void everyTextFitsOnASmallScreen();
};

void ServiceDialogTest::decisions_data() {
    QTest::addColumn<int>("startType");
    QTest::addColumn<int>("option");
    QTest::addColumn<int>("optionStartType");
    QTest::newRow("automatic") << 0 << 0 << 0;
    QTest::newRow("manual") << 1 << 1 << 1;
    QTest::newRow("disabled") << 2 << 2 << 2;
    QTest::newRow("5 is disabled") << 5 << 2 << 2;
    QTest::newRow("negative is disabled") << -1 << 2 << 2;
    QTest::newRow("16-bit wrap is disabled") << 65536 << 2 << 2;
}

// The option read from a start type, and the start type an option writes
// (the option column doubling as an unusual option index: none selected is
// -1, which writes 2).
void ServiceDialogTest::decisions() {
    QFETCH(int, startType);
    QFETCH(int, option);
    QFETCH(int, optionStartType);
    QCOMPARE(startTypeOption(startType), option);
    QCOMPARE(startTypeOfOption(startType), optionStartType);
    QCOMPARE(startTypeOfOption(-1), 2);
    QCOMPARE(startTypeOfOption(3), 2);
}

void ServiceDialogTest::openingShowsTheStateAndEveryText_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QStringList>("texts");

    const QStringList french{
        u"IMPORTANT: Si vous souhaitez accéder à des fichiers situés sur un réseau, le service "
        u"Torvanelo doit démarrer sous un compte utilisateur et non un compte système local "
        u"[voir par exemple: Microsoft Knowledge Base Articles Q132679, Q127862, Q124184, "
        u"Q120582, Q158508]. Dans ce cas, le service ne peut pas interagir avec le bureau. "
        u"Vérifier soigneusement la configuration de démarrage."_s,
        u"Torvanelo Service interagit avec le bureau"_s,
        u"Impossible d'accéder à des fichiers situés sur un réseau"_s,
        u"Mentionner les dossiers invalides dans l'Observateur d'événements"_s,
        u"Type de démarrage"_s,
        u"Automatique"_s,
        u"Manuel"_s,
        u"Désactivé"_s,
        u"- Installer Torvanelo Service et quitter\n- Configurer et lancer le service avec "
        u"'Panneau de configuration/Services'"_s,
        u"&Installer"_s,
        u"Pour supprimer Torvanelo Service, vous pouvez aussi:\n- arrêter le service avec "
        u"'Panneau de Configuration/Services'\n- lancer à nouveau Torvanelo (le programme, pas "
        u"le service)"_s,
        u"&Supprimer"_s,
        u"&Annuler"_s};
    const QStringList english{
        u"IMPORTANT: If Torvanelo Service needs to access network files (non local files) you "
        u"will need to configure it to start under a user account and not a local system "
        u"account [see for exemple: Microsoft Knowledge Base Articles Q132679, Q127862, "
        u"Q124184, Q120582, Q158508]. In this case, the service cannot interact with the "
        u"desktop. Check carefully the configuration."_s,
        u"Torvanelo Service can interact with the desktop"_s,
        u"Cannot access network files"_s,
        u"Log invalid folders in the Application EventLog"_s,
        u"Start type"_s,
        u"Automatic"_s,
        u"Manual"_s,
        u"Disabled"_s,
        u"- Install Torvanelo Service and exit\n- Configure and run Torvanelo Service using "
        u"'Control pannel/Services'"_s,
        u"&Install"_s,
        u"To remove Torvanelo Service, you can too:\n- stop Torvanelo Service using 'Control "
        u"pannel/Services'\n- run again Torvanelo (the program, not the service)"_s,
        u"&Remove"_s,
        u"&Cancel"_s};
    QTest::newRow("French, installed") << 1 << true << InstalledFrench << french;
    QTest::newRow("French, not installed")
        << 1 << false << u"Torvanelo Service non installé"_s << french;
    QTest::newRow("English, installed") << 0 << true << InstalledEnglish << english;
    QTest::newRow("English, not installed")
        << 0 << false << u"Torvanelo Service not installed"_s << english;
    // Every language value but 1 is English.
    QTest::newRow("language 7") << 7 << false << u"Torvanelo Service not installed"_s << english;
}

void ServiceDialogTest::openingShowsTheStateAndEveryText() {
    QFETCH(int, language);
    QFETCH(bool, installed);
    QFETCH(QString, state);
    QFETCH(QStringList, texts);
    auto fixture = program(language, installed);
    QVERIFY(fixture);
    frmAdminService dialog(fixture->program().store(), fixture->service, fixture->prompts,
                           fixture->window());

    QCOMPARE(dialog.windowTitle(), u"Torvanelo Service [NT]"_s);
    QCOMPARE(control<QLabel>(&dialog, "lblService")->text(), state);
    const QStringList shown{control<QLabel>(&dialog, "lblInfo")->text(),
                            control<QCheckBox>(&dialog, "chkInteract")->text(),
                            control<QLabel>(&dialog, "lblInteract")->text(),
                            control<QCheckBox>(&dialog, "chkDossierErrEventLog")->text(),
                            control<QGroupBox>(&dialog, "frameType")->title(),
                            option(&dialog, 0)->text(),
                            option(&dialog, 1)->text(),
                            option(&dialog, 2)->text(),
                            control<QLabel>(&dialog, "lblInstall")->text(),
                            control<QPushButton>(&dialog, "cmdInstall")->text(),
                            control<QLabel>(&dialog, "lblRemove")->text(),
                            control<QPushButton>(&dialog, "cmdRemove")->text(),
                            control<QPushButton>(&dialog, "cmdAnnuler")->text()};
    for (qsizetype i = 0; i < texts.size(); ++i)
        QCOMPARE(shown[i], texts[i]);
    // Opening only reads.
    QVERIFY(fixture->service.calls.isEmpty());
    QVERIFY(fixture->service.events.empty());
    QCOMPARE(fixture->prompts.beeps, 0);
}

void ServiceDialogTest::openingSelectsTheStartType_data() {
    QTest::addColumn<int>("startType");
    QTest::addColumn<int>("selected");
    QTest::newRow("automatic") << 0 << 0;
    QTest::newRow("manual") << 1 << 1;
    QTest::newRow("disabled") << 2 << 2;
    QTest::newRow("5 read from the service") << 5 << 2;
    QTest::newRow("negative") << -3 << 2;
}

void ServiceDialogTest::openingSelectsTheStartType() {
    QFETCH(int, startType);
    QFETCH(int, selected);
    auto fixture = program(0, true);
    QVERIFY(fixture);
    fixture->service.startType = startType;
    frmAdminService dialog(fixture->program().store(), fixture->service, fixture->prompts,
                           fixture->window());
    QCOMPARE(selectedOption(&dialog), selected);
}

void ServiceDialogTest::interactionNoteFollowsTheBoxAndWritesNothing() {
    for (const bool interactive : {false, true}) {
        auto fixture = program(0, false);
        QVERIFY(fixture);
        fixture->service.interactive = interactive;
        frmAdminService dialog(fixture->program().store(), fixture->service, fixture->prompts,
                               fixture->window());
        dialog.show();
        auto* box = control<QCheckBox>(&dialog, "chkInteract");
        auto* note = control<QLabel>(&dialog, "lblInteract");
        QCOMPARE(box->isChecked(), interactive);
        QCOMPARE(note->isVisible(), interactive);
        box->click();
        QCOMPARE(note->isVisible(), !interactive);
        box->click();
        QCOMPARE(note->isVisible(), interactive);
        // Only Install hands the choice to the service.
        QVERIFY(fixture->service.calls.isEmpty());
        QCOMPARE(fixture->service.interactive, interactive);
    }
}

void ServiceDialogTest::eventLogSwitchIsWrittenAtEachClickAndKeptOnCancel() {
    auto fixture = program(1, false);
    QVERIFY(fixture);
    const auto stored = [&] {
        return fixture->storedValue(u"Configuration"_s, u"ErreurDossierEventLog"_s);
    };
    {
        frmAdminService dialog(fixture->program().store(), fixture->service, fixture->prompts,
                               fixture->window());
        dialog.show();
        auto* box = control<QCheckBox>(&dialog, "chkDossierErrEventLog");
        QVERIFY(!box->isChecked());
        QVERIFY(stored().isEmpty());
        box->click();
        QCOMPARE(stored(), u"1"_s);
        QVERIFY(fixture->program().store().settings().WarnEventLog);
        box->click();
        QCOMPARE(stored(), u"0"_s);
        QVERIFY(!fixture->program().store().settings().WarnEventLog);
        box->click();
        QCOMPARE(stored(), u"1"_s);
        control<QPushButton>(&dialog, "cmdAnnuler")->click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }
    QCOMPARE(stored(), u"1"_s);
    QVERIFY(fixture->program().store().settings().WarnEventLog);
    // The next opening shows it ticked; Cancel left the service alone.
    frmAdminService again(fixture->program().store(), fixture->service, fixture->prompts,
                          fixture->window());
    QVERIFY(control<QCheckBox>(&again, "chkDossierErrEventLog")->isChecked());
    QVERIFY(fixture->service.calls.isEmpty());
    QCOMPARE(fixture->exits, std::vector<int>{});
}

void ServiceDialogTest::installWritesInOrderLogsAndEndsAfterTheMessage_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<bool>("interactive");
    QTest::addColumn<QString>("message");
    const QString english = InstalledEnglish
                            + u"\n\nConfiguration and start, see\n'Control "
                              u"panel/Services'"_s;
    const QString french = InstalledFrench
                           + u"\n\nConfiguration et démarrage, voir\n'Panneau "
                             u"de configuration/Services'"_s;
    QTest::newRow("automatic, headless") << 0 << 0 << false << english;
    QTest::newRow("manual, desktop") << 0 << 1 << true << english;
    QTest::newRow("disabled, headless, French") << 1 << 2 << false << french;
    QTest::newRow("automatic, desktop, French") << 1 << 0 << true << french;
}

void ServiceDialogTest::installWritesInOrderLogsAndEndsAfterTheMessage() {
    QFETCH(int, language);
    QFETCH(int, chosen);
    QFETCH(bool, interactive);
    QFETCH(QString, message);
    auto fixture = program(language, false);
    QVERIFY(fixture);
    fixture->service.startType = 1;
    fixture->service.interactive = !interactive;
    std::vector<std::size_t> exitsWhenShown;
    QString modeWhenShown;
    fixture->prompts.onMessage = [&](const ScriptedUserPrompts::Message&) {
        exitsWhenShown.push_back(fixture->exits.size());
        modeWhenShown = modeShown(*fixture);
    };

    frmAdminService dialog(fixture->program().store(), fixture->service, fixture->prompts,
                           fixture->window());
    dialog.show();
    QCOMPARE(modeShown(*fixture), ApplicationMode);
    option(&dialog, chosen)->click();
    if (control<QCheckBox>(&dialog, "chkInteract")->isChecked() != interactive)
        control<QCheckBox>(&dialog, "chkInteract")->click();
    control<QPushButton>(&dialog, "cmdInstall")->click();

    const QStringList expectedCalls{u"setStartType "_s + QString::number(chosen),
                                    u"setInteractive "_s + QString::number(interactive ? 1 : 0),
                                    u"Install"_s};
    QCOMPARE(fixture->service.calls, expectedCalls);
    const QString installed = language == 1 ? InstalledFrench : InstalledEnglish;
    const std::vector<Event> logged{{installed, EventInformation}};
    QVERIFY(fixture->service.events == logged);
    QCOMPARE(fixture->prompts.messages.size(), std::size_t(1));
    const auto& shown = fixture->prompts.messages.front();
    QCOMPARE(shown.icon, Icon::Information);
    QCOMPARE(shown.buttons, UserPrompts::Buttons::Ok);
    QCOMPARE(shown.title, u"Torvanelo"_s);
    QCOMPARE(shown.text, message);
    // The window already showed the service when the message came; the
    // program ended once it was closed, and not before.
    QCOMPARE(modeWhenShown, ServiceMode);
    QCOMPARE(exitsWhenShown, std::vector<std::size_t>{0});
    QCOMPARE(fixture->exits, std::vector<int>{0});
    QVERIFY(fixture->window().exitRequested());
    QVERIFY(!fixture->window().isVisible());
    QVERIFY(!dialog.isVisible());
    QCOMPARE(control<QLabel>(&dialog, "lblService")->text(), installed);
    QCOMPARE(fixture->prompts.beeps, 0);
}

void ServiceDialogTest::installOverAnInstalledServiceIsRefused() {
    for (const int language : {0, 1}) {
        auto fixture = program(language, true);
        QVERIFY(fixture);
        frmAdminService dialog(fixture->program().store(), fixture->service, fixture->prompts,
                               fixture->window());
        dialog.show();
        option(&dialog, 0)->click();
        control<QPushButton>(&dialog, "cmdInstall")->click();
        QCOMPARE(control<QLabel>(&dialog, "lblService")->text(),
                 language == 1 ? u"Torvanelo Service déjà installé"_s
                               : u"Torvanelo Service already installed"_s);
        QCOMPARE(fixture->prompts.beeps, 1);
        QVERIFY(fixture->service.calls.isEmpty());
        QVERIFY(fixture->service.events.empty());
        QVERIFY(fixture->prompts.messages.empty());
        QCOMPARE(fixture->exits, std::vector<int>{});
        QVERIFY(dialog.isVisible());
        QCOMPARE(modeShown(*fixture), ApplicationMode);
    }
}

void ServiceDialogTest::failedInstallIsReportedAndTheProgramGoesOn() {
    auto fixture = program(1, false);
    QVERIFY(fixture);
    fixture->service.installResult = false;
    frmAdminService dialog(fixture->program().store(), fixture->service, fixture->prompts,
                           fixture->window());
    dialog.show();
    option(&dialog, 0)->click();
    control<QPushButton>(&dialog, "cmdInstall")->click();

    // Nothing stayed installed, so nothing was taken back.
    QCOMPARE(fixture->service.calls,
             (QStringList{u"setStartType 0"_s, u"setInteractive 0"_s, u"Install"_s}));
    QVERIFY(fixture->service.events.empty());
    QCOMPARE(fixture->prompts.messages.size(), std::size_t(1));
    QCOMPARE(fixture->prompts.messages.front().icon, Icon::Error);
    QCOMPARE(fixture->prompts.messages.front().text,
             u"Torvanelo Service n'a pas pu être installé"_s);
    QCOMPARE(control<QLabel>(&dialog, "lblService")->text(), u"Torvanelo Service non installé"_s);
    QCOMPARE(fixture->exits, std::vector<int>{});
    QVERIFY(!fixture->window().exitRequested());
    QVERIFY(dialog.isVisible());
    QCOMPARE(modeShown(*fixture), ApplicationMode);
}

// The real back-end over temporary unit folders: the unit is written, but
// systemd refuses to enable it. The dialog takes the unit back rather than
// leave a service that does not start as chosen.
void ServiceDialogTest::failedStartTypeTakesTheUnitBack() {
    auto fixture = program(0, false);
    QVERIFY(fixture);
    QTemporaryDir units;
    RecordingProcessRunner systemctl;
    RecordingSystemLog log;
    SystemdServiceSetup setup;
    setup.executable = u"/opt/torvanelo/torvanelo"_s;
    setup.programFolder = fixture->home();
    setup.systemUnitFolder = units.filePath(u"system"_s);
    setup.userUnitFolder = units.filePath(u"user"_s);
    SystemdServiceControl service(systemctl, log, setup);
    const QString unit = setup.systemUnitFolder + u"/torvanelo.service"_s;
    // daemon-reload and unmask succeed, enable fails.
    systemctl.queueResult(RunResult{true, 0, false, {}});
    systemctl.queueResult(RunResult{true, 0, false, {}});
    systemctl.queueResult(RunResult{true, 1, false, "Failed to enable unit\n"});
    bool unitWasWritten = false;
    systemctl.effect = [&](const RecordingProcessRunner::Run& run) {
        if (run.commandLine.endsWith(u"enable torvanelo.service"_s))
            unitWasWritten = QFile::exists(unit);
    };

    frmAdminService dialog(fixture->program().store(), service, fixture->prompts,
                           fixture->window());
    dialog.show();
    option(&dialog, 0)->click();
    control<QPushButton>(&dialog, "cmdInstall")->click();

    QVERIFY(unitWasWritten);
    QVERIFY(!QFile::exists(unit));
    QCOMPARE(
        systemctl.commandLines(RecordingProcessRunner::Kind::Capturing),
        (QStringList{u"systemctl daemon-reload"_s, u"systemctl unmask torvanelo.service"_s,
                     u"systemctl enable torvanelo.service"_s, u"systemctl stop torvanelo.service"_s,
                     u"systemctl disable torvanelo.service"_s,
                     u"systemctl unmask torvanelo.service"_s, u"systemctl daemon-reload"_s}));
    QVERIFY(log.entries.empty());
    QCOMPARE(fixture->prompts.messages.back().text, u"Torvanelo Service could not be installed"_s);
    QCOMPARE(control<QLabel>(&dialog, "lblService")->text(), u"Torvanelo Service not installed"_s);
    QCOMPARE(fixture->exits, std::vector<int>{});
}

void ServiceDialogTest::removeTwiceRemovesThenRefuses() {
    for (const int language : {0, 1}) {
        auto fixture = program(language, true);
        QVERIFY(fixture);
        fixture->service.running = true;
        fixture->window().setModeDisplay(ProgramMode::Service);
        frmAdminService dialog(fixture->program().store(), fixture->service, fixture->prompts,
                               fixture->window());
        dialog.show();
        auto* remove = control<QPushButton>(&dialog, "cmdRemove");
        auto* state = control<QLabel>(&dialog, "lblService");

        remove->click();
        const QString removed =
            language == 1 ? u"Torvanelo Service: supprimé"_s : u"Torvanelo Service: removed"_s;
        QCOMPARE(state->text(), removed);
        QCOMPARE(fixture->service.calls, QStringList{u"Uninstall"_s});
        const std::vector<Event> logged{{removed, EventInformation}};
        QVERIFY(fixture->service.events == logged);
        QCOMPARE(fixture->prompts.beeps, 0);
        QCOMPARE(modeShown(*fixture), ApplicationMode);
        QVERIFY(dialog.isVisible());

        fixture->window().setModeDisplay(ProgramMode::Service);
        remove->click();
        QCOMPARE(state->text(), language == 1 ? u"Torvanelo Service non installé"_s
                                              : u"Torvanelo Service not installed"_s);
        QCOMPARE(fixture->prompts.beeps, 1);
        QCOMPARE(fixture->service.calls, QStringList{u"Uninstall"_s});
        QVERIFY(fixture->service.events == logged);
        QCOMPARE(modeShown(*fixture), ApplicationMode);
        QVERIFY(dialog.isVisible());
        QVERIFY(fixture->prompts.messages.empty());
        QCOMPARE(fixture->exits, std::vector<int>{});
    }
}

void ServiceDialogTest::failedRemovalClaimsNothing() {
    auto fixture = program(0, true);
    QVERIFY(fixture);
    fixture->service.uninstallResult = false;
    fixture->window().setModeDisplay(ProgramMode::Service);
    frmAdminService dialog(fixture->program().store(), fixture->service, fixture->prompts,
                           fixture->window());
    dialog.show();
    control<QPushButton>(&dialog, "cmdRemove")->click();
    QCOMPARE(fixture->service.calls, QStringList{u"Uninstall"_s});
    QCOMPARE(control<QLabel>(&dialog, "lblService")->text(),
             u"Torvanelo Service could not be removed"_s);
    QCOMPARE(fixture->prompts.beeps, 1);
    QVERIFY(fixture->service.events.empty());
    QCOMPARE(modeShown(*fixture), ServiceMode);
    QVERIFY(dialog.isVisible());
}

void ServiceDialogTest::theMenuEntryOpensTheDialog() {
    auto fixture = program(0, false);
    QVERIFY(fixture);
    fixture->service.startType = 0;
    int selectedWhenOpen = -1;
    ModalDriver driver([&](QDialog* dialog) {
        selectedWhenOpen = selectedOption(dialog);
        control<QPushButton>(dialog, "cmdInstall")->click();
    });
    QAction* entry = fixture->action("mnuService");
    QVERIFY(entry->isEnabled());
    QCOMPARE(entry->text(), u"Install/remove Torvanelo Service [NT]"_s);
    entry->trigger();

    QCOMPARE(driver.seen, QStringList{u"frmAdminService"_s});
    QCOMPARE(selectedWhenOpen, 0);
    QCOMPARE(fixture->service.calls,
             (QStringList{u"setStartType 0"_s, u"setInteractive 0"_s, u"Install"_s}));
    QCOMPARE(fixture->exits, std::vector<int>{0});
}

void ServiceDialogTest::everyTextFitsOnASmallScreen_data() {
    QTest::addColumn<int>("language");
    QTest::newRow("English") << 0;
    QTest::newRow("French") << 1;
}

// The longest texts (the advice, the French notes) wrap inside the dialog,
// no caption is cut, and the whole fits a 1024 x 768 screen. The pictures go
// to the build folder's screenshots.
void ServiceDialogTest::everyTextFitsOnASmallScreen() {
    QFETCH(int, language);
    auto fixture = program(language, true);
    QVERIFY(fixture);
    fixture->service.interactive = true;
    frmAdminService dialog(fixture->program().store(), fixture->service, fixture->prompts,
                           fixture->window());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY2(dialog.width() <= 1024 && dialog.height() <= 700,
             qPrintable(u"%1 x %2"_s.arg(dialog.width()).arg(dialog.height())));
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        QVERIFY(label->isVisible());
        const int needed =
            label->wordWrap() ? label->heightForWidth(label->width()) : label->sizeHint().height();
        QVERIFY2(label->height() >= needed, qPrintable(label->objectName()));
        if (!label->wordWrap())
            QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->objectName()));
    }
    for (QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
        QVERIFY2(button->width() >= button->sizeHint().width(), qPrintable(button->objectName()));
        QVERIFY(dialog.rect().contains(button->geometry()));
    }
    const QString folder = buildDir() + u"/screenshots"_s;
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(dialog.grab().save(
        folder + (language == 1 ? u"/service-dialog-fr.png"_s : u"/service-dialog-en.png"_s)));
}

TORVANELO_TEST(ServiceDialogTest);
#include "ServiceDialogTest.moc"
