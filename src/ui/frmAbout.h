#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace torvanelo {

// The program's web address and copyright line: fixed texts, the same in
// both languages.
QString aboutWebAddress();
QString aboutCopyright();

// The About box: a fixed, centred, modal window with the program's name and
// purpose in the current language, the copyright line, the web address as a
// link (opened through OpenDocument) and an OK button.
class frmAbout final : public QDialog {
    Q_OBJECT

public:
    explicit frmAbout(int language, QWidget* parent = nullptr);

    // Opens the web address, as a click on lblLink does.
    void lblLink_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* m_lblCredit = nullptr;
    QLabel* m_lblLink = nullptr;
    QPushButton* m_cmdOK = nullptr;
};

} // namespace torvanelo
