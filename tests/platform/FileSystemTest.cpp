#include "NameCodec.h"
#include "PlatformTestSupport.h"
#include "ScratchFolder.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "linux/LinuxFileSystem.h"

#include <QTest>

#include <fcntl.h>
#include <set>
#include <sys/socket.h>
#include <sys/un.h>

using namespace torvanelo;
using namespace torvanelo::test;

namespace {

QString nameOf(const QByteArray& bytes) {
    return decodeFileName(bytes);
}

} // namespace

class FileSystemTest : public QObject {
    Q_OBJECT

private:
    QString pathOf(const QString& name) const { return m_dir->path() + u'/' + name; }

    std::unique_ptr<ScratchFolder> m_dir;
    LinuxFileSystem m_fs;

private slots:
    void init() {
        m_dir = std::make_unique<ScratchFolder>();
        QVERIFY(m_dir->isValid());
    }

    void listsEveryNameExactly() {
        const std::vector<QByteArray> names{
            "Plan.doc",
            "with  two spaces ",
            "new\nline",
            "tab\tand\rreturn",
            "caf\xe9",                          // Latin-1, not UTF-8
            "\xd0\x9f\xd0\xbb\xd0\xb0\xd0\xbd", // Cyrillic
            "\xf0\x9f\x91\x8b wave",            // four-byte UTF-8
            "\xed\xb2\x80 encoded surrogate",
            "\x80\xff\xfe",
            "\x01\x1f control",
            ".starts with a dot",
            "ends with a dot.",
            "back\\slash",
            "\"quoted\"",
            QByteArray(255, 'n'),
        };
        std::set<QString> expected;
        for (const QByteArray& name : names) {
            QVERIFY2(writeFile(pathOf(nameOf(name)), name), name.toHex().constData());
            expected.insert(nameOf(name));
        }
        const auto entries = m_fs.list(m_dir->path());
        QVERIFY(entries);
        std::set<QString> listed;
        for (const auto& entry : *entries) {
            QCOMPARE(entry.type, EntryType::File);
            listed.insert(entry.name);
            // Each listed name opens the very file that carries it.
            QCOMPARE(readFile(pathOf(entry.name)), std::optional(encodeFileName(entry.name)));
        }
        QCOMPARE(listed.size(), names.size());
        QVERIFY(listed == expected);
    }

    void listsEntryTypes() {
        QVERIFY(writeFile(pathOf(QStringLiteral("file")), "x"));
        QVERIFY(m_fs.makeFolder(pathOf(QStringLiteral("folder"))));
        QVERIFY(makeSymlink(pathOf(QStringLiteral("file")), pathOf(QStringLiteral("link"))));
        QVERIFY(
            makeSymlink(pathOf(QStringLiteral("folder")), pathOf(QStringLiteral("folderlink"))));
        QVERIFY(makeSymlink(QStringLiteral("/nonexistent"), pathOf(QStringLiteral("dangling"))));
        QVERIFY(makeFifo(pathOf(QStringLiteral("fifo"))));
        const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(sock >= 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray socketPath = encodeFileName(pathOf(QStringLiteral("socket")));
        QVERIFY(size_t(socketPath.size()) < sizeof address.sun_path);
        std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
        const bool bound = ::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(sock);
        QVERIFY(bound);

        const std::map<QString, EntryType> expected{
            {QStringLiteral("file"), EntryType::File},
            {QStringLiteral("folder"), EntryType::Directory},
            {QStringLiteral("link"), EntryType::Other},
            {QStringLiteral("folderlink"), EntryType::Other},
            {QStringLiteral("dangling"), EntryType::Other},
            {QStringLiteral("fifo"), EntryType::Other},
            {QStringLiteral("socket"), EntryType::Other},
        };
        const auto entries = m_fs.list(m_dir->path());
        QVERIFY(entries);
        std::map<QString, EntryType> listed;
        for (const auto& entry : *entries)
            listed[entry.name] = entry.type;
        QVERIFY(listed == expected);

        for (const auto& [name, type] : expected) {
            QVERIFY(m_fs.exists(pathOf(name)));
            const auto info = m_fs.info(pathOf(name));
            QVERIFY(info);
            QCOMPARE(info->type, type);
        }
    }

    void listingFailsForWhatIsNoFolder() {
        QVERIFY(writeFile(pathOf(QStringLiteral("file")), "x"));
        QVERIFY(!m_fs.list(pathOf(QStringLiteral("missing"))));
        QVERIFY(!m_fs.list(pathOf(QStringLiteral("file"))));
        QVERIFY(m_fs.list(m_dir->path() + u'/')); // a trailing '/' is harmless
        const auto empty = m_fs.list(m_dir->path() + QStringLiteral("/."));
        QVERIFY(empty);
        QCOMPARE(empty->size(), size_t(1)); // "." and ".." are never listed
    }

    void infoGivesSizeAndTime() {
        const QString path = pathOf(QStringLiteral("sized"));
        QVERIFY(writeFile(path, QByteArray(12345, 'z')));
        const timespec times[2] = {{1000000000, 0}, {1234567890, 500000000}};
        QVERIFY(::utimensat(AT_FDCWD, encodeFileName(path).constData(), times, 0) == 0);
        const auto info = m_fs.info(path);
        QVERIFY(info);
        QCOMPARE(info->size, qint64(12345));
        QCOMPARE(info->modified.toMSecsSinceEpoch(), qint64(1234567890500));
        QVERIFY(!m_fs.info(pathOf(QStringLiteral("missing"))));
        QVERIFY(!m_fs.exists(pathOf(QStringLiteral("missing"))));
    }

    void pathsHoldingNulAreRefused() {
        // "a\0b" must not act on "a".
        QVERIFY(writeFile(pathOf(QStringLiteral("a")), "keep"));
        const QString withNul = pathOf(QStringLiteral("a")) + QChar(u'\0') + QStringLiteral("b");
        QVERIFY(!m_fs.exists(withNul));
        QVERIFY(!m_fs.remove(withNul));
        QVERIFY(!m_fs.writeFile(withNul, "lost"));
        QVERIFY(!m_fs.setHidden(withNul, true));
        QVERIFY(!m_fs.move(withNul, pathOf(QStringLiteral("c")), Replace::Yes));
        QVERIFY(!m_fs.move(pathOf(QStringLiteral("a")), withNul, Replace::Yes));
        QVERIFY(!m_fs.list(withNul));
        QCOMPARE(readFile(pathOf(QStringLiteral("a"))), std::optional(QByteArray("keep")));
        QVERIFY(!m_fs.isHidden(pathOf(QStringLiteral("a"))));
        QVERIFY(!m_fs.exists(QString()));
    }

    void hiddenFlagRoundTrips() {
        const QString name = nameOf("hid\xe9 den.txt");
        const QString path = pathOf(name);
        QVERIFY(writeFile(path, "data"));
        QVERIFY(writeAttributes(path, {{"user.stream", "value"}}));
        QVERIFY(!m_fs.isHidden(path));
        QVERIFY(m_fs.setHidden(path, true));
        QVERIFY(m_fs.isHidden(path));
        QVERIFY(m_fs.setHidden(path, true)); // again: no change, no failure
        QVERIFY(m_fs.isHidden(path));

        // The mark is neither in the name nor among the file's streams.
        const auto entries = m_fs.list(m_dir->path());
        QVERIFY(entries);
        QCOMPARE(entries->size(), size_t(1));
        QCOMPARE(entries->front().name, name);
        QCOMPARE(readAttributes(path), std::optional(Attributes{{"user.stream", "value"}}));
        QCOMPARE(readFile(path), std::optional(QByteArray("data")));

        QVERIFY(m_fs.setHidden(path, false));
        QVERIFY(!m_fs.isHidden(path));
        QVERIFY(m_fs.setHidden(path, false)); // clearing an absent mark succeeds
        QCOMPARE(readAttributes(path), std::optional(Attributes{{"user.stream", "value"}}));
    }

    void onlyRegularFilesCarryTheMark_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("folder") << QStringLiteral("folder");
        QTest::newRow("symbolic link to a file") << QStringLiteral("link");
        QTest::newRow("fifo") << QStringLiteral("fifo");
        QTest::newRow("missing") << QStringLiteral("missing");
    }
    void onlyRegularFilesCarryTheMark() {
        QFETCH(QString, name);
        QVERIFY(writeFile(pathOf(QStringLiteral("target")), "x"));
        QVERIFY(m_fs.makeFolder(pathOf(QStringLiteral("folder"))));
        QVERIFY(makeSymlink(pathOf(QStringLiteral("target")), pathOf(QStringLiteral("link"))));
        QVERIFY(makeFifo(pathOf(QStringLiteral("fifo"))));
        // A fifo without a writer would block an ordinary open: this must not.
        QVERIFY(!m_fs.setHidden(pathOf(name), true));
        QVERIFY(!m_fs.isHidden(pathOf(name)));
        QVERIFY(!m_fs.setNormal(pathOf(name)));
        QVERIFY(!m_fs.isHidden(pathOf(QStringLiteral("target"))));
    }

    void setNormalClearsTheMarkAndGivesTheOwnerReadAndWrite_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<int>("expectedMode");
        QTest::newRow("read-only, hidden") << 0444 << true << 0644;
        QTest::newRow("no permission at all") << 0000 << false << 0600;
        QTest::newRow("already normal") << 0640 << false << 0640;
        QTest::newRow("executable, hidden") << 0555 << true << 0755;
    }
    void setNormalClearsTheMarkAndGivesTheOwnerReadAndWrite() {
        QFETCH(int, mode);
        QFETCH(bool, hidden);
        QFETCH(int, expectedMode);
        const QString path = pathOf(QStringLiteral("file"));
        QVERIFY(writeFile(path, "x"));
        QVERIFY(writeAttributes(path, {{"user.keep", "me"}}));
        QVERIFY(m_fs.setHidden(path, hidden));
        QVERIFY(setMode(path, mode_t(mode)));
        QVERIFY(m_fs.setNormal(path));
        QVERIFY(!m_fs.isHidden(path));
        QCOMPARE(int(lstatOf(path)->st_mode & 07777), expectedMode);
        QCOMPARE(readAttributes(path), std::optional(Attributes{{"user.keep", "me"}}));
    }

    void readOnlyFileTakesTheMarkAndStaysReadOnly() {
        const QString path = pathOf(QStringLiteral("read-only"));
        QVERIFY(writeFile(path, "x"));
        QVERIFY(setMode(path, 0444));
        QVERIFY(m_fs.setHidden(path, true));
        QVERIFY(m_fs.isHidden(path));
        QCOMPARE(int(lstatOf(path)->st_mode & 07777), 0444);
        QVERIFY(m_fs.setHidden(path, false));
        QVERIFY(!m_fs.isHidden(path));
    }

    // The owner of a read-only file may change its marks; root may anyway,
    // so this runs as an ordinary user.
    void ownerChangesMarksOfHisReadOnlyFile() {
        if (!canSwitchUser())
            QSKIP("needs root to run a child as an ordinary user");
        QVERIFY(setMode(m_dir->path(), 0755));
        const QString readOnly = pathOf(QStringLiteral("read-only"));
        const QString locked = pathOf(QStringLiteral("no permission"));
        const QString foreign = pathOf(QStringLiteral("root's"));
        for (const QString& path : {readOnly, locked, foreign})
            QVERIFY(writeFile(path, "x"));
        QVERIFY(setOwner(readOnly, NobodyId) && setMode(readOnly, 0444));
        QVERIFY(setOwner(locked, NobodyId) && setMode(locked, 0000));
        QVERIFY(setMode(foreign, 0444));

        const int result = runAsNobody([&] {
            LinuxFileSystem fs;
            if (!fs.setHidden(readOnly, true) || !fs.isHidden(readOnly))
                return 1;
            if (!fs.setNormal(locked))
                return 2;
            if (fs.setHidden(foreign, true)) // not his file: refused
                return 3;
            return 0;
        });
        QCOMPARE(result, 0);
        QVERIFY(m_fs.isHidden(readOnly));
        QCOMPARE(int(lstatOf(readOnly)->st_mode & 07777), 0444);
        QCOMPARE(int(lstatOf(locked)->st_mode & 07777), 0600);
        QVERIFY(!m_fs.isHidden(foreign));
        QCOMPARE(int(lstatOf(foreign)->st_mode & 07777), 0444);
    }

    void removeDeletesFilesOnly() {
        const QString file = pathOf(QStringLiteral("file"));
        const QString folder = pathOf(QStringLiteral("folder"));
        const QString link = pathOf(QStringLiteral("link"));
        QVERIFY(writeFile(file, "x"));
        QVERIFY(m_fs.makeFolder(folder));
        QVERIFY(writeFile(folder + QStringLiteral("/inner"), "y"));
        QVERIFY(makeSymlink(file, link));

        QVERIFY(!m_fs.remove(folder));
        QVERIFY(m_fs.exists(folder + QStringLiteral("/inner")));
        QVERIFY(m_fs.remove(link)); // the link goes, not what it names
        QVERIFY(!m_fs.exists(link));
        QVERIFY(m_fs.exists(file));
        QVERIFY(m_fs.remove(file));
        QVERIFY(!m_fs.exists(file));
        QVERIFY(!m_fs.remove(file));
    }

    void foldersAreMadePrivateAndRemovedOnlyWhenEmpty() {
        const QString folder = pathOf(nameOf("work \xff"));
        QVERIFY(m_fs.makeFolder(folder));
        QCOMPARE(int(lstatOf(folder)->st_mode & 0777), 0700);
        QVERIFY(!m_fs.makeFolder(folder)); // exists already
        QVERIFY(writeFile(folder + QStringLiteral("/x"), "x"));
        QVERIFY(!m_fs.removeFolder(folder));
        QVERIFY(m_fs.exists(folder + QStringLiteral("/x")));
        QVERIFY(m_fs.remove(folder + QStringLiteral("/x")));
        QVERIFY(m_fs.removeFolder(folder));
        QVERIFY(!m_fs.exists(folder));
        QVERIFY(!m_fs.makeFolder(pathOf(QStringLiteral("missing/child"))));
        QVERIFY(writeFile(pathOf(QStringLiteral("file")), "x"));
        QVERIFY(!m_fs.removeFolder(pathOf(QStringLiteral("file"))));
    }

    void writeReplacesAndReadIsBounded() {
        const QString path = pathOf(nameOf("name \xd0\x9f.rn"));
        QVERIFY(m_fs.writeFile(path, QByteArray("first, the longer content")));
        QVERIFY(m_fs.writeFile(path, QByteArray("\"4142\"\r\n")));
        QCOMPARE(m_fs.readFile(path, 100), std::optional(QByteArray("\"4142\"\r\n")));
        QCOMPARE(m_fs.readFile(path, 8), std::optional(QByteArray("\"4142\"\r\n")));
        QVERIFY(!m_fs.readFile(path, 7));
        QVERIFY(!m_fs.readFile(path, -1));
        QVERIFY(m_fs.writeFile(path, QByteArray()));
        QCOMPARE(m_fs.readFile(path, 0), std::optional(QByteArray()));
        QVERIFY(!m_fs.readFile(pathOf(QStringLiteral("missing")), 10));
        QVERIFY(!m_fs.writeFile(pathOf(QStringLiteral("missing/file")), "x"));

        const QByteArray big(3 * 65536 + 17, 'b');
        QVERIFY(m_fs.writeFile(path, big));
        QCOMPARE(m_fs.readFile(path, big.size()), std::optional(big));
        QVERIFY(!m_fs.readFile(path, big.size() - 1));
    }

    void appendCreatesAndAppends() {
        const QString path = pathOf(QStringLiteral("Log Torvanelo 2024-03-15.htm"));
        QVERIFY(m_fs.appendToFile(path, "one\r\n"));
        QVERIFY(m_fs.appendToFile(path, "two\r\n"));
        QVERIFY(m_fs.appendToFile(path, QByteArray()));
        QCOMPARE(readFile(path), std::optional(QByteArray("one\r\ntwo\r\n")));
        QVERIFY(!m_fs.appendToFile(pathOf(QStringLiteral("missing/log")), "x"));
    }

    // A symbolic link planted where the program writes must not lead it to
    // write elsewhere, and a fifo must not make it wait.
    void writesNeverGoThroughLinksOrIntoFifos() {
        const QString victim = pathOf(QStringLiteral("victim"));
        const QString link = pathOf(QStringLiteral("planted"));
        const QString fifo = pathOf(QStringLiteral("fifo"));
        QVERIFY(writeFile(victim, "precious"));
        QVERIFY(makeSymlink(victim, link));
        QVERIFY(makeFifo(fifo));

        QVERIFY(!m_fs.writeFile(link, "overwritten"));
        QVERIFY(!m_fs.appendToFile(link, "appended"));
        QVERIFY(!m_fs.readFile(link, 100));
        QCOMPARE(readFile(victim), std::optional(QByteArray("precious")));

        QVERIFY(!m_fs.writeFile(fifo, "x"));
        QVERIFY(!m_fs.appendToFile(fifo, "x"));
        QVERIFY(!m_fs.readFile(fifo, 100));
        QVERIFY(!m_fs.writeFile(m_dir->path(), "x"));
    }
};

TORVANELO_TEST(FileSystemTest);
#include "FileSystemTest.moc"
