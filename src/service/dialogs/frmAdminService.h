#pragma once

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace torvanelo {

class ServiceControl;
class SettingsStore;
class UserPrompts;
class frmKelvadon;

// Installs or removes the program as the system service, with its start
// type and whether it runs in the user's desktop session, and holds the
// switch that sends unknown-folder warnings to the system log.
//
// Opening reads the state, the start type and the interaction flag back from
// the service. The event-log switch is written the moment it is clicked,
// whatever button closes the dialog; the start type and the interaction flag
// reach the service only with Install. A successful Install switches the main
// window to its service look, logs the installation, says where the service
// is started and ends the program; a failed one says so, keeps nothing
// installed and leaves the program running. Remove switches the main window
// back to its application look. Installing over an installed service, or
// removing one that is not there, is refused with the state text and a beep.
class frmAdminService final : public QDialog {
    Q_OBJECT

public:
    frmAdminService(SettingsStore& store, ServiceControl& service, UserPrompts& prompts,
                    frmKelvadon& window);

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslate();
    void chkInteract_Click();
    void chkDossierErrEventLog_Click();
    void cmdInstall_Click();
    void cmdRemove_Click();

    SettingsStore& m_store;
    ServiceControl& m_service;
    UserPrompts& m_prompts;
    frmKelvadon& m_window;

    QLabel* m_lblService = nullptr;
    QLabel* m_lblInfo = nullptr;
    QCheckBox* m_chkInteract = nullptr;
    QLabel* m_lblInteract = nullptr;
    QCheckBox* m_chkDossierErrEventLog = nullptr;
    QGroupBox* m_frameType = nullptr;
    QButtonGroup* m_typeGroup = nullptr;
    QRadioButton* m_optType[3] = {};
    QLabel* m_lblInstall = nullptr;
    QPushButton* m_cmdInstall = nullptr;
    QLabel* m_lblRemove = nullptr;
    QPushButton* m_cmdRemove = nullptr;
    QPushButton* m_cmdAnnuler = nullptr;
};

// Connects the main window's service command to the dialog, shown modally.
void connectServiceDialog(frmKelvadon& window, SettingsStore& store, ServiceControl& service,
                          UserPrompts& prompts);

} // namespace torvanelo
