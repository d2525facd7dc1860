// `rar e` over archives it did not write: the sample archives of other RAR
// tools, archives built byte by byte from the published layout, and broken
// or hostile ones. Every run is the real binary in a real folder. Also the
// archiver's writer and stream-name mapping at unit level.

#include "ArchiveWriter.h"
#include "ArchiverTestSupport.h"
#include "Names.h"
#include "RarError.h"
#include "TestRegistry.h"
#include "linux/UniqueFd.h"

#include <QTest>
#include <QtEndian>

#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <vector>
#include <zlib.h>

using namespace torvanelo::test;
using torvanelo::rar::ArchiveOutput, torvanelo::rar::ArchiveWriter, torvanelo::rar::RarError,
    torvanelo::rar::attributeNameForStream, torvanelo::rar::streamNameForAttribute;

namespace {

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

struct Stream {
    QByteArray name; // with its leading ':'
    QByteArray value;
};
struct Member {
    QByteArray name;
    QByteArray data;
    uint64_t fileFlags = 0x04;               // CRC present
    QByteArray extra = fileTime(1700000000); // complete extra records
    std::vector<Stream> streams = {};
};

// A file (type 2) or service (3) header, stored, from a Windows host, with
// its data; a service header depends on the file before it.
QByteArray entryBlock(uint64_t type, const Member& entry) {
    const bool extra = !entry.extra.isEmpty();
    QByteArray body = vint(type) + vint((type == 3 ? 0x22 : 0x02) | (extra ? 0x01 : 0));
    if (extra)
        body += vint(entry.extra.size());
    const QByteArray size = vint(entry.data.size());
    body += size + vint(entry.fileFlags) + size + vint(type == 2 ? 0x20 : 0);
    if (entry.fileFlags & 0x04)
        body += uint32le(crc(entry.data));
    body += vint(0) + vint(0) + vint(entry.name.size()) + entry.name + entry.extra;
    return block(body) + entry.data;
}

// A service header (CMT, QO, ACL, STM, ...) with its data; serviceData goes
// into a service-data record when not empty.
QByteArray serviceBlock(const QByteArray& name, const QByteArray& data,
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

// The samples of other tools, with the files each gives.
void addSampleRows() {
    const auto sample = [](const char* name, int code, const char* files = "") {
        const auto bytes = readRaw(QFile::encodeName(
            SamplesDir + QStringLiteral("/test_read_format_%1.rar").arg(QLatin1String(name))));
        row(name, bytes.value_or(""), bytes ? code : -1, files);
    };
    const char* hello = "helloworld.txt 29 95a043b4 644";
    sample("rar5_stored", 0, hello);
    sample("rar5_stored_manyfiles", 0,
           "cebula.txt 814 7e5ec49e 644,make_uue.tcl 405 49478adc 755,test.bin 1200 7cca70cd 644");
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
    refused("rar5_compressed rar5_multiple_files rar5_multiple_files_solid rar5_solid "
            "rar5_win32 rar5_blake2 rar5_extra_field_version rar5_arm rar5_encrypted "
            "rar5_encrypted_filenames rar5_invalid_hash_valid_htime_exfld "
            "rar5_only_crypt_exfld rar5_bytes_remaining_underflow "
            "rar5_multiarchive_solid.part01 rar5_multiarchive_solid.part02 "
            "rar5_multiarchive_solid.part03 rar5_multiarchive_solid.part04 rar rar_windows "
            "rar_subblock rar_unicode rar_compress_normal rar_noeof rar_invalid1",
            2);
}

} // namespace

class RarReadTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(QFileInfo::exists(rarPath()), qPrintable(rarPath()));
        ::umask(022); // the modes expected below
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
        addSampleRows();
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
        row("stream name with an escaped NUL", streamed({{":a%00b", "v"}}), damaged);
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

    // Attribute names and stream names, both ways: the escapes that stored
    // archives rely on, then random bytes biased towards the characters that
    // need escaping. Every stream name keeps a single colon and no separator.
    void streamNames() {
        for (const auto& [attribute, stream] :
             std::map<std::string, std::string>{{"user.DosStream.X:$DATA", ":DosStream.X%3A$DATA"},
                                                {"user.100%", ":100%25"},
                                                {"user.a/b\\c", ":a%2Fb%5Cc"},
                                                {"user.\xff", ":%FF"}}) {
            QCOMPARE(streamNameForAttribute(attribute).value_or(""), stream);
            QCOMPARE(attributeNameForStream(stream).value_or(""), attribute);
        }
        std::mt19937 random(20241208);
        const std::string special = "%:/\\\t\x7f\xc3\xa9\xd0\xff\xed\xa0\x80";
        for (int round = 0; round < 5000; ++round) {
            std::string name = "user.";
            const int length = 1 + int(random() % 24);
            for (int i = 0; i < length; ++i)
                name.push_back((random() % 2) ? special[random() % special.size()]
                                              : static_cast<char>(1 + random() % 255));
            const auto stream = streamNameForAttribute(name);
            QVERIFY(stream);
            QCOMPARE(stream->find(':', 1), std::string::npos);
            QCOMPARE(stream->find_first_of("/\\"), std::string::npos);
            QCOMPARE(attributeNameForStream(*stream).value_or("?"), name);
        }
    }
};

TORVANELO_TEST(RarReadTest);
#include "RarReadTest.moc"
