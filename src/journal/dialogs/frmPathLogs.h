#pragma once

#include <QDialog>
#include <QString>

#include <map>
#include <vector>

class QCheckBox;
class QComboBox;
class QFileSystemModel;
class QLabel;
class QPushButton;
class QTreeView;

namespace torvanelo {

class SettingsStore;
class UserPrompts;

// The journal settings dialog: logging on or off (chkLogs), the names of
// processed files journaled or not (chkFichiersLogs), and the journal folder
// chosen on a list of drives (Lecteurs, the mount points) and a folder tree
// of the chosen drive (Chemins). OK writes "Logs", "FichiersLogs" and
// "PathLogs", in that order, the folder even when logging is off. A drive or
// folder that cannot be shown leaves the previous choice, without a message;
// a setting that cannot be written is in force all the same, and said.
class frmPathLogs final : public QDialog {
    Q_OBJECT

public:
    // `drives` are the mount points offered, "/" first.
    frmPathLogs(SettingsStore& store, UserPrompts& prompts, QWidget* parent = nullptr,
                std::vector<QString> drives = {});

    // The folder OK would store, as lblDossier shows it.
    const QString& currentFolder() const { return m_folder; }
    const QString& currentDrive() const { return m_drive; }

    // Points the tree at a folder (and the drive list at its drive); false,
    // with nothing changed, when the folder cannot be shown.
    bool pointTreeAt(const QString& folder);
    // The drive list's choice: the tree goes to the folder last shown on
    // that drive, else its root; back to the previous drive when it fails.
    void Lecteurs_Change(int index);
    void chkLogs_Click();
    void cmdOK_Click();

private:
    void applyEnabling();
    void showDriveInTree(const QString& drive);
    void hideOtherDrives();
    void Chemins_Change(const QString& folder);

    SettingsStore& m_store;
    UserPrompts& m_prompts;
    std::vector<QString> m_drives;
    std::map<QString, QString> m_lastFolderOfDrive;
    QString m_drive;
    QString m_folder;

    QCheckBox* m_chkLogs = nullptr;
    QCheckBox* m_chkFichiersLogs = nullptr;
    QLabel* m_lblTitre = nullptr;
    QLabel* m_lblDossier = nullptr;
    QComboBox* m_Lecteurs = nullptr;
    QTreeView* m_Chemins = nullptr;
    QFileSystemModel* m_model = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QPushButton* m_cmdAnnuler = nullptr;
};

} // namespace torvanelo
