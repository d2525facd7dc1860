// The archiver's format code at unit level: the byte-exact output of its
// writer and the stream-name mapping.

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
    // The writer, given the inputs of the published worked example, writes
    // it byte for byte; a file longer or shorter than announced is refused,
    // not cut or padded silently.
    void writer() {
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
            writer.addFile({"demo.txt", 10, 0x20, 1700000000}, in);
            writer.addStream(":demo.stream", "stream data\n");
            writer.finish();
        }
        const int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        for (const uint64_t size : {9, 11}) {
            ArchiveOutput output(nowhere, "null");
            ArchiveWriter writer(output);
            QCOMPARE(::lseek(in, 0, SEEK_SET), off_t(0));
            QVERIFY_THROWS_EXCEPTION(RarError, writer.addFile({"changed", size}, in));
        }
        QCOMPARE(::close(nowhere) | ::close(in) | ::close(out), 0);
        QCOMPARE(torvanelo::test::readRaw(archivePath).value_or(QByteArray()),
                 torvanelo::test::workedExample());
    }

    // Attribute names and stream names, both ways; an empty side is not mapped.
    void streamNames_data() {
        QTest::addColumn<QByteArray>("attribute");
        QTest::addColumn<QByteArray>("stream");
        const auto row = [](const char* tag, const char* attribute, const char* stream) {
            QTest::newRow(tag) << QByteArray(attribute) << QByteArray(stream);
        };
        row("plain", "user.Zone.Identifier", ":Zone.Identifier");
        row("Samba stream form", "user.DosStream.X:$DATA", ":DosStream.X%3A$DATA");
        row("escape character", "user.100%", ":100%25");
        row("separators", "user.a/b\\c", ":a%2Fb%5Cc");
        row("invalid UTF-8", "user.\xff", ":%FF");
        row("trusted namespace", "trusted.x", "");
        row("user. alone", "user.", "");
        row("stream without colon", "", "name");
        row("stream only a colon", "", ":");
        row("stream with escaped NUL", "", ":a%00b");
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
