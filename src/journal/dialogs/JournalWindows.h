#pragma once

#include <QObject>
#include <QPointer>

namespace torvanelo {

class Clock;
class FileSystem;
class SettingsStore;
class UserPrompts;
class frmKelvadon;
class frmVoirLogs;

// Opens the journal windows for the main window: the viewer (one at a time,
// not modal) and the two settings dialogs (modal). Lives as long as the main
// window and takes the viewer with it.
class JournalWindows final : public QObject {
    Q_OBJECT

public:
    JournalWindows(frmKelvadon& window, SettingsStore& store, FileSystem& files, const Clock& clock,
                   UserPrompts& prompts);
    ~JournalWindows() override;

    // mnuVoirLogs, F1, mnuFichierVoirLogs: an open viewer comes back to its
    // normal state and the main window goes to the tray; otherwise a new
    // viewer is shown. Closing it brings the main window back to its normal
    // state when it is visible (minimized or not) or when the viewer sent it
    // away (a click on a date, a second opening).
    void openViewer();
    frmVoirLogs* viewer() const;

    // mnuDefinirLogs and mnuPurgeLogs; the main window's check marks follow
    // the settings once the dialog has closed.
    void openLogFolderDialog();
    void openPurgeDialog();

private:
    void putMainWindowAway();

    frmKelvadon& m_window;
    SettingsStore& m_store;
    FileSystem& m_files;
    const Clock& m_clock;
    UserPrompts& m_prompts;
    QPointer<frmVoirLogs> m_viewer;
    bool m_mainPutAway = false;
};

} // namespace torvanelo
