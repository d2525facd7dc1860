#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QScrollBar;

namespace torvanelo {

class SettingsStore;
class UserPrompts;

// The message-loop turns each yield gives the window, 1 to 100, on a scroll
// bar. OK stores the bar's position; it takes effect at the next yield (and
// is said when it could not be written). Cancel changes nothing.
class frmPerformance final : public QDialog {
    Q_OBJECT

public:
    frmPerformance(SettingsStore& store, UserPrompts& prompts, QWidget* parent = nullptr);

    void accept() override;

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslate();

    SettingsStore& m_store;
    UserPrompts& m_prompts;
    QLabel* m_lblPerformance = nullptr;
    QScrollBar* m_HScroll1 = nullptr;
    QLabel* m_lblMin = nullptr;
    QLabel* m_lblMax = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QPushButton* m_cmdAnnuler = nullptr;
};

} // namespace torvanelo
