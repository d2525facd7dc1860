#include "DesktopNotifier.h"

#include "HtmlText.h"
#include "Texts.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace torvanelo {

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
// The server's own default time on screen.
constexpr int ServerDefaultTimeout = -1;

} // namespace

DesktopNotifier::DesktopNotifier(QDBusConnection bus, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus)) {}

void DesktopNotifier::notify(const QString& summary, const QString& body) {
    if (!m_bus.isConnected()) {
        emit answered(0);
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(Service, Path, Service, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(1)));
    call << ProductName << m_shown << QStringLiteral("dialog-warning") << summary
         << EscapeHtml(body) << QStringList() << hints << ServerDefaultTimeout;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* finished) {
                const QDBusPendingReply<uint> reply = *finished;
                const uint id = reply.isValid() ? reply.value() : 0;
                if (id != 0)
                    m_shown = id;
                emit answered(id);
                finished->deleteLater();
            });
}

} // namespace torvanelo
