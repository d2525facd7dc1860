#pragma once

#include <QString>

namespace torvanelo {

// The window side of an unknown-folder warning; the main window implements it.
class WarningView {
public:
    virtual ~WarningView() = default;
    // Puts the text into the message window and shows it without making it
    // modal.
    virtual void showWarning(const QString& text) = 0;
    // One system beep.
    virtual void beep() = 0;
    // Every warning, whichever ways are on: the window may mark it (the
    // tray icon does).
    virtual void markWarning(const QString& text) { Q_UNUSED(text); }
    // The warning as a desktop notification.
    virtual void notifyDesktop(const QString& text) { Q_UNUSED(text); }
};

} // namespace torvanelo
