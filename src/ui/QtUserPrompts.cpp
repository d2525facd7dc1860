#include "QtUserPrompts.h"

#include "FolderBrowser.h"

#include <QApplication>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QSpacerItem>

#include <algorithm>
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
    const std::unique_ptr<QMessageBox> box = messageBox(parent, icon, buttons, title, text);
    const int pressed = box->exec();
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    return pressed == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

std::optional<QString> QtUserPrompts::browseFolder(QWidget* parent, const QString& title,
                                                   const QString& startFolder) {
    if (headless())
        return std::nullopt;
    FolderBrowser browser(title, startFolder, parent);
    if (browser.exec() != QDialog::Accepted)
        return std::nullopt;
    return browser.chosenFolder();
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

std::unique_ptr<QMessageBox> QtUserPrompts::messageBox(QWidget* parent, Icon icon, Buttons buttons,
                                                       const QString& title, const QString& text) {
    auto box = std::make_unique<QMessageBox>(
        boxIcon(icon), title, text,
        buttons == Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    // Texts carry folder and file names: markup in a name is shown as written.
    box->setTextFormat(Qt::PlainText);
    // A box as narrow as a short text gets its title cut by the window
    // manager; it is made as wide as the title (in a title bar's bold
    // font) with room for the title bar's buttons.
    QFont titleFont = box->font();
    titleFont.setBold(true);
    const int wanted = std::max(MinimumBoxWidth, QFontMetrics(titleFont).horizontalAdvance(title)
                                                     + TitleBarButtonsWidth);
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout()))
        grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    return box;
}

void QtUserPrompts::beep() {
    QApplication::beep();
}

} // namespace torvanelo
