#include "TestRegistry.h"

namespace torvanelo::test {

std::vector<TestFactory>& registeredTests() {
    static std::vector<TestFactory> tests;
    return tests;
}

} // namespace torvanelo::test
