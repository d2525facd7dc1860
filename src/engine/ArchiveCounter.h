#pragma once

#include "SettingsStore.h"

#include <QtGlobal>

#include <optional>

namespace torvanelo {

// The number of the last archive made ("LastFileNumber"): read for every
// file to compress, written after every archive that reached its target, and
// saved to the parameters file once at the end of each pass.
class ArchiveCounter {
public:
    virtual ~ArchiveCounter() = default;
    virtual qint32 readLastFileNumber() = 0;
    virtual bool writeLastFileNumber(qint32 number) = 0;
    // Makes the last number written lasting; false when it could not be.
    virtual bool save() = 0;
};

// The counter kept in the parameters file. A number written is held in
// memory until save() puts it into the file, and reads give it back
// meanwhile; with nothing held, a read goes to the file, so a value changed
// there between passes is taken up.
//
// Why not every file: each write of the parameters file replaces it whole and
// flushes it and its folder to disk, which was a tenth of the time of a small
// file's trip. Held for a pass, the number a crash or a kill can cost goes
// back to the pass's start, and a number that goes back is harmless: the next
// compression skips every number still in use (an archive or a leftover of
// that number in the source folder, an archive in the target folder).
class SettingsArchiveCounter final : public ArchiveCounter {
public:
    explicit SettingsArchiveCounter(SettingsStore& store)
        : m_store(store) {}
    qint32 readLastFileNumber() override { return m_held ? *m_held : m_store.readLastFileNumber(); }
    bool writeLastFileNumber(qint32 number) override {
        m_held = number;
        return true;
    }
    // A number the file refused stays held, for the next save.
    bool save() override {
        if (!m_held)
            return true;
        if (!m_store.writeLastFileNumber(*m_held))
            return false;
        m_held.reset();
        return true;
    }

private:
    SettingsStore& m_store;
    std::optional<qint32> m_held;
};

} // namespace torvanelo
