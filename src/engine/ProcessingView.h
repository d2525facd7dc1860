#pragma once

#include <QString>

namespace torvanelo {

// Buttons and menu entries that the start/stop command enables and disables.
enum class WindowControl {
    cmdAjouterDossierSource,
    cmdSupprimer,
    cmdModifierDossierSource,
    cmdModifierDossierCible,
    mnuDossiers,
    mnuTempo,
    mnuLangue,
    mnuQuitter,
    mnuDefinirLogs,
    mnuPurgeLogs,
    mnuService,
};

// The two looks of the start/stop button cmdMiroir.
enum class StartStopPicture {
    Start, // Picture1
    Stop,  // Picture2
};

// Everything the processing passes and their controller do to the main
// window. The main window implements it; tests record the calls.
class ProcessingView {
public:
    virtual ~ProcessingView() = default;

    // lblTempo, repainted at once.
    virtual void setTempoText(const QString& text) = 0;
    // lblMessage: the summary of the last pass, or empty.
    virtual void setMessageText(const QString& text) = 0;
    // ProgressBarAttente (its range is set with the delay).
    virtual void setWaitProgress(int value) = 0;
    // ProgressBarCopie: minimum 0, the maximum is the number of pairs.
    virtual void setCopyProgressMaximum(int maximum) = 0;
    virtual void setCopyProgress(int value) = 0;
    // Timer1, the one-second tick that calls Timer1_Timer.
    virtual void setTimerEnabled(bool enabled) = 0;
    // The tray icon, with the program's picture and this tip.
    virtual void setTrayTip(const QString& tip) = 0;
    // cmdMiroir's picture and tooltip, and the caption of mnuDemarrer.
    virtual void setStartStopLook(StartStopPicture picture, const QString& tooltip,
                                  const QString& menuCaption) = 0;
    virtual void setControlEnabled(WindowControl control, bool enabled) = 0;
    // Lists again the files of the pair in the grid's current row, when the
    // grid has its selection highlight on; its target folder too when asked.
    virtual void refreshFolderFiles(bool includeTarget) = 0;
    // Brings a minimized window back to normal size, in front, with focus.
    virtual void restoreIfMinimized() = 0;
    // Lets the message loop handle what is pending, once.
    virtual void processEvents() = 0;
    // Removes the tray icon and ends the program at once.
    virtual void endProgram() = 0;
};

} // namespace torvanelo
