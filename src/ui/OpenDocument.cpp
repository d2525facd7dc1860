#include "OpenDocument.h"

#include "NameCodec.h"

#include <QDesktopServices>

namespace torvanelo {

namespace {

DocumentOpener& currentOpener() {
    static DocumentOpener opener = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    return opener;
}

} // namespace

QUrl DocumentUrl(const QString& pathOrAddress) {
    if (pathOrAddress.startsWith(u'/')) {
        // From the name's own bytes: a name that is not valid UTF-8 still
        // reaches the browser as the file it names.
        const QByteArray bytes = encodeFileName(pathOrAddress);
        return QUrl::fromEncoded(QByteArrayLiteral("file://") + bytes.toPercentEncoding("/"),
                                 QUrl::StrictMode);
    }
    return QUrl::fromUserInput(pathOrAddress);
}

bool OpenDocument(const QString& pathOrAddress) {
    const QUrl url = DocumentUrl(pathOrAddress);
    if (!url.isValid())
        return false;
    return currentOpener()(url);
}

DocumentOpenerOverride::DocumentOpenerOverride(DocumentOpener opener)
    : m_previous(std::move(currentOpener())) {
    currentOpener() = std::move(opener);
}

DocumentOpenerOverride::~DocumentOpenerOverride() {
    currentOpener() = std::move(m_previous);
}

} // namespace torvanelo
