#include "DialogTestSupport.h"
#include "FolderPairModel.h"
#include "ProcessingController.h"
#include "ProgramFixture.h"
#include "SettingsStore.h"
#include "TestRegistry.h"
#include "frmAvertirDossierErr.h"
#include "frmPerformance.h"
#include "frmPrefixeCible.h"
#include "frmSetMode.h"
#include "frmTempo.h"

#include <QCheckBox>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

// The per-pair settings, prefix, delay, performance and warning dialogs:
// what they refuse, and what they write, on real files.
class SettingsDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void intervalBox_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("label");   // lblErr when refused, else lblMiroirN2
        QTest::addColumn<QString>("message"); // empty: stored
        const QString range = u"Value must be between 2 and 64000"_s;
        const QString rangeMessage = u"Value must be set between 2 and 64000"_s;
        QTest::newRow("abc") << u"0"_s << u"abc"_s << u"Invalid value"_s << u"Invalid value"_s;
        QTest::newRow("1") << u"0"_s << u"1"_s << range << rangeMessage;
        QTest::newRow("64001") << u"0"_s << u"64001"_s << range << rangeMessage;
        QTest::newRow("100") << u"0"_s << u" 100"_s << u"i.e. 1 h 40 min 0 sec"_s << QString();
        QTest::newRow("64000") << u"0"_s << u"64000"_s << u"i.e. 1066 h 40 min 0 sec"_s
                               << QString();
        QTest::newRow("1, French")
            << u"1"_s << u"1"_s << u"La valeur doit être comprise entre 2 et 64000"_s
            << u"La valeur doit être comprise entre 2 et 64000"_s;
        QTest::newRow("2, French") << u"1"_s << u"2"_s << u"soit: 0 h 2 min 0 sec"_s << QString();
    }
    void intervalBox() {
        QFETCH(QString, language);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        ProgramFixture f;
        QVERIFY(f.start(u"[Configuration]\nTemporisation=60\nLangue="_s + language, f.pairs(1)));
        const QByteArray before = f.snapshot();
        std::vector<int> reloads;
        frmSetMode dialog(f.program().store(), f.window().pairModel(), 0, true, f.prompts,
                          [&reloads](int row) { reloads.push_back(row); });
        dialog.show();
        auto* box = control<QLineEdit>(&dialog, "txtMiroirN");
        QTest::mouseClick(indexed<QRadioButton>(&dialog, "optTempo", 1), Qt::LeftButton);
        typeInto(box, typed);
        QCOMPARE(box->text(), typed.trimmed());
        auto* error = control<QLabel>(&dialog, "lblErr");
        auto* duration = control<QLabel>(&dialog, "lblMiroirN2");
        QVERIFY(error->isVisible() != message.isEmpty()
                && duration->isVisible() == message.isEmpty());
        QTEST((message.isEmpty() ? duration : error)->text(), "label");
        click(&dialog, "cmdOK");
        QCOMPARE(dialog.isVisible(), !message.isEmpty());
        QCOMPARE(reloads, message.isEmpty() ? std::vector<int>{0} : std::vector<int>{});
        if (message.isEmpty()) {
            QCOMPARE(f.storedValue(u"Rar_1"_s, u"NbTemporisations"_s), typed.trimmed());
        } else {
            QCOMPARE(f.prompts.messages.size(), 1u);
            QCOMPARE(said(f.prompts.messages[0]), u"[warning] Torvanelo: "_s + message);
            QCOMPARE(f.snapshot(), before);
        }
    }

    void setModeFromTheGrid() {
        ProgramFixture f;
        // An interval only an edited file can hold opens as the default.
        std::vector<FolderPair> pairs = f.pairs(2);
        pairs[1].IntervalCount = pairs[1].PassesLeft = u"100000"_s;
        QVERIFY(f.start(u"[Configuration]\nTemporisation=10\n"_s, pairs));
        FolderGrid* grid = f.window().grid();
        const FolderPairModel& model = f.window().pairModel();
        // Cancel after changing everything leaves the files and the grid alone.
        const QByteArray before = f.snapshot();
        for (const char* button : {"cmdAnnuler", "cmdOK"}) {
            QStringList opened;
            ModalDriver driver([&opened, button](QDialog* dialog) {
                opened << dialog->windowTitle() << control<QLineEdit>(dialog, "txtMiroirN")->text();
                QVERIFY(indexed<QRadioButton>(dialog, "optTempo", 0)->isChecked()
                        && !control<QLineEdit>(dialog, "txtMiroirN")->isEnabled());
                QVERIFY(indexed<QRadioButton>(dialog, "optRar", 1)->isChecked());
                control<QCheckBox>(dialog, "chkEnable")->click();
                // The picture chooses its option.
                QTest::mouseClick(control<QLabel>(dialog, "PictureSet"), Qt::LeftButton);
                click(dialog, button);
            });
            clickCell(grid, 1, 1);
            QCOMPARE(opened, (QStringList{u"Parameters and time setting"_s, u"2"_s}));
            QCOMPARE(model.index(1, 0).data(FolderPairModel::EnabledRole).toBool(),
                     button[3] == 'A');
            if (button[3] == 'A')
                QCOMPARE(f.snapshot(), before);
        }
        QCOMPARE(f.storedValue(u"Rar_2"_s, u"Rar"_s) + f.storedValue(u"Rar_2"_s, u"Enable"_s)
                     + f.storedValue(u"Rar_2"_s, u"NbTemporisations"_s),
                 u"001"_s);
        QCOMPARE(f.storedValue(u"Rar_1"_s, u"NbTemporisations"_s), u"10"_s);
        // Reloaded: the pair greyed, its row current again.
        QVERIFY(model.pairs()[1].PassesLeft == u"1" && grid->currentRow() == 1);
    }

    void prefix_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored"); // the prefix stored, or the message of a refusal
        QTest::newRow("ab") << u"0"_s << u"ab"_s << u"AB"_s;
        QTest::newRow("blanks around") << u"0"_s << u"  xy "_s << u"XY"_s;
        QTest::newRow("a:") << u"0"_s << u"a:"_s << u"Invalid character"_s;
        // A separator would put the archives in another folder.
        QTest::newRow("a/, French") << u"1"_s << u"a/"_s << u"Caractère invalide"_s;
        // Its upper case "SS" would make three characters.
        QTest::newRow("sharp s") << u"0"_s << u"ßx"_s << u"ßX"_s;
        QTest::newRow("one") << u"0"_s << u" a "_s << u"Prefix must be 2 characters"_s;
        QTest::newRow("three, French")
            << u"1"_s << u"abc"_s
            << u"Le préfixe des fichiers compressés doit avoir une longueur de 2 caractères"_s;
    }
    void prefix() {
        QFETCH(QString, language);
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        ProgramFixture f;
        // An edited value is shown as it is.
        QVERIFY(f.start(u"[Configuration]\nPrefixeFichiersCompresses=abc\nLangue="_s + language));
        ModalDriver driver([&](QDialog* dialog) {
            auto* box = control<QLineEdit>(dialog, "Text1");
            QCOMPARE(box->text(), u"abc"_s);
            typeInto(box, typed);
            click(dialog, "cmdOK");
            QCOMPARE(box->text(), typed.trimmed());
        });
        f.action("mnuPrefixe")->trigger();
        QCOMPARE(driver.seen, QStringList{u"frmPrefixeCible"_s});
        const bool refused = stored.size() != 2;
        QCOMPARE(f.stored(u"PrefixeFichiersCompresses"_s), refused ? u"abc"_s : stored);
        QCOMPARE(f.program().store().settings().CompressedPrefix, refused ? u"abc"_s : stored);
        QCOMPARE(f.prompts.beeps, refused ? 1 : 0);
        if (refused)
            QCOMPARE(said(f.prompts.messages.back()), u"[warning] Torvanelo 1.0b: "_s + stored);
    }

    void delay_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("delay"); // 0: refused with the message
        QTest::addColumn<QString>("message");
        QTest::newRow("2.5") << u"0"_s << u"2.5"_s << 2 << QString();
        QTest::newRow("32767") << u"0"_s << u"32767"_s << 32767 << QString();
        QTest::newRow("0") << u"0"_s << u"0"_s << 0 << u"Invalid value: 0"_s;
        QTest::newRow("abc") << u"0"_s << u"abc"_s << 0 << u"Invalid value: abc"_s;
        // Held in 16 bits: what the old range let through up to 60000 is refused.
        QTest::newRow("32768") << u"0"_s << u"32768"_s << 0 << u"Invalid value: 32768"_s;
        QTest::newRow("0, French")
            << u"1"_s << u" 0"_s << 0 << u"Valeur de temporisation incorrecte:  0"_s;
    }
    void delay() {
        QFETCH(QString, language);
        QFETCH(QString, typed);
        QFETCH(int, delay);
        QFETCH(QString, message);
        ProgramFixture f;
        QVERIFY(f.start(u"[Configuration]\nTemporisation=10\nLangue="_s + language));
        ModalDriver driver([&](QDialog* dialog) {
            QCOMPARE(control<QLineEdit>(dialog, "Text1")->text(), u"10"_s);
            typeInto(control<QLineEdit>(dialog, "Text1"), typed);
            click(dialog, "cmdOK");
            QCOMPARE(dialog->isVisible(), delay == 0);
        });
        f.action("mnuTempo")->trigger();
        QCOMPARE(driver.seen, QStringList{u"frmTempo"_s});
        const int expected = delay == 0 ? 10 : delay;
        QCOMPARE(f.stored(u"Temporisation"_s), QString::number(expected));
        QCOMPARE(f.program().store().settings().DefaultDelay, expected);
        QCOMPARE(f.find<QProgressBar>("ProgressBarAttente")->maximum(), std::max(expected - 1, 1));
        if (delay != 0) {
            // The next pass comes a whole new delay later.
            QCOMPARE(f.program().controller().SecondsToNextPass(), delay);
            QVERIFY(f.prompts.messages.empty());
        } else {
            QCOMPARE(said(f.prompts.messages.back()), u"[error] Torvanelo 1.0b: "_s + message);
        }
    }

    void performance() {
        ProgramFixture f;
        // A value only an edited file can hold.
        QVERIFY(f.start(u"[Configuration]\nPerformance=500\n"_s));
        using Step = std::tuple<int, int, int>; // action, stored after, position when opened
        for (const auto& [action, stored, openedAt] :
             {Step{QAbstractSlider::SliderNoAction, 500, 100},
              {QAbstractSlider::SliderToMinimum, 1, 100},
              {QAbstractSlider::SliderToMaximum, 100, 1}}) {
            ModalDriver driver([&](QDialog* dialog) {
                auto* bar = control<QScrollBar>(dialog, "HScroll1");
                QCOMPARE((std::vector<int>{bar->minimum(), bar->maximum(), bar->singleStep(),
                                           bar->pageStep(), bar->value()}),
                         (std::vector<int>{1, 100, 1, 1, openedAt}));
                bar->triggerAction(QAbstractSlider::SliderAction(action));
                click(dialog, action == QAbstractSlider::SliderNoAction ? "cmdAnnuler" : "cmdOK");
            });
            f.action("mnuPerformance")->trigger();
            QCOMPARE(f.stored(u"Performance"_s), QString::number(stored));
            QCOMPARE(f.program().store().settings().Performance, stored);
        }
    }

    void warningSettings() {
        ProgramFixture f;
        // The event-log warning has no part in the menu's check mark.
        QVERIFY(f.start(u"[Configuration]\nErreurDossierEventLog=1\n"_s));
        QAction* menu = f.action("mnuDossierErr");
        QVERIFY(!menu->isChecked());
        const QString text = u"ops \"Dossier inconnu\" "_s;
        const char* const boxes[] = {"chkDossierErr", "chkDossierErrSon", "chkDossierErrNetSend"};
        // Screen, beep and net send ticked as the row says; the last one cancelled.
        for (const auto& [ticks, button] :
             {std::pair{u"011"_s, "cmdOK"}, {u"000"_s, "cmdOK"}, {u"101"_s, "cmdAnnuler"}}) {
            const QByteArray before = f.snapshot();
            const QString stored = button[3] == 'O' ? ticks : u"000"_s;
            ModalDriver driver([&](QDialog* dialog) {
                auto* box = control<QLineEdit>(dialog, "txtNetSend");
                // The box takes text only while the net send way is ticked.
                QCOMPARE(box->isEnabled(), f.program().store().settings().WarnNetSend);
                typeInto(box, QString());
                for (int i = 0; i < 3; ++i)
                    if (control<QCheckBox>(dialog, boxes[i])->isChecked() != (ticks[i] == u'1'))
                        control<QCheckBox>(dialog, boxes[i])->click();
                QCOMPARE(box->isEnabled(), ticks[2] == u'1');
                typeInto(box, text);
                click(dialog, button);
            });
            f.action("mnuDossierErr")->trigger();
            QCOMPARE(f.stored(u"ErreurDossier"_s) + f.stored(u"ErreurDossierSon"_s)
                         + f.stored(u"ErreurDossierNetSend"_s),
                     stored);
            // An empty text is kept: later passes then send nothing.
            QCOMPARE(f.program().store().settings().NetSendMessage,
                     stored[2] == u'1' ? text : QString());
            QCOMPARE(menu->isChecked(), stored != u"000");
            QVERIFY(button[3] == 'O' || f.snapshot() == before);
        }
    }

    void tryButtonRunsTheTextAsItIs() {
        // Appended unchanged: no quoting, trimming or escaping.
        for (const QString& text : {QString(), u" ops \"disk full\"; $X "_s}) {
            ProgramFixture f;
            QVERIFY(f.start(u"[Configuration]\nErreurDossierNetSend=1\n"_s));
            const QByteArray before = f.snapshot();
            frmAvertirDossierErr dialog(f.program().store(), f.prompts, f.recordingRunner);
            dialog.show();
            typeInto(control<QLineEdit>(&dialog, "txtNetSend"), text);
            click(&dialog, "cmdEssayer");
            QVERIFY(dialog.isVisible());
            QCOMPARE(f.recordingRunner.commandLines(RecordingProcessRunner::Kind::ShellDetached),
                     text.isEmpty() ? QStringList{} : QStringList{u"net send "_s + text});
            QCOMPARE(f.prompts.messages.size(), text.isEmpty() ? 1u : 0u);
            if (text.isEmpty())
                QCOMPARE(said(f.prompts.messages[0]), u"[warning] Torvanelo: No message to send"_s);
            QCOMPARE(f.snapshot(), before); // trying stores nothing
        }
    }

    void screenshotsInFrench() {
        ProgramFixture f;
        std::vector<FolderPair> pairs = f.pairs(1);
        pairs[0].IntervalCount = u"100"_s;
        QVERIFY(f.start(u"[Configuration]\nTemporisation=60\nPerformance=50\n"_s, pairs));
        SettingsStore& store = f.program().store();
        struct Shot {
            std::unique_ptr<QDialog> dialog;
            const char* control;
            QString french;
            QString file;
        };
        Shot shots[] = {
            {std::make_unique<frmSetMode>(store, f.window().pairModel(), 0, true, f.prompts,
                                          nullptr),
             "lblMiroirN2", u"soit: 1 h 40 min 0 sec"_s, u"dialog-setmode-fr.png"_s},
            {std::make_unique<frmPrefixeCible>(store, f.prompts), "lblPrefixe",
             u"Préfixe des fichiers compressés (2 caractères)"_s, u"dialog-prefix-fr.png"_s},
            {std::make_unique<frmTempo>(store, f.prompts, nullptr), "lblSecondes", u"secondes"_s,
             u"dialog-delay-fr.png"_s},
            {std::make_unique<frmPerformance>(store), "lblMin", u"Moins fluide et plus rapide"_s,
             u"dialog-performance-fr.png"_s},
            {std::make_unique<frmAvertirDossierErr>(store, f.prompts, f.recordingRunner),
             "cmdEssayer", u"Essayer"_s, u"dialog-warning-fr.png"_s}};
        // Opened in English, they follow the switch to French.
        QVERIFY(store.setLanguage(1));
        for (Shot& shot : shots) {
            shot.dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(shot.dialog.get()));
            QEvent change(QEvent::LanguageChange);
            QCoreApplication::sendEvent(shot.dialog.get(), &change);
            QCOMPARE(control<QObject>(shot.dialog.get(), shot.control)->property("text").toString(),
                     shot.french);
            saveScreenshot(shot.dialog.get(), shot.file);
        }
        QCOMPARE(shots[0].dialog->windowTitle(), u"Paramètres et temporisation"_s);
    }
};

TORVANELO_TEST(SettingsDialogsTest);
#include "SettingsDialogsTest.moc"
