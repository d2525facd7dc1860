#include "MainProgram.h"
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
}

} // namespace torvanelo
