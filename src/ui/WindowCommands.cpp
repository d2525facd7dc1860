#include "FolderContents.h"
#include "HelpDocument.h"
#include "JournalWindows.h"
#include "MainProgram.h"
#include "PairEditor.h"
#include "ProgramFolder.h"
#include "ServiceRun.h"
#include "SettingsDialogs.h"
#include "SettingsStore.h"
#include "frmAbout.h"
#include "frmAdminService.h"
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

    // Folder contents.
    auto* contents = new FolderContents(window, *m_store, m_services.files);
    QObject::connect(&window, &frmKelvadon::showPairFilesRequested, contents,
                     &FolderContents::ShowPairFiles);
    QObject::connect(&window, &frmKelvadon::refreshFolderFilesRequested, contents,
                     &FolderContents::refreshAfterPass);
    QObject::connect(&window, &frmKelvadon::toggleFolderFilesRequested, contents,
                     &FolderContents::mnuAfficherFichiers_Click);

    // Journals.
    auto* journals = new JournalWindows(window, *m_store, m_services.files,
                                        m_services.clock, m_services.prompts);
    QObject::connect(&window, &frmKelvadon::logViewerRequested, journals,
                     &JournalWindows::openViewer);
    QObject::connect(&window, &frmKelvadon::logFolderDialogRequested, journals,
                     &JournalWindows::openLogFolderDialog);
    QObject::connect(&window, &frmKelvadon::purgeDialogRequested, journals,
                     &JournalWindows::openPurgeDialog);

    // Help and About.
    QObject::connect(&window, &frmKelvadon::helpRequested, &window, [this] {
        ShowHelp(helpFolders(m_store->programFolder()), m_store->settings().Language,
                 m_services.files, m_services.prompts, m_window.get());
    });
    QObject::connect(&window, &frmKelvadon::aboutRequested, &window, [this] {
        frmAbout about(m_store->settings().Language, m_window.get());
        about.exec();
    });

    // Pair editing and the settings dialogs.
    connectPairEditing(window, *m_store, m_services.prompts);
    connectSettingsDialogs(window, *m_store, *m_controller, m_services.prompts);
    connectWarningDialog(window, *m_store, m_services.prompts, m_services.runner);

    // Service: the installation dialog, and the answers to the service
    // manager once start-up finds the program started as the service.
    connectServiceDialog(window, *m_store, m_services.service, m_services.prompts);
    m_startUp->setServiceModeHandler([this] {
        new ServiceRun(*m_window, *m_controller, m_services.service, m_store->settings());
    });
}

} // namespace torvanelo
