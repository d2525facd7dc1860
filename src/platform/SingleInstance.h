#pragma once

#include <QString>

#include <vector>

namespace torvanelo {

// Refuses a second running copy: kernel locks on files in the user's runtime
// folder (released by the kernel however the holder ends, so a killed copy
// never keeps the next one out),
// one keyed on the executable's path, one on the program folder (its device
// and inode), so that neither the same executable on another program folder
// nor another copy of the executable on the same program folder runs beside
// this one. Each lock has a rendezvous name beside it (a local socket path)
// where the holder can be asked to show its window.
class SingleInstance {
public:
    SingleInstance(const QString& executablePath, const QString& programFolder);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;
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
        QByteArray path;
        int fd = -1; // held while valid
    };
    static bool take(Lock& lock);
    static void release(Lock& lock);

    std::vector<Lock> m_locks;
    QString m_refusedBy;
};

} // namespace torvanelo
