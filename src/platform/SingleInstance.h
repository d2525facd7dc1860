#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

namespace torvanelo {

// Refuses a second running copy of the same executable: a lock file in the
// user's runtime folder, keyed on the executable's path.
class SingleInstance {
public:
    explicit SingleInstance(const QString& executablePath);
    // True when this process holds the lock (no other copy runs).
    bool acquire();

private:
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace torvanelo
