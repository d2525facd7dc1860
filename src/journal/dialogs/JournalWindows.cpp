#include "JournalWindows.h"

#include "SettingsStore.h"
#include "frmKelvadon.h"
#include "frmPathLogs.h"
#include "frmPurgeLogs.h"
#include "frmVoirLogs.h"

namespace torvanelo {

JournalWindows::JournalWindows(frmKelvadon& window, SettingsStore& store, FileSystem& files,
                               const Clock& clock, UserPrompts& prompts)
    : QObject(&window)
    , m_window(window)
    , m_store(store)
    , m_files(files)
    , m_clock(clock)
    , m_prompts(prompts) {
    setObjectName(QStringLiteral("JournalWindows"));
}

JournalWindows::~JournalWindows() {
    // The viewer is a window of its own, not a child of the main window.
    delete m_viewer.data();
}

frmVoirLogs* JournalWindows::viewer() const {
    return m_viewer.data();
}

void JournalWindows::openViewer() {
    if (m_viewer && m_viewer->isVisible()) {
        putMainWindowAway();
        m_viewer->setWindowState(m_viewer->windowState() & ~Qt::WindowMinimized);
        m_viewer->showNormal();
        return;
    }
    delete m_viewer.data();
    m_viewer = new frmVoirLogs(m_store.settings(), m_files, m_clock, m_prompts);
    m_viewer->setAttribute(Qt::WA_DeleteOnClose);
    m_mainPutAway = false;
    connect(m_viewer, &frmVoirLogs::minimizeMainWindowRequested, this,
            &JournalWindows::putMainWindowAway);
    connect(m_viewer, &frmVoirLogs::viewerClosed, this, [this] {
        // The viewer's caption promises the way back. A window the user had
        // already sent to the tray before opening the viewer stays there.
        if (m_window.isVisible() || m_mainPutAway)
            m_window.restoreWindow();
        m_mainPutAway = false;
    });
    m_viewer->show();
}

void JournalWindows::putMainWindowAway() {
    if (m_window.isVisible() && !m_window.isMinimized())
        m_mainPutAway = true;
    m_window.minimizeToTray();
}

void JournalWindows::openLogFolderDialog() {
    frmPathLogs dialog(m_store, m_prompts, &m_window);
    dialog.exec();
}

void JournalWindows::openPurgeDialog() {
    frmPurgeLogs dialog(m_store, m_prompts, &m_window);
    dialog.exec();
}

} // namespace torvanelo
