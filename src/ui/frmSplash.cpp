#include "frmSplash.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

namespace torvanelo {

namespace {
// Client area of 3285 by 1185 twips.
constexpr QSize SplashSize(219, 79);
constexpr QColor SplashColour(192, 192, 255);
constexpr int FlashBorder = 3;
} // namespace

frmSplash::frmSplash(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_lblMessage(new QLabel(QStringLiteral("Message"), this)) {
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(QString(17, u' ') + QStringLiteral("Vesk"));
    setFixedSize(SplashSize);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, SplashColour);
    setPalette(colours);
    setAutoFillBackground(true);

    m_lblMessage->setObjectName(QStringLiteral("lblMessage"));
    m_lblMessage->setAlignment(Qt::AlignCenter);
    m_lblMessage->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(FlashBorder + 2, FlashBorder + 2, FlashBorder + 2, FlashBorder + 2);
    layout->addWidget(m_lblMessage);

    m_Timer1.setObjectName(QStringLiteral("Timer1"));
    m_Timer1.setInterval(500);
    connect(&m_Timer1, &QTimer::timeout, this, [this] {
        m_flashed = !m_flashed;
        update();
    });
    m_Timer1.start();
}

void frmSplash::showMessage(const QString& text) {
    m_lblMessage->setText(text);
    // Only the end-after-first-pass splash asks for keys; a warning must not
    // take the focus from what the user is doing.
    setWindowFlag(Qt::WindowStaysOnTopHint, !m_stopOnKey);
    setAttribute(Qt::WA_ShowWithoutActivating, !m_stopOnKey);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    show();
    if (m_stopOnKey) {
        raise();
        activateWindow();
        setFocus(Qt::OtherFocusReason);
    }
}

QString frmSplash::message() const {
    return m_lblMessage->text();
}

void frmSplash::mousePressEvent(QMouseEvent* event) {
    event->accept();
    close();
}

void frmSplash::keyPressEvent(QKeyEvent* event) {
    event->accept();
    if (m_stopOnKey)
        emit keyPressed();
}

void frmSplash::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!m_flashed)
        return;
    QPainter painter(this);
    QPen pen(palette().color(QPalette::Highlight), FlashBorder);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.drawRect(rect().adjusted(1, 1, -2, -2));
}

} // namespace torvanelo
