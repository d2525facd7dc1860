#include "InstanceRendezvous.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace torvanelo {

namespace {

constexpr QByteArrayView ShowRequest = "show\n";
// Long enough for a copy busy in a pass to take the connection, short
// enough that the refused start does not seem to hang.
constexpr int ConnectMilliseconds = 2000;

} // namespace

InstanceRendezvous::InstanceRendezvous(QObject* parent)
    : QObject(parent) {}

bool InstanceRendezvous::listen(const std::vector<QString>& names) {
    bool all = true;
    for (const QString& name : names) {
        auto* server = new QLocalServer(this);
        server->setSocketOptions(QLocalServer::UserAccessOption);
        // The lock is ours, so a socket file left at its name is a dead
        // copy's.
        QLocalServer::removeServer(name);
        if (!server->listen(name)) {
            delete server;
            all = false;
            continue;
        }
        connect(server, &QLocalServer::newConnection, this, [this, server] { accept(server); });
    }
    return all;
}

void InstanceRendezvous::accept(QLocalServer* server) {
    while (QLocalSocket* socket = server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // A request is one short line; a peer that sends more is not one
            // of ours.
            if (socket->bytesAvailable() > 64) {
                socket->abort();
                return;
            }
            if (!socket->canReadLine())
                return;
            const QByteArray line = socket->readLine();
            socket->disconnectFromServer();
            if (line == ShowRequest)
                emit showRequested();
        });
    }
}

bool InstanceRendezvous::askToShow(const QString& name) {
    if (name.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(ConnectMilliseconds))
        return false;
    if (socket.write(ShowRequest.data(), ShowRequest.size()) != ShowRequest.size()
        || !socket.waitForBytesWritten(ConnectMilliseconds))
        return false;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(ConnectMilliseconds);
    return true;
}

} // namespace torvanelo
