// The archiver's format code at unit level: numbers, checksums, framing,
// the byte-exact output of its writer, and the name rules.

#include "RarFormat.h"

#include "ArchiveWriter.h"
#include "ArchiverTestSupport.h"
#include "Names.h"
#include "RarError.h"
#include "TestRegistry.h"

#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <random>
#include <unistd.h>

using namespace torvanelo::rar;
using torvanelo::test::handmade::signature;

namespace {

QByteArray bytesOf(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

std::string stringOf(const QByteArray& bytes) {
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

} // namespace

class RarFormatTest : public QObject {
    Q_OBJECT

private slots:
    void vintEncoding_data() {
        QTest::addColumn<quint64>("value");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("0") << quint64(0) << QByteArray::fromHex("00");
        QTest::newRow("largest 1 byte") << quint64(0x7F) << QByteArray::fromHex("7f");
        QTest::newRow("smallest 2 bytes") << quint64(0x80) << QByteArray::fromHex("8001");
        QTest::newRow("300") << quint64(300) << QByteArray::fromHex("ac02");
        QTest::newRow("largest 2 bytes") << quint64(0x3FFF) << QByteArray::fromHex("ff7f");
        QTest::newRow("smallest 3 bytes") << quint64(0x4000) << QByteArray::fromHex("808001");
        QTest::newRow("mode 0100644") << quint64(0x81A4) << QByteArray::fromHex("a48302");
        QTest::newRow("largest 3 bytes")
            << quint64((1u << 21) - 1) << QByteArray::fromHex("ffff7f");
        QTest::newRow("smallest 4 bytes") << quint64(1u << 21) << QByteArray::fromHex("80808001");
        QTest::newRow("5 GiB") << quint64(5) * 1024 * 1024 * 1024
                               << QByteArray::fromHex("8080808014");
        QTest::newRow("64-bit maximum")
            << quint64(UINT64_MAX) << QByteArray::fromHex("ffffffffffffffffff01");
    }
    void vintEncoding() {
        QFETCH(quint64, value);
        QFETCH(QByteArray, bytes);
        QCOMPARE(bytesOf(vint(value)), bytes);
        const auto decoded =
            decodeVint(reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size());
        QCOMPARE(decoded.status, VintStatus::Ok);
        QCOMPARE(decoded.value, value);
        QCOMPARE(decoded.length, size_t(bytes.size()));
        // The value ends where its last byte says, whatever follows.
        const QByteArray followed = bytes + QByteArray::fromHex("ff");
        QCOMPARE(decodeVint(reinterpret_cast<const unsigned char*>(followed.constData()),
                            followed.size())
                     .length,
                 size_t(bytes.size()));
    }

    void vintDecoding_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("status");
        QTest::addColumn<quint64>("value");
        QTest::addColumn<int>("length");
        const int ok = int(VintStatus::Ok);
        const int truncated = int(VintStatus::Truncated);
        const int malformed = int(VintStatus::Malformed);
        QTest::newRow("padded zero, 2 bytes")
            << QByteArray::fromHex("8000") << ok << quint64(0) << 2;
        QTest::newRow("padded zero, 3 bytes")
            << QByteArray::fromHex("808000") << ok << quint64(0) << 3;
        QTest::newRow("padded 5, 4 bytes")
            << QByteArray::fromHex("85808000") << ok << quint64(5) << 4;
        QTest::newRow("ten bytes, padded")
            << QByteArray::fromHex("80808080808080808000") << ok << quint64(0) << 10;
        QTest::newRow("empty") << QByteArray() << truncated << quint64(0) << 0;
        QTest::newRow("continuation at the end")
            << QByteArray::fromHex("8080") << truncated << quint64(0) << 0;
        QTest::newRow("eleven bytes")
            << QByteArray::fromHex("8080808080808080808000") << malformed << quint64(0) << 0;
        QTest::newRow("beyond 64 bits")
            << QByteArray::fromHex("ffffffffffffffffff02") << malformed << quint64(0) << 0;
    }
    void vintDecoding() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, status);
        QFETCH(quint64, value);
        QFETCH(int, length);
        const auto decoded =
            decodeVint(reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size());
        QCOMPARE(int(decoded.status), status);
        if (decoded.status == VintStatus::Ok) {
            QCOMPARE(decoded.value, value);
            QCOMPARE(decoded.length, size_t(length));
        }
    }

    void crcConstants_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<quint32>("crc");
        QTest::newRow("check value") << QByteArray("123456789") << quint32(0xCBF43926);
        QTest::newRow("main header") << QByteArray::fromHex("03010000") << quint32(0x32331AC5);
        QTest::newRow("end header") << QByteArray::fromHex("03050400") << quint32(0x5156771D);
        QTest::newRow("empty") << QByteArray() << quint32(0);
    }
    void crcConstants() {
        QFETCH(QByteArray, bytes);
        QFETCH(quint32, crc);
        QCOMPARE(crc32Of(stringOf(bytes)), crc);
    }

    void fixedBlocks() {
        QCOMPARE(bytesOf(archiveStart()), signature() + QByteArray::fromHex("c51a3332 03010000"));
        QCOMPARE(bytesOf(endOfArchive()), QByteArray::fromHex("1d775651 03050400"));
    }

    // The header size vint grows at the 1/2/3-byte boundaries; the CRC covers it.
    void headerFraming_data() {
        QTest::addColumn<int>("bodySize");
        QTest::addColumn<int>("sizeLength");
        QTest::newRow("1 byte") << 1 << 1;
        QTest::newRow("largest 1-byte size") << 0x7F << 1;
        QTest::newRow("smallest 2-byte size") << 0x80 << 2;
        QTest::newRow("largest 2-byte size") << 0x3FFF << 2;
        QTest::newRow("smallest 3-byte size") << 0x4000 << 3;
        QTest::newRow("largest 3-byte size") << int(MaxHeaderSize) << 3;
    }
    void headerFraming() {
        QFETCH(int, bodySize);
        QFETCH(int, sizeLength);
        const std::string body(static_cast<size_t>(bodySize), '\x05');
        const QByteArray framed = bytesOf(frameHeader(body));
        QCOMPARE(framed.size(), 4 + sizeLength + bodySize);
        const QByteArray covered = framed.mid(4);
        QCOMPARE(framed.left(4),
                 torvanelo::test::handmade::uint32le(torvanelo::test::handmade::crc(covered)));
        QCOMPARE(covered.left(sizeLength), torvanelo::test::handmade::vint(quint64(bodySize)));
    }
    void headerTooLargeIsRefused() {
        const std::string body(MaxHeaderSize + 1, '\x05');
        QVERIFY_THROWS_EXCEPTION(RarError, frameHeader(body));
    }

    // The data CRC slot is filled in afterwards and the header CRC renewed.
    void dataCrcPatch() {
        EntryHeader header;
        header.name = "demo.txt";
        header.size = 10;
        header.attributes = 0x20;
        header.extra = timeRecord(1700000000, 0);
        FramedHeader framed = buildEntryHeader(header);
        setDataCrc(framed, crc32Of("file data\n"));
        const QByteArray expected =
            QByteArray::fromHex("3985b372 2102030b 0a040a20 a1ca36b6 00000864 656d6f2e 7478740a "
                                "03020000 6dc64717 da01");
        QCOMPARE(bytesOf(framed.bytes), expected);
    }

    // The writer, given the inputs of the published worked example, writes
    // it byte for byte.
    void writerIsByteExact() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QByteArray dataPath = QFile::encodeName(dir.filePath(QStringLiteral("data")));
        const QByteArray archivePath = QFile::encodeName(dir.filePath(QStringLiteral("a.rar")));
        QVERIFY(torvanelo::test::writeRaw(dataPath, "file data\n"));
        const int in = ::open(dataPath.constData(), O_RDONLY | O_CLOEXEC);
        const int out =
            ::open(archivePath.constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        QVERIFY(in >= 0 && out >= 0);
        {
            ArchiveOutput output(out, "test archive");
            ArchiveWriter writer(output);
            writer.begin();
            FileEntry entry;
            entry.name = "demo.txt";
            entry.size = 10;
            entry.attributes = 0x20;
            entry.mtimeSeconds = 1700000000;
            writer.addFile(entry, in);
            writer.addStream(":demo.stream", "stream data\n");
            writer.finish();
        }
        ::close(in);
        ::close(out);
        const QByteArray expected = QByteArray::fromHex(
            "52617221 1a070100 c51a3332 03010000 3985b372 2102030b 0a040a20 a1ca36b6"
            "00000864 656d6f2e 7478740a 03020000 6dc64717 da016669 6c652064 6174610a"
            "685ea335 1f03230e 0c040c00 fd9fdd53 00000353 544d0d07 3a64656d 6f2e7374"
            "7265616d 73747265 616d2064 6174610a 1d775651 03050400");
        QCOMPARE(expected.size(), 120);
        QCOMPARE(torvanelo::test::readRaw(archivePath).value_or(QByteArray()), expected);
    }

    // A file that is longer than announced must not be cut silently.
    void writerRefusesAFileThatGrew() {
        QTemporaryDir dir;
        const QByteArray dataPath = QFile::encodeName(dir.filePath(QStringLiteral("data")));
        QVERIFY(torvanelo::test::writeRaw(dataPath, "eleven byte"));
        const int in = ::open(dataPath.constData(), O_RDONLY | O_CLOEXEC);
        const int out = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        ArchiveOutput output(out, "null");
        ArchiveWriter writer(output);
        FileEntry entry;
        entry.name = "data";
        entry.size = 10;
        QVERIFY_THROWS_EXCEPTION(RarError, writer.addFile(entry, in));
        entry.size = 12;
        ::lseek(in, 0, SEEK_SET);
        QVERIFY_THROWS_EXCEPTION(RarError, writer.addFile(entry, in));
        ::close(in);
        ::close(out);
    }

    void timeRecords_data() {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<quint32>("nanoseconds");
        QTest::addColumn<QByteArray>("record");
        QTest::newRow("whole second: FILETIME")
            << qint64(1700000000) << quint32(0) << QByteArray::fromHex("0a0302 00006dc64717da01");
        QTest::newRow("nanoseconds: Unix + ns") << qint64(1700000000) << quint32(123456789)
                                                << QByteArray::fromHex("0a0313 00f15365 15cd5b07");
        QTest::newRow("before 1970: FILETIME")
            << qint64(-1) << quint32(0) << QByteArray::fromHex("0a0302 80e9a5d4deb19d01");
        QTest::newRow("after 2106 with ns: FILETIME, 100 ns steps")
            << qint64(5000000000) << quint32(123456789)
            << QByteArray::fromHex("0a0302 875616049b544f02");
    }
    void timeRecords() {
        QFETCH(qint64, seconds);
        QFETCH(quint32, nanoseconds);
        QFETCH(QByteArray, record);
        QCOMPARE(bytesOf(timeRecord(seconds, nanoseconds)), record);
        const auto fileTime = toFileTime(seconds, nanoseconds);
        QVERIFY(fileTime);
        QCOMPARE(fromFileTime(*fileTime).seconds, seconds);
        QCOMPARE(fromFileTime(*fileTime).nanoseconds, nanoseconds / 100 * 100);
    }

    void wildcards_data() {
        QTest::addColumn<QByteArray>("pattern");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("matches");
        QTest::newRow("B.r? takes the data file")
            << QByteArray("RA000124.r?") << QByteArray("RA000124.rr") << true;
        QTest::newRow("B.r? takes the name file")
            << QByteArray("RA000124.r?") << QByteArray("RA000124.rn") << true;
        QTest::newRow("B.r? leaves the archive")
            << QByteArray("RA000124.r?") << QByteArray("RA000124.rar") << false;
        QTest::newRow("B.r? leaves B.r")
            << QByteArray("RA000124.r?") << QByteArray("RA000124.r") << false;
        QTest::newRow("case matters")
            << QByteArray("RA000124.r?") << QByteArray("ra000124.rr") << false;
        QTest::newRow("* takes all") << QByteArray("*") << QByteArray(".hidden") << true;
        QTest::newRow("* takes empty run") << QByteArray("a*b") << QByteArray("ab") << true;
        QTest::newRow("* backtracks") << QByteArray("*a*b") << QByteArray("xaxab") << true;
        QTest::newRow("* needs the tail") << QByteArray("*.rr") << QByteArray("x.rrr") << false;
        QTest::newRow("? is one UTF-8 character")
            << QByteArray("?.txt") << QByteArray("\xd0\xaf.txt") << true;
        QTest::newRow("? is one invalid byte")
            << QByteArray("??") << QByteArray("\xff\xfe") << true;
        QTest::newRow("? does not take two characters")
            << QByteArray("?") << QByteArray("\xd0\xaf\xd0\xaf") << false;
        QTest::newRow("literal") << QByteArray("plan.doc") << QByteArray("plan.doc") << true;
        QTest::newRow("literal, other")
            << QByteArray("plan.doc") << QByteArray("plan.docx") << false;
    }
    void wildcards() {
        QFETCH(QByteArray, pattern);
        QFETCH(QByteArray, name);
        QFETCH(bool, matches);
        QCOMPARE(matchesWildcard(stringOf(pattern), stringOf(name)), matches);
    }

    void extractionNames_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QByteArray>("name"); // empty: refused
        QTest::newRow("plain") << QByteArray("B.rr") << QByteArray("B.rr");
        QTest::newRow("parent path") << QByteArray("../x") << QByteArray("x");
        QTest::newRow("absolute path") << QByteArray("/etc/x") << QByteArray("x");
        QTest::newRow("folder path") << QByteArray("a/b") << QByteArray("b");
        QTest::newRow("Windows path") << QByteArray("C:\\dir\\f.txt") << QByteArray("f.txt");
        QTest::newRow("empty") << QByteArray() << QByteArray();
        QTest::newRow("dot") << QByteArray(".") << QByteArray();
        QTest::newRow("dot dot") << QByteArray("..") << QByteArray();
        QTest::newRow("ends in dot dot") << QByteArray("a/..") << QByteArray();
        QTest::newRow("ends in separator") << QByteArray("a/") << QByteArray();
        QTest::newRow("NUL") << QByteArray("a\0b", 3) << QByteArray();
        QTest::newRow("255 bytes") << QByteArray(255, 'n') << QByteArray(255, 'n');
        QTest::newRow("256 bytes") << QByteArray(256, 'n') << QByteArray();
        QTest::newRow("64 KiB") << QByteArray(65536, 'n') << QByteArray();
        QTest::newRow("invalid UTF-8 kept")
            << QByteArray("\xff\xfe.bin") << QByteArray("\xff\xfe.bin");
    }
    void extractionNames() {
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, name);
        const auto result = extractionName(stringOf(stored));
        QCOMPARE(result.has_value(), !name.isEmpty());
        if (result)
            QCOMPARE(bytesOf(*result), name);
    }

    // Names in messages keep a message on one line.
    void namesInMessages_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("plain") << QByteArray("B.rr") << QByteArray("\"B.rr\"");
        QTest::newRow("newline") << QByteArray("a\nb") << QByteArray("\"a\\x0ab\"");
        QTest::newRow("escape") << QByteArray("a\x1b[2J") << QByteArray("\"a\\x1b[2J\"");
        QTest::newRow("long") << QByteArray(300, 'n') << "\"" + QByteArray(200, 'n') + "...\"";
    }
    void namesInMessages() {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, text);
        QCOMPARE(bytesOf(quotedName(stringOf(name))), text);
    }

    void streamNames_data() {
        QTest::addColumn<QByteArray>("attribute");
        QTest::addColumn<QByteArray>("stream");
        QTest::newRow("plain") << QByteArray("user.Zone.Identifier")
                               << QByteArray(":Zone.Identifier");
        QTest::newRow("Macintosh info")
            << QByteArray("user.AFP_AfpInfo") << QByteArray(":AFP_AfpInfo");
        QTest::newRow("Cyrillic kept") << QByteArray("user.\xd0\xaf") << QByteArray(":\xd0\xaf");
        QTest::newRow("Samba stream form")
            << QByteArray("user.DosStream.X:$DATA") << QByteArray(":DosStream.X%3A$DATA");
        QTest::newRow("escape character") << QByteArray("user.100%") << QByteArray(":100%25");
        QTest::newRow("separators") << QByteArray("user.a/b\\c") << QByteArray(":a%2Fb%5Cc");
        QTest::newRow("control character") << QByteArray("user.a\tb") << QByteArray(":a%09b");
        QTest::newRow("invalid UTF-8") << QByteArray("user.\xff") << QByteArray(":%FF");
        QTest::newRow("truncated UTF-8") << QByteArray("user.\xd0") << QByteArray(":%D0");
    }
    void streamNames() {
        QFETCH(QByteArray, attribute);
        QFETCH(QByteArray, stream);
        QCOMPARE(bytesOf(streamNameForAttribute(stringOf(attribute)).value_or("?")), stream);
        QCOMPARE(bytesOf(attributeNameForStream(stringOf(stream)).value_or("?")), attribute);
    }

    void brokenStreamNames_data() {
        QTest::addColumn<QByteArray>("stream");
        QTest::newRow("no colon") << QByteArray("name");
        QTest::newRow("colon only") << QByteArray(":");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("NUL") << QByteArray(":a\0b", 4);
        QTest::newRow("escaped NUL") << QByteArray(":a%00b");
    }
    void brokenStreamNames() {
        QFETCH(QByteArray, stream);
        QVERIFY(!attributeNameForStream(stringOf(stream)));
    }

    void attributesOutsideUserAreNotMapped() {
        QVERIFY(!streamNameForAttribute("trusted.x"));
        QVERIFY(!streamNameForAttribute("security.selinux"));
        QVERIFY(!streamNameForAttribute("user."));
    }

    // The mapping is reversible for every attribute name: random bytes,
    // biased towards the characters that need escaping.
    void streamNamesAreReversible() {
        std::mt19937 random(20241208);
        const std::string special = "%:/\\\t\x7f\xc3\xa9\xd0\xff\xed\xa0\x80";
        for (int round = 0; round < 5000; ++round) {
            std::string name = "user.";
            const int length = 1 + int(random() % 24);
            for (int i = 0; i < length; ++i) {
                char c = (random() % 2) ? special[random() % special.size()]
                                        : static_cast<char>(1 + random() % 255);
                name.push_back(c);
            }
            const auto stream = streamNameForAttribute(name);
            QVERIFY(stream);
            QCOMPARE(stream->find(':', 1), std::string::npos);
            QCOMPARE(stream->find_first_of("/\\"), std::string::npos);
            QCOMPARE(attributeNameForStream(*stream).value_or("?"), name);
        }
    }
};

TORVANELO_TEST(RarFormatTest);
#include "RarFormatTest.moc"
