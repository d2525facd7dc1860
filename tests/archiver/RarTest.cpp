// The archiver `rar`, always the real binary run in real folders. `rar a`
// and `rar e` as the program uses them: files with real extended attributes
// go through and come back exactly, and every archive is also checked by
// the reference readers. `rar e` over archives it did not write: the sample
// archives of other RAR tools, archives built byte by byte from the
// published layout, and broken or hostile ones.

#include "ArchiveWriter.h"
#include "CpuBudget.h"
#include "NameCodec.h"
#include "Names.h"
#include "PosixFile.h"
#include "RarError.h"
#include "ScratchMount.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "linux/TemporaryName.h"
#include "linux/UniqueFd.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <random>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

using namespace torvanelo::test;
using torvanelo::decodeFileName, torvanelo::encodeFileName, torvanelo::rar::ArchiveOutput,
    torvanelo::rar::ArchiveWriter, torvanelo::rar::RarError, torvanelo::rar::StreamForm,
    torvanelo::rar::attributeNamesForStreams, torvanelo::rar::streamNamesForAttributes;

namespace {

struct ProcessResult {
    bool finished = false; // false: did not start, or hung and was killed
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    long peakKiB = 0; // peak resident memory, of the program's own address space
};

// Standard input is left open and never written, so a program that read it
// would hang; a run longer than `guardSeconds` is killed.
ProcessResult runProgram(const QString& program, const QStringList& args, const QString& folder,
                         int guardSeconds = 300) {
    ProcessResult result;
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(program, args);
    if (!process.waitForStarted(-1))
        return result;
    // The kernel's high-water mark, read until the program ends.
    const QString status = QStringLiteral("/proc/%1/status").arg(process.processId());
    const bool ended = QTest::qWaitFor(
        [&] {
            const QByteArray text = readFile(status).value_or("");
            if (const qsizetype at = text.indexOf("VmHWM:"); at >= 0)
                result.peakKiB = std::max(result.peakKiB,
                                          text.mid(at + 6, 20).simplified().split(' ')[0].toLong());
            return process.state() == QProcess::NotRunning;
        },
        guardSeconds * 1000);
    if (!ended) {
        process.kill();
        process.waitForFinished(-1);
    }
    result.finished = ended && process.exitStatus() == QProcess::NormalExit;
    result.exitCode = result.finished ? process.exitCode() : -1; // not a signal number
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QStringList decoded(const QList<QByteArray>& args) {
    QStringList list;
    for (const QByteArray& arg : args)
        list << QFile::decodeName(arg);
    return list;
}

// `rar` with raw-byte arguments, run in `folder`.
ProcessResult rar(const QByteArray& folder, const QList<QByteArray>& args) {
    return runProgram(rarPath(), decoded(args), QFile::decodeName(folder));
}

bool writeRaw(const QByteArray& path, const QByteArray& content) {
    return writeFile(decodeFileName(path), content);
}
std::optional<QByteArray> readRaw(const QByteArray& path) {
    return readFile(decodeFileName(path));
}

// Names in a folder, "." and ".." left out, sorted by their bytes.
QList<QByteArray> folderEntries(const QByteArray& folder) {
    QList<QByteArray> names;
    for (const QString& name : namesIn(decodeFileName(folder)))
        names << encodeFileName(name);
    std::sort(names.begin(), names.end());
    return names;
}

// The "user." attributes but the hidden mark; one entry "unreadable" when
// they cannot be read.
Attributes attributesOf(const QByteArray& path) {
    return readAttributes(decodeFileName(path)).value_or(Attributes{{"unreadable", ""}});
}
bool setAttributes(const QByteArray& path, const Attributes& attributes) {
    return writeAttributes(decodeFileName(path), attributes);
}
constexpr char HiddenMark[] = "user.torvanelo.hidden";
bool hasHiddenMark(const QByteArray& path) {
    return ::lgetxattr(path.constData(), HiddenMark, nullptr, 0) >= 0;
}

int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
    ::chmod(path, 0700);
    ::remove(path);
    return 0;
}

// The folders of one compress-and-extract trip: files in src/ are packed into
// out/a.rar and extracted into ex/. Removed by raw names (QDir cannot name
// every byte sequence).
struct Trip {
    QTemporaryDir root;
    QByteArray base = QFile::encodeName(root.path());
    QByteArray src = base + "/src", out = base + "/out", ex = base + "/ex";
    QByteArray archive = out + "/a.rar";

    explicit Trip(const QString& parent = QDir::tempPath())
        : root(parent + QStringLiteral("/rar-XXXXXX")) {
        for (const QByteArray& folder : {src, out, ex})
            ::mkdir(folder.constData(), 0755);
    }
    ~Trip() { ::nftw(base.constData(), removeEntry, 16, FTW_DEPTH | FTW_PHYS); }

    QList<QByteArray> addArgs(const QByteArray& pattern, bool deleteFiles = true) const {
        QList<QByteArray> args{"a", "-os", archive, src + '/' + pattern};
        return deleteFiles ? args << "-df" : args;
    }
    ProcessResult add(const QByteArray& pattern, bool deleteFiles = true) {
        return rar(base, addArgs(pattern, deleteFiles));
    }
    ProcessResult extract() { return rar(ex, {"e", archive}); }
};

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

// The samples live beside the shared format notes, outside the source tree.
const QString SamplesDir = QStringLiteral("/work/shared/testdata/rar");

// The test's own RAR 5.0 writer, from the published layout alone.

QByteArray vint(uint64_t value) {
    QByteArray bytes;
    for (; value >= 0x80; value >>= 7)
        bytes.append(static_cast<char>((value & 0x7F) | 0x80));
    return bytes.append(static_cast<char>(value));
}

QByteArray uint32le(uint32_t value) {
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

uint32_t crc(const QByteArray& bytes) {
    return uint32_t(
        ::crc32(0, reinterpret_cast<const Bytef*>(bytes.constData()), uInt(bytes.size())));
}

// CRC32 + header size + body.
QByteArray block(const QByteArray& body) {
    const QByteArray sized = vint(body.size()) + body;
    return uint32le(crc(sized)) + sized;
}

const QByteArray Signature("Rar!\x1A\x07\x01\x00", 8);

QByteArray withBlocks(const QByteArray& blocks) {
    return Signature + block(QByteArray("\x01\x00\x00", 3)) + blocks
           + block(QByteArray("\x05\x04\x00", 3));
}

// Extra record of a modification time (Windows FILETIME).
QByteArray fileTime(int64_t seconds) {
    QByteArray record = vint(0x03) + vint(0x02) + QByteArray(8, '\0');
    qToLittleEndian(uint64_t(seconds + 11644473600LL) * 10000000ULL, record.data() + 2);
    return vint(record.size()) + record;
}

// Data as it lies in the archive: stored, or packed by a RAR 5.0 method
// (`compression` is the compression information, `unpacked` what it gives).
struct Packed {
    Packed(const char* stored = "")
        : bytes(stored) {}
    Packed(QByteArray packed, uint64_t info = 0, QByteArray content = {})
        : bytes(std::move(packed))
        , compression(info)
        , unpacked(std::move(content)) {}
    QByteArray bytes;
    uint64_t compression = 0;
    QByteArray unpacked;
    const QByteArray& content() const { return compression == 0 ? bytes : unpacked; }
};
struct Stream {
    QByteArray name; // with its leading ':'
    Packed value;
};
struct Member {
    QByteArray name;
    Packed data;
    uint64_t fileFlags = 0x04;               // CRC present
    QByteArray extra = fileTime(1700000000); // complete extra records
    std::vector<Stream> streams = {};
};

// A file (type 2) or service (3) header from a Windows host, with its data;
// a service header depends on the file before it.
QByteArray entryBlock(uint64_t type, const Member& entry) {
    const bool extra = !entry.extra.isEmpty();
    QByteArray body = vint(type) + vint((type == 3 ? 0x22 : 0x02) | (extra ? 0x01 : 0));
    if (extra)
        body += vint(entry.extra.size());
    body += vint(entry.data.bytes.size()) + vint(entry.fileFlags)
            + vint(entry.data.content().size()) + vint(type == 2 ? 0x20 : 0);
    if (entry.fileFlags & 0x04)
        body += uint32le(crc(entry.data.content()));
    body +=
        vint(entry.data.compression) + vint(0) + vint(entry.name.size()) + entry.name + entry.extra;
    return block(body) + entry.data.bytes;
}

// A service header (CMT, QO, ACL, STM, ...) with its data; serviceData goes
// into a service-data record when not empty.
QByteArray serviceBlock(const QByteArray& name, const Packed& data,
                        const QByteArray& serviceData = {}) {
    const QByteArray record = vint(0x07) + serviceData;
    return entryBlock(
        3, {name, data, 0x04, serviceData.isEmpty() ? QByteArray() : vint(record.size()) + record});
}

QByteArray archive(const std::vector<Member>& members) {
    QByteArray blocks;
    for (const Member& member : members) {
        blocks += entryBlock(2, member);
        for (const Stream& stream : member.streams)
            blocks += serviceBlock("STM", stream.value, stream.name);
    }
    return withBlocks(blocks);
}

// The samples' test pattern: little-endian uint32 max(0, k*k - 3k + 1 + magic).
QByteArray testPattern(int size, int magic) {
    QByteArray bytes;
    for (int64_t k = 1; k <= size / 4; ++k)
        bytes += uint32le(uint32_t(std::max<int64_t>(0, k * k - 3 * k + 1 + magic)));
    return bytes;
}

// Compressed data no tool here writes, taken from a sample at its data
// offset: test.bin, 1,200 bytes packed by method 5 with a 128 KiB dictionary.
Packed packedSample(const char* sample, qsizetype offset, qsizetype size, uint64_t compression,
                    const QByteArray& unpacked) {
    const auto bytes = readFile(QStringLiteral("/work/shared/testdata/rar/test_read_format_%1.rar")
                                    .arg(QLatin1String(sample)));
    return {bytes ? bytes->mid(offset, size) : QByteArray(), compression, unpacked};
}
Packed packedTestBin() {
    return packedSample("rar5_compressed", 0x43, 361, 0x280, testPattern(1200, 0));
}

// The worked example of the published format notes: demo.txt holding
// "file data\n" (modified at 1700000000) with one stream, ":demo.stream",
// holding "stream data\n".
const QByteArray WorkedExample =
    QByteArray::fromHex("52617221 1a070100 c51a3332 03010000 3985b372 2102030b 0a040a20 a1ca36b6"
                        "00000864 656d6f2e 7478740a 03020000 6dc64717 da016669 6c652064 6174610a"
                        "685ea335 1f03230e 0c040c00 fd9fdd53 00000353 544d0d07 3a64656d 6f2e7374"
                        "7265616d 73747265 616d2064 6174610a 1d775651 03050400");

// Two good members, the second with a stream.
std::vector<Member> goodMembers() {
    return {{"first.txt", "first member\n"},
            {.name = "second.txt", .data = "second member\n", .streams = {{":note", "value"}}}};
}

QByteArray flipBit(QByteArray bytes, qsizetype offset) {
    bytes[offset] = static_cast<char>(bytes[offset] ^ 0x10);
    return bytes;
}

// Rows of the extraction table; files separated by commas, each a name or
// "name size crc32 mode [hidden]".
void row(const char* tag, const QByteArray& bytes, int code, const char* files = "") {
    QTest::newRow(tag) << bytes << code
                       << QString::fromUtf8(files).split(QLatin1Char(','), Qt::SkipEmptyParts);
}

} // namespace

Q_DECLARE_METATYPE(Original)

class RarTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(QFileInfo::exists(rarPath()), qPrintable(rarPath()));
        // The stream names expected below are those of the plain form.
        qputenv("TORVANELO_STREAM_FORM", "plain");
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

        std::vector<std::string> names;
        for (const auto& [key, value] : attributes)
            names.push_back(key);
        QList<QByteArray> streams;
        for (const auto& stream : streamNamesForAttributes(names, StreamForm::Plain))
            streams << QByteArray::fromStdString(stream.value());
        referenceCheck(trip.archive, 1, streams, QString::fromUtf8(name).toUtf8() == name);
        if (unrarPath().isEmpty())
            QSKIP("RARLAB unrar not found in <build>/tools (scripts/fetch-unrar.sh fetches it); "
                  "its checks were skipped, all other checks passed");
    }

    // The engine's own command line: B.r? takes the data and name files only,
    // and the archive is made beside them. (That streams stay with their
    // file is the end-to-end chain's to see.)
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
        const QList<QByteArray> args =
            adding ? trip.addArgs("f") : QList<QByteArray>{"e", trip.archive};
        // strace ends by the signal that killed rar.
        runProgram(strace,
                   QStringLiteral("-f -qq -o /dev/null -e trace=%1 -e inject=%1:signal=SIGKILL %2")
                           .arg(calls, rarPath())
                           .split(QLatin1Char(' '))
                       + decoded(args),
                   QFile::decodeName(folder));

        const QList<QByteArray> left = folderEntries(folder);
        QCOMPARE(left.size(), 1);
        QVERIFY2(inPlace ? left[0] == (adding ? "a.rar" : "f")
                         : torvanelo::isTemporaryName(left[0].toStdString()),
                 left[0].constData());
        QVERIFY(hasHiddenMark(folder + '/' + left[0]));
        // Nothing was deleted before the archive was in place; with -df the
        // archive keeps its mark until the files are gone.
        if (inPlace && adding)
            QVERIFY(!readRaw(trip.src + "/f"));
        else
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
        row("a with files in two folders", "a OUT/a.rar SRC/f OUT/f");
        row("a naming a missing file", "a OUT/a.rar SRC/f SRC/none", 6);
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

    // The test's own writer gives the published worked example byte for
    // byte. What it builds extracts with its stream and time; service headers
    // other than streams (comment, ACL, quick open, recovery record) are
    // skipped, and a stream after them still belongs to the file before.
    void handmadeArchive() {
        QCOMPARE(archive({{.name = "demo.txt",
                           .data = "file data\n",
                           .streams = {{":demo.stream", "stream data\n"}}}}),
                 WorkedExample);
        Trip trip;
        QVERIFY(
            writeRaw(trip.archive, withBlocks(serviceBlock("CMT", "an archive comment")
                                              + entryBlock(2, {"demo.txt", "file data\n"})
                                              + serviceBlock("ACL", QByteArray(40, '\x01'))
                                              + serviceBlock("STM", "stream data\n", ":demo.stream")
                                              + serviceBlock("QO", QByteArray(65, '\x02'))
                                              + serviceBlock("RR", QByteArray(100, '\x03')))));
        const ProcessResult result = trip.extract();
        QVERIFY2(result.exitCode == 0, result.err.constData());
        QCOMPARE(folderEntries(trip.ex), QList<QByteArray>{"demo.txt"});
        const QByteArray path = trip.ex + "/demo.txt";
        QCOMPARE(readRaw(path).value_or(QByteArray()), QByteArray("file data\n"));
        QCOMPARE(attributesOf(path), (Attributes{{"user.demo.stream", "stream data\n"}}));
        QCOMPARE(QFileInfo(QFile::decodeName(path)).lastModified().toSecsSinceEpoch(), 1700000000);
    }

    // The samples of other tools (exact extraction, with the mode from
    // Windows-host attributes or the Unix-host mode and the hidden mark, or
    // a clean refusal), and broken and hostile archives: the expected exit
    // status, the files the work folder holds afterwards, nothing outside it,
    // the archive intact.
    void extraction_data() {
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<int>("exitCode"); // -1: the sample is missing
        QTest::addColumn<QStringList>("files");
        // The samples of other tools, with the files each gives.
        const auto sample = [](const char* name, int code, const char* files = "") {
            const auto bytes = readRaw(QFile::encodeName(
                SamplesDir + QStringLiteral("/test_read_format_%1.rar").arg(QLatin1String(name))));
            row(name, bytes.value_or(""), bytes ? code : -1, files);
        };
        const char* hello = "helloworld.txt 29 95a043b4 644";
        sample("rar5_stored", 0, hello);
        sample("rar5_stored_manyfiles", 0,
               "cebula.txt 814 7e5ec49e 644,make_uue.tcl 405 49478adc 755,"
               "test.bin 1200 7cca70cd 644");
        sample("rar5_fileattr", 0,
               "hidden.txt 11 853d846f 644 hidden,readonly.txt 11 9b8edd8b 444,"
               "ro_hidden.txt 11 1d109f2e 444 hidden,system.txt 11 28d28c2d 644");
        sample("rar5_owner", 0,
               "nobody.txt 5 accdc166 644,numeric.txt 5 22db207a 644,root.txt 5 7d931721 644");
        sample("rar5_hardlink", 0, "file.txt 5 7d931721 644");
        sample("rar5_symlink", 0, "file.txt 5 7d931721 644");
        sample("rar5_unicode", 0, "\U0001F44B\U0001F30E.txt 13 ebe6c6e6 644");
        sample("rar5_zip_in_rar", 0, "inner.zip 165 8571e12e 644,real_after.txt 21 f64da62e 644");
        sample("rar5_skip_block_extra_bytes", 0, hello);
        sample("rar5_main_block_extra_bytes", 0, hello);
        sample("rar5_unsupported_exfld", 0, "file.txt 48 b4eb162e 755");
        const auto refused = [&](const char* names, int code) {
            for (const QString& name : QString::fromLatin1(names).split(QLatin1Char(' ')))
                sample(name.toLatin1().constData(), code);
        };
        refused("rar5_owner_name_toolong rar5_dirdata rar5_block_size_is_too_small", 3);
        // Compressed by RAR on Windows and Unix, methods 1 to 5, the ARM filter,
        // a BLAKE2sp digest instead of a CRC32, an older version of a file.
        sample("rar5_compressed", 0, "test.bin 1200 7cca70cd 644");
        sample("rar5_multiple_files", 0,
               "test1.bin 4096 7e13b2c6 644,test2.bin 4096 f166afcb 644,"
               "test3.bin 4096 9fb123d9 644,test4.bin 4096 10c43ed4 644");
        sample("rar5_win32", 0,
               "test.bin 1200 7cca70cd 644,test1.bin 4096 7e13b2c6 644,"
               "test2.bin 4096 f166afcb 444,test3.bin 4096 9fb123d9 644,"
               "test4.bin 4096 10c43ed4 644,test5.bin 4096 b9d155f2 644,"
               "test6.bin 4096 36a448ff 644");
        sample("rar5_blake2", 0, "cebula.txt 814 7e5ec49e 644");
        sample("rar5_extra_field_version", 0, "2to3 95 f24181b7 755,2to3;1 95 f24181b7 755");
        sample("rar5_arm", 0, "elf-Linux-ARMv7-ls 90808 886f91eb 755");
        refused("rar5_multiple_files_solid rar5_solid rar5_encrypted "
                "rar5_encrypted_filenames rar5_invalid_hash_valid_htime_exfld "
                "rar5_only_crypt_exfld rar5_bytes_remaining_underflow "
                "rar5_multiarchive_solid.part01 rar5_multiarchive_solid.part02 "
                "rar5_multiarchive_solid.part03 rar5_multiarchive_solid.part04 rar rar_windows "
                "rar_subblock rar_unicode rar_compress_normal rar_noeof rar_invalid1",
                2);
        const int unsupported = 2;
        const int damaged = 3;
        const QByteArray good = archive(goodMembers());
        row("good", good, 0, "first.txt,second.txt");

        const qsizetype firstData = good.indexOf("first member");
        const qsizetype streamData = good.indexOf("value");
        for (const qsizetype length : QList<qsizetype>{
                 0, 4, 8, 12, 17, 30, firstData + 3, streamData, good.size() - 8, good.size() - 1})
            QTest::addRow("truncated to %lld bytes", qlonglong(length))
                << good.left(length) << damaged << QStringList();
        row("bit flipped in a file header", flipBit(good, 30), damaged);
        row("bit flipped in file data", flipBit(good, firstData + 2), damaged);
        row("bit flipped in stream data", flipBit(good, streamData), damaged);
        // Compressed data: the decoder's output is checked against the sizes
        // and CRC32 of our own header walk.
        const Packed packed = packedTestBin();
        const auto compressed = [&](const Packed& data, uint64_t fileFlags = 0x04,
                                    const QByteArray& extra = fileTime(1700000000)) {
            return archive({{"t.bin", data, fileFlags, extra}});
        };
        row("compressed member", compressed(packed), 0, "t.bin 1200 7cca70cd 644");
        row("compressed data damaged",
            compressed({flipBit(packed.bytes, 200), packed.compression, packed.unpacked}), damaged);
        row("compressed data cut short",
            compressed({packed.bytes.left(300), packed.compression, packed.unpacked}), damaged);
        row("compressed data shorter than its size",
            compressed({packed.bytes, packed.compression, packed.unpacked + "x"}), damaged);
        row("compressed data longer than its size",
            compressed({packed.bytes, packed.compression, packed.unpacked.left(1000)}), damaged);
        row("compressed with a wrong BLAKE2sp digest",
            compressed(packed, 0,
                       fileTime(1700000000) + vint(34) + vint(2) + vint(0)
                           + QByteArray(32, '\x5a')),
            damaged);
        row("compression algorithm version 1",
            compressed({packed.bytes, packed.compression | 1, packed.unpacked}), unsupported);
        row("dictionary of 128 MiB",
            compressed({packed.bytes, packed.compression | (10 << 10), packed.unpacked}),
            unsupported);
        row("solid member", compressed({packed.bytes, packed.compression | 0x40, packed.unpacked}),
            unsupported);
        row("trailing bytes after the end ignored", good + "junk", 0, "first.txt,second.txt");
        row("no main header",
            Signature + entryBlock(2, {"a", "b"}) + block(QByteArray("\x05\x04\x00", 3)), damaged);
        row("not RAR at all", "PK\x03\x04 this is no rar archive", damaged);

        // Header size 0x1FFFFF with a CRC that matches it: it points past the end.
        const QByteArray pastEnd = QByteArray::fromHex("ffff7f0202");
        row("header size pointing past the end", withBlocks(uint32le(crc(pastEnd)) + pastEnd),
            damaged);
        row("header size 0", withBlocks(uint32le(crc(QByteArray(1, '\0'))) + '\0'), damaged);
        const QByteArray fourByteSize = QByteArray::fromHex("858080000202000000");
        row("header size in 4 bytes", withBlocks(uint32le(crc(fourByteSize)) + fourByteSize),
            damaged);
        // The data size in eleven bytes ("80" x 10 then "00"), and in ten.
        const QByteArray rest = QByteArray::fromHex("04002000000000000001") + "x";
        row("vint longer than ten bytes",
            withBlocks(block("\x02\x02" + QByteArray(10, '\x80') + '\0' + rest)), damaged);
        // Its bits beyond 64 would wrap it to zero, a valid empty member.
        row("vint beyond 64 bits",
            withBlocks(block("\x02\x02" + QByteArray(9, '\x80') + '\x02' + rest)), damaged);
        row("ten-byte padded vint accepted",
            withBlocks(block("\x02\x02" + QByteArray(9, '\x80') + '\0' + rest)), 0, "x");

        const auto named = [](const QByteArray& name) { return archive({{name, "named\n"}}); };
        row("member ../x", named("../x"), 0, "x");
        row("member /etc/x", named("/etc/x"), 0, "x");
        row("member a/b", named("a/b"), 0, "b");
        row("member ..\\x", named("..\\x"), 0, "x");
        row("member with empty name", named(""), damaged);
        row("member ..", named(".."), unsupported);
        row("member a/..", named("a/.."), unsupported);
        row("member .", named("."), unsupported);
        row("member with NUL", named(QByteArray("a\0b", 3)), unsupported);
        row("member named 64 KiB long", named(QByteArray(65536, 'n')), unsupported);
        row("member named 300 bytes with a newline", named("line\nbreak" + QByteArray(290, 'n')),
            unsupported);
        row("two members of the same name", archive({{"same", "1"}, {"same", "2"}}), unsupported);
        row("two members that extract to the same name",
            archive({{"a/same", "1"}, {"b/same", "2"}}), unsupported);
        row("member without CRC32", archive({{"unchecked", "data", 0}}), unsupported);
        row("directory with data", archive({{"dir", "data", 0x05}}), damaged);
        row("unknown block type", withBlocks(block(QByteArray("\x10\x00", 2))), unsupported);

        const auto streamed = [](const std::vector<Stream>& streams) {
            return archive({{.name = "f", .data = "1", .streams = streams}});
        };
        row("stream name without colon", streamed({{"name", "v"}}), damaged);
        row("stream name only a colon", streamed({{":", "v"}}), damaged);
        row("stream name like an old escape", streamed({{":a%00b", "v"}}), 0, "f");
        row("stream larger than 64 KiB", streamed({{":big", QByteArray(65537, 'v')}}), unsupported);
        row("same stream twice", streamed({{":s", "1"}, {":s", "2"}}), damaged);
        // A stream standing for the hidden mark does not set it: the attribute bit decides.
        row("hidden-mark stream ignored", streamed({{":torvanelo.hidden", "1"}}), 0,
            "f 1 83dcefb7 644");
        row("stream without a file ignored",
            withBlocks(serviceBlock("STM", "v", ":s") + entryBlock(2, {"f", "1"})), 0, "f");
    }
    void extraction() {
        QFETCH(QByteArray, archive);
        QFETCH(int, exitCode);
        QFETCH(QStringList, files);
        if (exitCode < 0)
            QSKIP(qPrintable(QStringLiteral("sample archives not found in ") + SamplesDir));
        Trip trip;
        QVERIFY(writeRaw(trip.archive, archive));
        const ProcessResult result = trip.extract();
        QVERIFY2(result.finished, "rar hung or crashed");
        QVERIFY2(result.exitCode == exitCode, result.err.constData());
        if (exitCode != 0) // one line naming the archive and the reason
            QVERIFY(result.err.count('\n') == 1
                    && result.err.startsWith("rar: " + trip.archive + ": "));
        const bool detailed = !files.isEmpty() && files[0].contains(QLatin1Char(' '));
        QStringList found;
        for (const QByteArray& name : folderEntries(trip.ex)) {
            const QByteArray path = trip.ex + '/' + name;
            const QByteArray content = readRaw(path).value_or(QByteArray());
            struct stat status {};
            QCOMPARE(::stat(path.constData(), &status), 0);
            const QString detail =
                QString::asprintf(" %lld %08x %o%s", qlonglong(content.size()), crc(content),
                                  status.st_mode & 07777, hasHiddenMark(path) ? " hidden" : "");
            found << QString::fromUtf8(name) + (detailed ? detail : QString());
        }
        QCOMPARE(found, files);
        QCOMPARE(folderEntries(trip.base), (QList<QByteArray>{"ex", "out", "src"}));
        QCOMPARE(folderEntries(trip.out), QList<QByteArray>{"a.rar"});
        QVERIFY(readRaw(trip.archive) == archive);
        QVERIFY(!QFileInfo::exists(QStringLiteral("/etc/x")));
    }

    // Compressed streams come back as attributes, in the form chosen for
    // Windows streams; "a" carries compressed members and streams into a new
    // version (decoding them to check them), and RARLAB's reader accepts it.
    void compressedStreams_data() {
        QTest::addColumn<QByteArray>("form");
        QTest::addColumn<QByteArray>("attribute");
        QTest::newRow("plain") << QByteArray("plain") << QByteArray("user.packed");
        QTest::newRow("Samba") << QByteArray("samba") << QByteArray("user.DosStream.packed:$DATA");
        QTest::newRow("Samba, the default")
            << QByteArray() << QByteArray("user.DosStream.packed:$DATA");
    }
    void compressedStreams() {
        QFETCH(QByteArray, form);
        QFETCH(QByteArray, attribute);
        const Packed packed = packedTestBin();
        QVERIFY(!packed.bytes.isEmpty());
        Trip trip;
        QVERIFY(writeRaw(trip.archive, archive({{.name = "f",
                                                 .data = "data",
                                                 .streams = {{":packed", packed}, {":small", "v"}}},
                                                {"t.bin", packed}})));
        referenceCheck(trip.archive, 2, {":packed", ":small"});
        if (form.isEmpty())
            qunsetenv("TORVANELO_STREAM_FORM");
        else
            qputenv("TORVANELO_STREAM_FORM", form);
        const ProcessResult extracted = trip.extract();
        QVERIFY2(extracted.exitCode == 0, extracted.err.constData());
        const std::string small = form == "plain" ? "user.small" : "user.DosStream.small:$DATA";
        const Attributes expected{{attribute.toStdString(), packed.unpacked.toStdString()},
                                  {small, "v"}};
        QCOMPARE(attributesOf(trip.ex + "/f"), expected);
        QVERIFY(readRaw(trip.ex + "/t.bin") == packed.unpacked);

        QVERIFY(writeRaw(trip.src + "/g", "new"));
        const ProcessResult added = trip.add("g");
        QVERIFY2(added.exitCode == 0, added.err.constData());
        referenceCheck(trip.archive, 3, {":packed", ":small"});
        QVERIFY(::unlink((trip.ex + "/f").constData()) == 0);
        QCOMPARE(trip.extract().exitCode, 0);
        qputenv("TORVANELO_STREAM_FORM", "plain");
        QCOMPARE(folderEntries(trip.ex), (QList<QByteArray>{"f", "g", "t.bin"}));
        QCOMPARE(attributesOf(trip.ex + "/f"), expected);
        QVERIFY(readRaw(trip.ex + "/t.bin") == packed.unpacked);

        // A damaged compressed member refuses the new version.
        QByteArray bytes = readRaw(trip.archive).value_or("");
        const qsizetype at = bytes.indexOf(packed.bytes.mid(100, 40));
        QVERIFY(at > 0);
        bytes[at] = static_cast<char>(bytes[at] ^ 0x08);
        QVERIFY(writeRaw(trip.archive, bytes) && writeRaw(trip.src + "/h", "h"));
        QCOMPARE(trip.add("h").exitCode, 3);
        QVERIFY(readRaw(trip.archive) == bytes);
        QVERIFY(readRaw(trip.src + "/h"));
    }

    // The permission bits come back exactly, whatever the umask, and as root
    // the owner and group too; RARLAB's reader still accepts the archive,
    // which is no more open than the file it holds.
    void modeAndOwner_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("owner"); // -1: the test's own
        QTest::newRow("0600") << 0600 << -1;
        QTest::newRow("0640") << 0640 << -1;
        QTest::newRow("0755") << 0755 << -1;
        QTest::newRow("0640, owner 1000:1000") << 0640 << 1000;
    }
    void modeAndOwner() {
        QFETCH(int, mode);
        QFETCH(int, owner);
        if (owner >= 0 && ::geteuid() != 0)
            QSKIP("only root gives files to another owner");
        Trip trip;
        const QByteArray source = trip.src + "/f";
        QVERIFY(writeRaw(source, "private") && ::chmod(source.constData(), mode_t(mode)) == 0);
        QVERIFY(owner < 0 || ::chown(source.constData(), uid_t(owner), gid_t(owner)) == 0);
        QCOMPARE(trip.add("f").exitCode, 0);
        struct stat archive {};
        QCOMPARE(::stat(trip.archive.constData(), &archive), 0);
        QCOMPARE(int(archive.st_mode & 0777), ((mode & 0666) | 0600) & ~022);
        const mode_t umask = ::umask(0);
        const ProcessResult extracted = trip.extract();
        ::umask(umask);
        QVERIFY2(extracted.exitCode == 0, extracted.err.constData());
        struct stat status {};
        QCOMPARE(::stat((trip.ex + "/f").constData(), &status), 0);
        QCOMPARE(int(status.st_mode & 07777), mode);
        QCOMPARE(int(status.st_uid), owner < 0 ? int(::geteuid()) : owner);
        QCOMPARE(int(status.st_gid), owner < 0 ? int(::getegid()) : owner);
        referenceCheck(trip.archive, 1, {});
    }

    // Unpacked by an ordinary user outside the file's group, the file gets
    // his group and no group rights: never more open than it left.
    void foreignGroupLosesItsRights() {
        if (::geteuid() != 0)
            QSKIP("needs root to make a file of another group");
        Trip trip;
        const QByteArray source = trip.src + "/f";
        QVERIFY(writeRaw(source, "shared") && ::chmod(source.constData(), 0664) == 0
                && ::chown(source.constData(), 0, 1000) == 0);
        QCOMPARE(trip.add("f").exitCode, 0);
        QVERIFY(::chown(trip.ex.constData(), 65534, 65534) == 0
                && ::chmod(trip.base.constData(), 0755) == 0
                && ::chmod(trip.out.constData(), 0755) == 0
                && ::chmod(trip.archive.constData(), 0644) == 0);
        const ProcessResult extracted =
            runProgram(QStringLiteral("setpriv"),
                       {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                        QStringLiteral("--clear-groups"), rarPath(), QStringLiteral("e"),
                        QFile::decodeName(trip.archive)},
                       QFile::decodeName(trip.ex));
        QVERIFY2(extracted.exitCode == 0, extracted.err.constData());
        struct stat status {};
        QCOMPARE(::stat((trip.ex + "/f").constData(), &status), 0);
        QCOMPARE(int(status.st_mode & 07777), 0604);
        QCOMPARE(int(status.st_gid), 65534);
    }

    // The engine names its two files exactly: a file of the user's beside
    // them, matching what a wildcard would, is neither taken nor deleted; a
    // missing one fails the run before anything is written or deleted.
    void exactNames() {
        Trip trip;
        for (const char* name : {"B.rr", "B.rn", "B.rm"})
            QVERIFY(writeRaw(trip.src + '/' + name, name));
        const QByteArray archive = trip.src + "/B.rar";
        const ProcessResult added =
            rar(trip.base, {"a", "-os", archive, trip.src + "/B.rr", trip.src + "/B.rn", "-df"});
        QVERIFY2(added.exitCode == 0, added.err.constData());
        QCOMPARE(folderEntries(trip.src), (QList<QByteArray>{"B.rar", "B.rm"}));
        QCOMPARE(readRaw(trip.src + "/B.rm").value_or(""), QByteArray("B.rm"));
        QVERIFY(!hasHiddenMark(archive));
        QCOMPARE(rar(trip.ex, {"e", archive}).exitCode, 0);
        QCOMPARE(folderEntries(trip.ex), (QList<QByteArray>{"B.rn", "B.rr"}));
        referenceCheck(archive, 2, {});

        QVERIFY(writeRaw(trip.src + "/C.rr", "C"));
        const ProcessResult missing =
            rar(trip.base,
                {"a", "-os", trip.src + "/C.rar", trip.src + "/C.rr", trip.src + "/C.rn", "-df"});
        QCOMPARE(missing.exitCode, 6);
        QCOMPARE(folderEntries(trip.src), (QList<QByteArray>{"B.rar", "B.rm", "C.rr"}));
    }

    // A decoder that loops without producing anything is stopped by the
    // kernel once its processor time runs out: the temporary files go, one
    // line is printed and the exit status is that of a damaged archive.
    void cpuBudgetStopsALoop() {
        Trip trip;
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            torvanelo::rar::TemporaryFile temporary(trip.ex.toStdString() + "/member");
            torvanelo::rar::CpuBudget budget("rar: looping", 1);
            volatile uint64_t spin = 0;
            for (;;)
                spin = spin + 1;
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY2(WIFEXITED(status), qPrintable(QString::number(status)));
        QCOMPARE(WEXITSTATUS(status), 3);
        QVERIFY(folderEntries(trip.ex).isEmpty());
    }

    // The third member is damaged: nothing of the archive lands, and a file
    // already there under the first member's name keeps its content.
    void damagedMemberExtractsNothing() {
        std::vector<Member> members = goodMembers();
        members.push_back({"third.txt", "third member\n"});
        const QByteArray bytes = archive(members);
        Trip trip;
        QVERIFY(writeRaw(trip.archive, flipBit(bytes, bytes.indexOf("third member"))));
        QVERIFY(writeRaw(trip.ex + "/first.txt", "older content"));
        const ProcessResult result = trip.extract();
        QCOMPARE(result.exitCode, 3);
        QVERIFY(result.err.contains("third.txt"));
        QCOMPARE(folderEntries(trip.ex), QList<QByteArray>{"first.txt"});
        QCOMPARE(readRaw(trip.ex + "/first.txt").value_or(""), QByteArray("older content"));
    }

    // A member that would land on the archive itself is refused.
    void memberCannotReplaceTheArchive() {
        Trip trip;
        const QByteArray bytes = archive({{"a.rar", "payload"}});
        QVERIFY(writeRaw(trip.ex + "/a.rar", bytes));
        QCOMPARE(rar(trip.ex, {"e", "a.rar"}).exitCode, 5);
        QCOMPARE(readRaw(trip.ex + "/a.rar").value_or(""), bytes);
        QCOMPARE(folderEntries(trip.ex), QList<QByteArray>{"a.rar"});
    }

    // A file longer or shorter than its header announces is refused by the
    // writer, not cut or padded silently.
    void fileThatChangedSizeIsRefused() {
        Trip trip;
        const QByteArray data = trip.src + "/data";
        QVERIFY(writeRaw(data, "file data\n"));
        const torvanelo::UniqueFd in(::open(data.constData(), O_RDONLY | O_CLOEXEC));
        const torvanelo::UniqueFd out(::open(trip.archive.constData(), O_RDWR | O_CREAT, 0644));
        QVERIFY(in.valid() && out.valid());
        for (const uint64_t size : {9, 10, 11}) {
            ArchiveOutput output(out.get(), "test archive");
            ArchiveWriter writer(output);
            QCOMPARE(::lseek(in.get(), 0, SEEK_SET), off_t(0));
            bool refused = false;
            try {
                writer.addFile({"file", size}, in.get());
            } catch (const RarError&) {
                refused = true;
            }
            QCOMPARE(refused, size != 10);
        }
    }

    // Attribute names and stream names, both ways, in each form: the name of
    // the stream written for each attribute of one file, and the attribute
    // each stream of one member gives back (rows without attributes only
    // read: streams of Windows files).
    void streamNames_data() {
        QTest::addColumn<bool>("samba");
        QTest::addColumn<QByteArrayList>("attributes");
        QTest::addColumn<QByteArrayList>("streams");
        const QByteArray esc = "\xef\x80";     // U+F000 + byte, bytes below 0x40
        const QByteArray escHigh = "\xef\x81"; // bytes 0x40 to 0x7F
        const QByteArray marker = "\xef\x80\x80";
        const QByteArray literal = "\xef\x81\x8c"; // U+F04C
        const auto row = [](const char* tag, bool samba, const QByteArrayList& attributes,
                            const QByteArrayList& streams) {
            QTest::newRow(tag) << samba << attributes << streams;
        };
        for (const bool samba : {false, true}) {
            const QByteArray form = samba ? "samba: " : "plain: ";
            const auto tag = [&](const char* text) { return (form + text); };
            row(tag("Samba's form is the Windows stream").constData(), samba,
                {samba ? "user.DosStream.Zone.Identifier:$DATA" : "user.Zone.Identifier"},
                {":Zone.Identifier"});
            row(tag("characters NTFS refuses escaped").constData(), samba,
                {samba ? "user.DosStream.a*b?c\"d<e>f|g:$DATA" : "user.a*b?c\"d<e>f|g"},
                {":a" + esc + "\xaa" + "b" + esc + "\xbf" + "c" + esc + "\xa2" + "d" + esc + "\xbc"
                 + "e" + esc + "\xbe" + "f" + escHigh + "\xbc" + "g"});
            row(tag("separators, colon, control characters, invalid UTF-8").constData(), samba,
                {samba ? "user.DosStream.\xff:$DATA" : "user.\xff"}, {":\xef\x83\xbf"});
            row(tag("percent signs are plain characters").constData(), samba,
                {samba ? "user.DosStream.%:$DATA" : "user.%",
                 samba ? "user.DosStream.%25:$DATA" : "user.%25"},
                {":%", ":%25"});
            row(tag("valid UTF-8 kept").constData(), samba,
                {samba ? "user.DosStream.\xd0\x9f\xd0\xbb\xd0\xb0\xd0\xbd:$DATA"
                       : "user.\xd0\x9f\xd0\xbb\xd0\xb0\xd0\xbd"},
                {":\xd0\x9f\xd0\xbb\xd0\xb0\xd0\xbd"});
            // NTFS ignores case: the second of two such names gets a marker.
            row(tag("names equal but for case").constData(), samba,
                {samba ? "user.DosStream.A:$DATA" : "user.A",
                 samba ? "user.DosStream.a:$DATA" : "user.a",
                 samba ? "user.DosStream.\xd0\xaf:$DATA" : "user.\xd0\xaf",
                 samba ? "user.DosStream.\xd1\x8f:$DATA" : "user.\xd1\x8f"},
                {":A", ":a" + marker, ":\xd0\xaf", ":\xd1\x8f" + marker});
            // Names the reader would take for escapes, a prefix or markers
            // are escaped themselves.
            row(tag("escape characters in a name").constData(), samba,
                {samba ? "user.DosStream." + esc + "\xbf:$DATA" : "user." + esc + "\xbf",
                 samba ? "user.DosStream." + literal + "x:$DATA" : "user." + literal + "x"},
                {":\xef\x83\xaf\xef\x82\x80\xef\x82\xbf",
                 ":\xef\x83\xaf\xef\x82\x81\xef\x82\x8cx"});
        }
        // Attributes that are not Windows streams in the form chosen name
        // themselves exactly.
        row("samba: other attributes", true, {"user.Zone.Identifier", "user.DosStream.x"},
            {":" + literal + "Zone.Identifier", ":" + literal + "DosStream.x"});
        row("plain: Samba's form beside the plain name", false,
            {"user.DosStream.s:$DATA", "user.s"},
            {":" + literal + "DosStream.s" + esc + "\xba$DATA", ":s"});
        row("plain: Samba's form alone", false, {}, {":s"}); // read back as user.s
        // The longest attribute name, all escapes, still fits NTFS's 255.
        row("250 control characters", false, {"user." + QByteArray(250, '\x01')},
            {":" + (esc + "\x81").repeated(250)});
        // Windows files may hold streams that look like escapes or markers.
        row("Windows: a name and the same with a marker", false, {}, {":x", ":x" + marker});
        row("Windows: only a marker", false, {}, {":" + marker});
        row("Windows: a prefix alone", true, {}, {":" + literal});
        row("Windows: an escape the writer never makes", false, {}, {":" + escHigh + "\x81"});
    }
    void streamNames() {
        QFETCH(bool, samba);
        QFETCH(QByteArrayList, attributes);
        QFETCH(QByteArrayList, streams);
        const StreamForm form = samba ? StreamForm::Samba : StreamForm::Plain;
        std::vector<std::string> names;
        for (const QByteArray& name : attributes)
            names.push_back(name.toStdString());
        std::vector<std::string> streamList;
        for (const QByteArray& stream : streams)
            streamList.push_back(stream.toStdString());
        if (!names.empty()) {
            std::vector<std::string> written;
            for (const auto& stream : streamNamesForAttributes(names, form))
                written.push_back(stream.value_or("<none>"));
            QCOMPARE(written, streamList);
        }
        const auto decoded = attributeNamesForStreams(streamList, form);
        QVERIFY2(decoded.problem.empty(), decoded.problem.c_str());
        QCOMPARE(decoded.attributeNames.size(), streamList.size());
        if (!names.empty() && !(attributes[0].startsWith("user.DosStream.") && !samba)) {
            QCOMPARE(decoded.attributeNames, names);
        }
        if (QByteArray(QTest::currentDataTag()) == "plain: Samba's form alone")
            QCOMPARE(decoded.attributeNames, std::vector<std::string>{"user.s"});
    }

    // Random attribute names, biased towards the characters that need
    // escaping: the same names come back in either form (Samba's form only
    // in its own), every stream name is one NTFS takes (no character it
    // refuses, at most 255 UTF-16 units, none equal to another but for
    // case); broken stream names of a member refuse it.
    void streamNamesRandom() {
        std::mt19937 random(20241208);
        const std::string special = "%:/\\*?\"<>|\t\x7f\xc3\xa9\xd0\xff\xed\xa0\x80\xef\x80\x81"
                                    "Aa";
        for (int round = 0; round < 3000; ++round) {
            std::set<std::string> unique;
            const int count = 1 + int(random() % 4);
            for (int n = 0; n < count; ++n) {
                std::string name = "user.";
                const int length = 1 + int(random() % 24);
                for (int i = 0; i < length; ++i)
                    name.push_back((random() % 2) ? special[random() % special.size()]
                                                  : static_cast<char>(1 + random() % 255));
                unique.insert(name);
            }
            const std::vector<std::string> names(unique.begin(), unique.end());
            for (const StreamForm form : {StreamForm::Plain, StreamForm::Samba}) {
                std::vector<std::string> streams;
                std::set<QString> folded;
                for (const auto& stream : streamNamesForAttributes(names, form)) {
                    QVERIFY(stream);
                    const QString text = QString::fromStdString(*stream);
                    QVERIFY(text.toUtf8().toStdString() == *stream);
                    QVERIFY(text.size() <= 256);
                    for (const unsigned char byte : stream->substr(1))
                        QVERIFY(byte >= 0x20 && !std::strchr("\"*/:<>?\\|", byte));
                    QVERIFY(folded.insert(text.toUpper()).second);
                    streams.push_back(*stream);
                }
                QCOMPARE(attributeNamesForStreams(streams, form).attributeNames, names);
            }
        }
        for (const std::vector<std::string>& broken :
             {std::vector<std::string>{"name"}, {":"}, {""}, {":s", ":s"}})
            QVERIFY(!attributeNamesForStreams(broken, StreamForm::Plain).problem.empty());
    }
};

TORVANELO_TEST(RarTest);
#include "RarTest.moc"
