// The built program left running as a user runs it (headless, a pass every
// second over a compressing pair chained to an uncompressing pair) while
// files are dropped into it over time, some written slowly by another
// process while the scan meets them, some renamed or deleted by the user on
// their way, and the archiver is killed at random moments. At the end every
// file is in the last folder exactly once, with its bytes, its name and its
// extended attributes, and one last pass leaves nothing in between.
//
// TORVANELO_SOAK_FILES sets the number of files (300 here; `./bench --soak`
// runs 5,000), TORVANELO_SOAK_SEED the seed of the workload.

#include "EngineTestFiles.h"
#include "NameCodec.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "linux/LinuxFileSystem.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <map>
#include <memory>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <vector>

using namespace torvanelo;
using namespace torvanelo::test;

namespace {

constexpr int DefaultFiles = 300;
constexpr int BatchSize = 25;
constexpr int SlowWriters = 4;
constexpr int SlowChunks = 3;
// Only a guard against a hang: every wait below ends on a condition.
constexpr int GuardMilliseconds = 30 * 60 * 1000;

int configuredNumber(const char* name, int fallback) {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

// The pair file field of a folder: the hex of its UTF-16LE code units.
QByteArray pairField(const QString& path) {
    QByteArray bytes;
    for (const QChar unit : path) {
        bytes.append(char(unit.unicode() & 0xff));
        bytes.append(char(unit.unicode() >> 8));
    }
    return '"' + bytes.toHex().toUpper() + '"';
}

// Stands in for rar in the program folder: runs the real archiver and, in
// about one run out of three, kills it a random 0 to 5 ms after its start
// (at once, a third of those times). Each kill that found it still running
// is noted.
QByteArray killingArchiver(const QString& realRar, const QString& kills) {
    return "#!/bin/sh\n"
           "\""
           + encodeFileName(realRar)
           + "\" \"$@\" &\n"
             "child=$!\n"
             "n=$(od -An -N2 -tu2 /dev/urandom | tr -d ' ')\n"
             "if [ $((n % 3)) -eq 0 ]; then\n"
             "    delay=$((n / 3 % 6))\n"
             "    if [ $((n % 9)) -ne 0 ]; then sleep \"0.$(printf '%03d' \"$delay\")\"; fi\n"
             "    kill -9 \"$child\" 2>/dev/null\n"
             "fi\n"
             "wait \"$child\"\n"
             "status=$?\n"
             "if [ \"$status\" -eq 137 ]; then echo killed >> \""
           + encodeFileName(kills)
           + "\"; fi\n"
             "exit \"$status\"\n";
}

// A child of the test ends with it, also when the test is killed (by
// ctest's time limit): no program is left running passes on its own.
void endWithTheTest() {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
}

struct Expected {
    QByteArray content;
    Attributes attributes;
};

// A file being written slowly by another process (cat, fed through a
// pipe), which holds it open until its last chunk.
struct SlowFile {
    QString name;
    QByteArray content;
    Attributes attributes;
    std::unique_ptr<QProcess> writer;
    int chunksWritten = 0;
};

class Site {
public:
    QTemporaryDir root;
    QString home = root.filePath(QStringLiteral("home"));
    QString in = root.filePath(QStringLiteral("in"));
    QString middle = root.filePath(QStringLiteral("middle"));
    QString out = root.filePath(QStringLiteral("out"));
    QString staging = root.filePath(QStringLiteral("staging"));
    QString runtime = root.filePath(QStringLiteral("runtime"));
    QString kills = root.filePath(QStringLiteral("kills"));
    LinuxFileSystem files;
    QRandomGenerator random;
    std::map<QString, Expected> expected; // by the name it must arrive under
    int renamed = 0;
    int deleted = 0;
    int raced = 0; // renames and deletions that found the file already taken

    explicit Site(quint32 seed)
        : random(seed) {
        for (const QString& folder : {home, in, middle, out, staging, runtime})
            QDir().mkpath(folder);
        ::chmod(encodeFileName(runtime).constData(), 0700);
    }
    ~Site() {
        for (const QString& folder : {in, middle, out, staging})
            removeTree(folder);
    }

    bool writeProgramFolder(bool stopAfterFirstPass) {
        const QByteArray ini = "[Configuration]\r\nTemporisation=1\r\nAutomatique=1\r\n"
                               "ArretAutomatique="
                               + QByteArray(stopAfterFirstPass ? "1" : "0")
                               + "\r\n[Rar_2]\r\nRar=1\r\n";
        return writeFile(pathIn(home, QStringLiteral("Torvanelo.w")),
                         pairField(in) + ',' + pairField(middle) + "\r\n" + pairField(middle) + ','
                             + pairField(out) + "\r\n")
               && writeFile(pathIn(home, QStringLiteral("Torvanelo.ini")), ini);
    }

    void startProgram(QProcess& program) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TORVANELO_HOME"), home);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        environment.remove(QStringLiteral("TORVANELO_SERVICE"));
        environment.remove(QStringLiteral("TORVANELO_COSTS"));
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(home);
        program.setChildProcessModifier(endWithTheTest);
        program.start(buildDir() + QStringLiteral("/torvanelo"), QStringList());
    }

    // Names of every kind a user drops, unique by their number.
    QString nameFor(int number) {
        const QByteArray n = QByteArray::number(number).rightJustified(5, '0');
        switch (number % 6) {
        case 0:
            return QString::fromLatin1("file " + n + ".dat");
        case 1:
            return QString::fromUtf8("\xd0\x9e\xd1\x82\xd1\x87\xd1\x91\xd1\x82 " + n + ".txt");
        case 2:
            return decodeFileName("caf\xe9 " + n + " \x80\xff.bin");
        case 3:
            return QString::fromLatin1("<b>" + n + "<&amp;> \"q\".html");
        case 4:
            return QString::fromLatin1("  blanks " + n + "  ");
        default:
            return QString::fromLatin1(n + QByteArray(170, 'x') + ".long");
        }
    }

    QByteArray contentFor() {
        const quint32 kind = random.bounded(100);
        const int size = kind < 5    ? int(random.bounded(256 * 1024, 1536 * 1024))
                         : kind < 30 ? int(random.bounded(4096, 65536))
                                     : int(random.bounded(4097));
        QByteArray content(size, Qt::Uninitialized);
        for (char& byte : content)
            byte = char(random.bounded(256));
        return content;
    }

    // Up to three attributes, binary values, small enough for ext4's one
    // block of attributes per file.
    Attributes attributesFor() {
        Attributes attributes;
        const int count = int(random.bounded(4));
        for (int i = 0; i < count; ++i) {
            std::string value(random.bounded(600), '\0');
            for (char& byte : value)
                byte = char(random.bounded(256));
            attributes["user.soak." + std::to_string(i)] = value;
        }
        return attributes;
    }

    // A file appears whole, attributes and all: made aside, then renamed in.
    bool drop(const QString& name, const QByteArray& content, const Attributes& attributes) {
        const QString made = pathIn(staging, name);
        if (!writeFile(made, content) || !writeAttributes(made, attributes))
            return false;
        if (::rename(encodeFileName(made).constData(), encodeFileName(pathIn(in, name)).constData())
            != 0)
            return false;
        expected[name] = {content, attributes};
        return true;
    }

    // The user renames or deletes a file he dropped; when the program has
    // taken it already, the file goes on under the name it had.
    bool renameOrDelete(const QString& name, bool rename) {
        const QByteArray from = encodeFileName(pathIn(in, name));
        const QString newName = name + QStringLiteral(" (renamed)");
        const int result =
            rename ? ::rename(from.constData(), encodeFileName(pathIn(in, newName)).constData())
                   : ::unlink(from.constData());
        if (result != 0) {
            ++raced;
            return errno == ENOENT;
        }
        if (rename) {
            expected[newName] = expected[name];
            ++renamed;
        } else {
            ++deleted;
        }
        expected.erase(name);
        return true;
    }

    bool startSlowFile(SlowFile& slow) {
        slow.writer = std::make_unique<QProcess>();
        slow.writer->setChildProcessModifier(endWithTheTest);
        slow.writer->start(QStringLiteral("/bin/sh"),
                           {QStringLiteral("-c"), QStringLiteral("exec cat > \"$1\""),
                            QStringLiteral("sh"), pathIn(in, slow.name)});
        if (!slow.writer->waitForStarted(-1))
            return false;
        // The file exists, held open by the writer, once the shell made it.
        return QTest::qWaitFor([&] { return files.exists(pathIn(in, slow.name)); },
                               GuardMilliseconds);
    }

    // Writes the next chunk; after the last one the attributes are set while
    // the writer still holds the file, then the writer ends.
    bool advanceSlowFile(SlowFile& slow) {
        const qsizetype chunk = slow.content.size() / SlowChunks + 1;
        const QByteArray piece = slow.content.mid(slow.chunksWritten * chunk, chunk);
        ++slow.chunksWritten;
        if (!piece.isEmpty()) {
            slow.writer->write(piece);
            if (!slow.writer->waitForBytesWritten(-1))
                return false;
        }
        if (slow.chunksWritten < SlowChunks)
            return true;
        if (!writeAttributes(pathIn(in, slow.name), slow.attributes))
            return false;
        slow.writer->closeWriteChannel();
        if (!slow.writer->waitForFinished(-1) || slow.writer->exitCode() != 0)
            return false;
        expected[slow.name] = {slow.content, slow.attributes};
        return true;
    }

    // Visible files waiting in a folder (hidden leftovers of the program and
    // work folders left out). The mark is read by path: a file held open
    // here, however briefly, would make the program pass it by.
    int visibleFiles(const QString& folder) {
        int count = 0;
        if (const auto entries = files.list(folder)) {
            for (const DirectoryEntry& entry : *entries) {
                const QByteArray path = encodeFileName(pathIn(folder, entry.name));
                if (entry.type == EntryType::File
                    && ::lgetxattr(path.constData(), "user.torvanelo.hidden", nullptr, 0) < 0)
                    ++count;
            }
        }
        return count;
    }

    bool delivered(const QString& name) { return files.exists(pathIn(out, name)); }

    bool allDelivered() {
        for (const auto& [name, file] : expected) {
            if (!delivered(name))
                return false;
        }
        return true;
    }

    // Empty when the last folder holds exactly the expected files, whole.
    QString checkOut() {
        QStringList names;
        for (const auto& [name, file] : expected)
            names << name;
        names.sort();
        const QStringList found = namesIn(out);
        if (found != names) {
            QStringList missing;
            QStringList extra;
            for (const QString& name : names) {
                if (!found.contains(name))
                    missing << name;
            }
            for (const QString& name : found) {
                if (!names.contains(name))
                    extra << name;
            }
            return QStringLiteral("missing: ") + missing.join(u'|') + QStringLiteral("; extra: ")
                   + extra.join(u'|');
        }
        for (const auto& [name, file] : expected) {
            const QString path = pathIn(out, name);
            if (readFile(path) != file.content)
                return QStringLiteral("other bytes: ") + name;
            if (readAttributes(path) != file.attributes)
                return QStringLiteral("other attributes: ") + name;
            if (files.isHidden(path))
                return QStringLiteral("hidden: ") + name;
        }
        return QString();
    }
};

} // namespace

class SoakTest : public QObject {
    Q_OBJECT

private slots:
    void everyFileArrivesOnceThroughARunningProgram() {
        const int fileCount = configuredNumber("TORVANELO_SOAK_FILES", DefaultFiles);
        const auto seed = quint32(configuredNumber(
            "TORVANELO_SOAK_SEED", int(QRandomGenerator::global()->bounded(1 << 30))));
        qInfo("soak: %d files, seed %u (TORVANELO_SOAK_SEED repeats the workload)", fileCount,
              seed);
        QVERIFY2(QFile::exists(rarPath()), qPrintable(rarPath()));
        Site site(seed);
        if (!supportsUserAttributes(site.in))
            QSKIP("the temporary folder's file system takes no user extended attributes");
        QVERIFY(site.writeProgramFolder(false));
        const QString wrapper = pathIn(site.home, QStringLiteral("rar"));
        QVERIFY(writeFile(wrapper, killingArchiver(rarPath(), site.kills)));
        QVERIFY(setMode(wrapper, 0755));

        QProcess program;
        site.startProgram(program);
        QVERIFY(program.waitForStarted(-1));
        const auto running = [&] { return program.state() == QProcess::Running; };
        const auto programErrors = [&] {
            return QString::fromLocal8Bit(program.readAllStandardError());
        };

        std::vector<SlowFile> slowFiles(SlowWriters);
        for (int i = 0; i < SlowWriters; ++i) {
            slowFiles[i].name = QStringLiteral("slow %1.bin").arg(i);
            slowFiles[i].content = site.contentFor();
            slowFiles[i].attributes = site.attributesFor();
            slowFiles[i].attributes["user.slow"] = "written slowly";
            QVERIFY(site.startSlowFile(slowFiles[i]));
        }
        // A tick delivered proves that a whole scan of the source folder met
        // the slow files since it was dropped; then they get their next chunk.
        int ticks = 0;
        QString lastTick;
        const auto advanceSlowFiles = [&]() -> bool {
            if (!lastTick.isEmpty() && !site.delivered(lastTick))
                return true;
            bool any = false;
            for (SlowFile& slow : slowFiles) {
                if (slow.chunksWritten < SlowChunks) {
                    if (!site.advanceSlowFile(slow))
                        return false;
                    any = true;
                }
            }
            if (!any)
                return true;
            lastTick = QStringLiteral("tick %1").arg(++ticks);
            return site.drop(lastTick, QByteArray::number(ticks), {});
        };

        int dropped = 0;
        QStringList previousBatch;
        while (dropped < fileCount) {
            QStringList batch;
            for (int i = 0; i < BatchSize && dropped < fileCount; ++i, ++dropped) {
                const QString name = site.nameFor(dropped);
                QVERIFY2(site.drop(name, site.contentFor(), site.attributesFor()),
                         qPrintable(name));
                batch << name;
            }
            // The user changes his mind about a few files, of this batch (still
            // waiting, most likely) and of the one before (on their way).
            for (const QStringList* names : {&batch, &previousBatch}) {
                for (const QString& name : *names) {
                    const quint32 dice = site.random.bounded(100);
                    if (dice < 6 && site.expected.count(name) != 0)
                        QVERIFY(site.renameOrDelete(name, dice < 4));
                }
            }
            QVERIFY(advanceSlowFiles());
            previousBatch = batch;
            if (dropped % (BatchSize * 40) == 0)
                qInfo("soak: %d files dropped, %d delivered", dropped,
                      int(namesIn(site.out).size()));
            // The next batch comes while the program works on this one.
            const bool working = QTest::qWaitFor(
                [&] { return !running() || site.visibleFiles(site.in) <= BatchSize / 2; },
                GuardMilliseconds);
            QVERIFY2(working && running(), qPrintable(programErrors()));
        }
        while (std::any_of(slowFiles.begin(), slowFiles.end(),
                           [](const SlowFile& slow) { return slow.chunksWritten < SlowChunks; })) {
            QVERIFY(QTest::qWaitFor([&] { return !running() || site.delivered(lastTick); },
                                    GuardMilliseconds));
            QVERIFY2(running(), qPrintable(programErrors()));
            QVERIFY(advanceSlowFiles());
        }

        // Everything arrived and nothing visible waits on the way.
        const bool settled = QTest::qWaitFor(
            [&] {
                return !running()
                       || (site.allDelivered() && site.visibleFiles(site.in) == 0
                           && site.visibleFiles(site.middle) == 0);
            },
            GuardMilliseconds);
        QVERIFY2(running(), qPrintable(programErrors()));
        QVERIFY2(settled, qPrintable(site.checkOut()));
        program.terminate(); // SIGTERM
        QVERIFY(program.waitForFinished(-1));

        // One last pass, with the real archiver, clears what is left in
        // between: leftovers of killed runs, work folders.
        QVERIFY(QFile::remove(wrapper));
        QVERIFY(site.writeProgramFolder(true));
        QProcess last;
        site.startProgram(last);
        QVERIFY(last.waitForFinished(-1));
        QVERIFY2(last.exitStatus() == QProcess::NormalExit && last.exitCode() == 0,
                 last.readAllStandardError().constData());

        const QString problem = site.checkOut();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(namesIn(site.in), QStringList());
        QCOMPARE(namesIn(site.middle), QStringList());
        const int kills = int(readFile(site.kills).value_or(QByteArray()).count('\n'));
        qInfo("soak: %d files delivered (%d ticks among them), %d renamed and %d deleted by the "
              "user, %d of his changes too late, %d archiver runs killed",
              int(site.expected.size()), ticks, site.renamed, site.deleted, site.raced, kills);
        // The faults were there: runs were killed while they worked.
        QVERIFY(kills > 0);
    }
};

TORVANELO_TEST(SoakTest);
#include "SoakTest.moc"
