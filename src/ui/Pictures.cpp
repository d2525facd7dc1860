#include "Pictures.h"

#include <QString>

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

QPixmap picturePixmap(Picture picture, QSize size, qreal devicePixelRatio) {
    return pictureIcon(picture).pixmap(size, devicePixelRatio);
}

} // namespace torvanelo
