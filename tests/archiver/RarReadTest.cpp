// `rar e` over archives it did not write: the sample archives of other RAR
// tools, archives built byte by byte from the published layout, and broken
// or hostile ones. Every run is the real binary in a real folder.

#include "ArchiverTestSupport.h"
#include "TestFiles.h"
#include "TestRegistry.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace torvanelo::test;
using handmade::Member;
using handmade::Stream;

namespace {

// The samples live beside the shared format notes, outside the source tree.
const QString SamplesDir = QStringLiteral("/work/shared/testdata/rar");

QByteArray fileTimeOf(qint64 seconds) {
    return handmade::fileTimeRecord(static_cast<uint64_t>(seconds + 11644473600LL) * 10000000ULL);
}

// An archive folder holding the archive and, below it, the folder `rar e`
// runs in: whatever lands outside the work folder escaped.
struct Scene {
    QTemporaryDir root;
    QByteArray archive;
    QByteArray work;
    QByteArray archiveBytes;

    explicit Scene(const QByteArray& bytes) {
        archive = QFile::encodeName(root.path()) + "/a.rar";
        work = QFile::encodeName(root.path()) + "/work";
        archiveBytes = bytes;
        writeRaw(archive, bytes);
        ::mkdir(work.constData(), 0755);
    }
    ProcessResult extract() {
        return runRar({QStringLiteral("e"), QFile::decodeName(archive)}, QFile::decodeName(work));
    }
    bool onlyArchiveAndWorkOutside() const {
        return folderEntries(QFile::encodeName(root.path())) == QList<QByteArray>{"a.rar", "work"};
    }
    bool archiveUnchanged() const { return readRaw(archive) == archiveBytes; }
};

Member textMember(const QByteArray& name, const QByteArray& data) {
    Member member;
    member.name = name;
    member.data = data;
    member.extra = fileTimeOf(1700000000);
    return member;
}

// Two good members, the second with a stream.
std::vector<Member> goodMembers() {
    Member second = textMember("second.txt", "second member\n");
    second.streams.push_back({":note", "stream value"});
    return {textMember("first.txt", "first member\n"), second};
}

QByteArray flipBit(QByteArray bytes, qsizetype offset) {
    bytes[offset] = static_cast<char>(bytes[offset] ^ 0x10);
    return bytes;
}

// A file block whose fields are written by hand, with a correct header CRC.
QByteArray rawFileBlock(const QByteArray& fieldsAfterFlags, const QByteArray& data) {
    return handmade::block(QByteArray("\x02\x02", 2) + fieldsAfterFlags) + data;
}

QByteArray withBlocks(const QByteArray& blocks) {
    return handmade::signature() + handmade::mainHeader() + blocks + handmade::endHeader();
}

} // namespace

class RarReadTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(QFileInfo::exists(rarPath()), qPrintable(rarPath()));
        ::umask(022); // the modes expected below
    }

    // The worked example of the format notes, built from its published
    // layout, extracts with its stream, time and attributes.
    void handmadeWorkedExample() {
        Member demo = textMember("demo.txt", "file data\n");
        demo.streams.push_back({":demo.stream", "stream data\n"});
        const QByteArray bytes = handmade::archive({demo});
        QCOMPARE(bytes, workedExample());
        Scene scene(bytes);
        const ProcessResult result = scene.extract();
        QVERIFY2(result.finished && result.exitCode == 0, result.err.constData());
        QCOMPARE(folderEntries(scene.work), QList<QByteArray>{"demo.txt"});
        const QByteArray path = scene.work + "/demo.txt";
        QCOMPARE(readRaw(path).value_or(QByteArray()), QByteArray("file data\n"));
        const std::map<std::string, std::string> expected{{"user.demo.stream", "stream data\n"}};
        QCOMPARE(allUserAttributes(path), expected);
        struct stat status {};
        QCOMPARE(::stat(path.constData(), &status), 0);
        QCOMPARE(qint64(status.st_mtim.tv_sec), qint64(1700000000));
        QCOMPARE(status.st_mode & 0777, 0644u);
        QVERIFY(scene.archiveUnchanged());
    }

    // Every sample of the other tools: exact extraction, with the mode
    // (Windows-host attributes or the Unix-host mode) and the hidden mark,
    // or a clean refusal.
    void samples_data() {
        QTest::addColumn<QString>("sample");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("files"); // "name size crc32 mode [hidden]"
        const auto row =
            [](const char* name, int code, const QStringList& files = {}) {
                QTest::newRow(name)
                    << QStringLiteral("test_read_format_%1.rar").arg(QLatin1String(name)) << code
                    << files;
            };
        const QString hello = QStringLiteral("helloworld.txt 29 95a043b4 644");
        row("rar5_stored", 0, {hello});
        row("rar5_stored_manyfiles", 0,
            {QStringLiteral("cebula.txt 814 7e5ec49e 644"),
             QStringLiteral("make_uue.tcl 405 49478adc 755"),
             QStringLiteral("test.bin 1200 7cca70cd 644")});
        row("rar5_fileattr", 0,
            {QStringLiteral("hidden.txt 11 853d846f 644 hidden"),
             QStringLiteral("readonly.txt 11 9b8edd8b 444"),
             QStringLiteral("ro_hidden.txt 11 1d109f2e 444 hidden"),
             QStringLiteral("system.txt 11 28d28c2d 644")});
        row("rar5_owner", 0,
            {QStringLiteral("nobody.txt 5 accdc166 644"),
             QStringLiteral("numeric.txt 5 22db207a 644"),
             QStringLiteral("root.txt 5 7d931721 644")});
        row("rar5_hardlink", 0, {QStringLiteral("file.txt 5 7d931721 644")});
        row("rar5_symlink", 0, {QStringLiteral("file.txt 5 7d931721 644")});
        row("rar5_unicode", 0, {QStringLiteral("\U0001F44B\U0001F30E.txt 13 ebe6c6e6 644")});
        row("rar5_zip_in_rar", 0,
            {QStringLiteral("inner.zip 165 8571e12e 644"),
             QStringLiteral("real_after.txt 21 f64da62e 644")});
        row("rar5_skip_block_extra_bytes", 0, {hello});
        row("rar5_main_block_extra_bytes", 0, {hello});
        row("rar5_unsupported_exfld", 0, {QStringLiteral("file.txt 48 b4eb162e 755")});
        for (const char* name :
             {"rar5_owner_name_toolong", "rar5_dirdata", "rar5_block_size_is_too_small"})
            row(name, 3); // damaged
        for (const char* name : {"rar5_compressed",
                                 "rar5_multiple_files",
                                 "rar5_multiple_files_solid",
                                 "rar5_solid",
                                 "rar5_win32",
                                 "rar5_blake2",
                                 "rar5_extra_field_version",
                                 "rar5_arm",
                                 "rar5_encrypted",
                                 "rar5_encrypted_filenames",
                                 "rar5_invalid_hash_valid_htime_exfld",
                                 "rar5_only_crypt_exfld",
                                 "rar5_bytes_remaining_underflow",
                                 "rar5_multiarchive_solid.part01",
                                 "rar5_multiarchive_solid.part02",
                                 "rar5_multiarchive_solid.part03",
                                 "rar5_multiarchive_solid.part04",
                                 "rar",
                                 "rar_windows",
                                 "rar_subblock",
                                 "rar_unicode",
                                 "rar_compress_normal",
                                 "rar_noeof",
                                 "rar_invalid1"})
            row(name, 2); // unsupported
    }
    void samples() {
        QFETCH(QString, sample);
        QFETCH(int, exitCode);
        QFETCH(QStringList, files);
        const QString path = SamplesDir + QLatin1Char('/') + sample;
        if (!QFileInfo::exists(path))
            QSKIP(qPrintable(QStringLiteral("sample archives not found in ") + SamplesDir));
        const QByteArray before = readRaw(QFile::encodeName(path)).value_or(QByteArray());
        QTemporaryDir work;
        const QByteArray dir = QFile::encodeName(work.path());
        const ProcessResult result = runRar({QStringLiteral("e"), path}, work.path());
        QVERIFY2(result.finished, "rar hung or crashed");
        QVERIFY2(result.exitCode == exitCode, result.err.constData());
        if (exitCode != 0) {
            // One line naming the archive and the reason.
            QCOMPARE(result.err.count('\n'), 1);
            QVERIFY(result.err.contains(QFile::encodeName(path)));
        }
        QStringList found;
        for (const QByteArray& name : folderEntries(dir)) {
            const QByteArray content = readRaw(dir + '/' + name).value_or(QByteArray());
            struct stat status {};
            QCOMPARE(::stat((dir + '/' + name).constData(), &status), 0);
            found << QStringLiteral("%1 %2 %3 %4%5")
                         .arg(QString::fromUtf8(name))
                         .arg(content.size())
                         .arg(handmade::crc(content), 8, 16, QLatin1Char('0'))
                         .arg(status.st_mode & 07777, 0, 8)
                         .arg(allUserAttributes(dir + '/' + name).count("user.torvanelo.hidden")
                                  ? QStringLiteral(" hidden")
                                  : QString());
        }
        QCOMPARE(found, files);
        QCOMPARE(readRaw(QFile::encodeName(path)).value_or(QByteArray()), before);
    }

    // Broken and hostile archives: the expected exit status, the files the
    // work folder holds afterwards, nothing outside it, the archive intact.
    void badInput_data() {
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QList<QByteArray>>("files");
        const int unsupported = 2;
        const int damaged = 3;
        const QByteArray good = handmade::archive(goodMembers());
        const QList<QByteArray> none;
        const QList<QByteArray> both{"first.txt", "second.txt"};
        QTest::newRow("good") << good << 0 << both;

        const qsizetype firstData = good.indexOf("first member");
        const qsizetype streamData = good.indexOf("stream value");
        const qsizetype endHeader = good.size() - 8;
        for (const qsizetype length :
             {qsizetype(0), qsizetype(4), qsizetype(8), qsizetype(12), qsizetype(17), qsizetype(30),
              firstData + 3, streamData, endHeader, good.size() - 1}) {
            QTest::addRow("truncated to %lld bytes", qlonglong(length))
                << good.left(length) << damaged << none;
        }
        QTest::newRow("bit flipped in a file header") << flipBit(good, 30) << damaged << none;
        QTest::newRow("bit flipped in file data")
            << flipBit(good, firstData + 2) << damaged << none;
        QTest::newRow("bit flipped in stream data") << flipBit(good, streamData) << damaged << none;
        QTest::newRow("bit flipped in the main header") << flipBit(good, 13) << damaged << none;
        QTest::newRow("trailing bytes after the end ignored") << good + "junk" << 0 << both;

        // Header size 0x1FFFFF with a CRC that matches it: it points past the end.
        QByteArray pastEnd = QByteArray::fromHex("ffff7f") + QByteArray("\x02\x02", 2);
        pastEnd = handmade::uint32le(handmade::crc(pastEnd)) + pastEnd;
        QTest::newRow("header size pointing past the end")
            << withBlocks(pastEnd) << damaged << none;
        QByteArray sizeZero = QByteArray::fromHex("00");
        QTest::newRow("header size 0")
            << withBlocks(handmade::uint32le(handmade::crc(sizeZero)) + sizeZero) << damaged
            << none;
        QByteArray fourByteSize =
            QByteArray::fromHex("85808000") + QByteArray("\x02\x02\x00\x00\x00", 5);
        QTest::newRow("header size in 4 bytes")
            << withBlocks(handmade::uint32le(handmade::crc(fourByteSize)) + fourByteSize) << damaged
            << none;
        // Data size written in eleven bytes: "80" x 10 then "00".
        const QByteArray elevenBytes = QByteArray(10, '\x80') + QByteArray(1, '\0');
        QTest::newRow("vint longer than ten bytes") << withBlocks(rawFileBlock(
            elevenBytes + QByteArray::fromHex("04002000000000000001") + "x", QByteArray()))
                                                    << damaged << none;
        QTest::newRow("ten-byte padded vint accepted")
            << withBlocks(rawFileBlock(QByteArray(9, '\x80') + QByteArray(1, '\0')
                                           + QByteArray::fromHex("04002000000000000001") + "x",
                                       QByteArray()))
            << 0 << QList<QByteArray>{"x"};

        QTest::newRow("not RAR at all")
            << QByteArray("PK\x03\x04 this is no rar archive") << damaged << none;
        QTest::newRow("RAR 4 signature")
            << QByteArray("Rar!\x1A\x07\x00\xCF\x90\x73\x00\x00", 12) << unsupported << none;
        QTest::newRow("no end header") << good.left(endHeader) << damaged << none;
        QTest::newRow("no main header")
            << handmade::signature() + handmade::fileBlock(textMember("a", "b"))
                   + handmade::endHeader()
            << damaged << none;

        const auto named = [&](const QByteArray& name) {
            return handmade::archive({textMember(name, "named\n")});
        };
        QTest::newRow("member ../x") << named("../x") << 0 << QList<QByteArray>{"x"};
        QTest::newRow("member /etc/x") << named("/etc/x") << 0 << QList<QByteArray>{"x"};
        QTest::newRow("member a/b") << named("a/b") << 0 << QList<QByteArray>{"b"};
        QTest::newRow("member ..\\x") << named("..\\x") << 0 << QList<QByteArray>{"x"};
        QTest::newRow("member with empty name") << named("") << damaged << none;
        QTest::newRow("member ..") << named("..") << unsupported << none;
        QTest::newRow("member a/..") << named("a/..") << unsupported << none;
        QTest::newRow("member .") << named(".") << unsupported << none;
        QTest::newRow("member with NUL") << named(QByteArray("a\0b", 3)) << unsupported << none;
        QTest::newRow("member named 64 KiB long")
            << named(QByteArray(65536, 'n')) << unsupported << none;
        QTest::newRow("member named 300 bytes with a newline")
            << named("line\nbreak" + QByteArray(290, 'n')) << unsupported << none;
        QTest::newRow("two members of the same name")
            << handmade::archive({textMember("same", "1"), textMember("same", "2")}) << unsupported
            << none;
        QTest::newRow("two members that extract to the same name")
            << handmade::archive({textMember("a/same", "1"), textMember("b/same", "2")})
            << unsupported << none;

        Member compressed = textMember("packed", "not really packed");
        compressed.compression = 1 << 7;
        QTest::newRow("compressed member")
            << handmade::archive({textMember("first", "1"), compressed}) << unsupported << none;
        Member encrypted = textMember("secret", "data");
        encrypted.extra += handmade::vint(3) + handmade::vint(1) + QByteArray("\x00\x00", 2);
        QTest::newRow("encrypted member") << handmade::archive({encrypted}) << unsupported << none;
        Member noCrc = textMember("unchecked", "data");
        noCrc.fileFlags = 0;
        QTest::newRow("member without CRC32") << handmade::archive({noCrc}) << unsupported << none;
        Member directoryWithData = textMember("dir", "data");
        directoryWithData.fileFlags = 0x05;
        QTest::newRow("directory with data")
            << handmade::archive({directoryWithData}) << damaged << none;
        Member directory = textMember("dir", QByteArray());
        directory.fileFlags = 0x05;
        QTest::newRow("directory skipped")
            << handmade::archive({directory, textMember("f", "1")}) << 0 << QList<QByteArray>{"f"};
        Member link = textMember("link", QByteArray());
        // Redirection record: hard link (4), no flags, target "f".
        link.extra += handmade::vint(5) + handmade::vint(5) + handmade::vint(4) + handmade::vint(0)
                      + handmade::vint(1) + "f";
        QTest::newRow("link skipped")
            << handmade::archive({link, textMember("f", "1")}) << 0 << QList<QByteArray>{"f"};

        QTest::newRow("solid archive")
            << handmade::signature() + handmade::block(QByteArray("\x01\x00\x04", 3))
                   + handmade::fileBlock(textMember("a", "b")) + handmade::endHeader()
            << unsupported << none;
        QTest::newRow("volume archive")
            << handmade::signature() + handmade::block(QByteArray("\x01\x00\x01", 3))
                   + handmade::fileBlock(textMember("a", "b")) + handmade::endHeader()
            << unsupported << none;
        QTest::newRow("encrypted headers")
            << handmade::signature() + handmade::block(QByteArray("\x04\x00\x00", 3)) << unsupported
            << none;
        QTest::newRow("unknown block type")
            << withBlocks(handmade::block(QByteArray("\x10\x00", 2))) << unsupported << none;
        QTest::newRow("unknown block type marked skippable") << withBlocks(
            handmade::block(QByteArray("\x10\x04", 2)) + handmade::fileBlock(textMember("f", "1")))
                                                             << 0 << QList<QByteArray>{"f"};

        const auto withStream = [](const QByteArray& name, const QByteArray& value) {
            Member member = textMember("f", "1");
            member.streams.push_back({name, value});
            return handmade::archive({member});
        };
        QTest::newRow("stream name without colon") << withStream("name", "v") << damaged << none;
        QTest::newRow("stream name only a colon") << withStream(":", "v") << damaged << none;
        QTest::newRow("stream larger than 64 KiB")
            << withStream(":big", QByteArray(65537, 'v')) << unsupported << none;
        Member twice = textMember("f", "1");
        twice.streams = {{":s", "1"}, {":s", "2"}};
        QTest::newRow("same stream twice") << handmade::archive({twice}) << damaged << none;
        QTest::newRow("stream without a file ignored") << withBlocks(
            handmade::streamBlock({":s", "v"}) + handmade::fileBlock(textMember("f", "1")))
                                                       << 0 << QList<QByteArray>{"f"};
    }
    void badInput() {
        QFETCH(QByteArray, archive);
        QFETCH(int, exitCode);
        QFETCH(QList<QByteArray>, files);
        Scene scene(archive);
        const ProcessResult result = scene.extract();
        QVERIFY2(result.finished, "rar hung or crashed");
        QVERIFY2(result.exitCode == exitCode, result.err.constData());
        if (exitCode != 0) {
            QCOMPARE(result.err.count('\n'), 1);
            QVERIFY(result.err.startsWith("rar: " + scene.archive + ": "));
        }
        QCOMPARE(folderEntries(scene.work), files);
        QVERIFY(scene.onlyArchiveAndWorkOutside());
        QVERIFY(scene.archiveUnchanged());
        QVERIFY(!QFileInfo::exists(QStringLiteral("/etc/x")));
    }

    // Service headers other than streams are skipped; streams after them
    // still belong to the file before.
    void streamAfterOtherServiceHeaders() {
        Scene scene(withBlocks(handmade::serviceBlock("CMT", "an archive comment")
                               + handmade::fileBlock(textMember("f", "1"))
                               + handmade::serviceBlock("ACL", QByteArray(40, '\x01'))
                               + handmade::streamBlock({":s", "v"})
                               + handmade::serviceBlock("QO", QByteArray(65, '\x02'))
                               + handmade::serviceBlock("RR", QByteArray(100, '\x03'))));
        QCOMPARE(scene.extract().exitCode, 0);
        QCOMPARE(folderEntries(scene.work), QList<QByteArray>{"f"});
        QCOMPARE(allUserAttributes(scene.work + "/f"),
                 (std::map<std::string, std::string>{{"user.s", "v"}}));
    }

    // A hidden-mark stream does not set the mark: the attribute bit decides.
    void hiddenMarkComesOnlyFromTheAttribute() {
        Member member = textMember("f", "1");
        member.streams.push_back({":torvanelo.hidden", "1"});
        Scene scene(handmade::archive({member}));
        const ProcessResult result = scene.extract();
        QCOMPARE(result.exitCode, 0);
        QVERIFY(result.err.contains("note"));
        QVERIFY(allUserAttributes(scene.work + "/f").empty());
    }

    // The third member is damaged: nothing of the archive lands, and a file
    // already there under the first member's name keeps its content.
    void damagedMemberExtractsNothing() {
        Member third = textMember("third.txt", "third member\n");
        third.crcOverride = 0x12345678;
        std::vector<Member> members = goodMembers();
        members.push_back(third);
        Scene scene(handmade::archive(members));
        QVERIFY(writeRaw(scene.work + "/first.txt", "older content"));
        const ProcessResult result = scene.extract();
        QCOMPARE(result.exitCode, 3);
        QVERIFY(result.err.contains("third.txt"));
        QCOMPARE(folderEntries(scene.work), QList<QByteArray>{"first.txt"});
        QCOMPARE(readRaw(scene.work + "/first.txt").value_or(QByteArray()),
                 QByteArray("older content"));
    }

    // A member that would land on the archive itself is refused.
    void memberCannotReplaceTheArchive() {
        QTemporaryDir dir;
        const QByteArray archive = QFile::encodeName(dir.path()) + "/a.rar";
        const QByteArray bytes = handmade::archive({textMember("a.rar", "payload")});
        QVERIFY(writeRaw(archive, bytes));
        const ProcessResult result =
            runRar({QStringLiteral("e"), QStringLiteral("a.rar")}, dir.path());
        QCOMPARE(result.exitCode, 5);
        QCOMPARE(readRaw(archive).value_or(QByteArray()), bytes);
        QCOMPARE(folderEntries(QFile::encodeName(dir.path())), QList<QByteArray>{"a.rar"});
    }
};

TORVANELO_TEST(RarReadTest);
#include "RarReadTest.moc"
