#pragma once

#include "UserPrompts.h"

#include <functional>
#include <memory>

class QMessageBox;

namespace torvanelo {

// The prompts shown with Qt's standard dialogs: QMessageBox with the icon,
// buttons and title asked for, QFileDialog for folders, QInputDialog for
// text, QApplication::beep.
//
// Without a screen to answer on (the offscreen and minimal platforms: a
// batch job, the headless service) a modal box would wait for ever. There a
// message goes to the report sink (standard error unless set) and is answered
// with Ok, or No for a question, the answer that changes nothing; the folder
// browser and the text entry are cancelled.
class QtUserPrompts final : public UserPrompts {
public:
    QtUserPrompts();

    Answer message(QWidget* parent, Icon icon, Buttons buttons, const QString& title,
                   const QString& text) override;
    std::optional<QString> browseFolder(QWidget* parent, const QString& title,
                                        const QString& startFolder) override;
    std::optional<QString> enterText(QWidget* parent, const QString& title, const QString& prompt,
                                     const QString& initialText) override;
    void beep() override;
    bool canAnswer() const override { return !headless(); }

    // True when no one can see or answer a dialog.
    static bool headless();
    // The message box as message() shows it, at least MinimumBoxWidth wide
    // and wide enough for its whole title.
    static std::unique_ptr<QMessageBox> messageBox(QWidget* parent, Icon icon, Buttons buttons,
                                                   const QString& title, const QString& text);
    static constexpr int MinimumBoxWidth = 300;
    static constexpr int TitleBarButtonsWidth = 140;
    // Where headless messages go, one call per message.
    void setReportSink(std::function<void(const QString&)> sink) { m_report = std::move(sink); }

private:
    std::function<void(const QString&)> m_report;
};

} // namespace torvanelo
