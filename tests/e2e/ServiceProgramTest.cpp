#include "NameCodec.h"
#include "ParametersFile.h"
#include "SyslogSink.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "linux/LinuxFileSystem.h"

#include <QDir>
#include <QFile>
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

struct Dropped {
    QByteArray content;
    Attributes streams;
};

// The program folder of an installed service, as the unit runs it: chained
// pairs, the installed unit in a folder of its own, a stand-in systemctl
// first in the program's search (it answers the state queries and records
// every call), and a socket standing in for the system log.
class InstalledService {
public:
    InstalledService() {
        const QDir root(home.path());
        root.mkpath(u"depot/in"_s);
        root.mkpath(u"depot/middle"_s);
        root.mkpath(u"depot/out"_s);
        in = home.filePath(u"depot/in"_s);
        middle = home.filePath(u"depot/middle"_s);
        out = home.filePath(u"depot/out"_s);
        attributes = supportsUserAttributes(in);

        QVERIFY(writeFile(home.filePath(u"Torvanelo.w"_s), pairField(in) + ',' + pairField(middle)
                                                               + "\r\n" + pairField(middle) + ','
                                                               + pairField(out) + "\r\n"));
        // Only the first pass runs: the next would come an hour later.
        QVERIFY(writeFile(home.filePath(u"Torvanelo.ini"_s),
                          "[Configuration]\r\nTemporisation=3600\r\n[Rar_2]\r\nRar=1\r\n"));
        QVERIFY(writeFile(units.filePath(u"torvanelo.service"_s),
                          "# The installed unit; its content is systemd's business.\n"));
        const QString systemctl = home.filePath(u"systemctl"_s);
        QVERIFY(writeFile(systemctl, "#!/bin/sh\n"
                                     "printf '%s\\n' \"$*\" >> '"
                                         + QFile::encodeName(calls())
                                         + "'\n"
                                           "case \"$1\" in\n"
                                           "is-active) echo active ;;\n"
                                           "is-enabled) echo enabled ;;\n"
                                           "*) exit 1 ;;\n"
                                           "esac\n"));
        QVERIFY(QFile::setPermissions(systemctl, QFile::ReadOwner | QFile::WriteOwner
                                                     | QFile::ExeOwner | QFile::ExeGroup
                                                     | QFile::ExeOther));
        QVERIFY(log.bound);
    }

    QString calls() const { return home.filePath(u"systemctl.calls"_s); }

    void drop(const QString& name, const Dropped& file) {
        QVERIFY(writeFile(in + u'/' + name, file.content));
        if (attributes && !file.streams.empty())
            QVERIFY(writeAttributes(in + u'/' + name, file.streams));
        dropped[name] = file;
    }

    bool intact(const QString& folder, const QString& name) const {
        const auto found = dropped.find(name);
        if (found == dropped.end())
            return false;
        const QString path = folder + u'/' + name;
        if (readFile(path) != found->second.content)
            return false;
        return !attributes || readAttributes(path) == found->second.streams;
    }

    // Listed on raw bytes: QDir drops a name that is not UTF-8.
    std::vector<DirectoryEntry> list(const QString& folder) const {
        return files.list(folder).value_or(
            std::vector<DirectoryEntry>{DirectoryEntry{u"<unreadable folder>"_s}});
    }

    // Starts the built program as the unit does.
    void start(QProcess& process) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"TORVANELO_SERVICE"_s, u"1"_s);
        environment.insert(u"TORVANELO_HOME"_s, home.path());
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        environment.insert(u"TORVANELO_UNIT_FOLDER"_s, units.path());
        environment.insert(u"XDG_DATA_HOME"_s, dataHome.path());
        environment.insert(u"XDG_RUNTIME_DIR"_s, runtime.path());
        environment.insert(u"TORVANELO_SYSLOG_SOCKET"_s, log.path);
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(home.path());
        process.start(buildDir() + u"/torvanelo"_s, QStringList());
    }

    QTemporaryDir home;
    QTemporaryDir units;
    QTemporaryDir dataHome;
    QTemporaryDir runtime;
    SyslogSink log;
    LinuxFileSystem files;
    QString in;
    QString middle;
    QString out;
    bool attributes = false;
    std::map<QString, Dropped> dropped;
};

// Many files of many kinds: sizes from empty to tens of kilobytes, names
// with accents, blanks, a line break and bytes that are not UTF-8, streams
// with binary values.
void dropMany(InstalledService& service, int count) {
    for (int n = 0; n < count; ++n) {
        QString name = u"fichier %1.dat"_s.arg(n, 4, 10, QChar(u'0'));
        if (n % 50 == 1)
            name = u"Relevé d'été n°%1.txt"_s.arg(n);
        if (n % 50 == 2)
            name = decodeFileName("caf\xe9 " + QByteArray::number(n) + ".bin");
        if (n % 50 == 3)
            name = u"ligne\nbrisée %1"_s.arg(n);
        QByteArray content;
        for (int i = 0; i < (n * 97) % 30000; ++i)
            content.append(char((i * 31 + n) & 0xff));
        Attributes streams{{"user.n", std::to_string(n)}};
        if (n % 3 == 0)
            streams["user.com.apple.FinderInfo"] = std::string(32, char(n & 0xff));
        if (n % 7 == 0)
            streams["user.vide"] = std::string();
        service.drop(name, {content, streams});
    }
}

std::size_t countArchives(const std::vector<DirectoryEntry>& entries) {
    std::size_t count = 0;
    for (const DirectoryEntry& entry : entries)
        count += entry.name.endsWith(u".rar"_s) ? 1 : 0;
    return count;
}

} // namespace

// The built program run by the service manager: headless, from its unit's
// environment, stopped with SIGTERM in the middle of its first pass.
class ServiceProgramTest : public QObject {
    Q_OBJECT

private slots:
    void stopDuringAPassLosesNothing();
};

void ServiceProgramTest::stopDuringAPassLosesNothing() {
    InstalledService service;
    const int count = 400;
    dropMany(service, count);

    QProcess program;
    service.start(program);
    QVERIFY2(program.waitForStarted(-1), qPrintable(program.errorString()));
    const QByteArray pid = QByteArray::number(program.processId());

    // Its passes start at once: archives appear although the next pass is an
    // hour away. Stop it while most files still wait in the source folder.
    std::size_t archivesMade = 0;
    while (archivesMade < 5) {
        QVERIFY2(program.state() == QProcess::Running, program.readAllStandardError().constData());
        program.waitForFinished(5);
        archivesMade = countArchives(service.list(service.middle));
    }
    const std::size_t waitingWhenStopped = service.list(service.in).size();
    QVERIFY(waitingWhenStopped > 0);
    program.terminate();
    QVERIFY(program.waitForFinished(-1));
    const QByteArray errors = program.readAllStandardError();
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QVERIFY2(program.exitCode() == 0, errors.constData());

    QList<QByteArray> entries = service.log.received();
    for (QByteArray& entry : entries)
        entry = withoutStamp(entry);
    const QList<QByteArray> expected{"<14>Torvanelo[" + pid + "]: Torvanelo Service: started",
                                     "<14>Torvanelo[" + pid + "]: Torvanelo Service: stopped"};
    QCOMPARE(entries, expected);
    // The service manager was only asked whether the service runs (when the
    // passes stopped); nothing was installed, enabled or stopped.
    QCOMPARE(readFile(service.calls()).value_or("<no call>"),
             QByteArray("is-active torvanelo.service\n"));

    // Nothing is half-moved: the source folder holds untouched files under
    // their own names, the middle folder complete archives only, one per
    // file that left the source; the pass stopped before the second pair.
    const std::vector<DirectoryEntry> left = service.list(service.in);
    QVERIFY(!left.empty());
    for (const DirectoryEntry& entry : left) {
        QVERIFY2(service.intact(service.in, entry.name), qPrintable(entry.name));
        QVERIFY(!service.files.isHidden(service.in + u'/' + entry.name));
    }
    const std::vector<DirectoryEntry> archives = service.list(service.middle);
    QCOMPARE(countArchives(archives), archives.size());
    QCOMPARE(archives.size() + left.size(), service.dropped.size());
    QVERIFY(service.list(service.out).empty());

    // Run again as the service, ending after its pass: everything arrives,
    // intact by content, name and streams.
    ParametersFile parameters(service.home.filePath(u"Torvanelo.ini"_s));
    QVERIFY(parameters.WriteProfileValue(u"Configuration", u"ArretAutomatique", u"1"_s));
    QProcess again;
    service.start(again);
    QVERIFY(again.waitForFinished(-1));
    QCOMPARE(again.exitStatus(), QProcess::NormalExit);
    QVERIFY2(again.exitCode() == 0, again.readAllStandardError().constData());
    QVERIFY(service.list(service.in).empty());
    QVERIFY(service.list(service.middle).empty());
    const std::vector<DirectoryEntry> delivered = service.list(service.out);
    QCOMPARE(delivered.size(), service.dropped.size());
    for (const auto& [name, file] : service.dropped)
        QVERIFY2(service.intact(service.out, name), qPrintable(name));

    // QTemporaryDir cannot remove what QDir cannot name.
    for (const DirectoryEntry& entry : delivered)
        QVERIFY(service.files.remove(service.out + u'/' + entry.name));
}

TORVANELO_TEST(ServiceProgramTest);
#include "ServiceProgramTest.moc"
