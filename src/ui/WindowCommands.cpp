#include "MainProgram.h"
#include "PairEditor.h"
#include "SettingsDialogs.h"
#include "frmAvertirDossierErr.h"
#include "frmKelvadon.h"

namespace torvanelo {

// Where the main window's commands meet the windows that carry them out.
// Each window adds its block here, connecting the frmKelvadon signals it
// answers; a signal without a connection leaves its command doing nothing.
//
//   pair editing        EditFolderRequested, removePairsRequested, setModeRequested
//   folder contents     showPairFilesRequested, refreshFolderFilesRequested,
//                       toggleFolderFilesRequested
//   settings dialogs    delayDialogRequested, performanceDialogRequested,
//                       prefixDialogRequested, warningDialogRequested
//   journals            logFolderDialogRequested, logViewerRequested, purgeDialogRequested
//   help and About      helpRequested, aboutRequested
//   service             serviceDialogRequested
void MainProgram::connectCommands() {
    [[maybe_unused]] frmKelvadon& window = *m_window;

    // Pair editing and the settings dialogs.
    connectPairEditing(window, *m_store, m_services.prompts);
    connectSettingsDialogs(window, *m_store, *m_controller, m_services.prompts);
    connectWarningDialog(window, *m_store, m_services.prompts, m_services.runner);
}

} // namespace torvanelo
