#pragma once

#include "ProcessRunner.h"

#include <QStringDecoder>
#include <QWidget>

class QPlainTextEdit;

namespace torvanelo {

// The archiver's console, for runs shown with RunOptions::show: a small
// window that opens when the archiver starts, shows its output as it comes
// and closes when the archiver ends.
class ArchiverConsole final : public QWidget, public ConsoleSink {
    Q_OBJECT

public:
    explicit ArchiverConsole(QWidget* parent = nullptr);

    void begin(const QString& commandLine) override;
    void output(const QByteArray& bytes) override;
    void end(int exitCode, bool crashed) override;

    QString text() const;
    // Runs that opened the console since it was made.
    int runs() const { return m_runs; }

private:
    QPlainTextEdit* m_output;
    // Output comes in pieces that may split a character.
    QStringDecoder m_decoder{QStringDecoder::System};
    int m_runs = 0;
};

} // namespace torvanelo
