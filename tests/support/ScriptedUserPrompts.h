#pragma once

#include "UserPrompts.h"

#include <deque>
#include <functional>
#include <vector>

namespace torvanelo::test {

// The prompts of a test: every message box is recorded and answered from a
// script (queued answers in order, then defaultAnswer for Yes/No boxes and
// Ok for the others); the folder browser and the text entry answer from
// their own queues, cancelled when empty or for a null QString; beeps are counted. A hook runs
// when a message is shown, so a test can look at the window at that moment.
class ScriptedUserPrompts final : public UserPrompts {
public:
    struct Message {
        Icon icon;
        Buttons buttons;
        QString title;
        QString text;
        QWidget* parent;
    };

    Answer message(QWidget* parent, Icon icon, Buttons buttons, const QString& title,
                   const QString& text) override {
        messages.push_back({icon, buttons, title, text, parent});
        if (onMessage)
            onMessage(messages.back());
        if (buttons == Buttons::Ok)
            return Answer::Ok;
        if (!answers.empty()) {
            const Answer answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return defaultAnswer;
    }

    std::optional<QString> browseFolder(QWidget*, const QString& title,
                                        const QString& startFolder) override {
        browseTitles.push_back(title);
        Q_UNUSED(startFolder);
        return next(folders);
    }

    std::optional<QString> enterText(QWidget*, const QString& title, const QString& prompt,
                                     const QString& initialText) override {
        entryPrompts.push_back(title + QStringLiteral(" | ") + prompt + QStringLiteral(" | ")
                               + initialText);
        return next(texts);
    }

    void beep() override { ++beeps; }

    std::vector<Message> messages;
    std::deque<Answer> answers;
    Answer defaultAnswer = Answer::No;
    std::deque<QString> folders;
    std::deque<QString> texts;
    std::vector<QString> browseTitles;
    std::vector<QString> entryPrompts;
    int beeps = 0;
    std::function<void(const Message&)> onMessage;

private:
    static std::optional<QString> next(std::deque<QString>& queue) {
        if (queue.empty())
            return std::nullopt;
        const QString value = queue.front();
        queue.pop_front();
        if (value.isNull())
            return std::nullopt;
        return value;
    }
};

} // namespace torvanelo::test
