#pragma once

#include "SystemLog.h"

#include <vector>

namespace torvanelo::test {

// Keeps every entry written to the system log, in order.
class RecordingSystemLog final : public SystemLog {
public:
    struct Entry {
        LogLevel level;
        QString text;
        friend bool operator==(const Entry&, const Entry&) = default;
    };

    void write(LogLevel level, const QString& text) override { entries.push_back({level, text}); }

    std::vector<Entry> entries;
};

} // namespace torvanelo::test
