#pragma once

#include "FolderPair.h"

#include <QObject>

#include <vector>

namespace torvanelo {

class SettingsStore;
class UserPrompts;
class frmKelvadon;

// The commands that change the pair list from the main window: add a pair
// by its source folder, change a pair's source or target folder, remove the
// selected pairs, and the per-pair settings dialog. Every change writes the
// whole list and reads it back, so the grid shows what the files hold; none
// acts while a series of passes runs, so the list never changes under a pass.
//
// The grid's selection as these commands see it: the current row is the row
// of the grid's current index (the row last clicked or moved to with the
// keyboard), the selection end row the far end of the one range of selected
// rows that holds it (where a Shift+click or Shift+arrow started). A modify
// or a removal acts only while the grid's selection highlight is on: it
// stands for pairs the user chose, not the place a load left the grid at.
class PairEditor final : public QObject {
    Q_OBJECT

public:
    PairEditor(frmKelvadon& window, SettingsStore& store, UserPrompts& prompts,
               QObject* parent = nullptr);

    // folderKind: 1 source browsed, 2 target browsed, 3 source typed, 4
    // target typed; operation: 1 add a pair, 2 modify the current row's pair.
    void EditFolder(int folderKind, int operation);
    // cmdSupprimer, mnuSupprimerDossiers and the Delete key.
    void cmdSupprimer_Click();
    // frmSetMode for the pair of the grid row.
    void openSetMode(int row);

private:
    // Writes the rows as the whole list, lets the window repaint once and
    // reloads the list, under the hourglass. A save that fails leaves the
    // files as they were, and the reload shows them; false then.
    bool saveAndReload(const std::vector<FolderPair>& rows);
    // Reloads the list from the files; a pair file that can no longer be
    // read ends the program, as at start-up.
    void reload();

    frmKelvadon& m_window;
    SettingsStore& m_store;
    UserPrompts& m_prompts;
};

// Creates the editor as a child of the window and connects the window's pair
// commands to it.
void connectPairEditing(frmKelvadon& window, SettingsStore& store, UserPrompts& prompts);

} // namespace torvanelo
