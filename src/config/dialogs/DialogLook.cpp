#include "DialogLook.h"

#include "Texts.h"

#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace torvanelo {

QString okCaption() {
    return QStringLiteral("&OK");
}

QString cancelCaption(int language) {
    return Tr(language, u"&Annuler", u"&Cancel");
}

QSize ElidedLabel::minimumSizeHint() const {
    return QSize(0, QLabel::minimumSizeHint().height());
}

QSize ElidedLabel::sizeHint() const {
    // As wide as the text, within reason: the layout gives it what the
    // dialog has, and the rest is drawn cut.
    QSize hint = QLabel::sizeHint();
    hint.setWidth(std::min(hint.width(), fontMetrics().averageCharWidth() * 60));
    return hint;
}

void ElidedLabel::paintEvent(QPaintEvent* event) {
    Q_UNUSED(event);
    QPainter painter(this);
    const QRect area = contentsRect();
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width());
    style()->drawItemText(&painter, area, int(alignment()), palette(), isEnabled(), shown,
                          foregroundRole());
}

} // namespace torvanelo
