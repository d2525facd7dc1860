#include "SystemInfo.h"

#include "PlatformTestSupport.h"
#include "ProgramFolder.h"
#include "SingleInstance.h"
#include "TestRegistry.h"

#include <QTest>

#include <sys/wait.h>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::StringLiterals;

class SystemInfoTest : public QObject {
    Q_OBJECT

private slots:
    // The system part of the window title, from os-release and the kernel.
    void describesTheSystem_data() {
        QTest::addColumn<QByteArray>("osRelease");
        QTest::addColumn<QByteArray>("kernel");
        QTest::addColumn<QString>("expected");
        const QByteArray debian =
            "NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n";
        QTest::newRow("Debian") << debian << "6.1.0-18-amd64"_ba
                                << u"Debian GNU/Linux 12 (bookworm) v.6.1, Build 0"_s;
        QTest::newRow("binary junk") << "\x00\xff\n=\n\"\nPRETTY_NAME=\"\xc3\xa9t\xc3\xa9\""_ba
                                     << "99999999999.1"_ba << u"été v.999999.1, Build 0"_s;
    }
    void describesTheSystem() {
        QFETCH(QByteArray, osRelease);
        QFETCH(QByteArray, kernel);
        QFETCH(QString, expected);
        QCOMPARE(describeSystem(osRelease, kernel), expected);
    }

    // TORVANELO_HOME names the program folder; unset or empty, it is the
    // executable's.
    void programFolderComesFromTheEnvironment_data() {
        QTest::addColumn<QByteArray>("home");
        QTest::addColumn<QString>("expected");
        QTest::newRow("trailing slashes") << "/srv/tv//"_ba << u"/srv/tv"_s;
        QTest::newRow("odd bytes") << "/srv/caf\xe9"_ba << decodeFileName("/srv/caf\xe9");
        QTest::newRow("relative") << "conf"_ba << QDir::currentPath() + u"/conf"_s;
        QTest::newRow("empty") << ""_ba << buildDir() + u"/tests/bin"_s;
    }
    void programFolderComesFromTheEnvironment() {
        QFETCH(QByteArray, home);
        QFETCH(QString, expected);
        const EnvironmentOverride variable("TORVANELO_HOME", home);
        QCOMPARE(programFolder(), expected);
        QCOMPARE(executableFolder(), buildDir() + u"/tests/bin"_s);
    }

    // A copy that died without unlocking leaves its lock to the next one;
    // root without a runtime folder locks elsewhere, and refuses a second
    // copy all the same.
    void lockOfADeadCopyIsTakenOver() {
        ScratchFolder runtime;
        const EnvironmentOverride variable("XDG_RUNTIME_DIR", encodeFileName(runtime.path()));
        const QString executable = u"/opt/torvanelo/torvanelo"_s;
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(SingleInstance(executable).acquire() ? 0 : 1);
        int status = -1;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QCOMPARE(status, 0);
        QCOMPARE(namesIn(runtime.path()).size(), 1);
        SingleInstance mine(executable);
        QVERIFY(mine.acquire());
        QVERIFY(SingleInstance(u"/opt/other copy/torvanelo"_s).acquire());

        const EnvironmentOverride gone("XDG_RUNTIME_DIR", "/nonexistent/runtime"_ba);
        SingleInstance first(runtime.filePath(u"torvanelo"_s));
        QVERIFY(first.acquire());
        QVERIFY(!SingleInstance(runtime.filePath(u"torvanelo"_s)).acquire());
    }
};

TORVANELO_TEST(SystemInfoTest);
#include "SystemInfoTest.moc"
