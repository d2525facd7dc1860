#include "Pictures.h"

#include <QPainter>
#include <QPolygonF>
#include <QString>

#include <algorithm>

// Resources of a static library must be registered by name, outside any
// namespace, before their first use.
static void registerPictures() {
    Q_INIT_RESOURCE(pictures);
}

namespace torvanelo {

namespace {

QString resourcePath(Picture picture) {
    switch (picture) {
    case Picture::Start:
        return QStringLiteral(":/pictures/start.svg");
    case Picture::Stop:
        return QStringLiteral(":/pictures/stop.svg");
    case Picture::Compress:
        return QStringLiteral(":/pictures/compress.svg");
    case Picture::Uncompress:
        return QStringLiteral(":/pictures/uncompress.svg");
    case Picture::CompressGrey:
        return QStringLiteral(":/pictures/compress-grey.svg");
    case Picture::UncompressGrey:
        return QStringLiteral(":/pictures/uncompress-grey.svg");
    case Picture::Mac:
        return QStringLiteral(":/pictures/mac.svg");
    case Picture::Application:
        return QStringLiteral(":/pictures/application.svg");
    case Picture::Service:
        return QStringLiteral(":/pictures/service.svg");
    case Picture::Program:
        return QStringLiteral(":/pictures/torvanelo.svg");
    case Picture::ArrowLeft:
        return QStringLiteral(":/pictures/arrow-left.svg");
    case Picture::ArrowRight:
        return QStringLiteral(":/pictures/arrow-right.svg");
    }
    return {};
}

} // namespace

QIcon pictureIcon(Picture picture) {
    static const bool registered = (registerPictures(), true);
    Q_UNUSED(registered);
    return QIcon(resourcePath(picture));
}

QIcon trayPicture(TrayState state, bool warning) {
    QIcon icon;
    for (const int side : {16, 22, 32, 64}) {
        QPixmap canvas = picturePixmap(Picture::Program, QSize(side, side));
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal badge = side * 0.5;
        const QRectF corner(side - badge, side - badge, badge, badge);
        painter.setPen(QPen(Qt::white, std::max(1.0, side / 16.0)));
        if (state == TrayState::InPass) {
            painter.setBrush(QColor(0x2e, 0xa0, 0x43));
            painter.drawEllipse(corner.adjusted(1, 1, -1, -1));
        } else if (state == TrayState::Waiting) {
            painter.setBrush(QColor(0x3b, 0x82, 0xf6));
            painter.drawRect(corner.adjusted(1, badge * 0.55, -1, -1));
        }
        if (warning) {
            const QRectF top(0, 0, badge, badge);
            QPolygonF triangle;
            triangle << QPointF(top.center().x(), top.top() + 1) << top.bottomRight()
                     << top.bottomLeft();
            painter.setBrush(QColor(0xdc, 0x26, 0x26));
            painter.drawPolygon(triangle);
        }
        painter.end();
        icon.addPixmap(canvas);
    }
    return icon;
}

QPixmap picturePixmap(Picture picture, QSize size, qreal devicePixelRatio) {
    return pictureIcon(picture).pixmap(size, devicePixelRatio);
}

} // namespace torvanelo
