// The built program left running as a user runs it (headless, a pass every
// second over a compressing pair chained to an uncompressing pair) while
// files are dropped into it over time, some written slowly (and held open)
// by the test while the scan meets them, some renamed or deleted by the user on
// their way, and the archiver is killed at random moments. At the end every
// file is in the last folder exactly once, with its bytes, its name and its
// extended attributes, and one last pass leaves nothing in between.
//
// TORVANELO_SOAK_FILES sets the number of files (300 here; `./bench --soak`
// runs 5,000), TORVANELO_SOAK_SEED the seed of the workload.

#include "ProgramFolder.h"
#include "TestRegistry.h"

#include <QTest>

#include <array>
#include <cerrno>
#include <functional>
#include <set>
#include <sys/stat.h>
#include <sys/xattr.h>

using namespace torvanelo;
using namespace torvanelo::test;

namespace {

constexpr int BatchSize = 25;
// The owner of some dropped files, when the test runs as root.
constexpr uid_t OtherUser = 65534;
constexpr int SlowChunks = 3;
// Only a guard against a hang: every wait below ends on a condition.
constexpr int GuardMilliseconds = 30 * 60 * 1000;

int configuredNumber(const char* name, int fallback) {
    const int value = qEnvironmentVariableIntValue(name);
    return value > 0 ? value : fallback;
}

// Stands in for rar in the program folder: runs the real archiver and, in
// about one run out of three, kills it a random 0 to 5 ms after its start
// (at once, a third of those times). Each kill that found it still running
// is noted.
QByteArray killingArchiver(const QString& realRar, const QString& kills) {
    return "#!/bin/sh\n\"" + encodeFileName(realRar)
           + "\" \"$@\" &\nchild=$!\nn=$(od -An -N2 -tu2 /dev/urandom | tr -d ' ')\n"
             "if [ $((n % 3)) -eq 0 ]; then\n"
             "  if [ $((n % 9)) -ne 0 ]; then sleep \"0.$(printf '%03d' $((n / 3 % 6)))\"; fi\n"
             "  kill -9 \"$child\" 2>/dev/null\nfi\nwait \"$child\"\nstatus=$?\n"
             "if [ \"$status\" -eq 137 ]; then echo killed >> \""
           + encodeFileName(kills) + "\"; fi\nexit \"$status\"\n";
}

// A file written slowly by the test (another process to the program),
// which holds it open until its last chunk.
struct SlowFile {
    Original file;
    QFile handle;
    int chunksWritten = 0;
};

struct Site : ProgramFolder {
    QString staging = root.filePath(QStringLiteral("staging"));
    QString kills = root.filePath(QStringLiteral("kills"));
    LinuxFileSystem files;
    QRandomGenerator random;
    std::vector<Original> expected;   // under the name each must arrive
    std::set<QByteArray> othersFiles; // names of those that belong to OtherUser

    explicit Site(quint32 seed)
        : random(seed) {
        QDir().mkpath(staging);
    }

    // Names of every kind a user drops, a long one too, unique by their
    // number; every tenth looks like one of the program's own members.
    static QString nameFor(int number) {
        static const std::vector<Original> kinds = variedOriginals();
        const QByteArray n = QByteArray::number(number).rightJustified(5, '0');
        if (number % 10 == 9)
            return QString::fromLatin1("RA" + QByteArray::number(number).rightJustified(6, '0')
                                       + ".r" + char('a' + number % 26));
        return decodeFileName(number % 8 == 7 ? n + QByteArray(170, 'x') + ".long"
                                              : kinds[number % 8].nameBytes + ' ' + n);
    }

    // Up to 1.5 MiB of content and up to three attributes, binary values,
    // small enough for ext4's one block of attributes per file.
    Original randomFile(const QString& name) {
        const quint32 kind = random.bounded(100);
        Original file{encodeFileName(name),
                      randomBytes(kind < 5    ? random.bounded(256 * 1024, 1536 * 1024)
                                  : kind < 30 ? random.bounded(4096, 65536)
                                              : random.bounded(4097),
                                  random.generate()),
                      {}};
        for (int i = 0, count = int(random.bounded(4)); i < count; ++i)
            file.attributes["user.soak." + std::to_string(i)] =
                randomBytes(random.bounded(600), random.generate()).toStdString();
        return file;
    }

    // A file appears whole, attributes and all: made aside, then renamed in.
    // As root, every fifth belongs to another user, and must arrive his.
    bool drop(const Original& file) {
        const QString made = pathIn(staging, file.name());
        const bool others = ::geteuid() == 0 && expected.size() % 5 == 4;
        if (!writeFile(made, file.content) || !writeAttributes(made, file.attributes)
            || (others && ::chown(encodeFileName(made).constData(), OtherUser, OtherUser) != 0))
            return false;
        if (others)
            othersFiles.insert(file.nameBytes);
        if (::rename(encodeFileName(made).constData(),
                     encodeFileName(pathIn(in, file.name())).constData())
            != 0)
            return false;
        expected.push_back(file);
        return true;
    }

    // The user renames or deletes a file he dropped; when the program has
    // taken it already, the file goes on under the name it had.
    bool renameOrDelete(const QString& name, bool rename) {
        const auto file = std::find_if(expected.begin(), expected.end(),
                                       [&](const Original& file) { return file.name() == name; });
        const QByteArray from = encodeFileName(pathIn(in, name));
        if (file == expected.end())
            return true;
        if ((rename ? ::rename(from.constData(), (from + " (renamed)").constData())
                    : ::unlink(from.constData()))
            != 0)
            return errno == ENOENT;
        if (rename && othersFiles.erase(file->nameBytes) > 0)
            othersFiles.insert(file->nameBytes + " (renamed)");
        if (rename)
            file->nameBytes += " (renamed)";
        else
            expected.erase(file);
        return true;
    }

    // Writes the next chunk; after the last one the attributes are set while
    // the file is still held, then it is let go.
    bool advanceSlowFile(SlowFile& slow) {
        const qsizetype chunk = slow.file.content.size() / SlowChunks + 1;
        const QByteArray piece = slow.file.content.mid(slow.chunksWritten++ * chunk, chunk);
        if (slow.handle.write(piece) != piece.size() || !slow.handle.flush())
            return false;
        if (slow.chunksWritten < SlowChunks)
            return true;
        if (!writeAttributes(slow.handle.fileName(), slow.file.attributes))
            return false;
        slow.handle.close();
        expected.push_back(slow.file);
        return slow.handle.error() == QFileDevice::NoError;
    }

    // Visible files waiting in a folder (hidden leftovers of the program and
    // work folders left out). The mark is read by path: a file held open
    // here, however briefly, would make the program pass it by.
    int visibleFiles(const QString& folder) {
        int count = 0;
        for (const DirectoryEntry& entry :
             files.list(folder).value_or(std::vector<DirectoryEntry>{})) {
            const QByteArray path = encodeFileName(pathIn(folder, entry.name));
            count += entry.type == EntryType::File
                     && ::lgetxattr(path.constData(), "user.torvanelo.hidden", nullptr, 0) < 0;
        }
        return count;
    }

    // Empty when every file of another user arrived his.
    QString checkOwners() const {
        for (const QByteArray& name : othersFiles) {
            struct stat status {};
            const QByteArray path = encodeFileName(pathIn(out, decodeFileName(name)));
            if (::stat(path.constData(), &status) == 0 && status.st_uid != OtherUser)
                return QStringLiteral("not the other user's: ") + decodeFileName(name);
        }
        return QString();
    }

    bool allDelivered() {
        return std::all_of(expected.begin(), expected.end(), [&](const Original& file) {
            return files.exists(pathIn(out, file.name()));
        });
    }
};

} // namespace

class SoakTest : public QObject {
    Q_OBJECT

private slots:
    void everyFileArrivesOnceThroughARunningProgram() {
        // Enough batches for the slow files to be written to their end.
        const int fileCount =
            std::max(configuredNumber("TORVANELO_SOAK_FILES", 300), BatchSize * SlowChunks);
        const auto seed = quint32(configuredNumber(
            "TORVANELO_SOAK_SEED", int(QRandomGenerator::global()->bounded(1 << 30))));
        qInfo("soak: %d files, seed %u (TORVANELO_SOAK_SEED repeats the workload)", fileCount,
              seed);
        QVERIFY2(QFile::exists(rarPath()), qPrintable(rarPath()));
        Site site(seed);
        if (!supportsUserAttributes(site.in))
            QSKIP("the temporary folder's file system takes no user extended attributes");
        QVERIFY(site.writeSettings("Temporisation=1\r\nAutomatique=1\r\nArretAutomatique=0\r\n"));
        const QString wrapper = pathIn(site.home, QStringLiteral("rar"));
        QVERIFY(writeFile(wrapper, killingArchiver(rarPath(), site.kills)));
        QVERIFY(setMode(wrapper, 0755));

        // Links planted by a hostile user: named like the unpacking folders
        // of the first archives, to a folder of his; and to a file outside.
        const QString victim = site.root.filePath(QStringLiteral("victim"));
        QVERIFY(QDir().mkpath(victim) && writeFile(pathIn(victim, QStringLiteral("x")), "x"));
        QStringList links;
        for (int n = 1; n <= 5; ++n)
            links << QStringLiteral(".torvanelo-extract-RA%1").arg(n, 6, 10, QChar(u'0'));
        for (const QString& link : links)
            QVERIFY(QFile::link(victim, pathIn(site.middle, link)));
        QVERIFY(QFile::link(pathIn(victim, QStringLiteral("x")),
                            pathIn(site.in, QStringLiteral("a link"))));
        QStringList leftOnTheWay = QStringList{QStringLiteral("a link")} + links;

        QProcess program;
        site.start(program);
        QVERIFY(program.waitForStarted(-1));
        // Waits for the condition while the program runs; false when it ended.
        const auto waitFor = [&](const std::function<bool()>& condition) {
            const bool met =
                QTest::qWaitFor([&] { return program.state() != QProcess::Running || condition(); },
                                GuardMilliseconds);
            if (program.state() != QProcess::Running)
                qWarning("%s", program.readAllStandardError().constData());
            return met && program.state() == QProcess::Running;
        };

        std::array<SlowFile, 4> slowFiles;
        for (std::size_t i = 0; i < slowFiles.size(); ++i) {
            SlowFile& slow = slowFiles[i];
            slow.file = site.randomFile(QStringLiteral("slow %1.bin").arg(i));
            slow.file.attributes["user.slow"] = "written slowly";
            slow.handle.setFileName(pathIn(site.in, slow.file.name()));
            QVERIFY(slow.handle.open(QIODevice::WriteOnly));
        }
        QStringList previousBatch;
        for (int dropped = 0; dropped < fileCount;) {
            // The slow files get their next chunk before the batch comes: a
            // scan that takes files of the batch meets them too.
            for (SlowFile& slow : slowFiles)
                // Fails too when the program took a file still being written.
                QVERIFY(slow.chunksWritten == SlowChunks || site.advanceSlowFile(slow));
            QStringList batch;
            for (int i = 0; i < BatchSize && dropped < fileCount; ++i, ++dropped) {
                batch << site.nameFor(dropped);
                QVERIFY2(site.drop(site.randomFile(batch.last())), qPrintable(batch.last()));
            }
            // The user changes his mind about a few files, of this batch (still
            // waiting, most likely) and of the one before (on their way).
            for (const QString& name : batch + previousBatch) {
                const quint32 dice = site.random.bounded(100);
                if (dice < 6)
                    QVERIFY(site.renameOrDelete(name, dice < 4));
            }
            previousBatch = batch;
            // The next batch comes while the program works on this one.
            QVERIFY(waitFor([&] { return site.visibleFiles(site.in) <= BatchSize / 2; }));
        }
        // Everything arrived and nothing visible waits on the way.
        QVERIFY2(waitFor([&] {
                     return site.allDelivered() && site.visibleFiles(site.in) == 0
                            && site.visibleFiles(site.middle) == 0;
                 }),
                 qPrintable(site.checkDelivered(site.expected)));
        program.terminate(); // SIGTERM
        QVERIFY(program.waitForFinished(-1));

        // One last pass, with the real archiver, clears what is left in
        // between: leftovers of killed runs, work folders.
        QVERIFY(QFile::remove(wrapper));
        QVERIFY(site.writeSettings("Temporisation=1\r\nAutomatique=1\r\nArretAutomatique=1\r\n"));
        QVERIFY(site.run());
        QCOMPARE(site.checkDelivered(site.expected, leftOnTheWay), QString());
        QCOMPARE(site.checkOwners(), QString());
        QCOMPARE(entryNames(victim), QStringList{QStringLiteral("x")});
        const int kills = int(readFile(site.kills).value_or(QByteArray()).count('\n'));
        qInfo("soak: %d files delivered, %d archiver runs killed", int(site.expected.size()),
              kills);
        // The faults were there: runs were killed while they worked.
        QVERIFY(kills > 0);
    }
};

TORVANELO_TEST(SoakTest);
#include "SoakTest.moc"
