#pragma once

#include <QTimer>
#include <QWidget>

class QLabel;

namespace torvanelo {

// The small message window: the hidden automatic start's "press a key"
// message and the unknown-folder warnings. Centred on the screen, light blue,
// one centred label lblMessage; shown without being modal. Its caption
// flashes every 500 ms for as long as it exists (drawn as a border that
// alternates with the background, since the window manager draws the real
// caption). A click closes it.
//
// While stopOnKey is set (the program is to end after its first pass), the
// window takes the focus and any key emits keyPressed; the main window
// cancels that end for this run. Otherwise it stays on top without taking
// the focus and keys do nothing.
class frmSplash final : public QWidget {
    Q_OBJECT

public:
    explicit frmSplash(QWidget* parent = nullptr);

    void setStopOnKey(bool on) { m_stopOnKey = on; }
    bool stopOnKey() const { return m_stopOnKey; }

    // Sets lblMessage and shows the window, not modal.
    void showMessage(const QString& text);
    QString message() const;
    bool captionFlashed() const { return m_flashed; }

signals:
    void keyPressed();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_lblMessage;
    QTimer m_Timer1;
    bool m_flashed = false;
    bool m_stopOnKey = false;
};

} // namespace torvanelo
