// `rar a` and `rar e` as the program uses them: real files with real
// extended attributes go through the real binary and come back exactly;
// every archive is also checked by the reference readers.

#include "ArchiverTestSupport.h"
#include "Names.h"
#include "ScratchMount.h"
#include "TestRegistry.h"
#include "linux/TemporaryName.h"

#include <QStandardPaths>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace torvanelo::test;

namespace {

constexpr char HiddenMark[] = "user.torvanelo.hidden";

// One file of a round trip, modified at 1600000000 s and `nanoseconds`.
struct Original {
    QByteArray name;
    QByteArray content;
    Attributes attributes;
    qint64 nanoseconds = 0;
    bool readOnly = false;
    bool hidden = false;
};

// RARLAB's unrar in <build>/tools, or an empty string when it is absent.
QString unrarPath() {
    const QString path = buildDir() + QStringLiteral("/tools/unrar");
    return QFileInfo(path).isExecutable() ? path : QString();
}

// bsdtar lists every member, unrar t passes, unrar lta lists one stream
// record per expected stream.
void referenceCheck(const QByteArray& archive, int members, const QList<QByteArray>& streams,
                    bool namesAreUtf8 = true) {
    const auto run = [&](const QString& program, const char* command) {
        return runProgram(program, {QLatin1String(command), QFile::decodeName(archive)},
                          QDir::tempPath(), 60);
    };
    // bsdtar skips, with an error, a name that is not UTF-8 (stored as raw bytes).
    const ProcessResult bsdtar = run(QStringLiteral("bsdtar"), "-tvf");
    QVERIFY2(bsdtar.finished
                 && (!namesAreUtf8 || (bsdtar.exitCode == 0 && bsdtar.out.count('\n') == members)),
             (bsdtar.out + bsdtar.err).constData());
    if (unrarPath().isEmpty())
        return;
    const ProcessResult test = run(unrarPath(), "t");
    QVERIFY2(test.exitCode == 0 && test.out.contains("All OK"), (test.out + test.err).constData());
    const ProcessResult list = run(unrarPath(), "lta");
    QVERIFY2(list.exitCode == 0
                 && list.out.count("Type: NTFS alternate data stream") == streams.size(),
             list.out.constData());
    for (const QByteArray& stream : streams)
        QVERIFY2(list.out.contains("Target: " + stream + '\n'), stream.constData());
}

#if defined(__SANITIZE_ADDRESS__)
// The address sanitizer's own shadow memory comes on top.
constexpr long MemoryBoundKiB = 64 * 1024;
#else
constexpr long MemoryBoundKiB = 16 * 1024;
#endif

} // namespace

Q_DECLARE_METATYPE(Original)

class RarCommandTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(QFileInfo::exists(rarPath()), qPrintable(rarPath()));
        ::umask(022); // the modes expected below
    }

    void roundTrip_data() {
        QTest::addColumn<Original>("file");
        const auto row = [](const char* tag, const Original& file) { QTest::newRow(tag) << file; };
        QByteArray binary;
        for (int i = 0; i < 3000; ++i)
            binary.append(static_cast<char>(i * 7));
        Attributes fifty; // empty and binary values, some holding NUL
        for (int i = 0; i < 50; ++i)
            fifty["user.a" + std::to_string(i)] = binary.mid(250 + i % 5, i % 13).toStdString();
        row("no attributes", {"plain.txt", "plain\n", {}});
        row("one attribute",
            {"one.bin", binary, {{"user.Zone.Identifier", "[ZoneTransfer]\r\n"}}, 123456789});
        row("50 attributes, empty and binary values", {"fifty.dat", binary, fifty, 999999999});
        // ext4 keeps about 4 KiB of attributes per file: this one runs on tmpfs.
        row("60 KiB value",
            {"big", "data", {{"user.big", std::string(60 * 1024, 'L')}, {"user.small", "s"}}});
        row("Cyrillic name",
            {"\xd0\x9f\xd0\xbb\xd0\xb0\xd0\xbd.doc", "plan", {{"user.x", "1"}}, 5});
        row("invalid UTF-8 name", {"bad\xff\xfe name\x80", "bytes", {{"user.\xff", "v"}}});
        // The temporary name embeds a cut of the name: 255 bytes still fit.
        row("255-byte name", {QByteArray(251, 'n') + ".txt", "long", {}});
        row("254-byte Cyrillic name", {QByteArray("\xd0\xaf").repeated(127), "long", {}});
        row("empty file", {"empty", "", {{"user.e", ""}}, 100});
        row("read-only", {"ro.txt", "locked", {{"user.a", "b"}}, 42, true});
        row("hidden", {"hidden.rr", "hidden data", {}, 0, false, true});
    }
    void roundTrip() {
        QFETCH(Original, file);
        const auto& [name, content, attributes, nanoseconds, readOnly, hidden] = file;
        const bool large = attributes.count("user.big") == 1;
        Trip trip(large ? QStringLiteral("/dev/shm") : QDir::tempPath());
        const QByteArray source = trip.src + '/' + name;
        QVERIFY(writeRaw(source, content));
        if (!setAttributes(source, attributes)) {
            QVERIFY(large);
            QSKIP("/dev/shm does not take a 60 KiB extended attribute value");
        }
        QVERIFY(!hidden || setAttributes(source, {{HiddenMark, "1"}}));
        const struct timespec times[2] = {{1600000000, 0}, {1600000000, long(nanoseconds)}};
        QCOMPARE(::utimensat(AT_FDCWD, source.constData(), times, 0), 0);
        QVERIFY(!readOnly || ::chmod(source.constData(), 0444) == 0);

        const ProcessResult added = trip.add("*");
        QVERIFY2(added.exitCode == 0, added.err.constData());
        QVERIFY(folderEntries(trip.src).isEmpty()); // -df
        const ProcessResult extracted = trip.extract();
        QVERIFY2(extracted.exitCode == 0, extracted.err.constData());
        QCOMPARE(folderEntries(trip.ex), QList<QByteArray>{name});
        const QByteArray result = trip.ex + '/' + name;
        QCOMPARE(readRaw(result).value_or("<missing>"), content);
        QCOMPARE(hasHiddenMark(result), hidden);
        QCOMPARE(attributesOf(result), attributes);
        struct stat status {};
        QCOMPARE(::stat(result.constData(), &status), 0);
        QCOMPARE(status.st_mode & 07777, readOnly ? 0444u : 0644u);
        QCOMPARE(qint64(status.st_mtim.tv_sec), qint64(1600000000));
        QCOMPARE(qint64(status.st_mtim.tv_nsec), nanoseconds);
        QCOMPARE(folderEntries(trip.out), QList<QByteArray>{"a.rar"}); // the archive stays

        QList<QByteArray> streams;
        for (const auto& [key, value] : attributes)
            streams << QByteArray::fromStdString(
                torvanelo::rar::streamNameForAttribute(key).value());
        referenceCheck(trip.archive, 1, streams, QString::fromUtf8(name).toUtf8() == name);
        if (unrarPath().isEmpty())
            QSKIP("RARLAB unrar not found in <build>/tools (scripts/fetch-unrar.sh fetches it); "
                  "its checks were skipped, all other checks passed");
    }

    // The engine's own command line: B.r? takes the data and name files only,
    // the archive is made beside them, and streams stay with their file.
    void engineCommandLine() {
        Trip trip;
        const QByteArray data = trip.src + "/RA000124.rr";
        const std::string afpInfo("AFP\0\0\0\1\0", 8);
        QVERIFY(writeRaw(data, "the data") && setAttributes(data, {{"user.AFP_AfpInfo", afpInfo}}));
        QVERIFY(writeRaw(trip.src + "/RA000124.rn", "\"506C616E2E646F63\"\r\n"));
        for (const char* other : {"RA000124.r", "RA000124.rrr", "ra000124.rn", "RA000125.rr"})
            QVERIFY(writeRaw(trip.src + '/' + other, other));
        const QByteArray archive = trip.src + "/RA000124.rar";
        QCOMPARE(rar(trip.base, {"a", "-os", archive, trip.src + "/RA000124.r?", "-df"}).exitCode,
                 0);
        QCOMPARE(folderEntries(trip.src),
                 (QList<QByteArray>{"RA000124.r", "RA000124.rar", "RA000124.rrr", "RA000125.rr",
                                    "ra000124.rn"}));
        QCOMPARE(rar(trip.ex, {"e", archive}).exitCode, 0);
        QCOMPARE(folderEntries(trip.ex), (QList<QByteArray>{"RA000124.rn", "RA000124.rr"}));
        QCOMPARE(attributesOf(trip.ex + "/RA000124.rr"),
                 (Attributes{{"user.AFP_AfpInfo", afpInfo}}));
        QCOMPARE(attributesOf(trip.ex + "/RA000124.rn"), Attributes());
        referenceCheck(archive, 2, {":AFP_AfpInfo"});
    }

    // "a" adds to an existing archive: its members are carried into the new
    // version (a large one through the copy ring, checked against its CRC on
    // the way), one of the same name is replaced. A damaged byte in a carried
    // member refuses the new version: the archive and the files stay.
    void addToExistingArchive() {
        Trip trip;
        QByteArray large(3 << 20, Qt::Uninitialized);
        for (int i = 0; i < large.size(); ++i)
            large[i] = static_cast<char>(i * 31 + (i >> 9));
        QVERIFY(writeRaw(trip.src + "/large", large) && writeRaw(trip.src + "/x", "version 1"));
        QVERIFY(setAttributes(trip.src + "/large", {{"user.k", "kept stream"}}));
        QCOMPARE(trip.add("*").exitCode, 0);
        QVERIFY(writeRaw(trip.src + "/x", "version 2") && writeRaw(trip.src + "/z", "new"));
        QCOMPARE(trip.add("*").exitCode, 0);
        QCOMPARE(trip.extract().exitCode, 0);
        QCOMPARE(folderEntries(trip.ex), (QList<QByteArray>{"large", "x", "z"}));
        QVERIFY(readRaw(trip.ex + "/large") == large);
        QCOMPARE(attributesOf(trip.ex + "/large"), (Attributes{{"user.k", "kept stream"}}));
        QCOMPARE(readRaw(trip.ex + "/x").value_or(""), QByteArray("version 2"));
        referenceCheck(trip.archive, 3, {":k"});

        QByteArray damaged = readRaw(trip.archive).value_or("");
        const qsizetype at = damaged.indexOf(large.left(64)) + (2 << 20);
        QVERIFY(at > (2 << 20));
        damaged[at] = static_cast<char>(damaged[at] ^ 0x40);
        QVERIFY(writeRaw(trip.archive, damaged) && writeRaw(trip.src + "/third", "third"));
        const ProcessResult refused = trip.add("third");
        QVERIFY2(refused.exitCode == 3 && refused.err.contains("CRC"), refused.err.constData());
        QVERIFY(readRaw(trip.archive) == damaged);
        QCOMPARE(readRaw(trip.src + "/third").value_or(""), QByteArray("third"));
    }

    // Symbolic links are never followed, neither when reading nor writing.
    // What is in the way of a member is replaced: a file (its stale
    // attributes go with it), a link (its target untouched); a folder in the
    // way refuses the archive.
    void extractionReplacesWhatIsInTheWay() {
        Trip trip;
        const QByteArray secret = trip.base + "/secret";
        QVERIFY(writeRaw(secret, "outside") && writeRaw(trip.src + "/real", "inside"));
        QVERIFY(writeRaw(trip.src + "/f", "new"));
        QCOMPARE(::symlink(secret.constData(), (trip.src + "/link").constData()), 0);
        QCOMPARE(trip.add("*").exitCode, 0);
        QCOMPARE(folderEntries(trip.src), QList<QByteArray>{"link"}); // skipped, not deleted
        QCOMPARE(::symlink(secret.constData(), (trip.ex + "/real").constData()), 0);
        QVERIFY(writeRaw(trip.ex + "/f", "old, longer content"));
        QVERIFY(setAttributes(trip.ex + "/f", {{"user.stale", "x"}}));
        QCOMPARE(trip.extract().exitCode, 0);
        struct stat status {};
        QVERIFY(::lstat((trip.ex + "/real").constData(), &status) == 0 && S_ISREG(status.st_mode));
        QCOMPARE(readRaw(trip.ex + "/real").value_or(""), QByteArray("inside"));
        QCOMPARE(readRaw(secret).value_or(""), QByteArray("outside"));
        QCOMPARE(readRaw(trip.ex + "/f").value_or(""), QByteArray("new"));
        QCOMPARE(attributesOf(trip.ex + "/f"), Attributes());

        QVERIFY(::unlink((trip.ex + "/f").constData()) == 0
                && ::mkdir((trip.ex + "/f").constData(), 0755) == 0);
        QCOMPARE(trip.extract().exitCode, 5);
        QCOMPARE(folderEntries(trip.ex), (QList<QByteArray>{"f", "real"}));
    }

    // On a file system that refuses attributes a member with streams is
    // refused, the attribute named and nothing left; one without streams
    // still extracts. (A full disk is met by the end-to-end chain's faults.)
    void attributesRefusedOnExtraction() {
        Trip trip;
        ScratchMount plain(QFile::decodeName(trip.ex), "ramfs");
        if (!plain.mounted())
            QSKIP(qPrintable(QStringLiteral("cannot mount: ") + plain.error()));
        QVERIFY(writeRaw(trip.src + "/s", "data")
                && setAttributes(trip.src + "/s", {{"user.s", "v"}}));
        QCOMPARE(trip.add("s").exitCode, 0);
        const ProcessResult refused = trip.extract();
        QVERIFY2(refused.exitCode == 5 && refused.err.contains("user.s"), refused.err.constData());
        QVERIFY(folderEntries(trip.ex).isEmpty());
        QVERIFY(::unlink(trip.archive.constData()) == 0 && writeRaw(trip.src + "/g", "no streams"));
        QCOMPARE(trip.add("g").exitCode, 0);
        QCOMPARE(trip.extract().exitCode, 0);
        QCOMPARE(folderEntries(trip.ex), QList<QByteArray>{"g"});
    }

    // Killed as it puts a file in place (at the rename), rar leaves nothing
    // under the final name, only a temporary that still carries the hidden
    // mark (the program deletes such redundant copies), never a visible one
    // it would take for the user's; killed right after, the file is whole
    // under its name and still marked (the program unmarks an archive of its
    // own found so). strace stops it at the very call.
    void killedAroundTheRenameLeavesMarkedFiles_data() {
        QTest::addColumn<bool>("adding");
        QTest::addColumn<QString>("calls");
        QTest::addColumn<bool>("inPlace");
        const QString rename = QStringLiteral("rename,renameat,renameat2");
        const QString unmark = QStringLiteral("fremovexattr");
        QTest::newRow("a, at the rename") << true << rename << false;
        QTest::newRow("a, before unmarking") << true << unmark << true;
        QTest::newRow("e, at the rename") << false << rename << false;
        QTest::newRow("e, before unmarking") << false << unmark << true;
    }
    void killedAroundTheRenameLeavesMarkedFiles() {
        QFETCH(bool, adding);
        QFETCH(QString, calls);
        QFETCH(bool, inPlace);
        const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
        if (strace.isEmpty())
            QSKIP("strace is not installed (scripts/install-deps.sh --tests installs it)");
        Trip trip;
        QVERIFY(writeRaw(trip.src + "/f", "data")
                && setAttributes(trip.src + "/f", {{"user.s", "v"}}));
        QVERIFY(adding || trip.add("f", false).exitCode == 0);
        const QByteArray folder = adding ? trip.out : trip.ex;
        // strace ends by the signal that killed rar.
        runProgram(strace,
                   QStringLiteral("-f -qq -o /dev/null -e trace=%1 -e inject=%1:signal=SIGKILL %2")
                           .arg(calls, rarPath())
                           .split(QLatin1Char(' '))
                       + decoded(adding ? trip.addArgs("f") : QList<QByteArray>{"e", trip.archive}),
                   QFile::decodeName(folder));

        const QList<QByteArray> left = folderEntries(folder);
        QCOMPARE(left.size(), 1);
        QVERIFY2(inPlace ? left[0] == (adding ? "a.rar" : "f")
                         : torvanelo::isTemporaryName(left[0].toStdString()),
                 left[0].constData());
        QVERIFY(hasHiddenMark(folder + '/' + left[0]));
        // Nothing was deleted: the run did not end.
        QCOMPARE(readRaw(trip.src + "/f").value_or(""), QByteArray("data"));
        if (inPlace && adding) {
            QCOMPARE(::removexattr(trip.archive.constData(), HiddenMark), 0);
            referenceCheck(trip.archive, 1, {":s"});
        }
    }

    // Beyond 4 GiB (a sparse file), in bounded memory.
    void fileLargerThan4GiB() {
        Trip trip;
        const qint64 size = (qint64(4) << 30) + 4096 + 13;
        QFile source(QFile::decodeName(trip.src + "/large"));
        QVERIFY(source.open(QIODevice::WriteOnly) && source.write("head") == 4
                && source.seek(size - 4) && source.write("tail") == 4);
        source.close();
        QVERIFY(setAttributes(trip.src + "/large", {{"user.s", "v"}}));
        // About 5 MiB each in a plain build.
        for (const ProcessResult& run : {trip.add("large"), trip.extract()})
            QVERIFY2(run.exitCode == 0 && run.peakKiB > 0 && run.peakKiB < MemoryBoundKiB,
                     qPrintable(QStringLiteral("%1 KiB; ").arg(run.peakKiB)
                                + QString::fromLocal8Bit(run.err)));
        referenceCheck(trip.archive, 1, {":s"});
        QFile result(QFile::decodeName(trip.ex + "/large"));
        QVERIFY(result.open(QIODevice::ReadOnly) && result.size() == size);
        QCOMPARE(result.read(4), QByteArray("head"));
        QVERIFY(result.seek(size - 4));
        QCOMPARE(result.read(4), QByteArray("tail"));
        QCOMPARE(attributesOf(trip.ex + "/large"), (Attributes{{"user.s", "v"}}));
    }

    void usage() {
        const ProcessResult result = rar("/", {"-?"});
        QCOMPARE(result.exitCode, 0);
        for (const char* text : {"rar a", "rar e", "-os", "-df", "  2 ", "  3 ", "  5 ", "  6 ",
                                 "  7 ", "  9 ", "  10 "})
            QVERIFY2(result.out.contains(text), text);
    }

    // A refused command: one line on standard error, the documented code;
    // nothing is deleted or created, no archive and no temporary.
    void refusedCommands_data() {
        QTest::addColumn<QByteArray>("args"); // OUT/ and SRC/ stand for the two folders
        QTest::addColumn<int>("exitCode");
        const auto row = [](const char* name, const char* args, int code = 7) {
            QTest::newRow(name) << QByteArray(args) << code;
        };
        row("nothing", "");
        row("unknown command", "x a.rar");
        row("a without operands", "a");
        row("a without pattern", "a OUT/a.rar");
        row("a with two patterns", "a OUT/a.rar SRC/f SRC/f");
        row("unknown switch", "a -zz OUT/a.rar SRC/f");
        row("e without archive", "e");
        row("e with two archives", "e a.rar b.rar");
        row("e with a switch of a", "e -df a.rar");
        row("pattern naming a folder", "a OUT/a.rar SRC/");
        row("missing archive", "e none.rar", 6);
        row("archive in a missing folder", "a -os OUT/missing/a.rar SRC/f -df", 9);
        row("archive path is a folder", "a -os OUT/folder SRC/f -df", 6);
        row("pattern matching nothing", "a -os OUT/a.rar SRC/RA000001.r? -df", 10);
        // Readers take '\' for a folder separator: the name would come back as another.
        row("backslash in a name", "a -os OUT/a.rar SRC/* -df", 2);
    }
    void refusedCommands() {
        QFETCH(QByteArray, args);
        QFETCH(int, exitCode);
        Trip trip;
        QCOMPARE(::mkdir((trip.out + "/folder").constData(), 0755), 0);
        QVERIFY(writeRaw(trip.src + "/f", "keep me") && writeRaw(trip.src + "/a\\b", "x"));
        QList<QByteArray> list =
            args.replace("OUT/", trip.out + '/').replace("SRC/", trip.src + '/').split(' ');
        list.removeAll(QByteArray());
        const ProcessResult result = rar(trip.base, list);
        QCOMPARE(result.exitCode, exitCode);
        QVERIFY(result.err.count('\n') == 1 && result.err.startsWith("rar: "));
        QCOMPARE(folderEntries(trip.base), (QList<QByteArray>{"ex", "out", "src"}));
        QCOMPARE(folderEntries(trip.src), (QList<QByteArray>{"a\\b", "f"}));
        QCOMPARE(readRaw(trip.src + "/f").value_or(""), QByteArray("keep me"));
        QCOMPARE(folderEntries(trip.out), QList<QByteArray>{"folder"});
    }
};

TORVANELO_TEST(RarCommandTest);
#include "RarCommandTest.moc"
