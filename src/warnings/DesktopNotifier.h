#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

namespace torvanelo {

// Desktop notifications through the notification server of the session
// (org.freedesktop.Notifications). A call is sent without waiting for the
// answer, so a pass never waits on the desktop; without a server (no
// session bus, none registered) nothing is shown and nothing fails.
// Successive warnings replace the one still shown rather than pile up.
class DesktopNotifier final : public QObject {
    Q_OBJECT

public:
    explicit DesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus(),
                             QObject* parent = nullptr);

    // summary is the title line; body is plain text (escaped here, since
    // servers may read markup in it).
    void notify(const QString& summary, const QString& body);

signals:
    // The server's answer to a notify: the notification's number, 0 when
    // the call failed.
    void answered(uint id);

private:
    QDBusConnection m_bus;
    uint m_shown = 0;
};

} // namespace torvanelo
