#pragma once

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

} // namespace torvanelo
