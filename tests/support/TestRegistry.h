#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

namespace torvanelo::test {

using TestFactory = std::function<std::unique_ptr<QObject>()>;

// Test classes register themselves; the shared main runs them in turn.
std::vector<TestFactory>& registeredTests();

struct Registration {
    explicit Registration(TestFactory factory) { registeredTests().push_back(std::move(factory)); }
};

} // namespace torvanelo::test

// Put after the test class, in its .cpp file (which also includes its .moc).
#define TORVANELO_TEST(Class)                                                                      \
    static const ::torvanelo::test::Registration registration_##Class(                             \
        [] { return std::unique_ptr<QObject>(new Class); })
