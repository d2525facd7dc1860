#include "NameCodec.h"
#include "PlatformTestSupport.h"
#include "ProgramFolder.h"
#include "ScratchFolder.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "linux/LinuxProcessRunner.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

using namespace torvanelo;
using namespace torvanelo::test;

namespace {

const QString Helper = QStringLiteral("platform_test_helper");

// What the helper program reported about its run.
struct HelperReport {
    QString folder;
    QByteArray input;
    QStringList arguments; // argv[0] included
};

std::optional<HelperReport> readReport(const QString& path) {
    const auto bytes = readFile(path);
    if (!bytes)
        return std::nullopt;
    QList<QByteArray> fields = bytes->split('\0');
    if (fields.size() < 7 || fields.takeLast().size() != 0 || fields[0] != "cwd"
        || fields[2] != "stdin" || fields[4] != "args")
        return std::nullopt;
    HelperReport report{decodeFileName(fields[1]), fields[3], {}};
    for (qsizetype i = 5; i < fields.size(); ++i)
        report.arguments.append(decodeFileName(fields[i]));
    return report;
}

// A shell script that writes its own name into a marker file when run.
bool writeMarkerScript(const QString& path, const QString& marker, mode_t mode = 0755) {
    const QByteArray script = "#!/bin/sh\nprintf '%s' '" + encodeFileName(path) + "' > '"
                              + encodeFileName(marker) + "'\n";
    return writeFile(path, script) && setMode(path, mode);
}

// True when a child of this process has ended without being reaped.
bool hasZombieChild() {
    siginfo_t info{};
    const int result = ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT);
    return result == 0 && info.si_pid != 0;
}

class RecordingSink final : public ConsoleSink {
public:
    void begin(const QString& commandLine) override {
        events.append(QStringLiteral("begin ") + commandLine);
    }
    void output(const QByteArray& bytes) override { received += bytes; }
    void end(int exitCode, bool crashed) override {
        events.append(QStringLiteral("end %1 %2").arg(exitCode).arg(crashed));
    }

    QStringList events;
    QByteArray received;
};

} // namespace

class ProcessRunnerTest : public QObject {
    Q_OBJECT

private:
    QString pathOf(const QString& name) const { return m_dir->path() + u'/' + name; }
    QString reportPath() const { return pathOf(QStringLiteral("report")); }

    std::unique_ptr<ScratchFolder> m_dir;
    std::unique_ptr<EnvironmentOverride> m_home;
    std::unique_ptr<EnvironmentOverride> m_report;
    LinuxProcessRunner m_runner;

private slots:
    void init() {
        m_dir = std::make_unique<ScratchFolder>();
        QVERIFY(m_dir->isValid());
        // The program folder is the executable's, where the helper lives.
        m_home = std::make_unique<EnvironmentOverride>("TORVANELO_HOME", std::nullopt);
        m_report = std::make_unique<EnvironmentOverride>("TORVANELO_HELPER_REPORT",
                                                         encodeFileName(reportPath()));
        QVERIFY2(LinuxProcessRunner::findProgram(Helper),
                 "the helper program must be built beside the test program");
    }
    void cleanup() {
        m_report.reset();
        m_home.reset();
        m_dir.reset();
        QVERIFY(!hasZombieChild());
    }

    void splitsByWindowsRules_data() {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("plain words")
            << QStringLiteral("a b c")
            << QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
        QTest::newRow("runs of blanks and tabs")
            << QStringLiteral("  a \t  b\t")
            << QStringList{QStringLiteral("a"), QStringLiteral("b")};
        QTest::newRow("quoted group") << QStringLiteral("\"a b\" c")
                                      << QStringList{QStringLiteral("a b"), QStringLiteral("c")};
        QTest::newRow("quotes inside a word")
            << QStringLiteral("ab\"c d\"e") << QStringList{QStringLiteral("abc de")};
        QTest::newRow("empty quotes are an empty word")
            << QStringLiteral("a \"\" b")
            << QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")};
        QTest::newRow("adjacent quoted parts")
            << QStringLiteral("\"a\"\"b\"") << QStringList{QStringLiteral("ab")};
        QTest::newRow("no escape character")
            << QStringLiteral("a\\\"b c\" d\\")
            << QStringList{QStringLiteral("a\\b c"), QStringLiteral("d\\")};
        QTest::newRow("shell characters stay literal")
            << QStringLiteral("$HOME ; | > * ~ `id` $(id) 'x'")
            << QStringList{QStringLiteral("$HOME"), QStringLiteral(";"),     QStringLiteral("|"),
                           QStringLiteral(">"),     QStringLiteral("*"),     QStringLiteral("~"),
                           QStringLiteral("`id`"),  QStringLiteral("$(id)"), QStringLiteral("'x'")};
        QTest::newRow("newline inside quotes")
            << QStringLiteral("\"a\nb\"") << QStringList{QStringLiteral("a\nb")};
        QTest::newRow("the compression line")
            << QStringLiteral("a -os \"/srv/in box/RA000124.rar\" \"/srv/in box/RA000124.r?\" -df")
            << QStringList{QStringLiteral("a"), QStringLiteral("-os"),
                           QStringLiteral("/srv/in box/RA000124.rar"),
                           QStringLiteral("/srv/in box/RA000124.r?"), QStringLiteral("-df")};
        QTest::newRow("names in any bytes")
            << QStringLiteral("\"") + decodeFileName("\xd0\x9f\xd0\xbb\xd0\xb0\xd0\xbd \xe9\xff")
                   + QStringLiteral("\"")
            << QStringList{decodeFileName("\xd0\x9f\xd0\xbb\xd0\xb0\xd0\xbd \xe9\xff")};
    }
    void splitsByWindowsRules() {
        QFETCH(QString, arguments);
        QFETCH(QStringList, expected);
        QVERIFY(m_runner.RunAndWait(Helper + u' ' + arguments, RunOptions{}));
        const auto report = readReport(reportPath());
        QVERIFY(report);
        QCOMPARE(report->arguments, QStringList{Helper} + expected);
    }

    void refusesLinesThatCannotBeSplit_data() {
        QTest::addColumn<QString>("commandLine");
        QTest::newRow("unbalanced quote") << Helper + QStringLiteral(" \"/srv/in\"box\".rar");
        QTest::newRow("unclosed quote at the end") << Helper + QStringLiteral(" a \"b");
        QTest::newRow("quoted program, unbalanced") << u'"' + Helper;
        QTest::newRow("empty line") << QString();
        QTest::newRow("only blanks") << QStringLiteral(" \t ");
        QTest::newRow("empty program name") << QStringLiteral("\"\" ") + Helper;
        QTest::newRow("argument holding NUL") << Helper + QStringLiteral(" a") + QChar(u'\0');
    }
    void refusesLinesThatCannotBeSplit() {
        QFETCH(QString, commandLine);
        QVERIFY(!m_runner.RunAndWait(commandLine, RunOptions{}));
        QVERIFY(!m_runner.runCapturing(commandLine).started);
        QVERIFY(!QFile::exists(reportPath())); // nothing ran
    }

    void looksUpProgramFolderThenExecutableFolderThenPath() {
        const QString home = pathOf(QStringLiteral("home"));
        const QString path1 = pathOf(QStringLiteral("path1"));
        const QString path2 = pathOf(QStringLiteral("path2"));
        const QString marker = pathOf(QStringLiteral("marker"));
        for (const QString& folder : {home, path1, path2})
            QVERIFY(::mkdir(encodeFileName(folder).constData(), 0755) == 0);
        const EnvironmentOverride homeVariable("TORVANELO_HOME", encodeFileName(home));
        const EnvironmentOverride pathVariable("PATH", encodeFileName(path1 + u':' + path2));

        // The helper lives in the executable's folder; one of its name in
        // the program folder comes first.
        QVERIFY(writeMarkerScript(home + u'/' + Helper, marker));
        QVERIFY(writeMarkerScript(path1 + u'/' + Helper, marker));
        QVERIFY(m_runner.RunAndWait(Helper, RunOptions{}));
        QCOMPARE(readFile(marker), std::optional(encodeFileName(home + u'/' + Helper)));
        QVERIFY(!QFile::exists(reportPath()));

        // Without it, the executable's folder comes before PATH.
        QVERIFY(QFile::remove(home + u'/' + Helper));
        QVERIFY(m_runner.RunAndWait(Helper, RunOptions{}));
        QVERIFY(readReport(reportPath()));

        // PATH in its order; a file that may not be run does not count.
        const QString name = QStringLiteral("tv-tool");
        QVERIFY(writeMarkerScript(home + u'/' + name, marker, 0644));
        QVERIFY(::mkdir(encodeFileName(path1 + u'/' + name).constData(), 0755) == 0);
        QVERIFY(writeMarkerScript(path2 + u'/' + name, marker));
        QVERIFY(m_runner.RunAndWait(name, RunOptions{}));
        QCOMPARE(readFile(marker), std::optional(encodeFileName(path2 + u'/' + name)));
        QCOMPARE(LinuxProcessRunner::findProgram(name), std::optional(path2 + u'/' + name));
    }

    void neverLooksInTheCurrentFolder() {
        const QString marker = pathOf(QStringLiteral("marker"));
        QVERIFY(::mkdir(encodeFileName(pathOf(QStringLiteral("sub"))).constData(), 0755) == 0);
        QVERIFY(writeMarkerScript(pathOf(QStringLiteral("tv-here")), marker));
        QVERIFY(writeMarkerScript(pathOf(QStringLiteral("sub/tv-here")), marker));
        const QByteArray former = QDir::currentPath().toLocal8Bit();
        QVERIFY(::chdir(encodeFileName(m_dir->path()).constData()) == 0);
        // Empty, "." and relative elements of PATH all mean the current folder.
        const EnvironmentOverride pathVariable("PATH", QByteArray(":.:sub::/usr/bin:"));
        const bool plain = m_runner.RunAndWait(QStringLiteral("tv-here"), RunOptions{});
        const bool dotted = m_runner.RunAndWait(QStringLiteral("./tv-here"), RunOptions{});
        const bool relative = m_runner.RunAndWait(QStringLiteral("sub/tv-here"), RunOptions{});
        QVERIFY(::chdir(former.constData()) == 0);
        QVERIFY(!plain);
        QVERIFY(!dotted);
        QVERIFY(!relative);
        QVERIFY(!QFile::exists(marker));

        // The same program by its absolute path runs.
        QVERIFY(m_runner.RunAndWait(pathOf(QStringLiteral("tv-here")), RunOptions{}));
        QVERIFY(QFile::exists(marker));
    }

    void missingProgramIsNotStarted() {
        const EnvironmentOverride pathVariable("PATH", QByteArray("/usr/bin:/bin"));
        QVERIFY(!m_runner.RunAndWait(QStringLiteral("rar-that-does-not-exist -?"), RunOptions{}));
        QVERIFY(!m_runner.runCapturing(QStringLiteral("rar-that-does-not-exist")).started);
        QVERIFY(!m_runner.RunAndWait(pathOf(QStringLiteral("missing")), RunOptions{}));
        // A script without an interpreter line cannot be executed.
        const QString bare = pathOf(QStringLiteral("bare"));
        QVERIFY(writeFile(bare, "true\n") && setMode(bare, 0755));
        QVERIFY(!m_runner.RunAndWait(bare, RunOptions{}));
    }

    void exitStatusIsIgnoredByRunAndWaitButReported() {
        const EnvironmentOverride exitStatus("TORVANELO_HELPER_EXIT", QByteArray("3"));
        QVERIFY(m_runner.RunAndWait(Helper, RunOptions{}));
        const RunResult result = m_runner.runCapturing(Helper + QStringLiteral(" x"));
        QVERIFY(result.started);
        QCOMPARE(result.exitCode, 3);
        QVERIFY(!result.crashed);

        const QString killer = pathOf(QStringLiteral("killer"));
        QVERIFY(writeFile(killer, "#!/bin/sh\nkill -9 $$\n") && setMode(killer, 0755));
        QVERIFY(m_runner.RunAndWait(killer, RunOptions{}));
        const RunResult killed = m_runner.runCapturing(killer);
        QVERIFY(killed.started);
        QVERIFY(killed.crashed);
    }

    void capturesStandardOutputAndError() {
        const EnvironmentOverride output("TORVANELO_HELPER_OUTPUT", QByteArray("hello"));
        const RunResult result = m_runner.runCapturing(Helper);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.output, QByteArray("helloE:hello"));
    }

    void capturesLongOutputWithoutStalling() {
        const QString script = pathOf(QStringLiteral("talker"));
        QVERIFY(writeFile(script, "#!/bin/sh\nhead -c 3000000 /dev/zero\necho end >&2\n")
                && setMode(script, 0755));
        const RunResult result = m_runner.runCapturing(script);
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.output.size(), qsizetype(3000004));
        QVERIFY(result.output.endsWith("end\n"));
    }

    void runsInTheWorkingFolderWithNoInput() {
        const QString folder = pathOf(decodeFileName("work \xe9 folder"));
        QVERIFY(::mkdir(encodeFileName(folder).constData(), 0755) == 0);
        const QString before = QDir::currentPath();
        RunOptions options;
        options.workingFolder = folder;
        QVERIFY(m_runner.RunAndWait(Helper, options));
        QCOMPARE(QDir::currentPath(), before);
        const auto report = readReport(reportPath());
        QVERIFY(report);
        QCOMPARE(report->folder, folder);
        QCOMPARE(report->input, QByteArray("null,eof"));

        QVERIFY(m_runner.runCapturing(Helper).started);
        QCOMPARE(readReport(reportPath())->input, QByteArray("null,eof"));
        QCOMPARE(readReport(reportPath())->folder, before);

        options.workingFolder = pathOf(QStringLiteral("missing"));
        QVERIFY(QFile::remove(reportPath()));
        QVERIFY(!m_runner.RunAndWait(Helper, options));
        QVERIFY(!QFile::exists(reportPath()));
    }

    void shownOutputGoesToTheConsoleSink() {
        const EnvironmentOverride output("TORVANELO_HELPER_OUTPUT", QByteArray("packing"));
        const EnvironmentOverride exitStatus("TORVANELO_HELPER_EXIT", QByteArray("5"));
        RecordingSink sink;
        m_runner.setConsoleSink(&sink);
        RunOptions shown;
        shown.show = true;
        const QString line = Helper + QStringLiteral(" a \"b c\"");
        QVERIFY(m_runner.RunAndWait(line, shown));
        QCOMPARE(sink.events,
                 (QStringList{QStringLiteral("begin ") + line, QStringLiteral("end 5 0")}));
        QCOMPARE(sink.received, QByteArray("packingE:packing"));
        QCOMPARE(readReport(reportPath())->input, QByteArray("null,eof"));

        // Hidden runs and runs that never start leave the console alone.
        QVERIFY(m_runner.RunAndWait(line, RunOptions{}));
        QVERIFY(!m_runner.RunAndWait(QStringLiteral("tv-missing"), shown));
        QCOMPARE(sink.events.size(), 2);
        m_runner.setConsoleSink(nullptr);
        QVERIFY(m_runner.RunAndWait(line, shown)); // shown without a console
    }

    void waitHookRunsWhileTheProgramRuns() {
        const QString flag = pathOf(QStringLiteral("flag"));
        const EnvironmentOverride waitFor("TORVANELO_HELPER_WAIT_FOR", encodeFileName(flag));
        int calls = 0;
        // The program ends only once the hook has run.
        m_runner.setWaitHook([&] {
            if (++calls % 3 == 0)
                writeFile(flag, QByteArray());
        });
        QVERIFY(m_runner.RunAndWait(Helper, RunOptions{}));
        QVERIFY(calls >= 3);
        QVERIFY(QFile::remove(flag));
        QVERIFY(m_runner.runCapturing(Helper).started);
        QVERIFY(calls >= 6);
        m_runner.setWaitHook({});
    }

    void leavesNoZombies() {
        for (int i = 0; i < 40; ++i) {
            QVERIFY(m_runner.RunAndWait(Helper + QStringLiteral(" run"), RunOptions{}));
            QVERIFY(m_runner.runCapturing(Helper).started);
            QVERIFY(!m_runner.RunAndWait(pathOf(QStringLiteral("missing")), RunOptions{}));
        }
        QVERIFY(m_runner.startShellDetached(QStringLiteral("true")));
        QVERIFY(!hasZombieChild());
        // No child is left at all.
        QCOMPARE(::waitpid(-1, nullptr, WNOHANG), -1);
    }

    void shellCommandStartsDetachedAndAsWritten() {
        const QString flag = pathOf(QStringLiteral("go"));
        const QString out = pathOf(QStringLiteral("out"));
        const QString command =
            QStringLiteral(
                "while [ ! -e '%1' ]; do sleep 0.01; done; printf '%s|%s' \"a  b\" 'c\"d' > '%2'")
                .arg(flag, out);
        // It returns while the command still waits for the flag.
        QVERIFY(m_runner.startShellDetached(command));
        QVERIFY(!QFile::exists(out));
        QVERIFY(writeFile(flag, QByteArray()));
        QTRY_VERIFY_WITH_TIMEOUT(readFile(out) == std::optional(QByteArray("a  b|c\"d")), 60000);
        QVERIFY(!hasZombieChild());
    }
};

TORVANELO_TEST(ProcessRunnerTest);
#include "ProcessRunnerTest.moc"
