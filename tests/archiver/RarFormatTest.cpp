// The archiver's format code at unit level: numbers, the byte-exact output
// of its writer, times, wildcards and the stream-name mapping.

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
    void headerTooLargeIsRefused() {
        QVERIFY_THROWS_EXCEPTION(RarError, frameHeader(std::string(MaxHeaderSize + 1, '\x05')));
    }

    // The writer, given the inputs of the published worked example, writes
    // it byte for byte.
    void writerIsByteExact() {
        QTemporaryDir dir;
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
        QCOMPARE(torvanelo::test::readRaw(archivePath).value_or(QByteArray()),
                 torvanelo::test::workedExample());
    }

    // A file longer or shorter than announced must not be cut or padded silently.
    void writerRefusesAFileThatChanged() {
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

    // Times a 64-bit FILETIME or Unix record reaches only one way (the
    // common ones go through the binary).
    void timeRecords_data() {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<quint32>("nanoseconds");
        QTest::addColumn<QByteArray>("record");
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

    // The engine's B.r? pattern is checked through the binary.
    void wildcards_data() {
        QTest::addColumn<QByteArray>("pattern");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("matches");
        QTest::newRow("* takes all") << QByteArray("*") << QByteArray(".hidden") << true;
        QTest::newRow("* backtracks") << QByteArray("*a*b") << QByteArray("xaxab") << true;
        QTest::newRow("* needs the tail") << QByteArray("*.rr") << QByteArray("x.rrr") << false;
        QTest::newRow("? is one UTF-8 character")
            << QByteArray("?.txt") << QByteArray("\xd0\xaf.txt") << true;
        QTest::newRow("? is one invalid byte")
            << QByteArray("??") << QByteArray("\xff\xfe") << true;
        QTest::newRow("? does not take two characters")
            << QByteArray("?") << QByteArray("\xd0\xaf\xd0\xaf") << false;
    }
    void wildcards() {
        QFETCH(QByteArray, pattern);
        QFETCH(QByteArray, name);
        QFETCH(bool, matches);
        QCOMPARE(matchesWildcard(stringOf(pattern), stringOf(name)), matches);
    }

    // Attribute names and stream names, both ways; an empty side is not mapped.
    void streamNames_data() {
        QTest::addColumn<QByteArray>("attribute");
        QTest::addColumn<QByteArray>("stream");
        QTest::newRow("plain") << QByteArray("user.Zone.Identifier")
                               << QByteArray(":Zone.Identifier");
        QTest::newRow("Samba stream form")
            << QByteArray("user.DosStream.X:$DATA") << QByteArray(":DosStream.X%3A$DATA");
        QTest::newRow("escape character") << QByteArray("user.100%") << QByteArray(":100%25");
        QTest::newRow("separators") << QByteArray("user.a/b\\c") << QByteArray(":a%2Fb%5Cc");
        QTest::newRow("invalid UTF-8") << QByteArray("user.\xff") << QByteArray(":%FF");
        QTest::newRow("trusted namespace") << QByteArray("trusted.x") << QByteArray();
        QTest::newRow("user. alone") << QByteArray("user.") << QByteArray();
        QTest::newRow("stream without colon") << QByteArray() << QByteArray("name");
        QTest::newRow("stream only a colon") << QByteArray() << QByteArray(":");
        QTest::newRow("stream with escaped NUL") << QByteArray() << QByteArray(":a%00b");
    }
    void streamNames() {
        QFETCH(QByteArray, attribute);
        QFETCH(QByteArray, stream);
        if (!attribute.isEmpty())
            QCOMPARE(bytesOf(streamNameForAttribute(stringOf(attribute)).value_or("")), stream);
        if (!stream.isEmpty())
            QCOMPARE(bytesOf(attributeNameForStream(stringOf(stream)).value_or("")), attribute);
    }

    // The mapping is reversible for every attribute name: random bytes,
    // biased towards the characters that need escaping.
    void streamNamesAreReversible() {
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

TORVANELO_TEST(RarFormatTest);
#include "RarFormatTest.moc"
