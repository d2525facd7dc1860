#include "ArchiveNames.h"
#include "ProgramFolder.h"
#include "TestRegistry.h"

#include <QTest>

#include <optional>
#include <zlib.h>

using namespace torvanelo;
using namespace torvanelo::test;

// Archives as a Windows RAR sends them to an uncompressing pair: the data
// file and the name file, the data compressed, with compressed and stored
// streams. No tool here compresses, so the compressed data is taken from
// the sample archives of RAR tools, re-wrapped under the program's member
// names.

namespace {

const QString SampleFolder = QStringLiteral("/work/shared/testdata/rar/");

uint32_t crc32Of(const QByteArray& bytes) {
    return uint32_t(
        ::crc32(0, reinterpret_cast<const Bytef*>(bytes.constData()), uInt(bytes.size())));
}

QByteArray vint(uint64_t value) {
    QByteArray bytes;
    do {
        bytes += char((value & 0x7F) | (value > 0x7F ? 0x80 : 0));
        value >>= 7;
    } while (value != 0);
    return bytes;
}

QByteArray uint32le(uint32_t value) {
    QByteArray bytes;
    for (int i = 0; i < 4; ++i)
        bytes += char((value >> (8 * i)) & 0xFF);
    return bytes;
}

// Reads the sample's bytes in order; any read past the end fails the walk.
struct Cursor {
    const QByteArray& bytes;
    qsizetype at = 0;
    bool ok = true;

    uint64_t number() {
        uint64_t value = 0;
        for (int shift = 0; shift < 70; shift += 7) {
            if (at >= bytes.size())
                break;
            const auto byte = uint8_t(bytes[at++]);
            value |= uint64_t(byte & 0x7F) << shift;
            if ((byte & 0x80) == 0)
                return value;
        }
        ok = false;
        return 0;
    }
    QByteArray take(qsizetype size) {
        if (size < 0 || at + size > bytes.size()) {
            ok = false;
            return {};
        }
        at += size;
        return bytes.mid(at - size, size);
    }
    uint32_t word() {
        const QByteArray four = take(4);
        uint32_t value = 0;
        for (qsizetype i = 0; i < four.size(); ++i)
            value |= uint32_t(uint8_t(four[i])) << (8 * i);
        return value;
    }
};

// One file member of a sample, its data area as it is.
struct PackedMember {
    QByteArray name;
    uint64_t fileFlags = 0; // 0x02 time, 0x04 CRC32
    uint64_t unpackedSize = 0;
    uint32_t time = 0;
    uint32_t crc = 0;
    uint64_t compression = 0;
    QByteArray extra; // the hash and time records only
    QByteArray packed;
};

// Keeps the hash (BLAKE2sp) and time records; the others (a file version,
// for one) would change the member's name or meaning.
QByteArray hashAndTimeRecords(const QByteArray& area) {
    QByteArray kept;
    Cursor cursor{area};
    while (cursor.ok && cursor.at < area.size()) {
        const qsizetype start = cursor.at;
        const uint64_t size = cursor.number();
        const qsizetype body = cursor.at;
        const uint64_t type = cursor.number();
        cursor.at = body;
        cursor.take(qsizetype(size));
        if (cursor.ok && (type == 2 || type == 3))
            kept += area.mid(start, cursor.at - start);
    }
    return kept;
}

// The compressed file members of a RAR 5 archive (folders and stored
// members left out); nullopt when the walk does not reach the end header.
std::optional<std::vector<PackedMember>> compressedMembers(const QByteArray& archive) {
    std::vector<PackedMember> members;
    Cursor cursor{archive, 8};
    while (cursor.ok) {
        cursor.word(); // the header CRC, checked by the archiver under test
        const uint64_t headerSize = cursor.number();
        const qsizetype headerEnd = cursor.at + qsizetype(headerSize);
        const uint64_t type = cursor.number();
        const uint64_t flags = cursor.number();
        const uint64_t extraSize = (flags & 0x01) ? cursor.number() : 0;
        const uint64_t dataSize = (flags & 0x02) ? cursor.number() : 0;
        if (!cursor.ok || headerEnd > archive.size())
            return std::nullopt;
        if (type == 5)
            return members;
        if (type == 2) {
            PackedMember member;
            member.fileFlags = cursor.number();
            member.unpackedSize = cursor.number();
            cursor.number(); // attributes
            if (member.fileFlags & 0x02)
                member.time = cursor.word();
            if (member.fileFlags & 0x04)
                member.crc = cursor.word();
            member.compression = cursor.number();
            cursor.number(); // host system
            member.name = cursor.take(qsizetype(cursor.number()));
            member.extra = hashAndTimeRecords(
                archive.mid(headerEnd - qsizetype(extraSize), qsizetype(extraSize)));
            cursor.at = headerEnd;
            member.packed = cursor.take(qsizetype(dataSize));
            const bool folder = member.fileFlags & 0x01;
            const uint64_t method = (member.compression >> 7) & 0x07;
            if (!folder && method != 0)
                members.push_back(member);
        } else {
            cursor.at = headerEnd;
            cursor.take(qsizetype(dataSize));
        }
    }
    return std::nullopt;
}

QByteArray block(const QByteArray& header) {
    const QByteArray sized = vint(header.size()) + header;
    return uint32le(crc32Of(sized)) + sized;
}

// A file (type 2) or service (type 3) header with its data.
QByteArray entry(uint64_t type, const QByteArray& name, const PackedMember& data,
                 const QByteArray& extra) {
    QByteArray header = vint(type) + vint((type == 3 ? 0x22 : 0x02) | (extra.isEmpty() ? 0 : 0x01));
    if (!extra.isEmpty())
        header += vint(extra.size());
    header += vint(data.packed.size()) + vint(data.fileFlags) + vint(data.unpackedSize)
              + vint(type == 2 ? 0x20 : 0);
    if (data.fileFlags & 0x02)
        header += uint32le(data.time);
    if (data.fileFlags & 0x04)
        header += uint32le(data.crc);
    header += vint(data.compression) + vint(0) + vint(name.size()) + name + extra;
    return block(header) + data.packed;
}

PackedMember stored(const QByteArray& content) {
    return {{}, 0x04, uint64_t(content.size()), 0, crc32Of(content), 0, {}, content};
}

QByteArray streamRecord(const QByteArray& streamName) {
    const QByteArray record = vint(0x07) + streamName;
    return vint(record.size()) + record;
}

struct Stream {
    QByteArray name; // ":X"
    PackedMember data;
};

// The program's archive of one file: the name file, then the data file and
// its streams, as a Windows RAR writes them.
QByteArray programArchive(const QString& originalName, const PackedMember& data,
                          const std::vector<Stream>& streams) {
    QByteArray archive =
        QByteArray::fromHex("526172211a070100") + block(QByteArray::fromHex("010000"));
    archive += entry(2, "B.rn", stored(MakeNameFile(originalName)), {});
    archive += entry(2, "B.rr", data, data.extra);
    for (const Stream& stream : streams)
        archive += entry(3, "STM", stream.data, streamRecord(stream.name));
    return archive + block(QByteArray::fromHex("050400"));
}

// The compressed files of the samples that RAR tools made and that are
// readable (neither solid, encrypted, split nor damaged), with their sizes
// and CRC32s as the sample notes list them.
const QList<QByteArrayList> ReadableSamples{
    {"rar5_compressed", "test.bin 1200 7cca70cd"},
    {"rar5_multiple_files", "test1.bin 4096 7e13b2c6", "test2.bin 4096 f166afcb",
     "test3.bin 4096 9fb123d9", "test4.bin 4096 10c43ed4"},
    {"rar5_win32", "test.bin 1200 7cca70cd", "test1.bin 4096 7e13b2c6", "test2.bin 4096 f166afcb",
     "test3.bin 4096 9fb123d9", "test4.bin 4096 10c43ed4", "test5.bin 4096 b9d155f2",
     "test6.bin 4096 36a448ff"},
    {"rar5_blake2", "cebula.txt 814 7e5ec49e"},
    {"rar5_extra_field_version", "2to3 95 f24181b7", "2to3 95 f24181b7"},
    {"rar5_arm", "elf-Linux-ARMv7-ls 90808 886f91eb"},
};

std::optional<QByteArray> sample(const QByteArray& name) {
    return readFile(SampleFolder + QStringLiteral("test_read_format_") + QString::fromLatin1(name)
                    + QStringLiteral(".rar"));
}

// RARLAB's unrar where the build holds it (<build>/tools), else empty.
QString unrarPath() {
    const QString path = buildDir() + QStringLiteral("/tools/unrar");
    return QFileInfo(path).isExecutable() ? path : QString();
}

// What unrar says of the archive, and whether it ended with status 0.
std::pair<bool, QByteArray> unrar(const QString& command, const QString& archive) {
    QProcess process;
    process.start(unrarPath(), {command, archive});
    const bool ended = process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit;
    return {ended && process.exitCode() == 0, process.readAllStandardOutput()};
}

// RARLAB's reader tests the archive and lists its two streams.
QString referenceProblem(const QString& archive) {
    const auto [tested, testOutput] = unrar(QStringLiteral("t"), archive);
    if (!tested || !testOutput.contains("All OK"))
        return QStringLiteral("unrar t: ") + QString::fromUtf8(testOutput);
    const auto [listed, list] = unrar(QStringLiteral("lta"), archive);
    if (!listed || list.count("Type: NTFS alternate data stream") != 2
        || !list.contains("Target: :packed\n") || !list.contains("Target: :Zone.Identifier\n"))
        return QStringLiteral("unrar lta: ") + QString::fromUtf8(list);
    return QString();
}

QString archiveName(int number) {
    return QStringLiteral("RA%1.rar").arg(number, 6, 10, QLatin1Char('0'));
}

} // namespace

class WindowsArchivesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(QFile::exists(rarPath()), "the archiver is not built"); }

    // Every compressed member of the readable samples arrives exactly,
    // named by its name file, with a compressed and a stored Windows stream
    // as attributes in the form the parameters file chooses (Samba's when
    // it chooses none, whatever the program's own environment says). A
    // member whose compressed data is damaged leaves its archive as it is
    // and delivers nothing.
    void compressedArchivesFromWindows_data() {
        QTest::addColumn<QByteArray>("configuration");
        QTest::addColumn<QByteArray>("environment"); // the program's TORVANELO_STREAM_FORM
        QTest::addColumn<QByteArray>("prefix");      // of the restored attributes
        QTest::addColumn<QByteArray>("suffix");
        QTest::newRow("Samba's form") << QByteArray("FormeFlux=samba\r\n") << QByteArray()
                                      << QByteArray("user.DosStream.") << QByteArray(":$DATA");
        QTest::newRow("plain form") << QByteArray("FormeFlux=Plain\r\n") << QByteArray()
                                    << QByteArray("user.") << QByteArray();
        QTest::newRow("Samba's form by default")
            << QByteArray() << QByteArray("plain") << QByteArray("user.DosStream.")
            << QByteArray(":$DATA");
    }
    void compressedArchivesFromWindows() {
        QFETCH(QByteArray, configuration);
        QFETCH(QByteArray, environment);
        QFETCH(QByteArray, prefix);
        QFETCH(QByteArray, suffix);

        const auto streamSource = sample("rar5_compressed");
        QVERIFY(streamSource);
        const auto streamMembers = compressedMembers(*streamSource);
        QVERIFY(streamMembers && streamMembers->size() == 1);
        const PackedMember packedStream = streamMembers->front();
        const QByteArray zone = "[ZoneTransfer]\r\nZoneId=3\r\n";
        const std::vector<Stream> streams{{":packed", packedStream},
                                          {":Zone.Identifier", stored(zone)}};

        ProgramFolder site;
        QVERIFY(site.writeSettings("Automatique=1\r\nArretAutomatique=1\r\n" + configuration));
        QStringList expectedNames;
        std::map<QString, QByteArray> expected; // name -> "size crc32"
        int number = 0;
        for (const QByteArrayList& listed : ReadableSamples) {
            const auto bytes = sample(listed.front());
            QVERIFY2(bytes, listed.front().constData());
            const auto members = compressedMembers(*bytes);
            QVERIFY2(members && members->size() == size_t(listed.size() - 1),
                     listed.front().constData());
            for (size_t i = 0; i < members->size(); ++i) {
                const QByteArrayList fields = listed[qsizetype(i) + 1].split(' ');
                const QByteArray& stored = (*members)[i].name;
                QCOMPARE(stored.mid(stored.lastIndexOf('/') + 1), fields[0]);
                const QString name = QString::fromLatin1(
                    listed.front() + ' ' + QByteArray::number(qulonglong(i)) + ' ' + fields[0]);
                QVERIFY(writeFile(pathIn(site.middle, archiveName(++number)),
                                  programArchive(name, (*members)[i], streams)));
                expectedNames << name;
                expected[name] = fields[1] + ' ' + fields[2];
            }
        }
        expectedNames.sort();

        PackedMember damaged = packedStream;
        damaged.packed[damaged.packed.size() / 2] ^= 0x20;
        const QString damagedArchive = archiveName(++number);
        const QByteArray damagedBytes = programArchive(QStringLiteral("damaged"), damaged, streams);
        QVERIFY(writeFile(pathIn(site.middle, damagedArchive), damagedBytes));
        if (!unrarPath().isEmpty()) {
            for (int made = 1; made < number; ++made)
                QCOMPARE(referenceProblem(pathIn(site.middle, archiveName(made))), QString());
            QVERIFY(!unrar(QStringLiteral("t"), pathIn(site.middle, damagedArchive)).first);
        }

        QProcessEnvironment extra;
        if (!environment.isEmpty())
            extra.insert(QStringLiteral("TORVANELO_STREAM_FORM"), QString::fromLatin1(environment));
        QVERIFY(site.run(0, extra));

        QCOMPARE(entryNames(site.out), expectedNames);
        QCOMPARE(entryNames(site.middle), QStringList{damagedArchive});
        QVERIFY(readFile(pathIn(site.middle, damagedArchive)) == damagedBytes);
        const Attributes attributes{
            {(prefix + "packed" + suffix).toStdString(),
             testPatternOf(packedStream.unpackedSize).toStdString()},
            {(prefix + "Zone.Identifier" + suffix).toStdString(), zone.toStdString()}};
        for (const QString& name : expectedNames) {
            const auto content = readFile(pathIn(site.out, name));
            QVERIFY2(content, qPrintable(name));
            const QByteArray found =
                QByteArray::number(content->size()) + ' '
                + QByteArray::number(crc32Of(*content), 16).rightJustified(8, '0');
            QCOMPARE(found, expected[name]);
            QCOMPARE(readAttributes(pathIn(site.out, name)), std::optional(attributes));
        }
        if (unrarPath().isEmpty())
            QSKIP("RARLAB unrar not found in <build>/tools: its checks were skipped, all other "
                  "checks passed");
    }

private:
    // The samples' test pattern: little-endian uint32 max(0, k*k - 3k + 1),
    // what the compressed test.bin holds.
    static QByteArray testPatternOf(uint64_t size) {
        QByteArray bytes;
        for (int64_t k = 1; k <= int64_t(size / 4); ++k)
            bytes += uint32le(uint32_t(std::max<int64_t>(0, k * k - 3 * k + 1)));
        return bytes;
    }
};

TORVANELO_TEST(WindowsArchivesTest);
#include "WindowsArchivesTest.moc"
