#pragma once

#include <QLockFile>
#include <QString>

#include <memory>
#include <vector>

namespace torvanelo {

// Refuses a second running copy: lock files in the user's runtime folder,
// one keyed on the executable's path, one on the program folder (its device
// and inode), so that neither the same executable on another program folder
// nor another copy of the executable on the same program folder runs beside
// this one. Each lock has a rendezvous name beside it (a local socket path)
// where the holder can be asked to show its window.
class SingleInstance {
public:
    SingleInstance(const QString& executablePath, const QString& programFolder);
    // True when this process holds every lock (no other copy runs). A
    // refusal releases what was taken.
    bool acquire();

    // The rendezvous names of the locks held, to listen on.
    std::vector<QString> rendezvousNames() const;
    // The rendezvous name of the lock that another copy holds; empty when
    // none refused.
    const QString& refusedBy() const { return m_refusedBy; }

private:
    struct Lock {
        QString rendezvous;
        std::unique_ptr<QLockFile> file;
    };
    std::vector<Lock> m_locks;
    QString m_refusedBy;
};

} // namespace torvanelo
