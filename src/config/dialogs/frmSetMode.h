#pragma once

#include "SetModeDecisions.h"

#include <QDialog>

#include <functional>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace torvanelo {

class ElidedLabel;
class FolderPairModel;
class SettingsStore;
class UserPrompts;

// The settings of one pair: its mode, whether it takes part in passes, and
// its interval in default delays. OK checks the interval box (whichever
// option is chosen), writes the pair's three keys "Rar", "Enable" and
// "NbTemporisations" in that order, hands the grid row to reloaded (which
// reloads the list from the files and selects that row again) and closes.
// Cancel changes nothing. OK is available only while no passes run.
//
// The option buttons are two controls named optRar (and optTempo), told
// apart by their "index" property, 0 and 1.
class frmSetMode final : public QDialog {
    Q_OBJECT

public:
    using Reloaded = std::function<void(int row)>;

    frmSetMode(SettingsStore& store, const FolderPairModel& pairs, int row, bool processingStopped,
               UserPrompts& prompts, Reloaded reloaded, QWidget* parent = nullptr);

    // The pair number the dialog works on (the row data of its grid row).
    int pairNumber() const { return m_pairNumber; }

    void accept() override;

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void retranslate();
    void txtMiroirN_Change();
    void optTempo_Click(int index);
    SetModeChoice choice() const;

    SettingsStore& m_store;
    UserPrompts& m_prompts;
    Reloaded m_reloaded;
    int m_row;
    int m_pairNumber = 0;

    QLabel* m_lblFrom = nullptr;
    QLabel* m_lblTo = nullptr;
    ElidedLabel* m_lblSource = nullptr;
    ElidedLabel* m_lblCible = nullptr;
    QRadioButton* m_optRar[2] = {};
    QButtonGroup* m_rarGroup = nullptr;
    QLabel* m_PictureSet = nullptr;
    QLabel* m_PictureSetMod = nullptr;
    QCheckBox* m_chkEnable = nullptr;
    QRadioButton* m_optTempo[2] = {};
    QButtonGroup* m_tempoGroup = nullptr;
    QLineEdit* m_txtMiroirN = nullptr;
    QLabel* m_lblMiroirN1 = nullptr;
    QLabel* m_lblMiroirN2 = nullptr;
    QLabel* m_lblErr = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QPushButton* m_cmdAnnuler = nullptr;
};

} // namespace torvanelo
