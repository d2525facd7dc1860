#include "frmAbout.h"

#include "OpenDocument.h"
#include "Texts.h"
#include "Twips.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

namespace torvanelo {

namespace {

constexpr QColor LinkMagenta(255, 0, 255);

} // namespace

QString aboutWebAddress() {
    return QStringLiteral("https://torvanelo.example.org/");
}

QString aboutCopyright() {
    return QStringLiteral("Copyright \u00a9 2026 the Torvanelo developers");
}

frmAbout::frmAbout(int language, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmAbout"));
    setModal(true);
    setWindowTitle(Tr(language, u"A propos de...", u"About..."));
    // Client area of 5730 by 2220 twips.
    setFixedSize(px(5730), px(2220));

    m_lblCredit = new QLabel(this);
    m_lblCredit->setObjectName(QStringLiteral("lblCredit"));
    m_lblCredit->setGeometry(twips(120, 120, 5535, 615 + 300));
    m_lblCredit->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_lblCredit->setWordWrap(true);
    m_lblCredit->setText(ProductName
                         + Tr(language,
                              u": compression/décompression de fichiers en préservant les flux",
                              u": compress/uncompress files preserving streams")
                         + u'\n' + aboutCopyright());

    m_lblLink = new QLabel(aboutWebAddress(), this);
    m_lblLink->setObjectName(QStringLiteral("lblLink"));
    m_lblLink->setAlignment(Qt::AlignCenter);
    QPalette magenta = m_lblLink->palette();
    magenta.setColor(QPalette::WindowText, LinkMagenta);
    m_lblLink->setPalette(magenta);
    m_lblLink->setCursor(Qt::PointingHandCursor);
    // Sized to its text, centred on the place of 1740, 1320, 2265, 195.
    m_lblLink->adjustSize();
    const QRect place = twips(1740, 1320, 2265, 195);
    QRect link(QPoint(), m_lblLink->size());
    link.moveCenter(place.center());
    m_lblLink->setGeometry(link);
    m_lblLink->installEventFilter(this);

    m_cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setGeometry(twips(2160, 1680, 1452, 450));
    m_cmdOK->setDefault(true);
    connect(m_cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void frmAbout::lblLink_Click() {
    OpenDocument(aboutWebAddress());
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_lblLink && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        lblLink_Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace torvanelo
