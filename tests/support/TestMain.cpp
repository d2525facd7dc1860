#include "TestRegistry.h"

#include <QTest>

#ifdef TORVANELO_TEST_GUI
#include <QApplication>
using Application = QApplication;
#else
#include <QCoreApplication>
using Application = QCoreApplication;
#endif

// Runs every registered test class; arguments are handed to each (for
// example a test function name).
int main(int argc, char* argv[]) {
    Application application(argc, argv);
    int failures = 0;
    for (const auto& factory : torvanelo::test::registeredTests()) {
        const auto test = factory();
        failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
