#pragma once

#include <QObject>
#include <QString>

#include <vector>

class QLocalServer;

namespace torvanelo {

// Where a second start finds the running copy: local sockets at the
// rendezvous names of the single-instance locks this copy holds. Anyone of
// the same user who connects and sends "show" makes it emit showRequested;
// anything else is dropped.
class InstanceRendezvous final : public QObject {
    Q_OBJECT

public:
    explicit InstanceRendezvous(QObject* parent = nullptr);

    // Listens at each name; false when one could not be listened at (the
    // copy runs on, it just cannot be brought forward).
    bool listen(const std::vector<QString>& names);

    // The second start: asks the copy at that name to show its window.
    // True when the request was delivered.
    static bool askToShow(const QString& name);

signals:
    void showRequested();

private:
    void accept(QLocalServer* server);
};

} // namespace torvanelo
