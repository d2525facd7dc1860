#pragma once

#include "FolderPairList.h"
#include "Pictures.h"
#include "ProcessingView.h"
#include "WarningView.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <map>

class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class QListView;
class QMenu;
class QProgressBar;
class QPushButton;
class QSystemTrayIcon;

namespace torvanelo {

class FolderGrid;
class FolderPairModel;
class ProcessingController;
class SettingsStore;
class DesktopNotifier;
class UserPrompts;
class frmSplash;

// How the program runs, shown by PictureMode and lblMode.
enum class ProgramMode { Application, Service };

// The program's main window: the pair grid, the legend or the folder
// contents, the pair buttons, the start/stop button with the countdown and
// the progress of a pass, the information line, the menus and the tray icon.
//
// Every control and menu entry carries its name as objectName (cmdMiroir,
// mnuDemarrer, lstDossiers...), so tests and other windows find them by name.
// The window has no Close command: close requests are ignored; it ends only
// through exitProgram (Quit after confirmation, the end after the first pass,
// the start-up's refusals), which calls the exit handler.
//
// Commands that belong to other windows (pair editing, settings dialogs,
// journals, folder contents, help, service) leave the window as the signals
// below; MainProgram::connectCommands plugs the windows in. After a dialog
// signal returns, the check marks are read again from the settings, so a
// dialog only writes its settings.
class frmKelvadon final : public QMainWindow, public ProcessingView, public WarningView {
    Q_OBJECT

public:
    using ExitHandler = std::function<void(int status)>;

    frmKelvadon(SettingsStore& store, FolderPairModel& pairs, UserPrompts& prompts,
                QWidget* parent = nullptr);
    ~frmKelvadon() override;

    // The controller of the passes; set once, before start-up.
    void setController(ProcessingController* controller);
    ProcessingController* controller() const { return m_controller; }
    bool ProcessingStopped() const;

    // Ends the program: exitProgram removes the tray icon, stops the timer,
    // hides every window and hands the status to this handler, which leaves
    // the event loop (or, in tests, records it).
    void setExitHandler(ExitHandler handler) { m_exitHandler = std::move(handler); }
    void exitProgram(int status);
    bool exitRequested() const { return m_exitRequested; }

    // --- Start-up pieces (StartUp runs them in order) ----------------------
    // The title also goes into lblVesk when asked.
    void setTitleText(const QString& title, bool copyToVesk);
    void setModeDisplay(ProgramMode mode);
    // Only the tooltip of PictureMode, as on a system without services.
    void setModeTooltip(const QString& tooltip);
    // Check marks of every menu toggle and the legend/file-lists layout, from
    // the settings.
    void showSettingsMarks();
    // A setting the user changed did not reach the parameters file: says so
    // (the change holds in memory until the program ends, as the marks show).
    void sayIfNotSaved(bool saved);
    // Moves the window where the user left it last, when that place is still
    // on a screen; else it stays centred.
    void placeAtStoredPosition();
    // ProgressBarAttente: 0 to DefaultDelay - 1, or to 1 below 2 seconds.
    void updateCountdownRange();
    // Rewrites every caption in the current language.
    void ApplyLanguage();
    // The archiver cannot be started: cmdMiroir and mnuDemarrer stay off.
    void disableStart();
    // Reloads the grid from the files, sets the headings, the count and the
    // guidance, and switches the selection highlight off. A fault leaves an
    // empty list; the caller decides (start-up ends the program).
    PairFileFault LoadFolderPairs();
    // Shows the message of a pair-file fault, ends the program with status 1
    // and leaves the file untouched.
    void endOnPairFileFault(PairFileFault fault);

    // --- Tray, splash, window states ---------------------------------------
    // Adds the tray icon with the tip T. It is made even without a system
    // tray, so that it appears when a tray does (a panel that starts after
    // the program).
    void addTrayIcon();
    void removeTrayIcon();
    QSystemTrayIcon* trayIcon() const { return m_tray; }
    const QString& trayTip() const { return m_trayTip; }
    // Minimized means hidden, the program living in the tray only, while a
    // tray shows its icon (and for the service run on no screen at all);
    // otherwise an ordinary minimized window, never a program out of reach.
    void minimizeToTray();
    // True while the tray shows the icon, or no one could see the window.
    bool hidesWhenMinimized() const;
    // Whether a system tray is there to show the icon. Asked afresh at each
    // minimize, so a tray that comes after the program is used from then on;
    // the system's answer unless a test gives its own.
    using TrayPresence = std::function<bool()>;
    void setTrayPresence(TrayPresence presence) { m_trayPresence = std::move(presence); }
    // What the tray icon's picture and tip say.
    TrayState trayState() const { return m_trayState; }
    // The last unknown-folder warning since the start of the last pass;
    // empty when none.
    const QString& trayWarning() const { return m_trayWarning; }
    // Normal state, shown, in front, with the focus.
    void restoreWindow();
    // The tray double-click: restore when hidden, minimize otherwise.
    void toggleFromTray();
    frmSplash& splash();
    // The splash of a hidden automatic start that will end after the first
    // pass: any key on it cancels that end for this run and shows the window.
    void showStartSplash();

    // --- The grid and the folder lists, for other windows ------------------
    FolderGrid* grid() const { return m_grid; }
    FolderPairModel& pairModel() { return m_pairs; }
    QListView* sourceFileList() const { return m_lstFichiersSources; }
    QListView* targetFileList() const { return m_lstFichiersCibles; }
    QLabel* sourceFileCount() const { return m_lblNbFichiersSources; }
    QLabel* targetFileCount() const { return m_lblNbFichiersCibles; }
    // Empties both file lists and both count labels; a listing under way
    // is abandoned.
    void clearFolderFiles();
    // Shows the file lists or the legend, as ShowFolderFiles says.
    void showFolderFilesLayout();
    // The information line (lblMessage) and its colour for a disabled pair.
    // lblMessage shows each line elided to its width; this is the whole text.
    QString messageText() const;
    // The row last described in the information line; -1 for none.
    int describedRow() const { return m_describedRow; }

    // --- ProcessingView ----------------------------------------------------
    void setTempoText(const QString& text) override;
    void setMessageText(const QString& text) override;
    void setWaitProgress(int value) override;
    void setCopyProgressMaximum(int maximum) override;
    void setCopyProgress(int value) override;
    void setTimerEnabled(bool enabled) override;
    void setTrayTip(const QString& tip) override;
    void setStartStopLook(StartStopPicture picture, const QString& tooltip,
                          const QString& menuCaption) override;
    void setControlEnabled(WindowControl control, bool enabled) override;
    void refreshFolderFiles(bool includeTarget) override;
    void restoreIfMinimized() override;
    void processEvents() override;
    void endProgram() override;

    // --- WarningView -------------------------------------------------------
    void showWarning(const QString& text) override;
    void beep() override;
    void markWarning(const QString& text) override;
    void notifyDesktop(const QString& text) override;

signals:
    // Pair editing. folderKind: 1 source browsed, 2 target browsed, 3 source
    // typed, 4 target typed; operation: 1 add, 2 modify the current row.
    void EditFolderRequested(int folderKind, int operation);
    // cmdSupprimer, mnuSupprimerDossiers, the Delete key.
    void removePairsRequested();
    // A click on the mode picture of a row while no passes run (frmSetMode).
    void setModeRequested(int row);
    // Folder contents: the pair of a row is to be listed (a click or a row
    // change while ShowFolderFiles is set); after a pass, the current row's
    // source again and its target when something was done; F2.
    void showPairFilesRequested(int row);
    void refreshFolderFilesRequested(int row, bool includeTarget);
    void toggleFolderFilesRequested();
    // Settings dialogs.
    void delayDialogRequested();       // mnuTempo
    void performanceDialogRequested(); // mnuPerformance
    void prefixDialogRequested();      // mnuPrefixe
    void warningDialogRequested();     // mnuDossierErr
    // Journals.
    void logFolderDialogRequested(); // mnuDefinirLogs
    void logViewerRequested();       // mnuVoirLogs, F1, mnuFichierVoirLogs
    void purgeDialogRequested();     // mnuPurgeLogs
    // Help, About, service.
    void helpRequested();          // mnuAide
    void aboutRequested();         // mnuAPropos
    void serviceDialogRequested(); // mnuService

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildControls();
    void buildLegend();
    void connectControls();
    QAction* action(const char* name);
    QAction* toggle(const char* name);
    void forward(QAction* action, void (frmKelvadon::*signal)());

    void mnuQuitter_Click();
    void mnuAutomatique_Click(bool checked);
    void mnuArretAutomatique_Click(bool checked);
    void mnuVoirConsoleRAR_Click(bool checked);
    void mnuLangue_Click(int language);
    void cmdMiroir_Click();

    void lstDossiers_Click(const QModelIndex& index);
    void lstDossiers_DblClick(const QModelIndex& index);
    void lstDossiers_DeletePressed();
    void lstDossiers_RowChange(int row);
    void lstDossiers_MouseMove(const QPoint& position);
    void clearInformationLine();
    // The information line describes the pair of a grid row.
    void describePair(int row);
    void showInformation(const QString& text);
    void backgroundClick();
    void legendPress(QLabel* legend, bool bold);
    void splashKeyPressed();
    void updateTrayOnlyItems();
    void updateTrayLook();
    void storePosition();
    void setMessageColour(bool disabledPair);

    SettingsStore& m_store;
    FolderPairModel& m_pairs;
    UserPrompts& m_prompts;
    ProcessingController* m_controller = nullptr;
    ExitHandler m_exitHandler;
    bool m_exitRequested = false;

    std::map<QByteArray, QAction*> m_actions;
    QMenu* m_mnuFichier = nullptr;
    QMenu* m_mnuDossiers = nullptr;
    QMenu* m_mnuLangue = nullptr;

    QWidget* m_central = nullptr;
    QLabel* m_lblDossiersSources = nullptr;
    QLabel* m_lblDossiersCibles = nullptr;
    QLabel* m_lblNbDossiers = nullptr;
    QLabel* m_picFleche1 = nullptr;
    QLabel* m_picFleche2 = nullptr;
    FolderGrid* m_grid = nullptr;
    QGroupBox* m_frameLegende = nullptr;
    QLabel* m_lblLegende1 = nullptr;
    QLabel* m_lblLegende2 = nullptr;
    QLabel* m_PictureSetGris = nullptr;
    QLabel* m_PictureSetGrisMod = nullptr;
    QListView* m_lstFichiersSources = nullptr;
    QListView* m_lstFichiersCibles = nullptr;
    QLabel* m_lblNbFichiersSources = nullptr;
    QLabel* m_lblNbFichiersCibles = nullptr;
    QGroupBox* m_FrameSourcesCibles = nullptr;
    QGroupBox* m_FrameSources = nullptr;
    QGroupBox* m_FrameCibles = nullptr;
    QPushButton* m_cmdAjouterDossierSource = nullptr;
    QPushButton* m_cmdSupprimer = nullptr;
    QPushButton* m_cmdModifierDossierSource = nullptr;
    QPushButton* m_cmdModifierDossierCible = nullptr;
    QLabel* m_lblVesk = nullptr;
    QLabel* m_PictureMode = nullptr;
    QLabel* m_lblMode = nullptr;
    QPushButton* m_cmdMiroir = nullptr;
    QLabel* m_lblAttente = nullptr;
    QProgressBar* m_ProgressBarAttente = nullptr;
    QLabel* m_lblTempo = nullptr;
    QLabel* m_lblCopie = nullptr;
    QProgressBar* m_ProgressBarCopie = nullptr;
    QLabel* m_lblMessage = nullptr;
    QLabel* m_lblTestLongueur = nullptr;
    QLabel* m_lblBulle1 = nullptr;
    QLabel* m_lblBulle2 = nullptr;
    QLabel* m_lblBulle3 = nullptr;
    QFrame* m_LineBulle = nullptr;

    QTimer m_Timer1;
    QSystemTrayIcon* m_tray = nullptr;
    TrayPresence m_trayPresence;
    QString m_trayTip;
    TrayState m_trayState = TrayState::Stopped;
    QString m_trayWarning;
    bool m_serviceMode = false;
    // Where the window was put by the program; a move elsewhere is the
    // user's, and is remembered.
    QPoint m_placedAt;
    QTimer m_positionTimer;
    DesktopNotifier* m_notifier = nullptr;
    QPointer<frmSplash> m_splash;
    int m_describedRow = -1;
    QString m_messageText;
};

} // namespace torvanelo
