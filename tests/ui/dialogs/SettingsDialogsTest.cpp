#include "DialogTestSupport.h"
#include "FolderGrid.h"
#include "FolderPairList.h"
#include "FolderPairModel.h"
#include "ParametersFile.h"
#include "ProcessingController.h"
#include "ProgramFixture.h"
#include "SettingsStore.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "frmAvertirDossierErr.h"
#include "frmKelvadon.h"
#include "frmPerformance.h"
#include "frmPrefixeCible.h"
#include "frmSetMode.h"
#include "frmTempo.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

using Icon = UserPrompts::Icon;

QString iniPath(ProgramFixture& fixture) {
    return fixture.path(u"Torvanelo.ini"_s);
}

// Replaces the text of a box as the user does: select all, type.
void typeInto(QLineEdit* box, const QString& text) {
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
}

// A started program with the given parameters and pairs.
std::unique_ptr<ProgramFixture> program(const QString& parameters,
                                        std::vector<QString> intervals = {u"1"_s}) {
    auto fixture = std::make_unique<ProgramFixture>();
    fixture->writeParameters(parameters);
    std::vector<FolderPair> pairs;
    for (std::size_t n = 0; n < intervals.size(); ++n) {
        const QString number = QString::number(n + 1);
        pairs.push_back(pairOf(fixture->folder(u"Entrée "_s + number),
                               fixture->folder(u"Sortie "_s + number), u"0"_s, u"1"_s,
                               intervals[n]));
    }
    fixture->writePairs(pairs);
    if (!fixture->start())
        return nullptr;
    return fixture;
}

} // namespace

// The per-pair settings, prefix, delay, performance and warning dialogs.
class SettingsDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void intervalBox_data();
    void intervalBox();
    void setModeFromTheGrid();
    void setModeOkNeedsStoppedPasses();
    void prefix_data();
    void prefix();
    void delay_data();
    void delay();
    void delayArrows();
    void performance();
    void warningSettings();
    void warningCancelChangesNothing();
    void tryButton_data();
    void tryButton();
    void screenshotsInFrench();
};

void SettingsDialogsTest::intervalBox_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("label"); // lblErr when refused, else lblMiroirN2
    QTest::addColumn<QString>("message");
    QTest::newRow("abc") << 0 << u"abc"_s << u"Invalid value"_s << u"Invalid value"_s;
    QTest::newRow("1") << 0 << u"1"_s << u"Value must be between 2 and 64000"_s
                       << u"Value must be set between 2 and 64000"_s;
    QTest::newRow("64001") << 0 << u"64001"_s << u"Value must be between 2 and 64000"_s
                           << u"Value must be set between 2 and 64000"_s;
    QTest::newRow("100") << 0 << u" 100"_s << u"i.e. 1 h 40 min 0 sec"_s << QString();
    QTest::newRow("abc, French") << 1 << u"abc"_s << u"Valeur incorrecte"_s
                                 << u"Valeur incorrecte"_s;
    QTest::newRow("1, French") << 1 << u"1"_s << u"La valeur doit être comprise entre 2 et 64000"_s
                               << u"La valeur doit être comprise entre 2 et 64000"_s;
    QTest::newRow("100, French") << 1 << u"100"_s << u"soit: 1 h 40 min 0 sec"_s << QString();
}

void SettingsDialogsTest::intervalBox() {
    QFETCH(int, language);
    QFETCH(QString, typed);
    QFETCH(QString, label);
    QFETCH(QString, message);
    auto fixture =
        program(u"[Configuration]\nTemporisation=60\nLangue="_s + QString::number(language));
    QVERIFY(fixture);
    const auto before = readFile(iniPath(*fixture));
    std::vector<int> reloads;
    frmSetMode dialog(fixture->program().store(), fixture->window().pairModel(), 0, true,
                      fixture->prompts, [&reloads](int row) { reloads.push_back(row); });
    dialog.show();
    auto* box = control<QLineEdit>(&dialog, "txtMiroirN");
    QVERIFY(!box->isEnabled());
    QTest::mouseClick(indexed<QRadioButton>(&dialog, "optTempo", 1), Qt::LeftButton);
    QVERIFY(box->isEnabled());
    typeInto(box, typed);
    QCOMPARE(box->text(), typed.trimmed());

    auto* error = control<QLabel>(&dialog, "lblErr");
    auto* duration = control<QLabel>(&dialog, "lblMiroirN2");
    QCOMPARE(error->isVisible(), !message.isEmpty());
    QCOMPARE(duration->isVisible(), message.isEmpty());
    QCOMPARE((message.isEmpty() ? duration : error)->text(), label);

    click(&dialog, "cmdOK");
    if (message.isEmpty()) {
        QVERIFY(!dialog.isVisible());
        QCOMPARE(reloads, std::vector<int>{0});
        QCOMPARE(fixture->storedValue(u"Rar_1"_s, u"NbTemporisations"_s), typed.trimmed());
        return;
    }
    QVERIFY(dialog.isVisible());
    QVERIFY(reloads.empty());
    QCOMPARE(fixture->prompts.messages.size(), 1u);
    const auto& shown = fixture->prompts.messages.front();
    QCOMPARE(int(shown.icon), int(Icon::Warning));
    QCOMPARE(shown.title, u"Torvanelo"_s);
    QCOMPARE(shown.text, message);
    QCOMPARE(readFile(iniPath(*fixture)), before);
}

void SettingsDialogsTest::setModeFromTheGrid() {
    // An interval only an edited file can hold opens as the default.
    auto fixture = program(u"[Configuration]\nTemporisation=10\n"_s, {u"5"_s, u"100000"_s});
    QVERIFY(fixture);
    frmKelvadon& window = fixture->window();
    FolderGrid* grid = window.grid();
    const FolderPairModel& model = window.pairModel();
    const QPoint modeCell = grid->visualRect(model.index(1, 1)).center();

    // Cancel after changing everything leaves the files and the grid alone.
    const auto before = readFile(iniPath(*fixture));
    {
        ModalDriver cancel([](QDialog* dialog) {
            control<QCheckBox>(dialog, "chkEnable")->click();
            indexed<QRadioButton>(dialog, "optRar", 1)->click();
            click(dialog, "cmdAnnuler");
        });
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, modeCell);
        QCOMPARE(cancel.seen, QStringList{u"frmSetMode"_s});
        QCOMPARE(readFile(iniPath(*fixture)), before);
        QVERIFY(model.index(1, 0).data(FolderPairModel::EnabledRole).toBool());
    }

    QStringList opened;
    ModalDriver change([&opened, &model](QDialog* dialog) {
        opened << dialog->windowTitle() << control<QLabel>(dialog, "lblSource")->text()
               << control<QLabel>(dialog, "lblCible")->text()
               << control<QLineEdit>(dialog, "txtMiroirN")->text();
        QVERIFY(indexed<QRadioButton>(dialog, "optTempo", 0)->isChecked());
        QVERIFY(!control<QLineEdit>(dialog, "txtMiroirN")->isEnabled());
        QVERIFY(indexed<QRadioButton>(dialog, "optRar", 0)->isChecked());
        QVERIFY(control<QCheckBox>(dialog, "chkEnable")->isChecked());
        QVERIFY(control<QLabel>(dialog, "optTempo") == nullptr);
        control<QCheckBox>(dialog, "chkEnable")->click();
        QTest::mouseClick(control<QLabel>(dialog, "PictureSetMod"), Qt::LeftButton);
        QVERIFY(indexed<QRadioButton>(dialog, "optRar", 1)->isChecked());
        click(dialog, "cmdOK");
        Q_UNUSED(model);
    });
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, modeCell);
    QCOMPARE(change.seen, QStringList{u"frmSetMode"_s});
    QCOMPARE(opened, (QStringList{u"Parameters and time setting"_s,
                                  model.folderText(1, FolderPairModel::SourceColumn),
                                  model.folderText(1, FolderPairModel::TargetColumn), u"2"_s}));
    QCOMPARE(fixture->storedValue(u"Rar_2"_s, u"Rar"_s), u"1"_s);
    QCOMPARE(fixture->storedValue(u"Rar_2"_s, u"Enable"_s), u"0"_s);
    QCOMPARE(fixture->storedValue(u"Rar_2"_s, u"NbTemporisations"_s), u"1"_s);
    QCOMPARE(fixture->storedValue(u"Rar_1"_s, u"NbTemporisations"_s), u"5"_s);
    // Reloaded: the pair greyed, its row current again.
    QVERIFY(!model.index(1, 0).data(FolderPairModel::EnabledRole).toBool());
    QCOMPARE(model.pairs()[1].PassesLeft, u"1"_s);
    QCOMPARE(grid->currentRow(), 1);
}

void SettingsDialogsTest::setModeOkNeedsStoppedPasses() {
    auto fixture = program(QString());
    QVERIFY(fixture);
    const auto before = readFile(iniPath(*fixture));
    bool reloaded = false;
    frmSetMode dialog(fixture->program().store(), fixture->window().pairModel(), 0, false,
                      fixture->prompts, [&reloaded](int) { reloaded = true; });
    dialog.show();
    QVERIFY(!control<QPushButton>(&dialog, "cmdOK")->isEnabled());
    dialog.accept();
    QVERIFY(dialog.isVisible());
    QVERIFY(!reloaded);
    QCOMPARE(readFile(iniPath(*fixture)), before);
}

void SettingsDialogsTest::prefix_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored"); // empty: refused
    QTest::addColumn<QString>("message");
    QTest::newRow("ab") << 0 << u"ab"_s << u"AB"_s << QString();
    QTest::newRow("blanks around") << 0 << u"  xy "_s << u"XY"_s << QString();
    QTest::newRow("a:") << 0 << u"a:"_s << QString() << u"Invalid character"_s;
    QTest::newRow("a*, French") << 1 << u"a*"_s << QString() << u"Caractère invalide"_s;
    QTest::newRow("one") << 0 << u" a "_s << QString() << u"Prefix must be 2 characters"_s;
    QTest::newRow("three, French")
        << 1 << u"abc"_s << QString()
        << u"Le préfixe des fichiers compressés doit avoir une longueur de 2 caractères"_s;
}

void SettingsDialogsTest::prefix() {
    QFETCH(int, language);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(QString, message);
    // An edited value is shown as it is.
    auto fixture = program(u"[Configuration]\nPrefixeFichiersCompresses=abc\nLangue="_s
                           + QString::number(language));
    QVERIFY(fixture);
    QString opened;
    bool stayedOpen = false;
    ModalDriver driver([&](QDialog* dialog) {
        auto* box = control<QLineEdit>(dialog, "Text1");
        opened = box->text();
        typeInto(box, typed);
        click(dialog, "cmdOK");
        stayedOpen = dialog->isVisible();
        QCOMPARE(box->text(), typed.trimmed());
    });
    fixture->action("mnuPrefixe")->trigger();
    QCOMPARE(driver.seen, QStringList{u"frmPrefixeCible"_s});
    QCOMPARE(opened, u"abc"_s);
    QCOMPARE(stayedOpen, stored.isEmpty());
    const QString expected = stored.isEmpty() ? u"abc"_s : stored;
    QCOMPARE(fixture->storedValue(u"Configuration"_s, u"PrefixeFichiersCompresses"_s), expected);
    QCOMPARE(fixture->program().store().settings().CompressedPrefix, expected);
    QCOMPARE(fixture->prompts.beeps, stored.isEmpty() ? 1 : 0);
    if (!stored.isEmpty())
        return;
    const auto& shown = fixture->prompts.messages.back();
    QCOMPARE(int(shown.icon), int(Icon::Warning));
    QCOMPARE(shown.title, u"Torvanelo 1.0b"_s);
    QCOMPARE(shown.text, message);
}

void SettingsDialogsTest::delay_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("delay"); // 0: refused
    QTest::addColumn<int>("barMaximum");
    QTest::addColumn<QString>("message");
    QTest::newRow("2.5") << 0 << u"2.5"_s << 2 << 1 << QString();
    QTest::newRow("1") << 0 << u"1"_s << 1 << 1 << QString();
    QTest::newRow("30") << 0 << u"30"_s << 30 << 29 << QString();
    QTest::newRow("32767") << 0 << u"32767"_s << 32767 << 32766 << QString();
    QTest::newRow("0") << 0 << u"0"_s << 0 << 9 << u"Invalid value: 0"_s;
    QTest::newRow("empty") << 0 << u""_s << 0 << 9 << u"Invalid value: "_s;
    QTest::newRow("abc") << 0 << u"abc"_s << 0 << 9 << u"Invalid value: abc"_s;
    QTest::newRow("32768") << 0 << u"32768"_s << 0 << 9 << u"Invalid value: 32768"_s;
    QTest::newRow("0, French") << 1 << u" 0"_s << 0 << 9
                               << u"Valeur de temporisation incorrecte:  0"_s;
}

void SettingsDialogsTest::delay() {
    QFETCH(int, language);
    QFETCH(QString, typed);
    QFETCH(int, delay);
    QFETCH(int, barMaximum);
    QFETCH(QString, message);
    auto fixture =
        program(u"[Configuration]\nTemporisation=10\nLangue="_s + QString::number(language));
    QVERIFY(fixture);
    bool stayedOpen = false;
    ModalDriver driver([&](QDialog* dialog) {
        QCOMPARE(control<QLineEdit>(dialog, "Text1")->text(), u"10"_s);
        typeInto(control<QLineEdit>(dialog, "Text1"), typed);
        click(dialog, "cmdOK");
        stayedOpen = dialog->isVisible();
    });
    fixture->action("mnuTempo")->trigger();
    QCOMPARE(driver.seen, QStringList{u"frmTempo"_s});
    QCOMPARE(stayedOpen, delay == 0);
    const int expected = delay == 0 ? 10 : delay;
    QCOMPARE(fixture->storedValue(u"Configuration"_s, u"Temporisation"_s),
             QString::number(expected));
    QCOMPARE(fixture->program().store().settings().DefaultDelay, expected);
    QCOMPARE(fixture->find<QProgressBar>("ProgressBarAttente")->maximum(), barMaximum);
    if (delay != 0) {
        // The next pass comes a whole new delay later.
        QCOMPARE(fixture->program().controller().SecondsToNextPass(), delay);
        QVERIFY(fixture->prompts.messages.empty());
        return;
    }
    const auto& shown = fixture->prompts.messages.back();
    QCOMPARE(int(shown.icon), int(Icon::Error));
    QCOMPARE(shown.title, u"Torvanelo 1.0b"_s);
    QCOMPARE(shown.text, message);
}

void SettingsDialogsTest::delayArrows() {
    auto fixture = program(u"[Configuration]\nTemporisation=2\n"_s);
    QVERIFY(fixture);
    const auto before = readFile(iniPath(*fixture));
    frmTempo dialog(fixture->program().store(), fixture->prompts, [] {});
    dialog.show();
    auto* box = control<QLineEdit>(&dialog, "Text1");
    auto* minimum = control<QLabel>(&dialog, "Label1");
    auto* arrows = qobject_cast<UpDownArrows*>(control<QWidget>(&dialog, "UpDown1"));
    QVERIFY(arrows);
    QVERIFY(minimum->isHidden());
    QTest::mouseClick(arrows->downButton(), Qt::LeftButton);
    QCOMPARE(box->text(), u"1"_s);
    QVERIFY(minimum->isVisible());
    QCOMPARE(minimum->text(), u"Minimal temporisation reached"_s);
    QTest::mouseClick(arrows->downButton(), Qt::LeftButton);
    QCOMPARE(box->text(), u"1"_s);
    QVERIFY(minimum->isVisible());
    QTest::mouseClick(arrows->upButton(), Qt::LeftButton);
    QCOMPARE(box->text(), u"2"_s);
    QVERIFY(minimum->isHidden());
    // The arrows change only the box; Cancel keeps the stored delay.
    click(&dialog, "cmdAnnuler");
    QCOMPARE(readFile(iniPath(*fixture)), before);
}

void SettingsDialogsTest::performance() {
    // A value only an edited file can hold.
    auto fixture = program(u"[Configuration]\nPerformance=500\n"_s);
    QVERIFY(fixture);
    std::vector<int> shown;
    int position = QAbstractSlider::SliderNoAction; // Cancel
    ModalDriver driver([&](QDialog* dialog) {
        auto* bar = control<QScrollBar>(dialog, "HScroll1");
        shown = {bar->minimum(), bar->maximum(), bar->singleStep(), bar->pageStep(), bar->value()};
        if (position == QAbstractSlider::SliderNoAction)
            return;
        bar->triggerAction(QAbstractSlider::SliderAction(position));
        click(dialog, "cmdOK");
    });
    fixture->action("mnuPerformance")->trigger();
    QCOMPARE(shown, (std::vector<int>{1, 100, 1, 1, 100}));
    QCOMPARE(fixture->storedValue(u"Configuration"_s, u"Performance"_s), u"500"_s);
    QCOMPARE(fixture->program().store().settings().Performance, 500);

    position = QAbstractSlider::SliderToMinimum;
    fixture->action("mnuPerformance")->trigger();
    QCOMPARE(fixture->storedValue(u"Configuration"_s, u"Performance"_s), u"1"_s);
    position = QAbstractSlider::SliderToMaximum;
    fixture->action("mnuPerformance")->trigger();
    QCOMPARE(shown.back(), 1);
    QCOMPARE(fixture->storedValue(u"Configuration"_s, u"Performance"_s), u"100"_s);
    QCOMPARE(fixture->program().store().settings().Performance, 100);
}

void SettingsDialogsTest::warningSettings() {
    // The event-log warning has no part in the menu's check mark.
    auto fixture = program(u"[Configuration]\nErreurDossierEventLog=1\n"_s);
    QVERIFY(fixture);
    QAction* menu = fixture->action("mnuDossierErr");
    QVERIFY(!menu->isChecked());
    const QString text = u"ops \"Dossier inconnu\" "_s;
    bool tick = true;
    std::vector<bool> states;
    ModalDriver driver([&](QDialog* dialog) {
        auto* netSend = control<QCheckBox>(dialog, "chkDossierErrNetSend");
        auto* box = control<QLineEdit>(dialog, "txtNetSend");
        states = {netSend->isChecked(), box->isEnabled(),
                  control<QPushButton>(dialog, "cmdEssayer")->isEnabled(),
                  control<QLabel>(dialog, "lblNetSend")->isEnabled()};
        // The box takes text only while the net send way is ticked.
        if (!tick)
            typeInto(box, QString());
        for (const char* name : {"chkDossierErr", "chkDossierErrSon", "chkDossierErrNetSend"}) {
            if (control<QCheckBox>(dialog, name)->isChecked() != tick)
                control<QCheckBox>(dialog, name)->click();
        }
        QCOMPARE(box->isEnabled(), tick);
        if (tick)
            typeInto(box, text);
        click(dialog, "cmdOK");
    });
    fixture->action("mnuDossierErr")->trigger();
    QCOMPARE(states, (std::vector<bool>{false, false, false, false}));
    for (const QString& key :
         {u"ErreurDossier"_s, u"ErreurDossierSon"_s, u"ErreurDossierNetSend"_s})
        QCOMPARE(fixture->storedValue(u"Configuration"_s, key), u"1"_s);
    QCOMPARE(fixture->program().store().settings().NetSendMessage, text);
    QVERIFY(menu->isChecked());

    tick = false;
    fixture->action("mnuDossierErr")->trigger();
    QCOMPARE(states, (std::vector<bool>{true, true, true, true}));
    for (const QString& key :
         {u"ErreurDossier"_s, u"ErreurDossierSon"_s, u"ErreurDossierNetSend"_s})
        QCOMPARE(fixture->storedValue(u"Configuration"_s, key), u"0"_s);
    // An empty text is kept: later passes then send nothing.
    QCOMPARE(fixture->program().store().settings().NetSendMessage, QString());
    QVERIFY(!menu->isChecked());
}

void SettingsDialogsTest::warningCancelChangesNothing() {
    auto fixture = program(u"[Configuration]\nErreurDossierSon=1\nMessageNetSend=ops hello\n"_s);
    QVERIFY(fixture);
    const auto before = readFile(iniPath(*fixture));
    ModalDriver driver([](QDialog* dialog) {
        for (const char* name : {"chkDossierErr", "chkDossierErrSon", "chkDossierErrNetSend"})
            control<QCheckBox>(dialog, name)->click();
        QVERIFY(!control<QCheckBox>(dialog, "chkDossierErrSon")->isChecked());
        QVERIFY(control<QLineEdit>(dialog, "txtNetSend")->isEnabled());
        typeInto(control<QLineEdit>(dialog, "txtNetSend"), u"changed"_s);
        click(dialog, "cmdAnnuler");
    });
    fixture->action("mnuDossierErr")->trigger();
    QCOMPARE(driver.seen, QStringList{u"frmAvertirDossierErr"_s});
    QCOMPARE(readFile(iniPath(*fixture)), before);
    const Settings& s = fixture->program().store().settings();
    QCOMPARE(s.WarnOnScreen, false);
    QCOMPARE(s.WarnBeep, true);
    QCOMPARE(s.WarnNetSend, false);
    QCOMPARE(s.NetSendMessage, u"ops hello"_s);
    QVERIFY(fixture->action("mnuDossierErr")->isChecked());
}

void SettingsDialogsTest::tryButton_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message"); // empty: the command runs
    QTest::newRow("empty") << 0 << QString() << u"No message to send"_s;
    QTest::newRow("empty, French") << 1 << QString() << u"Aucun message à envoyer"_s;
    QTest::newRow("empty, language 2") << 2 << QString() << u"Naõ ha mensagem"_s;
    // Appended unchanged: no quoting, trimming or escaping.
    QTest::newRow("text") << 0 << u" ops \"disk full\"; $X "_s << QString();
}

void SettingsDialogsTest::tryButton() {
    QFETCH(int, language);
    QFETCH(QString, text);
    QFETCH(QString, message);
    auto fixture =
        program(u"[Configuration]\nErreurDossierNetSend=1\nLangue="_s + QString::number(language));
    QVERIFY(fixture);
    const auto before = readFile(iniPath(*fixture));
    frmAvertirDossierErr dialog(fixture->program().store(), fixture->prompts,
                                fixture->recordingRunner);
    dialog.show();
    typeInto(control<QLineEdit>(&dialog, "txtNetSend"), text);
    click(&dialog, "cmdEssayer");
    QVERIFY(dialog.isVisible());
    const QStringList runs =
        fixture->recordingRunner.commandLines(RecordingProcessRunner::Kind::ShellDetached);
    if (message.isEmpty()) {
        QCOMPARE(runs, QStringList{u"net send "_s + text});
        QVERIFY(fixture->prompts.messages.empty());
    } else {
        QVERIFY(runs.isEmpty());
        QCOMPARE(fixture->prompts.messages.size(), 1u);
        QCOMPARE(int(fixture->prompts.messages.front().icon), int(Icon::Warning));
        QCOMPARE(fixture->prompts.messages.front().title, u"Torvanelo"_s);
        QCOMPARE(fixture->prompts.messages.front().text, message);
    }
    // Trying stores nothing.
    QCOMPARE(readFile(iniPath(*fixture)), before);
}

void SettingsDialogsTest::screenshotsInFrench() {
    auto fixture = program(u"[Configuration]\nTemporisation=60\nPerformance=50\n"_s, {u"100"_s});
    QVERIFY(fixture);
    SettingsStore& store = fixture->program().store();
    const QString folder = buildDir() + u"/screenshots"_s;
    QVERIFY(QDir().mkpath(folder));

    struct Shot {
        std::unique_ptr<QDialog> dialog;
        const char* control;
        QString french;
        QString file;
    };
    std::vector<Shot> shots;
    shots.push_back({std::make_unique<frmSetMode>(store, fixture->window().pairModel(), 0, true,
                                                  fixture->prompts, nullptr),
                     "lblMiroirN2", u"soit: 1 h 40 min 0 sec"_s, u"dialog-setmode-fr.png"_s});
    shots.push_back({std::make_unique<frmPrefixeCible>(store, fixture->prompts), "lblPrefixe",
                     u"Préfixe des fichiers compressés (2 caractères)"_s,
                     u"dialog-prefix-fr.png"_s});
    shots.push_back({std::make_unique<frmTempo>(store, fixture->prompts, nullptr), "lblSecondes",
                     u"secondes"_s, u"dialog-delay-fr.png"_s});
    shots.push_back({std::make_unique<frmPerformance>(store), "lblMin",
                     u"Moins fluide et plus rapide"_s, u"dialog-performance-fr.png"_s});
    shots.push_back(
        {std::make_unique<frmAvertirDossierErr>(store, fixture->prompts, fixture->recordingRunner),
         "cmdEssayer", u"Essayer"_s, u"dialog-warning-fr.png"_s});

    // Opened in English, they follow the switch to French.
    QVERIFY(store.setLanguage(1));
    for (Shot& shot : shots) {
        shot.dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(shot.dialog.get()));
        QEvent change(QEvent::LanguageChange);
        QCoreApplication::sendEvent(shot.dialog.get(), &change);
        QObject* caption = shot.dialog->findChild<QObject*>(QString::fromLatin1(shot.control));
        QVERIFY2(caption, shot.control);
        const QString text = caption->property("text").toString();
        QCOMPARE(text, shot.french);
        QCoreApplication::processEvents();
        const QPixmap picture = shot.dialog->grab();
        QVERIFY(!picture.isNull());
        QVERIFY(picture.save(folder + u'/' + shot.file));
    }
    QCOMPARE(shots.front().dialog->windowTitle(), u"Paramètres et temporisation"_s);
}

TORVANELO_TEST(SettingsDialogsTest);
#include "SettingsDialogsTest.moc"
