#include "PlatformTestSupport.h"
#include "ProgramFolder.h"
#include "SingleInstance.h"
#include "SystemInfo.h"
#include "TestRegistry.h"
#include "linux/LinuxProcessRunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>

#include <fcntl.h>
#include <sys/wait.h>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::StringLiterals;

namespace {

// A script that reports its current folder, its standard input (what it is
// and whether it is at its end at once) and every argument, NUL-terminated.
QByteArray reportScript(const QString& report) {
    return "#!/bin/sh\nif read -r l; then s=data; else s=eof; fi\nprintf '%s\\0' \"$(pwd -P)\" "
           "\"$(readlink /proc/self/fd/0) $s\" \"$@\" > '"
           + encodeFileName(report) + "'\n";
}

} // namespace

class ProcessRunnerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchFolder> m_dir;
    std::unique_ptr<EnvironmentOverride> m_home;
    QString m_former;
    int m_input = -1; // our own standard input, put back after each test
    LinuxProcessRunner m_runner;

    QString pathOf(const QString& name) const { return m_dir->filePath(name); }
    QString home() const { return pathOf(u"home"_s); }
    QString reportPath() const { return pathOf(u"report"_s); }
    // The report of the last run: folder, input, then each argument.
    QStringList report() const {
        QStringList decoded;
        for (const QByteArray& field : readFile(reportPath()).value_or(QByteArray()).split('\0'))
            decoded.append(decodeFileName(field));
        return decoded.mid(0, decoded.size() - 1); // nothing after the last NUL
    }

private slots:
    // The program folder holds tv-report; the current folder is the
    // scratch folder, where the runner must never look.
    void init() {
        m_dir = std::make_unique<ScratchFolder>();
        QVERIFY(m_dir->isValid() && ::mkdir(encodeFileName(home()).constData(), 0755) == 0);
        m_home = std::make_unique<EnvironmentOverride>("TORVANELO_HOME", encodeFileName(home()));
        QVERIFY(writeScript(home() + u"/tv-report"_s, reportScript(reportPath())));
        m_former = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir->path()));
        // Our input holds an answer that a program inheriting it would read.
        QVERIFY(writeFile(pathOf(u"answer"_s), "yes\n"));
        const int answer = ::open(encodeFileName(pathOf(u"answer"_s)).constData(), O_RDONLY);
        m_input = ::dup(0);
        QVERIFY(answer >= 0 && m_input >= 0 && ::dup2(answer, 0) == 0 && ::close(answer) == 0);
    }
    void cleanup() {
        QVERIFY(::dup2(m_input, 0) == 0 && ::close(m_input) == 0);
        QVERIFY(QDir::setCurrent(m_former));
        m_home.reset();
        m_dir.reset();
        // Every child was reaped, and none is left running.
        QCOMPARE(::waitpid(-1, nullptr, WNOHANG), -1);
    }

    // Arguments reach the program exactly as the Windows rules split them:
    // no shell, no escapes. It runs in the working folder asked for (and
    // not at all when that is missing), with /dev/null at its end as input.
    void splitsByWindowsRules_data() {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("expected"); // the words, joined by '|'
        QTest::newRow("runs of blanks and tabs") << u"  a \t  b\t"_s << u"a|b"_s;
        QTest::newRow("quoted group") << u"\"a b\" c"_s << u"a b|c"_s;
        QTest::newRow("quotes inside a word") << u"ab\"c d\"e"_s << u"abc de"_s;
        QTest::newRow("empty quotes") << u"a \"\" b"_s << u"a||b"_s;
        QTest::newRow("adjacent quoted parts") << u"\"a\"\"b\""_s << u"ab"_s;
        QTest::newRow("no escape character") << u"a\\\"b c\" d\\"_s << u"a\\b c|d\\"_s;
        QTest::newRow("shell characters stay literal")
            << u"$HOME ; > * ~ `id` $(id) 'x'"_s << u"$HOME|;|>|*|~|`id`|$(id)|'x'"_s;
        QTest::newRow("newline inside quotes") << u"\"a\nb\""_s << u"a\nb"_s;
        QTest::newRow("the compression line")
            << u"a -os \"/srv/in box/RA000124.rar\" \"/srv/in box/RA000124.r?\" -df"_s
            << u"a|-os|/srv/in box/RA000124.rar|/srv/in box/RA000124.r?|-df"_s;
        const QString odd = decodeFileName("\xd0\x9f\xd0\xbb\xd0\xb0\xd0\xbd \xe9\xff");
        QTest::newRow("names in any bytes") << u'"' + odd + u'"' << odd;
    }
    void splitsByWindowsRules() {
        QFETCH(QString, arguments);
        QFETCH(QString, expected);
        const QString here = QDir::currentPath();
        RunOptions options{false, pathOf(u"missing"_s)};
        QVERIFY(!m_runner.RunAndWait(u"tv-report"_s, options));
        QVERIFY(!QFile::exists(reportPath()));
        options.workingFolder = here + decodeFileName("/work \xe9 folder");
        QVERIFY(::mkdir(encodeFileName(options.workingFolder).constData(), 0755) == 0);
        QVERIFY(m_runner.RunAndWait(u"tv-report "_s + arguments, options));
        QCOMPARE(QDir::currentPath(), here);
        QCOMPARE(report().mid(0, 2), QStringList({options.workingFolder, u"/dev/null eof"_s}));
        QCOMPARE(report().mid(2).join(u'|'), expected);
    }

    // Nothing runs for a line that cannot be split safely, a program that
    // is missing or cannot be executed, or one found only through the
    // current folder (empty, "." and relative PATH elements mean it).
    void refusesWhatCannotRunSafely_data() {
        QTest::addColumn<QString>("commandLine");
        QTest::newRow("unbalanced quote") << u"tv-report \"/srv/in\"box\".rar"_s;
        QTest::newRow("quoted program, unbalanced") << u"\"tv-report"_s;
        QTest::newRow("only blanks") << u" \t "_s;
        QTest::newRow("empty program name") << u"\"\" tv-report"_s;
        QTest::newRow("argument holding NUL") << u"tv-report a"_s + QChar(u'\0');
        QTest::newRow("missing program") << u"rar-that-does-not-exist -?"_s;
        QTest::newRow("missing absolute path") << u"/nonexistent/rar"_s;
        QTest::newRow("script without interpreter line") << u"bare"_s;
        QTest::newRow("in the current folder") << u"tv-here"_s;
        QTest::newRow("./ in the current folder") << u"./tv-here"_s;
        QTest::newRow("relative path") << u"sub/tv-here"_s;
        QTest::newRow("relative PATH element") << u"tv-sub"_s;
    }
    void refusesWhatCannotRunSafely() {
        QFETCH(QString, commandLine);
        const EnvironmentOverride path("PATH", ":.:sub::/usr/bin:"_ba);
        QVERIFY(::mkdir("sub", 0755) == 0);
        QVERIFY(writeScript(home() + u"/bare"_s, "true\n"));
        for (const QString& name : {u"tv-here"_s, u"sub/tv-here"_s, u"sub/tv-sub"_s})
            QVERIFY(writeScript(pathOf(name), reportScript(reportPath())));
        QVERIFY(!m_runner.RunAndWait(commandLine, RunOptions{}));
        QVERIFY(!m_runner.runCapturing(commandLine).started);
        QVERIFY(!QFile::exists(reportPath()));
    }

    // The program folder first, then the executable's folder, then PATH in
    // its order; only a regular file that may be executed counts.
    void looksUpProgramFolderThenExecutableFolderThenPath() {
        const QString self = QCoreApplication::applicationFilePath();
        const QString name = QFileInfo(self).fileName();
        const QString path1 = pathOf(u"path1"_s);
        const QString path2 = pathOf(u"path2"_s);
        QVERIFY(QDir().mkdir(path1) && QDir().mkdir(path2));
        const EnvironmentOverride pathVariable("PATH", encodeFileName(path1 + u':' + path2));
        QVERIFY(writeScript(path1 + u'/' + name, "#!/bin/sh\n"));
        QCOMPARE(LinuxProcessRunner::findProgram(name), std::optional(self));
        QVERIFY(writeScript(home() + u'/' + name, "#!/bin/sh\n"));
        QCOMPARE(LinuxProcessRunner::findProgram(name), std::optional(home() + u'/' + name));

        QVERIFY(writeFile(home() + u"/tv-tool"_s, "#!/bin/sh\n")); // not executable
        QVERIFY(QDir().mkdir(path1 + u"/tv-tool"_s));
        QVERIFY(writeScript(path2 + u"/tv-tool"_s, reportScript(reportPath())));
        QVERIFY(m_runner.RunAndWait(u"tv-tool x"_s, RunOptions{}));
        QCOMPARE(report().mid(2), QStringList{u"x"_s});
    }

    // A captured run (the service manager's queries) gets the output,
    // errors included, and how the program ended; RunAndWait judges
    // nothing but the start.
    void reportsOutputAndEnd_data() {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QString>("ending"); // exit code, crashed
        QTest::newRow("exit status") << "exit 3"_ba << QByteArray() << u"3 0"_s;
        QTest::newRow("output, then errors") << "printf out; printf err >&2"_ba
                                             << "outerr"_ba << u"0 0"_s;
        QTest::newRow("killed") << "kill -9 $$"_ba << QByteArray() << u"-1 1"_s;
        QTest::newRow("no input to wait for") << "cat; readlink /proc/self/fd/0"_ba
                                              << "/dev/null\n"_ba << u"0 0"_s;
        QTest::newRow("3 MB never stall the pipe")
            << "head -c 3000000 /dev/zero; echo end >&2"_ba << QByteArray(3000000, '\0') + "end\n"
            << u"0 0"_s;
    }
    void reportsOutputAndEnd() {
        QFETCH(QByteArray, script);
        QFETCH(QByteArray, output);
        QFETCH(QString, ending);
        const QString program = home() + u"/tv-script"_s;
        QVERIFY(writeScript(program, "#!/bin/sh\n" + script + '\n'));
        QVERIFY(m_runner.RunAndWait(u"tv-script"_s, RunOptions{}));
        const RunResult captured = m_runner.runCapturing(program);
        QCOMPARE(captured.output, output);
        QCOMPARE(u"%1 %2"_s.arg(captured.exitCode).arg(captured.crashed), ending);
    }

    // The administrator's text runs through the shell as written, and the
    // call returns while it still runs.
    void shellCommandStartsDetachedAndAsWritten() {
        const QString flag = pathOf(u"go"_s);
        const QString out = pathOf(u"out"_s);
        QVERIFY(m_runner.startShellDetached(
            u"while [ ! -e '%1' ]; do sleep 0.01; done; printf '%s|%s' \"a  b\" 'c\"d' > '%2'"_s
                .arg(flag, out)));
        QVERIFY(!QFile::exists(out));
        QVERIFY(writeFile(flag, QByteArray()));
        QTRY_VERIFY_WITH_TIMEOUT(readFile(out) == std::optional("a  b|c\"d"_ba), 60000);
    }
};

class SystemInfoTest : public QObject {
    Q_OBJECT

private slots:
    // The system part of the window title, from os-release and the kernel.
    void describesTheSystem() {
        QCOMPARE(describeSystem("NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n",
                                "6.1.0-18-amd64"),
                 u"Debian GNU/Linux 12 (bookworm) v.6.1, Build 0"_s);
        QCOMPARE(describeSystem("\x00\xff\n=\n\"\nPRETTY_NAME=\"\xc3\xa9t\xc3\xa9\""_ba,
                                "99999999999.1"),
                 u"été v.999999.1, Build 0"_s);
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
            ::_exit(SingleInstance(executable, u"/"_s).acquire() ? 0 : 1);
        int status = -1;
        QVERIFY(::waitpid(child, &status, 0) == child && status == 0);
        QCOMPARE(namesIn(runtime.path()).size(), 2); // the executable's and the folder's
        SingleInstance mine(executable, u"/"_s);
        QVERIFY(mine.acquire());
        QVERIFY(SingleInstance(u"/opt/other copy/torvanelo"_s, runtime.path()).acquire());

        const EnvironmentOverride gone("XDG_RUNTIME_DIR", "/nonexistent/runtime"_ba);
        SingleInstance first(runtime.filePath(u"torvanelo"_s), runtime.path());
        QVERIFY(first.acquire());
        QVERIFY(!SingleInstance(runtime.filePath(u"torvanelo"_s), runtime.path()).acquire());
    }
};

TORVANELO_TEST(ProcessRunnerTest);
TORVANELO_TEST(SystemInfoTest);
#include "ProcessRunnerTest.moc"
