#include "ArchiverConsole.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace torvanelo {

ArchiverConsole::ArchiverConsole(QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_output(new QPlainTextEdit(this)) {
    setObjectName(QStringLiteral("ArchiverConsole"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    m_output->setReadOnly(true);
    m_output->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_output->setMaximumBlockCount(2000);
    QPalette colours = m_output->palette();
    colours.setColor(QPalette::Base, Qt::black);
    colours.setColor(QPalette::Text, Qt::lightGray);
    m_output->setPalette(colours);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_output);
    resize(560, 260);
}

void ArchiverConsole::begin(const QString& commandLine) {
    ++m_runs;
    setWindowTitle(commandLine);
    m_output->clear();
    m_decoder.resetState();
    show();
}

void ArchiverConsole::output(const QByteArray& bytes) {
    m_output->moveCursor(QTextCursor::End);
    m_output->insertPlainText(m_decoder.decode(bytes));
    m_output->moveCursor(QTextCursor::End);
}

void ArchiverConsole::end(int exitCode, bool crashed) {
    Q_UNUSED(exitCode);
    Q_UNUSED(crashed);
    hide();
}

QString ArchiverConsole::text() const {
    return m_output->toPlainText();
}

} // namespace torvanelo
