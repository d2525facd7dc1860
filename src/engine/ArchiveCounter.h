#pragma once

#include "ArchiveNames.h"
#include "SettingsStore.h"

#include <QtGlobal>

#include <optional>

namespace torvanelo {

// The number of the last archive made ("LastFileNumber"). A number is
// claimed before it is used and recorded once its archive is made; save()
// ends a pass.
class ArchiveCounter {
public:
    virtual ~ArchiveCounter() = default;
    virtual qint32 readLastFileNumber() = 0;
    // Makes the stored counter stand at `number` or beyond before the number
    // is used, so that no number is ever given twice, not even after a kill
    // or a crash. False when that could not be written: the number must not
    // be used.
    virtual bool claim(qint32 number) = 0;
    virtual bool writeLastFileNumber(qint32 number) = 0;
    // Stores the last number made; false when it could not be.
    virtual bool save() = 0;
};

// The counter kept in the parameters file.
//
// Each write of the parameters file replaces it whole and flushes it and its
// folder, which costs about a tenth of a small file's trip; so a claim
// reserves a run of numbers at once by storing the last of them, and the
// numbers of the run are used without writing. A kill or a crash therefore
// skips at most the rest of a run, and never gives a number again: along a
// chain an archive that came back under a number already delivered could be
// taken for an older one. At the end of a pass the last number made is
// stored, so after a quiet pass the file reads the number of the last
// archive, as it always did.
class SettingsArchiveCounter final : public ArchiveCounter {
public:
    static constexpr qint32 NumbersClaimedAtOnce = 64;

    explicit SettingsArchiveCounter(SettingsStore& store)
        : m_store(store) {}

    qint32 readLastFileNumber() override { return m_last ? *m_last : m_store.readLastFileNumber(); }

    bool claim(qint32 number) override {
        if (m_claimed && number >= m_claimed->first && number <= m_claimed->second)
            return true;
        // A run stops at the largest number: the numbers start again at 0
        // with a run of their own.
        const qint32 last = qint32(
            std::min<qint64>(qint64(number) + NumbersClaimedAtOnce - 1, LargestArchiveNumber));
        if (!m_store.writeLastFileNumber(last))
            return false;
        m_claimed = std::make_pair(number, last);
        return true;
    }

    bool writeLastFileNumber(qint32 number) override {
        m_last = number;
        return true;
    }

    // The claimed run ends here: the next pass claims again before it uses
    // a number, since the file may now hold a lower one. A number the file
    // refused stays held for the next save; the file then still holds the
    // end of the run, which is beyond it.
    bool save() override {
        m_claimed.reset();
        if (!m_last)
            return true;
        if (!m_store.writeLastFileNumber(*m_last))
            return false;
        m_last.reset();
        return true;
    }

private:
    SettingsStore& m_store;
    std::optional<qint32> m_last;
    std::optional<std::pair<qint32, qint32>> m_claimed;
};

} // namespace torvanelo
