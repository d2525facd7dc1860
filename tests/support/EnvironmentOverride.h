#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <optional>

namespace torvanelo::test {

// Sets (or, with nullopt, removes) an environment variable for the life of
// the object; the former value comes back afterwards.
class EnvironmentOverride {
public:
    EnvironmentOverride(const char* name, const std::optional<QByteArray>& value)
        : m_name(name)
        , m_former(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt) {
        value ? qputenv(name, *value) : qunsetenv(name);
    }
    ~EnvironmentOverride() {
        m_former ? qputenv(m_name.constData(), *m_former) : qunsetenv(m_name.constData());
    }
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

private:
    QByteArray m_name;
    std::optional<QByteArray> m_former;
};

} // namespace torvanelo::test
