#pragma once

#include "SettingsStore.h"

#include <QtGlobal>

namespace torvanelo {

// The number of the last archive made ("LastFileNumber"), read afresh for
// every file to compress and never cached.
class ArchiveCounter {
public:
    virtual ~ArchiveCounter() = default;
    virtual qint32 readLastFileNumber() = 0;
    virtual bool writeLastFileNumber(qint32 number) = 0;
};

// The counter kept in the parameters file.
class SettingsArchiveCounter final : public ArchiveCounter {
public:
    explicit SettingsArchiveCounter(SettingsStore& store)
        : m_store(store) {}
    qint32 readLastFileNumber() override { return m_store.readLastFileNumber(); }
    bool writeLastFileNumber(qint32 number) override { return m_store.writeLastFileNumber(number); }

private:
    SettingsStore& m_store;
};

} // namespace torvanelo
