#include "SystemInfo.h"

#include "NameCodec.h"
#include "PlatformTestSupport.h"
#include "ProgramFolder.h"
#include "ScratchFolder.h"
#include "SingleInstance.h"
#include "TestFiles.h"
#include "TestRegistry.h"

#include <QDir>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

using namespace torvanelo;
using namespace torvanelo::test;

class SystemInfoTest : public QObject {
    Q_OBJECT

private slots:
    void describesTheSystem_data() {
        QTest::addColumn<QByteArray>("osRelease");
        QTest::addColumn<QByteArray>("kernel");
        QTest::addColumn<QString>("expected");
        const QByteArray debian = "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian "
                                  "GNU/Linux\"\nVERSION_ID=\"12\"\n";
        QTest::newRow("Debian kernel")
            << debian << QByteArray("6.1.0-18-amd64")
            << QStringLiteral("Debian GNU/Linux 12 (bookworm) v.6.1, Build 0");
        QTest::newRow("patch level")
            << debian << QByteArray("6.18.44-fc-v1403")
            << QStringLiteral("Debian GNU/Linux 12 (bookworm) v.6.18, Build 44");
        QTest::newRow("two numbers only")
            << debian << QByteArray("5.10")
            << QStringLiteral("Debian GNU/Linux 12 (bookworm) v.5.10, Build 0");
        QTest::newRow("no kernel release")
            << debian << QByteArray()
            << QStringLiteral("Debian GNU/Linux 12 (bookworm) v.0.0, Build 0");
        QTest::newRow("single quotes")
            << QByteArray("PRETTY_NAME='Arch Linux'\n") << QByteArray("6.9.1-arch1")
            << QStringLiteral("Arch Linux v.6.9, Build 1");
        QTest::newRow("bare value, CR LF")
            << QByteArray("ID=x\r\nPRETTY_NAME=Gentoo\r\n") << QByteArray("6.6.13")
            << QStringLiteral("Gentoo v.6.6, Build 13");
        QTest::newRow("escaped quote")
            << QByteArray("PRETTY_NAME=\"My \\\"Linux\\\" \\\\ 1\"\n") << QByteArray("6.1.0")
            << QStringLiteral("My \"Linux\" \\ 1 v.6.1, Build 0");
        QTest::newRow("first of two")
            << QByteArray("PRETTY_NAME=\"One\"\nPRETTY_NAME=\"Two\"\n") << QByteArray("6.1.0")
            << QStringLiteral("One v.6.1, Build 0");
        QTest::newRow("missing") << QByteArray("NAME=\"Debian\"\n") << QByteArray("6.1.0")
                                 << QStringLiteral("Linux v.6.1, Build 0");
        QTest::newRow("empty") << QByteArray("PRETTY_NAME=\n") << QByteArray("6.1.0")
                               << QStringLiteral("Linux v.6.1, Build 0");
        QTest::newRow("binary junk")
            << QByteArray("\x00\xff\n=\n\"\nPRETTY_NAME=\"\xc3\xa9t\xc3\xa9\"", 26)
            << QByteArray("99999999999.1") << QStringLiteral("été v.999999.1, Build 0");
    }
    void describesTheSystem() {
        QFETCH(QByteArray, osRelease);
        QFETCH(QByteArray, kernel);
        QFETCH(QString, expected);
        QCOMPARE(describeSystem(osRelease, kernel), expected);
    }

    void programFolderComesFromTheEnvironment_data() {
        QTest::addColumn<QByteArray>("home");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << QByteArray("/srv/torvanelo") << QStringLiteral("/srv/torvanelo");
        QTest::newRow("trailing slashes")
            << QByteArray("/srv/torvanelo//") << QStringLiteral("/srv/torvanelo");
        QTest::newRow("root") << QByteArray("/") << QStringLiteral("/");
        QTest::newRow("odd bytes") << QByteArray("/srv/caf\xe9") << decodeFileName("/srv/caf\xe9");
        QTest::newRow("relative") << QByteArray("conf")
                                  << QDir::currentPath() + QStringLiteral("/conf");
    }
    void programFolderComesFromTheEnvironment() {
        QFETCH(QByteArray, home);
        QFETCH(QString, expected);
        const EnvironmentOverride variable("TORVANELO_HOME", home);
        QCOMPARE(programFolder(), expected);
        QVERIFY(executableFolder() != expected);
    }

    void programFolderDefaultsToTheExecutables() {
        const EnvironmentOverride unset("TORVANELO_HOME", std::nullopt);
        const EnvironmentOverride empty("TORVANELO_HOME", QByteArray());
        QCOMPARE(programFolder(), buildDir() + QStringLiteral("/tests/bin"));
        QCOMPARE(executableFolder(), buildDir() + QStringLiteral("/tests/bin"));
    }
};

// A second copy of the same executable is refused; a copy that died leaves
// its lock to the next one.
class SingleInstanceTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ScratchFolder> m_runtime;
    std::unique_ptr<EnvironmentOverride> m_variable;

    // Forks a child that takes the lock for executable and holds it until
    // the returned pipe is closed; -1 when that failed.
    static int holdInChild(const QString& executable, pid_t& child) {
        int ready[2];
        int release[2];
        if (::pipe(ready) != 0 || ::pipe(release) != 0)
            return -1;
        child = ::fork();
        if (child == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            SingleInstance instance(executable);
            const char answer = instance.acquire() ? 'y' : 'n';
            if (::write(ready[1], &answer, 1) != 1)
                ::_exit(1);
            char byte = 0;
            while (::read(release[0], &byte, 1) > 0) {
            }
            ::_exit(0); // no unlocking: as if the program died
        }
        ::close(ready[1]);
        ::close(release[0]);
        char answer = 0;
        const bool held = ::read(ready[0], &answer, 1) == 1 && answer == 'y';
        ::close(ready[0]);
        if (!held) {
            ::close(release[1]);
            return -1;
        }
        return release[1];
    }

    static bool reap(pid_t child) {
        int status = 0;
        return ::waitpid(child, &status, 0) == child && WIFEXITED(status)
               && WEXITSTATUS(status) == 0;
    }

private slots:
    void init() {
        m_runtime = std::make_unique<ScratchFolder>();
        QVERIFY(m_runtime->isValid());
        m_variable = std::make_unique<EnvironmentOverride>("XDG_RUNTIME_DIR",
                                                           encodeFileName(m_runtime->path()));
    }
    void cleanup() {
        m_variable.reset();
        m_runtime.reset();
    }

    void secondCopyIsRefused() {
        SingleInstance first(QStringLiteral("/opt/torvanelo/torvanelo"));
        QVERIFY(first.acquire());
        QVERIFY(first.acquire()); // asking again keeps the lock
        SingleInstance second(QStringLiteral("/opt/torvanelo/torvanelo"));
        QVERIFY(!second.acquire());
        SingleInstance elsewhere(QStringLiteral("/opt/other copy/torvanelo"));
        QVERIFY(elsewhere.acquire());
        QCOMPARE(QDir(m_runtime->path()).entryList(QDir::Files).size(), 2);
    }

    void lockOfALiveCopyHoldsAndADeadOneIsTakenOver() {
        const QString executable = QStringLiteral("/opt/torvanelo/torvanelo");
        pid_t child = -1;
        const int release = holdInChild(executable, child);
        QVERIFY(release >= 0);
        {
            SingleInstance mine(executable);
            QVERIFY(!mine.acquire());
        }
        ::close(release);
        QVERIFY(reap(child));
        SingleInstance mine(executable);
        QVERIFY(mine.acquire());
    }

    void withoutRuntimeFolderAnotherFolderServes() {
        const EnvironmentOverride gone("XDG_RUNTIME_DIR", QByteArray("/nonexistent/runtime"));
        const QString executable = m_runtime->path() + QStringLiteral("/torvanelo");
        SingleInstance first(executable);
        QVERIFY(first.acquire());
        SingleInstance second(executable);
        QVERIFY(!second.acquire());
    }
};

TORVANELO_TEST(SystemInfoTest);
TORVANELO_TEST(SingleInstanceTest);
#include "SystemInfoTest.moc"
