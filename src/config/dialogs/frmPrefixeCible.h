#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace torvanelo {

class SettingsStore;
class UserPrompts;

// The two-character prefix of archive names. OK trims the box, refuses a
// wrong length or a character that a file name cannot hold on the original
// system (beep and message, the dialog stays open), else stores the prefix
// in upper case and closes. Cancel changes nothing.
class frmPrefixeCible final : public QDialog {
    Q_OBJECT

public:
    frmPrefixeCible(SettingsStore& store, UserPrompts& prompts, QWidget* parent = nullptr);

    void accept() override;

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslate();

    SettingsStore& m_store;
    UserPrompts& m_prompts;
    QLabel* m_lblPrefixe = nullptr;
    QLineEdit* m_Text1 = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QPushButton* m_cmdAnnuler = nullptr;
};

} // namespace torvanelo
