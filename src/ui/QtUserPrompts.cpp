#include "QtUserPrompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

#include <cstdio>

namespace torvanelo {

namespace {

QMessageBox::Icon boxIcon(UserPrompts::Icon icon) {
    switch (icon) {
    case UserPrompts::Icon::Information:
        return QMessageBox::Information;
    case UserPrompts::Icon::Question:
        return QMessageBox::Question;
    case UserPrompts::Icon::Warning:
        return QMessageBox::Warning;
    case UserPrompts::Icon::Error:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QtUserPrompts::QtUserPrompts()
    : m_report([](const QString& text) {
        std::fputs(text.toLocal8Bit().constData(), stderr);
        std::fputc('\n', stderr);
        std::fflush(stderr);
    }) {}

bool QtUserPrompts::headless() {
    const QString platform = QGuiApplication::platformName();
    return platform == u"offscreen" || platform == u"minimal";
}

UserPrompts::Answer QtUserPrompts::message(QWidget* parent, Icon icon, Buttons buttons,
                                           const QString& title, const QString& text) {
    if (headless()) {
        QString flat = text;
        flat.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(u'\n', u' ');
        m_report(title + QStringLiteral(": ") + flat.simplified());
        return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
    }
    QMessageBox box(
        boxIcon(icon), title, text,
        buttons == Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    // Texts carry folder and file names: markup in a name is shown as written.
    box.setTextFormat(Qt::PlainText);
    const int pressed = box.exec();
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    return pressed == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

std::optional<QString> QtUserPrompts::browseFolder(QWidget* parent, const QString& title,
                                                   const QString& startFolder) {
    if (headless())
        return std::nullopt;
    const QString folder = QFileDialog::getExistingDirectory(parent, title, startFolder);
    if (folder.isEmpty())
        return std::nullopt;
    return folder;
}

std::optional<QString> QtUserPrompts::enterText(QWidget* parent, const QString& title,
                                                const QString& prompt, const QString& initialText) {
    if (headless())
        return std::nullopt;
    bool accepted = false;
    const QString text =
        QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, initialText, &accepted);
    if (!accepted)
        return std::nullopt;
    return text;
}

void QtUserPrompts::beep() {
    QApplication::beep();
}

} // namespace torvanelo
