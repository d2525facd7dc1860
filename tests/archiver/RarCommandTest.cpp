// `rar a` and `rar e` as the program uses them: real files with real
// extended attributes go through the real binary and come back exactly;
// every archive is also checked by the reference readers.

#include "ArchiverTestSupport.h"
#include "Names.h"
#include "ScratchMount.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "linux/TemporaryName.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <ftw.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace torvanelo::test;
using Attributes = std::map<std::string, std::string>;

Q_DECLARE_METATYPE(Attributes)

namespace {

constexpr char HiddenMark[] = "user.torvanelo.hidden";

mode_t processUmask() {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

QString decoded(const QByteArray& path) {
    return QFile::decodeName(path);
}

Attributes withoutHiddenMark(Attributes attributes) {
    attributes.erase(HiddenMark);
    return attributes;
}

Attributes manyAttributes(int count) {
    Attributes attributes;
    for (int i = 0; i < count; ++i) {
        std::string value;
        for (int j = 0; j < i % 13; ++j)
            value.push_back(static_cast<char>((i * 37 + j * 101) % 256)); // binary, with NUL
        attributes["user.a" + std::to_string(i)] = value;
    }
    return attributes;
}

int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
    ::chmod(path, 0700);
    return ::remove(path) == 0 ? 0 : 0;
}

// Removes a tree by raw names (QDir cannot name every byte sequence).
void removeTree(const QByteArray& path) {
    ::nftw(path.constData(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

// The folders of one compress-and-extract trip.
struct Trip {
    QTemporaryDir root;
    QByteArray base;
    QByteArray src;
    QByteArray out;
    QByteArray ex;
    QByteArray archive;

    explicit Trip(const QString& parent = QString())
        : root(parent.isEmpty() ? QDir::tempPath() + QStringLiteral("/rar-XXXXXX")
                                : parent + QStringLiteral("/rar-XXXXXX")) {
        base = QFile::encodeName(root.path());
        src = base + "/src";
        out = base + "/out";
        ex = base + "/ex";
        archive = out + "/a.rar";
        ::mkdir(src.constData(), 0755);
        ::mkdir(out.constData(), 0755);
        ::mkdir(ex.constData(), 0755);
    }
    ~Trip() { removeTree(base); }
    Trip(const Trip&) = delete;
    Trip& operator=(const Trip&) = delete;

    ProcessResult add(const QByteArray& pattern, bool deleteFiles = true) {
        QStringList args{QStringLiteral("a"), QStringLiteral("-os"), decoded(archive),
                         decoded(src + '/' + pattern)};
        if (deleteFiles)
            args << QStringLiteral("-df");
        return runRar(args, decoded(base));
    }
    ProcessResult extract() { return runRar({QStringLiteral("e"), decoded(archive)}, decoded(ex)); }
};

// True once the one file of the folder has data: its creation is over.
bool holdsData(const QByteArray& folder, const QList<QByteArray>& entries) {
    struct stat status {};
    return entries.size() == 1 && ::stat((folder + '/' + entries[0]).constData(), &status) == 0
           && status.st_size > 0;
}

bool isOurTemporary(const QByteArray& name) {
    return torvanelo::isTemporaryName(name.toStdString());
}

// unrar t passes, unrar lta lists one stream record per expected stream,
// bsdtar lists every member. Returns an empty string or what failed.
QString referenceCheck(const QByteArray& archive, int members, const QList<QByteArray>& streams,
                       bool namesAreUtf8 = true) {
    const ProcessResult bsdtar = runProgram(
        QStringLiteral("bsdtar"), {QStringLiteral("-tvf"), decoded(archive)}, QDir::tempPath(), 60);
    // bsdtar skips, with an error, a name that is not UTF-8 (stored as raw bytes).
    if (!bsdtar.finished || (namesAreUtf8 && bsdtar.exitCode != 0))
        return QStringLiteral("bsdtar -tvf failed: ") + QString::fromLocal8Bit(bsdtar.err);
    if (namesAreUtf8 && bsdtar.out.count('\n') != members)
        return QStringLiteral("bsdtar lists: ") + QString::fromLocal8Bit(bsdtar.out);
    const QString unrar = unrarPath();
    if (unrar.isEmpty())
        return QString();
    const ProcessResult test =
        runProgram(unrar, {QStringLiteral("t"), decoded(archive)}, QDir::tempPath(), 60);
    if (!test.finished || test.exitCode != 0 || !test.out.contains("All OK"))
        return QStringLiteral("unrar t: ") + QString::fromLocal8Bit(test.out + test.err);
    const ProcessResult list =
        runProgram(unrar, {QStringLiteral("lta"), decoded(archive)}, QDir::tempPath(), 60);
    if (!list.finished || list.exitCode != 0)
        return QStringLiteral("unrar lta failed");
    if (list.out.count("Type: NTFS alternate data stream") != streams.size())
        return QStringLiteral("unrar lta stream records: ") + QString::fromLocal8Bit(list.out);
    for (const QByteArray& stream : streams) {
        if (!list.out.contains("Target: " + stream + '\n'))
            return QStringLiteral("unrar lta lacks ") + QString::fromLocal8Bit(stream);
    }
    return QString();
}

void skipWithoutUnrar() {
    if (unrarPath().isEmpty())
        QSKIP("RARLAB unrar not found in <build>/tools (scripts/fetch-unrar.sh fetches it); "
              "its checks were skipped, all other checks passed");
}

#if defined(__SANITIZE_ADDRESS__)
// The address sanitizer's own shadow memory comes on top.
constexpr long MemoryBoundKiB = 64 * 1024;
#else
constexpr long MemoryBoundKiB = 16 * 1024;
#endif

struct Measured {
    int exitCode = -1;
    long peakResidentKiB = 0;
};

long peakResidentKiB(qint64 pid) {
    const auto status = readRaw("/proc/" + QByteArray::number(pid) + "/status");
    if (!status)
        return 0;
    for (const QByteArray& line : status->split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

// Runs rar while watching its peak resident memory (the kernel's high-water
// mark of its own address space, read until it ends).
Measured runRarMeasured(const QStringList& args, const QByteArray& folder) {
    Measured measured;
    QProcess process;
    process.setWorkingDirectory(decoded(folder));
    process.start(rarPath(), args);
    if (!process.waitForStarted(-1))
        return measured;
    const qint64 pid = process.processId();
    const bool ended = QTest::qWaitFor(
        [&] {
            measured.peakResidentKiB = std::max(measured.peakResidentKiB, peakResidentKiB(pid));
            return process.state() == QProcess::NotRunning;
        },
        1200000);
    if (ended && process.exitStatus() == QProcess::NormalExit)
        measured.exitCode = process.exitCode();
    return measured;
}

} // namespace

class RarCommandTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(QFileInfo::exists(rarPath()), qPrintable(rarPath())); }

    void roundTrip_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<Attributes>("attributes");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<qint64>("nanoseconds");
        QByteArray binary;
        for (int i = 0; i < 3000; ++i)
            binary.append(static_cast<char>(i * 7));
        QByteArray varied; // several chunks of the copy ring, with an odd tail
        for (int i = 0; i < 5 * 1024 * 1024 + 17; ++i)
            varied.append(static_cast<char>((i * 2654435761u) >> 13));
        QTest::newRow("5 MiB of varied data")
            << QByteArray("varied.bin") << varied << Attributes{{"user.v", "1"}} << false << false
            << qint64(0);
        QTest::newRow("no attributes") << QByteArray("plain.txt") << QByteArray("plain\n")
                                       << Attributes() << false << false << qint64(0);
        QTest::newRow("one attribute") << QByteArray("one.bin") << binary
                                       << Attributes{{"user.Zone.Identifier", "[ZoneTransfer]\r\n"}}
                                       << false << false << qint64(123456789);
        QTest::newRow("50 attributes, empty and binary values")
            << QByteArray("fifty.dat") << binary << manyAttributes(50) << false << false
            << qint64(999999999);
        QTest::newRow("Cyrillic name")
            << QByteArray("\xd0\x9f\xd0\xbb\xd0\xb0\xd0\xbd.doc") << QByteArray("plan")
            << Attributes{{"user.x", "1"}} << false << false << qint64(5);
        QTest::newRow("invalid UTF-8 name")
            << QByteArray("bad\xff\xfe name\x80") << QByteArray("bytes")
            << Attributes{{"user.\xff", "v"}} << false << false << qint64(0);
        // The temporary name embeds a cut of the name: 255 bytes still fit.
        QTest::newRow("255-byte name") << QByteArray(251, 'n') + ".txt" << QByteArray("long")
                                       << Attributes() << false << false << qint64(0);
        QByteArray cyrillic;
        for (int i = 0; i < 127; ++i)
            cyrillic += "\xd0\xaf";
        QTest::newRow("254-byte Cyrillic name")
            << cyrillic << QByteArray("long") << Attributes() << false << false << qint64(0);
        QTest::newRow("empty file") << QByteArray("empty") << QByteArray()
                                    << Attributes{{"user.e", ""}} << false << false << qint64(100);
        QTest::newRow("read-only") << QByteArray("ro.txt") << QByteArray("locked")
                                   << Attributes{{"user.a", "b"}} << true << false << qint64(0);
        QTest::newRow("hidden") << QByteArray("hidden.rr") << QByteArray("hidden data")
                                << Attributes() << false << true << qint64(0);
        QTest::newRow("hidden and read-only with a colon in a stream")
            << QByteArray("both.rn") << QByteArray("\"414243\"\r\n")
            << Attributes{{"user.DosStream.X:$DATA", "samba"}} << true << true << qint64(42);
    }
    void roundTrip() {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, content);
        QFETCH(Attributes, attributes);
        QFETCH(bool, readOnly);
        QFETCH(bool, hidden);
        QFETCH(qint64, nanoseconds);
        Trip trip;
        const QByteArray source = trip.src + '/' + name;
        QVERIFY(writeRaw(source, content));
        for (const auto& [key, value] : attributes)
            QVERIFY2(setAttribute(source, key, value), key.c_str());
        if (hidden)
            QVERIFY(setAttribute(source, HiddenMark, "1"));
        const struct timespec times[2] = {{1600000000, 0}, {1600000000, long(nanoseconds)}};
        QCOMPARE(::utimensat(AT_FDCWD, source.constData(), times, 0), 0);
        if (readOnly)
            QCOMPARE(::chmod(source.constData(), 0444), 0);

        const ProcessResult added = trip.add("*");
        QVERIFY2(added.finished && added.exitCode == 0, added.err.constData());
        QVERIFY(folderEntries(trip.src).isEmpty()); // -df
        QCOMPARE(folderEntries(trip.out), QList<QByteArray>{"a.rar"});

        const ProcessResult extracted = trip.extract();
        QVERIFY2(extracted.finished && extracted.exitCode == 0, extracted.err.constData());
        QCOMPARE(folderEntries(trip.ex), QList<QByteArray>{name});
        const QByteArray result = trip.ex + '/' + name;
        QCOMPARE(readRaw(result).value_or("<missing>"), content);
        const Attributes restored = allUserAttributes(result);
        QCOMPARE(withoutHiddenMark(restored), attributes);
        QCOMPARE(restored.count(HiddenMark) == 1, hidden);
        struct stat status {};
        QCOMPARE(::stat(result.constData(), &status), 0);
        QCOMPARE(status.st_mode & 07777, (readOnly ? 0444 : 0666) & ~processUmask());
        QCOMPARE(qint64(status.st_mtim.tv_sec), qint64(1600000000));
        QCOMPARE(qint64(status.st_mtim.tv_nsec), nanoseconds);
        QCOMPARE(folderEntries(trip.out), QList<QByteArray>{"a.rar"}); // the archive stays

        QList<QByteArray> streams;
        for (const auto& [key, value] : attributes)
            streams << QByteArray::fromStdString(
                torvanelo::rar::streamNameForAttribute(key).value());
        const bool utf8Name = QString::fromUtf8(name).toUtf8() == name;
        const QString problem = referenceCheck(trip.archive, 1, streams, utf8Name);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        skipWithoutUnrar();
    }

    // A 60 KiB value needs a file system that takes it (tmpfs does, ext4 does not).
    void largeAttributeValue() {
        const std::string value(60 * 1024, 'L');
        QString folder;
        for (const QString& candidate : {QDir::tempPath(), QStringLiteral("/dev/shm")}) {
            QTemporaryDir probe(candidate + QStringLiteral("/probe-XXXXXX"));
            const QByteArray file = QFile::encodeName(probe.path()) + "/f";
            if (probe.isValid() && writeRaw(file, "x") && setAttribute(file, "user.big", value)) {
                folder = candidate;
                break;
            }
        }
        if (folder.isEmpty())
            QSKIP("no file system here takes a 60 KiB extended attribute value");
        Trip trip(folder);
        const QByteArray source = trip.src + "/big";
        QVERIFY(writeRaw(source, "data"));
        QVERIFY(setAttribute(source, "user.big", value));
        QVERIFY(setAttribute(source, "user.small", "s"));
        QCOMPARE(trip.add("big").exitCode, 0);
        QCOMPARE(trip.extract().exitCode, 0);
        const Attributes expected{{"user.big", value}, {"user.small", "s"}};
        QCOMPARE(allUserAttributes(trip.ex + "/big"), expected);
        const QString problem = referenceCheck(trip.archive, 1, {":big", ":small"});
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        skipWithoutUnrar();
    }

    // The engine's own command line: B.r? takes the data and name files only,
    // the archive is made beside them, and streams stay with their file.
    void engineCommandLine() {
        Trip trip;
        const QByteArray dataFile = trip.src + "/RA000124.rr";
        const QByteArray nameFile = trip.src + "/RA000124.rn";
        QVERIFY(writeRaw(dataFile, "the data"));
        QVERIFY(writeRaw(nameFile, "\"506C616E2E646F63\"\r\n"));
        QVERIFY(setAttribute(dataFile, "user.AFP_AfpInfo", std::string("AFP\0\0\0\1\0", 8)));
        QVERIFY(setAttribute(dataFile, HiddenMark, "1"));
        QVERIFY(setAttribute(nameFile, HiddenMark, "1"));
        for (const char* other : {"RA000124.r", "RA000124.rrr", "ra000124.rn", "RA000125.rr"})
            QVERIFY(writeRaw(trip.src + '/' + other, other));
        const QByteArray archive = trip.src + "/RA000124.rar";
        const ProcessResult added =
            runRar({QStringLiteral("a"), QStringLiteral("-os"), decoded(archive),
                    decoded(trip.src + "/RA000124.r?"), QStringLiteral("-df")},
                   decoded(trip.base));
        QVERIFY2(added.exitCode == 0, added.err.constData());
        QCOMPARE(folderEntries(trip.src),
                 (QList<QByteArray>{"RA000124.r", "RA000124.rar", "RA000124.rrr", "RA000125.rr",
                                    "ra000124.rn"}));
        const ProcessResult extracted =
            runRar({QStringLiteral("e"), decoded(archive)}, decoded(trip.ex));
        QCOMPARE(extracted.exitCode, 0);
        QCOMPARE(folderEntries(trip.ex), (QList<QByteArray>{"RA000124.rn", "RA000124.rr"}));
        const Attributes dataAttributes{{HiddenMark, "1"},
                                        {"user.AFP_AfpInfo", std::string("AFP\0\0\0\1\0", 8)}};
        QCOMPARE(allUserAttributes(trip.ex + "/RA000124.rr"), dataAttributes);
        QCOMPARE(allUserAttributes(trip.ex + "/RA000124.rn"), (Attributes{{HiddenMark, "1"}}));
        const QString problem = referenceCheck(archive, 2, {":AFP_AfpInfo"});
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        skipWithoutUnrar();
    }

    // Streams of the second file land on the second file only.
    void streamsStayWithTheirFile() {
        Trip trip;
        QVERIFY(writeRaw(trip.src + "/a", "first"));
        QVERIFY(writeRaw(trip.src + "/b", "second"));
        QVERIFY(setAttribute(trip.src + "/b", "user.s1", "one"));
        QVERIFY(setAttribute(trip.src + "/b", "user.s2", "two"));
        QCOMPARE(trip.add("*").exitCode, 0);
        QCOMPARE(trip.extract().exitCode, 0);
        QVERIFY(allUserAttributes(trip.ex + "/a").empty());
        QCOMPARE(allUserAttributes(trip.ex + "/b"),
                 (Attributes{{"user.s1", "one"}, {"user.s2", "two"}}));
        const QString problem = referenceCheck(trip.archive, 2, {":s1", ":s2"});
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    // Without -os no stream is stored; the hidden attribute still is.
    void withoutStreamSwitch() {
        Trip trip;
        QVERIFY(writeRaw(trip.src + "/f", "x"));
        QVERIFY(setAttribute(trip.src + "/f", "user.s", "v"));
        QVERIFY(setAttribute(trip.src + "/f", HiddenMark, "1"));
        const ProcessResult added =
            runRar({QStringLiteral("a"), decoded(trip.archive), decoded(trip.src + "/f")},
                   decoded(trip.base));
        QCOMPARE(added.exitCode, 0);
        QCOMPARE(folderEntries(trip.src), QList<QByteArray>{"f"}); // no -df: kept
        QCOMPARE(trip.extract().exitCode, 0);
        QCOMPARE(allUserAttributes(trip.ex + "/f"), (Attributes{{HiddenMark, "1"}}));
        const QString problem = referenceCheck(trip.archive, 1, {});
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    // "a" adds to an existing archive: other members stay, one of the same
    // name is replaced.
    void addToExistingArchive() {
        Trip trip;
        QVERIFY(writeRaw(trip.src + "/x", "version 1"));
        QVERIFY(writeRaw(trip.src + "/y", "kept"));
        QVERIFY(setAttribute(trip.src + "/y", "user.k", "kept stream"));
        QCOMPARE(trip.add("*").exitCode, 0);
        QVERIFY(writeRaw(trip.src + "/x", "version 2"));
        QVERIFY(writeRaw(trip.src + "/z", "new"));
        QCOMPARE(trip.add("*").exitCode, 0);
        QCOMPARE(trip.extract().exitCode, 0);
        QCOMPARE(folderEntries(trip.ex), (QList<QByteArray>{"x", "y", "z"}));
        QCOMPARE(readRaw(trip.ex + "/x").value_or(""), QByteArray("version 2"));
        QCOMPARE(readRaw(trip.ex + "/y").value_or(""), QByteArray("kept"));
        QCOMPARE(allUserAttributes(trip.ex + "/y"), (Attributes{{"user.k", "kept stream"}}));
        const QString problem = referenceCheck(trip.archive, 3, {":k"});
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    // A damaged existing archive is neither extended nor replaced, and the
    // files stay.
    void damagedExistingArchiveStays() {
        Trip trip;
        QVERIFY(writeRaw(trip.archive, QByteArray("Rar!\x1A\x07\x01\x00garbage", 15)));
        QVERIFY(writeRaw(trip.src + "/f", "precious"));
        const ProcessResult added = trip.add("f");
        QCOMPARE(added.exitCode, 3);
        QCOMPARE(readRaw(trip.archive).value_or(""), QByteArray("Rar!\x1A\x07\x01\x00garbage", 15));
        QCOMPARE(readRaw(trip.src + "/f").value_or(""), QByteArray("precious"));
        QCOMPARE(folderEntries(trip.out), QList<QByteArray>{"a.rar"});
    }

    // A pattern matching nothing creates no archive.
    void patternMatchingNothing() {
        Trip trip;
        QVERIFY(writeRaw(trip.src + "/other.txt", "x"));
        const ProcessResult added = trip.add("RA000001.r?");
        QCOMPARE(added.exitCode, 10);
        QCOMPARE(added.err.count('\n'), 1);
        QVERIFY(folderEntries(trip.out).isEmpty());
        QCOMPARE(folderEntries(trip.src), QList<QByteArray>{"other.txt"});
    }

    // Readers take '\' for a folder separator: such a name is refused, not
    // stored in a form that would come back under another name.
    void backslashInNameRefused() {
        Trip trip;
        QVERIFY(writeRaw(trip.src + "/a\\b", "x"));
        QVERIFY(writeRaw(trip.src + "/c", "y"));
        const ProcessResult added = trip.add("*");
        QCOMPARE(added.exitCode, 2);
        QVERIFY(added.err.contains("a\\b"));
        QVERIFY(folderEntries(trip.out).isEmpty());
        QCOMPARE(folderEntries(trip.src), (QList<QByteArray>{"a\\b", "c"}));
    }

    // Symbolic links are never followed, neither when reading nor writing.
    void symbolicLinks() {
        Trip trip;
        const QByteArray secret = trip.base + "/secret";
        QVERIFY(writeRaw(secret, "outside"));
        QCOMPARE(::symlink(secret.constData(), (trip.src + "/link").constData()), 0);
        QVERIFY(writeRaw(trip.src + "/real", "inside"));
        const ProcessResult added = trip.add("*");
        QCOMPARE(added.exitCode, 0);
        QCOMPARE(folderEntries(trip.src), QList<QByteArray>{"link"}); // skipped, not deleted
        // A link in the way of a member is replaced, its target untouched.
        QCOMPARE(::symlink(secret.constData(), (trip.ex + "/real").constData()), 0);
        QCOMPARE(trip.extract().exitCode, 0);
        struct stat status {};
        QCOMPARE(::lstat((trip.ex + "/real").constData(), &status), 0);
        QVERIFY(S_ISREG(status.st_mode));
        QCOMPARE(readRaw(trip.ex + "/real").value_or(""), QByteArray("inside"));
        QCOMPARE(readRaw(secret).value_or(""), QByteArray("outside"));
        // An archive path that is a link is refused.
        const QByteArray linkedArchive = trip.base + "/linked.rar";
        QCOMPARE(::symlink(trip.archive.constData(), linkedArchive.constData()), 0);
        QCOMPARE(runRar({QStringLiteral("e"), decoded(linkedArchive)}, decoded(trip.ex)).exitCode,
                 6);
    }

    // Existing files are replaced; a folder in the way refuses the archive.
    void extractionReplacesFiles() {
        Trip trip;
        QVERIFY(writeRaw(trip.src + "/f", "new"));
        QCOMPARE(trip.add("f").exitCode, 0);
        QVERIFY(writeRaw(trip.ex + "/f", "old, longer content"));
        QVERIFY(setAttribute(trip.ex + "/f", "user.stale", "x"));
        QCOMPARE(trip.extract().exitCode, 0);
        QCOMPARE(readRaw(trip.ex + "/f").value_or(""), QByteArray("new"));
        QVERIFY(allUserAttributes(trip.ex + "/f").empty());
        QCOMPARE(::unlink((trip.ex + "/f").constData()), 0);
        QCOMPARE(::mkdir((trip.ex + "/f").constData(), 0755), 0);
        QCOMPARE(trip.extract().exitCode, 5);
        QCOMPARE(folderEntries(trip.ex), QList<QByteArray>{"f"});
    }

    // Nothing is deleted when the archive cannot be made; no temporary stays.
    void failedArchiveKeepsFiles_data() {
        QTest::addColumn<QByteArray>("archiveName");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("missing folder") << QByteArray("missing/a.rar") << 9;
        QTest::newRow("archive path is a folder") << QByteArray("folder") << 6;
    }
    void failedArchiveKeepsFiles() {
        QFETCH(QByteArray, archiveName);
        QFETCH(int, exitCode);
        Trip trip;
        QCOMPARE(::mkdir((trip.out + "/folder").constData(), 0755), 0);
        QVERIFY(writeRaw(trip.src + "/f", "keep me"));
        const ProcessResult added = runRar({QStringLiteral("a"), QStringLiteral("-os"),
                                            decoded(trip.out + '/' + archiveName),
                                            decoded(trip.src + "/f"), QStringLiteral("-df")},
                                           decoded(trip.base));
        QCOMPARE(added.exitCode, exitCode);
        QCOMPARE(readRaw(trip.src + "/f").value_or(""), QByteArray("keep me"));
        QCOMPARE(folderEntries(trip.out), QList<QByteArray>{"folder"});
    }

    // A full disk: the archive or the member fails cleanly.
    void fullDisk() {
        Trip trip;
        ScratchMount small(decoded(trip.out), "tmpfs", "size=64k");
        if (!small.mounted())
            QSKIP(qPrintable(QStringLiteral("no small tmpfs: ") + small.error()));
        QVERIFY(writeRaw(trip.src + "/big", QByteArray(300 * 1024, 'b')));
        const ProcessResult added = trip.add("big");
        QCOMPARE(added.exitCode, 5);
        QVERIFY(folderEntries(trip.out).isEmpty());
        QCOMPARE(readRaw(trip.src + "/big").value_or("").size(), 300 * 1024);

        // Extraction into the full file system.
        const QByteArray elsewhere = trip.base + "/b.rar";
        QCOMPARE(runRar({QStringLiteral("a"), decoded(elsewhere), decoded(trip.src + "/big")},
                        decoded(trip.base))
                     .exitCode,
                 0);
        const ProcessResult extracted =
            runRar({QStringLiteral("e"), decoded(elsewhere)}, decoded(trip.out));
        QCOMPARE(extracted.exitCode, 5);
        QVERIFY(folderEntries(trip.out).isEmpty());
    }

    // A file system that refuses the attributes makes the member fail; one
    // without streams still extracts there.
    void attributesRefused() {
        Trip trip;
        ScratchMount plain(decoded(trip.ex), "ramfs");
        if (!plain.mounted())
            QSKIP(qPrintable(QStringLiteral("no ramfs: ") + plain.error()));
        QVERIFY(writeRaw(trip.src + "/f", "data"));
        QVERIFY(setAttribute(trip.src + "/f", "user.s", "v"));
        QCOMPARE(trip.add("f", false).exitCode, 0);
        const ProcessResult extracted = trip.extract();
        QCOMPARE(extracted.exitCode, 5);
        QVERIFY(extracted.err.contains("user.s"));
        QVERIFY(folderEntries(trip.ex).isEmpty());

        QCOMPARE(::unlink(trip.archive.constData()), 0);
        QVERIFY(writeRaw(trip.src + "/g", "no streams"));
        QCOMPARE(trip.add("g").exitCode, 0);
        QCOMPARE(trip.extract().exitCode, 0);
        QCOMPARE(folderEntries(trip.ex), QList<QByteArray>{"g"});
    }

    // Temporaries carry the shared name pattern and the hidden mark, and an
    // interrupted run leaves nothing under the final name.
    void interruptedRunsLeaveMarkedTemporaries() {
        Trip trip;
        const QByteArray huge = trip.src + "/huge";
        {
            QVERIFY(writeRaw(huge, ""));
            QCOMPARE(::truncate(huge.constData(), off_t(64) << 30), 0); // sparse
        }
        QProcess process;
        process.setWorkingDirectory(decoded(trip.base));
        process.start(rarPath(), {QStringLiteral("a"), decoded(trip.archive), decoded(huge)});
        QVERIFY(process.waitForStarted());
        QList<QByteArray> seen;
        QVERIFY(QTest::qWaitFor(
            [&] {
                seen = folderEntries(trip.out);
                return holdsData(trip.out, seen) || process.state() == QProcess::NotRunning;
            },
            600000));
        QCOMPARE(seen.size(), 1);
        QVERIFY2(isOurTemporary(seen[0]), seen[0].constData());
        QVERIFY(seen[0].startsWith(".torvanelo-a.rar-"));
        QCOMPARE(allUserAttributes(trip.out + '/' + seen[0]).count(HiddenMark), size_t(1));
        ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
        process.waitForFinished(-1);
        QVERIFY(!QFileInfo::exists(decoded(trip.archive)));
        ::unlink((trip.out + '/' + seen[0]).constData());

        // Extraction: an archive announcing a 64 GiB member over a sparse hole.
        handmade::Member member;
        member.name = "member";
        QByteArray header = handmade::signature() + handmade::mainHeader();
        const QByteArray body = QByteArray("\x02\x02", 2) + handmade::vint(uint64_t(64) << 30)
                                + QByteArray("\x04", 1) + handmade::vint(uint64_t(64) << 30)
                                + QByteArray("\x20\0\0\0\0\0\0\x06", 8) + "member";
        header += handmade::block(body);
        const QByteArray sparseArchive = trip.base + "/sparse.rar";
        QVERIFY(writeRaw(sparseArchive, header));
        const int fd = ::open(sparseArchive.constData(), O_WRONLY | O_CLOEXEC);
        QVERIFY(fd >= 0);
        const QByteArray end = handmade::endHeader();
        QCOMPARE(::pwrite(fd, end.constData(), size_t(end.size()),
                          off_t(header.size()) + (off_t(64) << 30)),
                 ssize_t(end.size()));
        ::close(fd);
        QProcess extractor;
        extractor.setWorkingDirectory(decoded(trip.ex));
        extractor.start(rarPath(), {QStringLiteral("e"), decoded(sparseArchive)});
        QVERIFY(extractor.waitForStarted());
        QVERIFY(QTest::qWaitFor(
            [&] {
                seen = folderEntries(trip.ex);
                return holdsData(trip.ex, seen) || extractor.state() == QProcess::NotRunning;
            },
            600000));
        QCOMPARE(seen.size(), 1);
        QVERIFY2(isOurTemporary(seen[0]), seen[0].constData());
        QVERIFY(seen[0].startsWith(".torvanelo-member-"));
        QCOMPARE(allUserAttributes(trip.ex + '/' + seen[0]).count(HiddenMark), size_t(1));
        ::kill(static_cast<pid_t>(extractor.processId()), SIGKILL);
        extractor.waitForFinished(-1);
        QVERIFY(!QFileInfo::exists(decoded(trip.ex + "/member")));
        ::unlink(sparseArchive.constData());
    }

    // Killed as it puts a file in place, rar leaves a temporary that still
    // carries the hidden mark (the program deletes such redundant copies),
    // never a visible one it would take for the user's; killed right after,
    // the file is whole under its name and still marked (the program unmarks
    // an archive of its own found so). strace stops it at the very call.
    void killedAroundTheRenameLeavesMarkedFiles_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("calls");
        QTest::addColumn<bool>("inPlace");
        const QString renames = QStringLiteral("rename,renameat,renameat2");
        QTest::newRow("a, at the rename") << QStringLiteral("a") << renames << false;
        QTest::newRow("a, before unmarking")
            << QStringLiteral("a") << QStringLiteral("fremovexattr") << true;
        QTest::newRow("e, at the rename") << QStringLiteral("e") << renames << false;
        QTest::newRow("e, before unmarking")
            << QStringLiteral("e") << QStringLiteral("fremovexattr") << true;
    }
    void killedAroundTheRenameLeavesMarkedFiles() {
        QFETCH(QString, command);
        QFETCH(QString, calls);
        QFETCH(bool, inPlace);
        const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
        if (strace.isEmpty())
            QSKIP("strace is not installed (scripts/install-deps.sh --tests installs it)");
        Trip trip;
        QVERIFY(writeRaw(trip.src + "/f", "data"));
        QVERIFY(setAttribute(trip.src + "/f", "user.s", "v"));
        const bool adding = command == QStringLiteral("a");
        if (!adding)
            QCOMPARE(trip.add("f", false).exitCode, 0);
        QStringList args{QStringLiteral("-f"),
                         QStringLiteral("-qq"),
                         QStringLiteral("-o"),
                         QStringLiteral("/dev/null"),
                         QStringLiteral("-e"),
                         QStringLiteral("trace=") + calls,
                         QStringLiteral("-e"),
                         QStringLiteral("inject=") + calls + QStringLiteral(":signal=SIGKILL"),
                         rarPath()};
        if (adding)
            args << QStringLiteral("a") << QStringLiteral("-os") << decoded(trip.archive)
                 << decoded(trip.src + "/f") << QStringLiteral("-df");
        else
            args << QStringLiteral("e") << decoded(trip.archive);
        const QByteArray folder = adding ? trip.out : trip.ex;
        // strace ends by the signal that killed rar.
        runProgram(strace, args, decoded(folder));

        const QList<QByteArray> left = folderEntries(folder);
        QCOMPARE(left.size(), 1);
        if (inPlace)
            QCOMPARE(left[0], adding ? QByteArray("a.rar") : QByteArray("f"));
        else
            QVERIFY2(isOurTemporary(left[0]), left[0].constData());
        QCOMPARE(allUserAttributes(folder + '/' + left[0]).count(HiddenMark), size_t(1));
        // Nothing was deleted: the run did not end.
        QCOMPARE(readRaw(trip.src + "/f").value_or(""), QByteArray("data"));
        if (inPlace && adding) {
            QCOMPARE(::removexattr(trip.archive.constData(), HiddenMark), 0);
            const QString problem = referenceCheck(trip.archive, 1, {":s"});
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
        }
    }

    // A large member of an existing archive is carried into its new version
    // through the copy ring, checked against its stored CRC on the way.
    void largeMemberCarriedOver() {
        Trip trip;
        QByteArray large(3 << 20, Qt::Uninitialized);
        for (int i = 0; i < large.size(); ++i)
            large[i] = static_cast<char>(i * 31 + (i >> 9));
        QVERIFY(writeRaw(trip.src + "/large", large));
        QCOMPARE(trip.add("large").exitCode, 0);
        QVERIFY(writeRaw(trip.src + "/small", "small"));
        QCOMPARE(trip.add("small").exitCode, 0);
        QCOMPARE(trip.extract().exitCode, 0);
        QCOMPARE(folderEntries(trip.ex), (QList<QByteArray>{"large", "small"}));
        QVERIFY(readRaw(trip.ex + "/large") == large);

        // A byte of the carried member's data damaged: the new version is
        // refused and the archive stays as it was.
        const QByteArray before = readRaw(trip.archive).value_or("");
        const qsizetype at = before.indexOf(large.left(64)) + (2 << 20);
        QVERIFY(at > (2 << 20));
        QByteArray damaged = before;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x40);
        QVERIFY(writeRaw(trip.archive, damaged));
        QVERIFY(writeRaw(trip.src + "/third", "third"));
        const ProcessResult refused = trip.add("third");
        QCOMPARE(refused.exitCode, 3);
        QVERIFY2(refused.err.contains("CRC"), refused.err.constData());
        QVERIFY(readRaw(trip.archive) == damaged);
        QCOMPARE(readRaw(trip.src + "/third").value_or(""), QByteArray("third"));
    }

    // Beyond 4 GiB, in bounded memory.
    void fileLargerThan4GiB() {
        Trip trip;
        const QByteArray source = trip.src + "/large";
        const off_t size = (off_t(4) << 30) + 4096 + 13;
        QVERIFY(writeRaw(source, "head"));
        const int fd = ::open(source.constData(), O_WRONLY | O_CLOEXEC);
        QVERIFY(fd >= 0);
        QCOMPARE(::pwrite(fd, "tail beyond 4 GiB", 17, size - 17), ssize_t(17));
        ::close(fd);
        QVERIFY(setAttribute(source, "user.s", "v"));

        const Measured added = runRarMeasured(
            {QStringLiteral("a"), QStringLiteral("-os"), decoded(trip.archive), decoded(source)},
            trip.base);
        QCOMPARE(added.exitCode, 0);
        // Far below the 16 MiB bound in a plain build (about 5 MiB).
        qInfo("peak resident memory of rar a: %ld KiB", added.peakResidentKiB);
        QVERIFY(added.peakResidentKiB > 0);
        QVERIFY2(added.peakResidentKiB < MemoryBoundKiB,
                 qPrintable(QString::number(added.peakResidentKiB)));
        QCOMPARE(::unlink(source.constData()), 0);
        const Measured extracted =
            runRarMeasured({QStringLiteral("e"), decoded(trip.archive)}, trip.ex);
        QCOMPARE(extracted.exitCode, 0);
        qInfo("peak resident memory of rar e: %ld KiB", extracted.peakResidentKiB);
        QVERIFY2(extracted.peakResidentKiB > 0 && extracted.peakResidentKiB < MemoryBoundKiB,
                 qPrintable(QString::number(extracted.peakResidentKiB)));
        const QString problem = referenceCheck(trip.archive, 1, {":s"});
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(::unlink(trip.archive.constData()), 0);

        const QByteArray result = trip.ex + "/large";
        struct stat status {};
        QCOMPARE(::stat(result.constData(), &status), 0);
        QCOMPARE(status.st_size, size);
        const int in = ::open(result.constData(), O_RDONLY | O_CLOEXEC);
        char head[4] = {};
        char tail[17] = {};
        QCOMPARE(::pread(in, head, 4, 0), ssize_t(4));
        QCOMPARE(::pread(in, tail, 17, size - 17), ssize_t(17));
        ::close(in);
        QCOMPARE(QByteArray(head, 4), QByteArray("head"));
        QCOMPARE(QByteArray(tail, 17), QByteArray("tail beyond 4 GiB"));
        QCOMPARE(allUserAttributes(result), (Attributes{{"user.s", "v"}}));
    }

    void usage() {
        const ProcessResult result = runRar({QStringLiteral("-?")}, QDir::tempPath());
        QCOMPARE(result.exitCode, 0);
        for (const char* text : {"rar a", "rar e", "-os", "-df", "  2 ", "  3 ", "  5 ", "  6 ",
                                 "  7 ", "  9 ", "  10 "})
            QVERIFY2(result.out.contains(text), text);
    }

    void badCommandLines_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("nothing") << QStringList();
        QTest::newRow("unknown command")
            << QStringList{QStringLiteral("x"), QStringLiteral("a.rar")};
        QTest::newRow("a without operands") << QStringList{QStringLiteral("a")};
        QTest::newRow("a without pattern")
            << QStringList{QStringLiteral("a"), QStringLiteral("a.rar")};
        QTest::newRow("a with two patterns") << QStringList{
            QStringLiteral("a"), QStringLiteral("a.rar"), QStringLiteral("x"), QStringLiteral("y")};
        QTest::newRow("unknown switch")
            << QStringList{QStringLiteral("a"), QStringLiteral("-zz"), QStringLiteral("a.rar"),
                           QStringLiteral("x")};
        QTest::newRow("e without archive") << QStringList{QStringLiteral("e")};
        QTest::newRow("e with two archives")
            << QStringList{QStringLiteral("e"), QStringLiteral("a.rar"), QStringLiteral("b.rar")};
        QTest::newRow("e with a switch of a")
            << QStringList{QStringLiteral("e"), QStringLiteral("-df"), QStringLiteral("a.rar")};
        QTest::newRow("pattern naming a folder")
            << QStringList{QStringLiteral("a"), QStringLiteral("a.rar"), QStringLiteral("src/")};
    }
    void badCommandLines() {
        QFETCH(QStringList, args);
        QTemporaryDir dir;
        const ProcessResult result = runRar(args, dir.path());
        QCOMPARE(result.exitCode, 7);
        QCOMPARE(result.err.count('\n'), 1);
        QVERIFY(folderEntries(QFile::encodeName(dir.path())).isEmpty());
    }

    void missingArchive() {
        QTemporaryDir dir;
        const ProcessResult result =
            runRar({QStringLiteral("e"), QStringLiteral("none.rar")}, dir.path());
        QCOMPARE(result.exitCode, 6);
        QVERIFY(result.err.startsWith("rar: none.rar: "));
    }
};

TORVANELO_TEST(RarCommandTest);
#include "RarCommandTest.moc"
