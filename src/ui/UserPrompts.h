#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace torvanelo {

// Every message box, folder browser and text-entry box of the program goes
// through this interface, so that tests can preset the answers. The real one
// shows Qt's standard dialogs, modally, over the given parent.
class UserPrompts {
public:
    enum class Icon { Information, Question, Warning, Error };
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No };

    virtual ~UserPrompts() = default;

    virtual Answer message(QWidget* parent, Icon icon, Buttons buttons, const QString& title,
                           const QString& text) = 0;

    // The folder browser: the chosen folder, or nullopt when cancelled.
    virtual std::optional<QString> browseFolder(QWidget* parent, const QString& title,
                                                const QString& startFolder) = 0;

    // The text-entry box: the text entered, or nullopt when cancelled.
    virtual std::optional<QString> enterText(QWidget* parent, const QString& title,
                                             const QString& prompt, const QString& initialText) = 0;

    virtual void beep() = 0;

    // False when no one can see or answer a prompt: a batch job or the
    // headless service, run without a screen.
    virtual bool canAnswer() const { return true; }
};

} // namespace torvanelo
