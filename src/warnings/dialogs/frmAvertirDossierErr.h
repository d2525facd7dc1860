#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace torvanelo {

class ProcessRunner;
class SettingsStore;
class UserPrompts;
class frmKelvadon;

// The ways of warning of an unknown folder: on screen and in the journal,
// a beep, a net send message, a desktop notification (off until chosen). Try starts "net send " + the text in the box
// through the shell at once, without waiting and without judging it; an
// empty box gets the no-message box instead. OK stores the three choices and
// the text as typed; Cancel changes nothing.
class frmAvertirDossierErr final : public QDialog {
    Q_OBJECT

public:
    frmAvertirDossierErr(SettingsStore& store, UserPrompts& prompts, ProcessRunner& runner,
                         QWidget* parent = nullptr);

    void accept() override;

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslate();
    void chkDossierErrNetSend_Click();
    void cmdEssayer_Click();

    SettingsStore& m_store;
    UserPrompts& m_prompts;
    ProcessRunner& m_runner;
    QCheckBox* m_chkDossierErr = nullptr;
    QCheckBox* m_chkDossierErrSon = nullptr;
    QCheckBox* m_chkDossierErrNetSend = nullptr;
    QCheckBox* m_chkDossierErrNotification = nullptr;
    QLineEdit* m_txtNetSend = nullptr;
    QLabel* m_lblNetSend = nullptr;
    QPushButton* m_cmdEssayer = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QPushButton* m_cmdAnnuler = nullptr;
};

// Connects the main window's warning command to the dialog, shown modally.
void connectWarningDialog(frmKelvadon& window, SettingsStore& store, UserPrompts& prompts,
                          ProcessRunner& runner);

} // namespace torvanelo
