#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace torvanelo {

class SettingsStore;
class UserPrompts;

// Up and down arrows beside a box (UpDown1). The arrows repeat while held.
class UpDownArrows final : public QWidget {
    Q_OBJECT

public:
    explicit UpDownArrows(QWidget* parent = nullptr);

    QToolButton* upButton() const { return m_up; }
    QToolButton* downButton() const { return m_down; }

signals:
    void up();
    void down();

private:
    QToolButton* m_up;
    QToolButton* m_down;
};

// The default delay between passes, 1 to 32767 seconds. The arrows step the
// box by one, the down arrow stopping at 1 with the minimum text shown, the
// up arrow at 32767. OK reads the box's leading number: outside 1 to 32767
// it shows the invalid-value message quoting the box and stays open;
// otherwise it stores the rounded delay, calls delayChanged (the countdown
// and its bar start again from the new delay) and closes. Cancel changes
// nothing.
class frmTempo final : public QDialog {
    Q_OBJECT

public:
    frmTempo(SettingsStore& store, UserPrompts& prompts, std::function<void()> delayChanged,
             QWidget* parent = nullptr);

    void accept() override;

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslate();
    void UpDown1_DownClick();
    void UpDown1_UpClick();

    SettingsStore& m_store;
    UserPrompts& m_prompts;
    std::function<void()> m_delayChanged;
    QLabel* m_lblTempo = nullptr;
    QLineEdit* m_Text1 = nullptr;
    UpDownArrows* m_UpDown1 = nullptr;
    QLabel* m_lblSecondes = nullptr;
    QLabel* m_Label1 = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QPushButton* m_cmdAnnuler = nullptr;
};

} // namespace torvanelo
