#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace torvanelo {

enum class BoundText;
class SettingsStore;
class UserPrompts;

// The purge dialog: the automatic deletion of old journals on or off
// (chkPurgeLogs) and how many journals it keeps, shown as a number of days
// (Text1 with its arrows UpDown1, 2 to 366). OK refuses a number outside
// 2..366 with "Invalid value: " and the text as typed, and stays open;
// otherwise it writes "PurgeLogs" and "DelaiLogs" (halves rounded to even).
class frmPurgeLogs final : public QDialog {
    Q_OBJECT

public:
    frmPurgeLogs(SettingsStore& store, UserPrompts& prompts, QWidget* parent = nullptr);

    void UpDown1_DownClick();
    void UpDown1_UpClick();
    void cmdOK_Click();

private:
    void showBound(BoundText bound);

    SettingsStore& m_store;
    UserPrompts& m_prompts;
    QCheckBox* m_chkPurgeLogs = nullptr;
    QLineEdit* m_Text1 = nullptr;
    QToolButton* m_up = nullptr;
    QToolButton* m_down = nullptr;
    QLabel* m_lblJours = nullptr;
    QLabel* m_Label1 = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QPushButton* m_cmdAnnuler = nullptr;
};

} // namespace torvanelo
