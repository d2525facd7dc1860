#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace torvanelo::test {

// Gives an environment variable its value (or its absence) back at the end
// of a test.
class EnvironmentGuard {
public:
    explicit EnvironmentGuard(const char* name)
        : m_name(name)
        , m_value(qgetenv(name))
        , m_set(qEnvironmentVariableIsSet(name)) {}
    ~EnvironmentGuard() {
        if (m_set)
            qputenv(m_name, m_value);
        else
            qunsetenv(m_name);
    }
    EnvironmentGuard(const EnvironmentGuard&) = delete;
    EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

private:
    const char* m_name;
    QByteArray m_value;
    bool m_set;
};

} // namespace torvanelo::test
