#include "NameCodec.h"
#include "PlatformTestSupport.h"
#include "ScratchFolder.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "linux/LinuxFileSystem.h"
#include "linux/TemporaryName.h"
#include "linux/Xattr.h"

#include <QRandomGenerator>
#include <QTest>

#include <fcntl.h>

using namespace torvanelo;
using namespace torvanelo::test;

namespace {

// What a move must carry: everything but the name and the place.
struct FileState {
    bool present = false;
    QByteArray data;
    Attributes attributes;
    bool hidden = false;
    mode_t mode = 0;
    qint64 modifiedNs = 0;
    friend bool operator==(const FileState&, const FileState&) = default;
};

FileState stateOf(const QString& path) {
    const auto data = readFile(path);
    const auto attributes = readAttributes(path);
    const auto status = lstatOf(path);
    if (!data || !attributes || !status)
        return {};
    return FileState{true,
                     *data,
                     *attributes,
                     LinuxFileSystem().isHidden(path),
                     status->st_mode & 07777,
                     qint64(status->st_mtim.tv_sec) * 1000000000 + status->st_mtim.tv_nsec};
}

// Found by QCOMPARE for its failure message.
char* toString(const FileState& state) {
    if (!state.present)
        return qstrdup("(no file)");
    QByteArray names;
    for (const auto& [name, value] : state.attributes)
        names += QByteArray::fromStdString(name) + "="
                 + QByteArray::number(qulonglong(value.size())) + " ";
    const QByteArray text = "data " + QByteArray::number(state.data.size()) + " bytes, attributes "
                            + names + (state.hidden ? "hidden" : "visible") + ", mode "
                            + QByteArray::number(uint(state.mode), 8) + ", mtime "
                            + QByteArray::number(state.modifiedNs);
    return qstrdup(text.constData());
}

QByteArray randomBytes(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(size);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(generator.bounded(256));
    return bytes;
}

bool setModified(const QString& path, qint64 seconds, long nanoseconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, nanoseconds}};
    return ::utimensat(AT_FDCWD, encodeFileName(path).constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

// Makes a file with data, attributes, hidden state, mode and time.
bool makeFile(const QString& path, const QByteArray& data, const Attributes& attributes,
              bool hidden, mode_t mode = 0640) {
    return writeFile(path, data) && writeAttributes(path, attributes)
           && LinuxFileSystem().setHidden(path, hidden) && setModified(path, 1700000000, 123456789)
           && setMode(path, mode);
}

Attributes manyAttributes(int count, int valueSize) {
    Attributes attributes;
    for (int i = 0; i < count; ++i)
        attributes["user.s" + std::to_string(i)] =
            std::string(size_t(valueSize), char('a' + i % 26));
    return attributes;
}

const Attributes Streams{
    {"user.AFP_AfpInfo", std::string("AFP\0\0\0\1\0\xff", 9)},
    {"user.empty", ""},
    {"user.DosStream.Zone.Identifier:$DATA", "[ZoneTransfer]\r\nZoneId=3\r\n"},
    {"user.\xd0\xbf\xd0\xbe\xd1\x82\xd0\xbe\xd0\xba", "stream with a Cyrillic name"},
};

} // namespace

Q_DECLARE_METATYPE(torvanelo::test::Attributes)

class FileMoveTest : public QObject {
    Q_OBJECT

private:
    QString pathOf(const QString& name) const { return m_dir->path() + u'/' + name; }

    std::unique_ptr<ScratchFolder> m_dir;
    LinuxFileSystem m_fs;

private slots:
    void init() {
        m_dir = std::make_unique<ScratchFolder>();
        QVERIFY(m_dir->isValid());
        if (!supportsUserAttributes(m_dir->path()))
            QSKIP("the temporary folder takes no user extended attributes");
    }

    void movesWithinOneFileSystem_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("hidden");
        QTest::newRow("rename in a folder")
            << QStringLiteral("Plan.doc") << QStringLiteral("RA000124.rr") << true;
        QTest::newRow("into a sub-folder")
            << QStringLiteral("RA000124.rar") << QStringLiteral("sub/RA000124.rar") << false;
        QTest::newRow("odd bytes in both names")
            << decodeFileName("caf\xe9\nx") << decodeFileName("sub/\xff\xfe name") << false;
    }
    void movesWithinOneFileSystem() {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(bool, hidden);
        QVERIFY(m_fs.makeFolder(pathOf(QStringLiteral("sub"))));
        QVERIFY(makeFile(pathOf(from), "content", Streams, hidden));
        const auto before = stateOf(pathOf(from));
        const ino_t inode = lstatOf(pathOf(from))->st_ino;
        QVERIFY(m_fs.move(pathOf(from), pathOf(to), Replace::No));
        QVERIFY(!m_fs.exists(pathOf(from)));
        QCOMPARE(stateOf(pathOf(to)), before);
        QCOMPARE(lstatOf(pathOf(to))->st_ino, inode); // renamed, not copied
    }

    void replaceNoKeepsBothFiles() {
        const QString from = pathOf(QStringLiteral("new"));
        const QString to = pathOf(QStringLiteral("existing"));
        QVERIFY(makeFile(from, "new data", {{"user.a", "1"}}, false));
        QVERIFY(makeFile(to, "old data", {{"user.b", "2"}}, true));
        const auto fromBefore = stateOf(from);
        const auto toBefore = stateOf(to);
        QVERIFY(!m_fs.move(from, to, Replace::No));
        QCOMPARE(stateOf(from), fromBefore);
        QCOMPARE(stateOf(to), toBefore);
    }

    void replaceYesReplacesAtOnce() {
        const QString from = pathOf(QStringLiteral("new"));
        const QString to = pathOf(QStringLiteral("existing"));
        QVERIFY(makeFile(from, "new data", {{"user.a", "1"}}, false));
        QVERIFY(makeFile(to, "old data", {{"user.b", "2"}}, true));
        const auto fromBefore = stateOf(from);
        const ino_t inode = lstatOf(from)->st_ino;
        QVERIFY(m_fs.move(from, to, Replace::Yes));
        QVERIFY(!m_fs.exists(from));
        QCOMPARE(stateOf(to), fromBefore);
        QCOMPARE(lstatOf(to)->st_ino, inode); // one rename over the old file
    }

    void refusesWhatIsNotAFile_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::newRow("folder") << QStringLiteral("folder") << QStringLiteral("moved");
        QTest::newRow("symbolic link") << QStringLiteral("link") << QStringLiteral("moved");
        QTest::newRow("fifo") << QStringLiteral("fifo") << QStringLiteral("moved");
        QTest::newRow("missing source") << QStringLiteral("missing") << QStringLiteral("moved");
        QTest::newRow("onto a folder") << QStringLiteral("file") << QStringLiteral("folder");
        QTest::newRow("into a missing folder")
            << QStringLiteral("file") << QStringLiteral("missing/moved");
    }
    void refusesWhatIsNotAFile() {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QVERIFY(writeFile(pathOf(QStringLiteral("file")), "x"));
        QVERIFY(m_fs.makeFolder(pathOf(QStringLiteral("folder"))));
        QVERIFY(makeSymlink(pathOf(QStringLiteral("file")), pathOf(QStringLiteral("link"))));
        QVERIFY(makeFifo(pathOf(QStringLiteral("fifo"))));
        const auto before = m_fs.list(m_dir->path());
        for (const Replace replace : {Replace::No, Replace::Yes})
            QVERIFY(!m_fs.move(pathOf(from), pathOf(to), replace));
        const auto after = m_fs.list(m_dir->path());
        QVERIFY(before && after);
        QCOMPARE(after->size(), before->size());
        QCOMPARE(lstatOf(pathOf(QStringLiteral("folder")))->st_nlink, nlink_t(2)); // still empty
    }

    void temporaryNamesFitAndAreRecognised_data() {
        QTest::addColumn<QByteArray>("finalName");
        QTest::addColumn<int>("expectedLength");
        QTest::newRow("short") << QByteArray("RA000124.rar") << 34;
        QTest::newRow("longest that fits") << QByteArray(233, 'x') << 255;
        QTest::newRow("too long") << QByteArray(255, 'x') << 255;
        // 116 two-byte characters = 232 bytes, then a three-byte one that
        // would straddle the limit: it is left out whole.
        QByteArray cut;
        for (int i = 0; i < 116; ++i)
            cut += "\xd0\x96";
        cut += "\xe2\x82\xac";
        QTest::newRow("cut at a character") << cut << 254;
    }
    void temporaryNamesFitAndAreRecognised() {
        QFETCH(QByteArray, finalName);
        QFETCH(int, expectedLength);
        const std::string random = randomTemporaryPart();
        QCOMPARE(random.size(), TemporaryRandomLength);
        const std::string name = temporaryNameFor(finalName.toStdString(), random);
        QCOMPARE(int(name.size()), expectedLength);
        QVERIFY(isTemporaryName(name));
        QVERIFY(QByteArray::fromStdString(name).startsWith(".torvanelo-" + finalName.left(10)));
        QVERIFY(QByteArray::fromStdString(name).isValidUtf8() == finalName.isValidUtf8());
    }

    void temporaryNamePatternIsStrict() {
        QVERIFY(isTemporaryName(".torvanelo-x-Ab12Z9.tmp"));
        QVERIFY(isTemporaryName(".torvanelo--ABCDEF.tmp"));
        QVERIFY(!isTemporaryName(".torvanelo-x-Ab12Z.tmp"));   // five random characters
        QVERIFY(!isTemporaryName(".torvanelo-x-Ab1.Z9.tmp"));  // not a letter or digit
        QVERIFY(!isTemporaryName(".torvanelo-xAb12Z9.tmp"));   // no dash
        QVERIFY(!isTemporaryName("torvanelo-x-Ab12Z9.tmp"));   // no dot
        QVERIFY(!isTemporaryName(".torvanelo-x-Ab12Z9.tmp~")); // other ending
        QVERIFY(!isTemporaryName("Plan.doc"));
    }
};

// Moves between two file systems: a copy that must carry everything.
class CrossFileSystemMoveTest : public QObject {
    Q_OBJECT

private:
    QString local(const QString& name) const { return m_local->path() + u'/' + name; }
    QString remote(const QString& name) const { return m_remote->path() + u'/' + name; }

    std::unique_ptr<ScratchFolder> m_local;
    std::unique_ptr<SecondFileSystem> m_remote;
    LinuxFileSystem m_fs;

private slots:
    void init() {
        m_local = std::make_unique<ScratchFolder>();
        QVERIFY(m_local->isValid());
        if (!supportsUserAttributes(m_local->path()))
            QSKIP("the temporary folder takes no user extended attributes");
        m_remote = std::make_unique<SecondFileSystem>();
        if (!m_remote->usable())
            QSKIP(qPrintable(m_remote->skipReason()));
    }
    void cleanup() {
        m_remote.reset();
        m_local.reset();
    }

    void carriesEverything_data() {
        QTest::addColumn<bool>("outward");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<Attributes>("attributes");
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<int>("mode");
        for (const bool outward : {true, false}) {
            const char* way = outward ? "out: " : "back: ";
            QTest::addRow("%sempty file", way)
                << outward << QByteArray() << Attributes{} << false << 0644;
            QTest::addRow("%sstreams, hidden", way)
                << outward << randomBytes(100000) << Streams << true << 0600;
            QTest::addRow("%s60 attributes", way)
                << outward << QByteArray("x") << manyAttributes(60, 8) << false << 0640;
            QTest::addRow("%sread-only, 3 MiB", way)
                << outward << randomBytes(3 * 1024 * 1024 + 7) << Attributes{{"user.k", "v"}}
                << false << 0444;
        }
    }
    void carriesEverything() {
        QFETCH(bool, outward);
        QFETCH(QByteArray, data);
        QFETCH(Attributes, attributes);
        QFETCH(bool, hidden);
        QFETCH(int, mode);
        const QString name = decodeFileName("Plan \xe9t\xc3\xa9.doc");
        const QString from = outward ? local(name) : remote(name);
        const QString to =
            outward ? remote(QStringLiteral("moved")) : local(QStringLiteral("moved"));
        QVERIFY(makeFile(from, data, attributes, hidden, mode_t(mode)));
        const FileState before = stateOf(from);
        QVERIFY(before.present);

        QVERIFY(m_fs.move(from, to, Replace::No));
        QVERIFY(!m_fs.exists(from));
        QCOMPARE(stateOf(to), before);
        QCOMPARE(temporaryLeftovers(m_remote->path()), QStringList());
        QCOMPARE(temporaryLeftovers(m_local->path()), QStringList());
    }

    // ext4 keeps about 4 KiB of attributes per file (unless made with
    // ea_inode), tmpfs far more: what the target refuses fails the move,
    // what it takes comes whole.
    void largeAttributesComeWholeOrNotAtAll() {
        const QString from = remote(QStringLiteral("a"));
        const QString to = local(QStringLiteral("a"));
        QVERIFY(makeFile(from, "data", manyAttributes(3, 60000), true));
        const FileState before = stateOf(from);
        if (m_fs.move(from, to, Replace::No)) {
            QVERIFY(!m_fs.exists(from));
            QCOMPARE(stateOf(to), before);
        } else {
            QCOMPARE(stateOf(from), before);
            QVERIFY(!m_fs.exists(to));
        }
        QCOMPARE(temporaryLeftovers(m_local->path()), QStringList());
    }

    void replaceNoRefusesAnExistingTarget() {
        QVERIFY(makeFile(local(QStringLiteral("a")), "new", Streams, false));
        QVERIFY(makeFile(remote(QStringLiteral("a")), "old", {}, true));
        const auto fromBefore = stateOf(local(QStringLiteral("a")));
        const auto toBefore = stateOf(remote(QStringLiteral("a")));
        QVERIFY(!m_fs.move(local(QStringLiteral("a")), remote(QStringLiteral("a")), Replace::No));
        QCOMPARE(stateOf(local(QStringLiteral("a"))), fromBefore);
        QCOMPARE(stateOf(remote(QStringLiteral("a"))), toBefore);
        QCOMPARE(temporaryLeftovers(m_remote->path()), QStringList());
    }

    void replaceYesReplacesAnExistingTarget() {
        QVERIFY(makeFile(local(QStringLiteral("a")), "new", Streams, false));
        QVERIFY(makeFile(remote(QStringLiteral("a")), "old", {{"user.old", "1"}}, true));
        const auto fromBefore = stateOf(local(QStringLiteral("a")));
        QVERIFY(m_fs.move(local(QStringLiteral("a")), remote(QStringLiteral("a")), Replace::Yes));
        QVERIFY(!m_fs.exists(local(QStringLiteral("a"))));
        QCOMPARE(stateOf(remote(QStringLiteral("a"))), fromBefore);
        QCOMPARE(temporaryLeftovers(m_remote->path()), QStringList());
    }

    void missingTargetFolderLeavesTheSource() {
        const QString from = local(QStringLiteral("a"));
        QVERIFY(makeFile(from, "data", Streams, true));
        const auto before = stateOf(from);
        QVERIFY(!m_fs.move(from, remote(QStringLiteral("missing/a")), Replace::Yes));
        QCOMPARE(stateOf(from), before);
    }

    void readOnlyTargetLeavesTheSource() {
        const QString from = local(QStringLiteral("a"));
        QVERIFY(makeFile(from, "data", Streams, false));
        const auto before = stateOf(from);
        // Root writes into any folder: for root, a read-only file system.
        const QString target = remote(QStringLiteral("read-only"));
        QVERIFY(m_fs.makeFolder(target));
        ScratchMount readOnly(target, "tmpfs", "size=1m");
        if (readOnly.mounted())
            QVERIFY(readOnly.setReadOnly(true));
        else if (canSwitchUser())
            QSKIP(qPrintable(readOnly.error()));
        else
            QVERIFY(setMode(target, 0555));
        QVERIFY(!m_fs.move(from, target + QStringLiteral("/a"), Replace::Yes));
        QCOMPARE(stateOf(from), before);
        QVERIFY(!m_fs.exists(target + QStringLiteral("/a")));
    }

    void fullTargetLeavesTheSourceAndNoTemporary() {
        const QString from = local(QStringLiteral("big"));
        QVERIFY(makeFile(from, randomBytes(1024 * 1024), Streams, false));
        const auto before = stateOf(from);
        ScratchFolder holder;
        ScratchMount tiny(holder.path(), "tmpfs", "size=64k");
        if (!tiny.mounted())
            QSKIP(qPrintable(tiny.error()));
        QVERIFY(!m_fs.move(from, holder.path() + QStringLiteral("/big"), Replace::Yes));
        QCOMPARE(stateOf(from), before);
        const auto entries = m_fs.list(holder.path());
        QVERIFY(entries);
        QCOMPARE(entries->size(), size_t(0));
    }

    // A target without extended attributes cannot take the streams or the
    // hidden state; a plain file it can take.
    void targetWithoutAttributes_data() {
        QTest::addColumn<Attributes>("attributes");
        QTest::addColumn<bool>("hidden");
        QTest::addColumn<bool>("moved");
        QTest::newRow("streams to carry") << Streams << false << false;
        QTest::newRow("hidden state to carry") << Attributes{} << true << false;
        QTest::newRow("nothing to carry") << Attributes{} << false << true;
    }
    void targetWithoutAttributes() {
        QFETCH(Attributes, attributes);
        QFETCH(bool, hidden);
        QFETCH(bool, moved);
        ScratchFolder holder;
        ScratchMount plain(holder.path(), "ramfs");
        if (!plain.mounted())
            QSKIP(qPrintable(plain.error()));
        const QString from = local(QStringLiteral("a"));
        const QString to = holder.path() + QStringLiteral("/a");
        QVERIFY(makeFile(from, "data", attributes, hidden));
        const auto before = stateOf(from);
        QCOMPARE(m_fs.move(from, to, Replace::No), moved);
        if (moved) {
            QVERIFY(!m_fs.exists(from));
            QCOMPARE(readFile(to), std::optional(QByteArray("data")));
        } else {
            QCOMPARE(stateOf(from), before);
            QVERIFY(!m_fs.exists(to));
        }
        QCOMPARE(temporaryLeftovers(holder.path()), QStringList());
    }

    // The source must go at the end; where it cannot, the copy is not kept.
    void undeletableSourceIsNotCopied() {
        ScratchFolder holder;
        ScratchMount frozen(holder.path(), "tmpfs", "size=4m");
        if (!frozen.mounted())
            QSKIP(qPrintable(frozen.error()));
        const QString from = holder.path() + QStringLiteral("/a");
        QVERIFY(makeFile(from, "data", Streams, false));
        const auto before = stateOf(from);
        QVERIFY(frozen.setReadOnly(true));
        QVERIFY(!m_fs.move(from, local(QStringLiteral("a")), Replace::Yes));
        QCOMPARE(stateOf(from), before);
        QVERIFY(!m_fs.exists(local(QStringLiteral("a"))));
        QCOMPARE(temporaryLeftovers(m_local->path()), QStringList());
    }

    // As an ordinary user the copy is his: no set-id bits on it. As root the
    // owner is kept.
    void ownerIsKeptWherePossible() {
        if (!canSwitchUser())
            QSKIP("needs root to give the file to another user");
        const QString from = local(QStringLiteral("a"));
        QVERIFY(makeFile(from, "data", {}, false, 0640));
        QVERIFY(setOwner(from, NobodyId));
        QVERIFY(m_fs.move(from, remote(QStringLiteral("a")), Replace::No));
        QCOMPARE(lstatOf(remote(QStringLiteral("a")))->st_uid, NobodyId);
    }
};

TORVANELO_TEST(FileMoveTest);
TORVANELO_TEST(CrossFileSystemMoveTest);
#include "FileMoveTest.moc"
