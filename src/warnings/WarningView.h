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
};

} // namespace torvanelo
