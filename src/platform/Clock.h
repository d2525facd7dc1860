#pragma once

#include <QDateTime>

namespace torvanelo {

// "Now" comes from outside so that tests can drive dates and times.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0; // local time
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

} // namespace torvanelo
