#pragma once

#include <QString>
#include <QTime>

namespace torvanelo {

class Clock;
class DayJournal;
class ProcessRunner;
class ServiceControl;
class WarningView;
struct Settings;

enum class FolderKind { Source, Target };

// "14:02:11 - Unknown source folder" (time on the 24-hour clock).
QString FolderWarningText(FolderKind kind, int language, const QTime& time);

// The shell command of a net send warning, for the pass and for the dialog's
// test send alike: "net send " + the text, unchanged (no quoting, trimming or
// escaping: the text is the administrator's own command line).
QString netSendCommand(const QString& text);

// Delivers the warning for a folder of a pair that cannot be found, in this
// order, each way only when its setting is on at that moment:
//   1. the message window (screen warning);
//   2. a journal line (screen warning and journal both on);
//   3. a warning in the system log, through the service control, when the
//      service is installed and running;
//   4. a beep;
//   5. "net send " + the stored text through the shell, not waited for,
//      never with an empty text;
//   6. a desktop notification.
// The window is told of every warning first, whichever ways are on.
class FolderWarnings {
public:
    FolderWarnings(const Settings& settings, const Clock& clock, WarningView& view,
                   ServiceControl& service, ProcessRunner& runner);

    // journal may be null when the pass has none.
    void deliver(FolderKind kind, const QString& folder, DayJournal* journal);

private:
    const Settings& m_settings;
    const Clock& m_clock;
    WarningView& m_view;
    ServiceControl& m_service;
    ProcessRunner& m_runner;
};

} // namespace torvanelo
