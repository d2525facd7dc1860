#include "NameCodec.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "linux/LinuxFileSystem.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <map>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

// A pair file field: the hex of the path's UTF-16 code units, low byte first.
QByteArray pairField(const QString& path) {
    QByteArray hex;
    for (const QChar unit : path) {
        const char16_t code = unit.unicode();
        hex += QByteArray::number(code & 0xff, 16).rightJustified(2, '0').toUpper();
        hex += QByteArray::number(code >> 8, 16).rightJustified(2, '0').toUpper();
    }
    return '"' + hex + '"';
}

QString programPath() {
    return buildDir() + u"/torvanelo"_s;
}

// The built program, headless, in its own program folder and with its own
// runtime folder (so copies run by other tests never meet its lock).
class ProgramRun {
public:
    ProgramRun(const QString& home, const QString& runtime) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"TORVANELO_HOME"_s, home);
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        environment.insert(u"XDG_RUNTIME_DIR"_s, runtime);
        environment.remove(u"TORVANELO_SERVICE"_s);
        m_process.setProcessEnvironment(environment);
        m_process.setWorkingDirectory(home);
        m_process.start(programPath(), QStringList());
    }
    ~ProgramRun() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(-1);
        }
    }
    QProcess& process() { return m_process; }
    // Waits for the end, without a time limit of its own.
    bool finish() { return m_process.waitForFinished(-1); }

private:
    QProcess m_process;
};

} // namespace

// The built program as a user or a batch job runs it.
class ProgramRunTest : public QObject {
    Q_OBJECT

private slots:
    void batchRunDeliversChainedFiles();
    void secondCopyIsRefused();
    void oddHexPairFileEndsItUntouched();
};

void ProgramRunTest::batchRunDeliversChainedFiles() {
    QTemporaryDir home;
    QTemporaryDir runtime;
    QDir(home.path()).mkpath(u"depot/in"_s);
    QDir(home.path()).mkpath(u"depot/middle"_s);
    QDir(home.path()).mkpath(u"depot/out"_s);
    const QString in = home.filePath(u"depot/in"_s);
    const QString middle = home.filePath(u"depot/middle"_s);
    const QString out = home.filePath(u"depot/out"_s);
    const bool attributes = supportsUserAttributes(in);

    struct Dropped {
        QByteArray content;
        Attributes streams;
    };
    // Names of every kind a Linux folder may hold, a Unicode one, one that is
    // not UTF-8 at all, an empty file, binary data and attribute values.
    const std::map<QString, Dropped> dropped{
        {u"Plan.doc"_s,
         {QByteArray("plan"),
          {{"user.com.apple.FinderInfo", std::string(32, '\0')},
           {"user.com.apple.ResourceFork", std::string("\x00\xff rsrc", 7)}}}},
        {u"Relevé d'été (2024).txt"_s, {QByteArray("des données\n"), {{"user.note", "été"}}}},
        {decodeFileName(QByteArray("caf\xe9 latin-1.bin")),
         {QByteArray("\x00\x01\x02\xff", 4), {}}},
        {u"vide"_s, {QByteArray(), {{"user.empty", std::string()}}}},
    };
    for (const auto& [name, file] : dropped) {
        QVERIFY(writeFile(in + u'/' + name, file.content));
        if (attributes && !file.streams.empty())
            QVERIFY(writeAttributes(in + u'/' + name, file.streams));
    }

    QVERIFY(writeFile(home.filePath(u"Torvanelo.w"_s), pairField(in) + ',' + pairField(middle)
                                                           + "\r\n" + pairField(middle) + ','
                                                           + pairField(out) + "\r\n"));
    QVERIFY(writeFile(home.filePath(u"Torvanelo.ini"_s),
                      "[Configuration]\r\nAutomatique=1\r\nArretAutomatique=1\r\n"
                      "[Rar_2]\r\nRar=1\r\n"));

    ProgramRun run(home.path(), runtime.path());
    QVERIFY(run.finish());
    const QByteArray errors = run.process().readAllStandardError();
    QCOMPARE(run.process().exitStatus(), QProcess::NormalExit);
    QVERIFY2(run.process().exitCode() == 0, errors.constData());

    // Listed on raw bytes: QDir drops a name that is not UTF-8.
    LinuxFileSystem files;
    QCOMPARE(files.list(in).value_or(std::vector<DirectoryEntry>(1)).size(), std::size_t(0));
    QCOMPARE(files.list(middle).value_or(std::vector<DirectoryEntry>(1)).size(), std::size_t(0));
    const auto delivered = files.list(out);
    QVERIFY(delivered.has_value());
    QCOMPARE(delivered->size(), dropped.size());
    for (const auto& [name, file] : dropped) {
        const QString path = out + u'/' + name;
        QVERIFY2(readFile(path).has_value(), qPrintable(name));
        QCOMPARE(*readFile(path), file.content);
        if (attributes)
            QCOMPARE(readAttributes(path).value_or(Attributes{{"unreadable", ""}}), file.streams);
    }
    // One archive per file was made and counted.
    QVERIFY(readFile(home.filePath(u"Torvanelo.ini"_s))
                ->contains("LastFileNumber=" + QByteArray::number(int(dropped.size()))));
    // QTemporaryDir cannot remove what QDir cannot name.
    for (const DirectoryEntry& entry : *delivered)
        QVERIFY(files.remove(out + u'/' + entry.name));
}

void ProgramRunTest::secondCopyIsRefused() {
    QTemporaryDir firstHome;
    QTemporaryDir secondHome;
    QTemporaryDir runtime;
    QVERIFY(writeFile(secondHome.filePath(u"Torvanelo.ini"_s), "[Configuration]\nLangue=1\n"));
    ProgramRun first(firstHome.path(), runtime.path());
    QVERIFY(first.process().waitForStarted(-1));
    // The first copy holds its lock once its lock file is there.
    QTRY_VERIFY_WITH_TIMEOUT(
        !QDir(runtime.path()).entryList({u"torvanelo-*.lock"_s}, QDir::Files).isEmpty(), 120000);

    ProgramRun second(secondHome.path(), runtime.path());
    QVERIFY(second.finish());
    QCOMPARE(second.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.process().exitCode(), 1);
    QVERIFY(QString::fromUtf8(second.process().readAllStandardError())
                .contains(u"Torvanelo: Programme déjà lancé"_s));
    // The first copy goes on, untold.
    QCOMPARE(first.process().state(), QProcess::Running);
    QCOMPARE(*readFile(secondHome.filePath(u"Torvanelo.ini"_s)),
             QByteArray("[Configuration]\nLangue=1\n"));
}

void ProgramRunTest::oddHexPairFileEndsItUntouched() {
    QTemporaryDir home;
    QTemporaryDir runtime;
    const QByteArray pairs("\"2F0074006D007\",\"\"\r\n");
    const QString pairFile = home.filePath(u"Torvanelo.w"_s);
    QVERIFY(writeFile(pairFile, pairs));
    ProgramRun run(home.path(), runtime.path());
    QVERIFY(run.finish());
    QCOMPARE(run.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.process().exitCode(), 1);
    QVERIFY(QString::fromUtf8(run.process().readAllStandardError())
                .contains(u"Invalid hexa string in the parameters file "_s + pairFile));
    QCOMPARE(*readFile(pairFile), pairs);
    QVERIFY(!QFile::exists(home.filePath(u"Torvanelo.ini"_s)));
}

TORVANELO_TEST(ProgramRunTest);
#include "ProgramRunTest.moc"
