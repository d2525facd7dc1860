#include "FolderWarnings.h"

#include "Clock.h"
#include "DailyLog.h"
#include "FolderPrefix.h"
#include "HtmlText.h"
#include "ProcessRunner.h"
#include "ServiceControl.h"
#include "Settings.h"
#include "Texts.h"
#include "WarningView.h"

namespace torvanelo {

QString FolderWarningText(FolderKind kind, int language, const QTime& time) {
    const QString which =
        kind == FolderKind::Source
            ? Tr(language, u" - Dossier source inconnu", u" - Unknown source folder")
            : Tr(language, u" - Dossier cible inconnu", u" - Unknown target folder");
    return time.toString(u"HH:mm:ss") + which;
}

QString netSendCommand(const QString& text) {
    return QStringLiteral("net send ") + text;
}

FolderWarnings::FolderWarnings(const Settings& settings, const Clock& clock, WarningView& view,
                               ServiceControl& service, ProcessRunner& runner)
    : m_settings(settings)
    , m_clock(clock)
    , m_view(view)
    , m_service(service)
    , m_runner(runner) {}

void FolderWarnings::deliver(FolderKind kind, const QString& folder, DayJournal* journal) {
    const QString text = FolderWarningText(kind, m_settings.Language, m_clock.now().time());
    const QString folderText = FolderPrefix(folder);
    m_view.markWarning(text);

    if (m_settings.WarnOnScreen)
        m_view.showWarning(text);
    if (m_settings.WarnOnScreen && m_settings.LogEnabled && journal) {
        // The journal may have been removed since the pass opened it.
        journal->open();
        journal->append(text + QStringLiteral(": ") + EscapeHtml(folderText)
                        + QStringLiteral("<br>"));
    }
    if (m_settings.WarnEventLog && m_service.IsInstalled() && m_service.IsRunning())
        m_service.LogEvent(text + QStringLiteral(": ") + folderText, EventWarning);
    if (m_settings.WarnBeep)
        m_view.beep();
    if (m_settings.WarnNetSend && !m_settings.NetSendMessage.isEmpty())
        m_runner.startShellDetached(netSendCommand(m_settings.NetSendMessage));
    if (m_settings.WarnDesktop)
        m_view.notifyDesktop(text + QStringLiteral(": ") + folderText);
}

} // namespace torvanelo
