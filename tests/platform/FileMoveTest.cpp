#include "PermissionsEnforced.h"
#include "PlatformTestSupport.h"
#include "TestRegistry.h"
#include "linux/LinuxFileSystem.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QTest>

#include <fcntl.h>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::StringLiterals;

namespace {

// What a move must carry, everything but the name and the place, as text
// (so that a failed comparison shows it); "(none)" for no readable file.
QString stateOf(const QString& path) {
    const auto data = readFile(path);
    const auto attributes = readAttributes(path);
    const auto status = lstatOf(path);
    if (!data || !attributes || !status)
        return u"(none)"_s;
    QString state = QString::fromLatin1(
        QCryptographicHash::hash(*data, QCryptographicHash::Sha1).toHex().left(12));
    for (const auto& [name, value] : *attributes)
        state += u' ' + decodeFileName(QByteArray::fromStdString(name)) + u'='
                 + QString::fromLatin1(QByteArray::fromStdString(value).toHex());
    return state
           + u" hidden %1 mode %2 owner %3 time %4.%5"_s.arg(LinuxFileSystem().isHidden(path))
                 .arg(status->st_mode & 07777, 0, 8)
                 .arg(status->st_uid)
                 .arg(status->st_mtim.tv_sec)
                 .arg(status->st_mtim.tv_nsec);
}

QByteArray randomBytes(qsizetype size) {
    QByteArray bytes(size, '\0');
    QRandomGenerator generator{quint32(size)};
    generator.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

// A file with data, attributes, hidden state, an odd mode and a time of
// its own.
bool makeFile(const QString& path, const QByteArray& data, const Attributes& attributes,
              bool hidden) {
    const timespec times[2] = {{1700000000, 0}, {1700000000, 123456789}};
    return writeFile(path, data) && writeAttributes(path, attributes)
           && LinuxFileSystem().setHidden(path, hidden)
           && ::utimensat(AT_FDCWD, encodeFileName(path).constData(), times, 0) == 0
           && setMode(path, 0464);
}

const Attributes Streams{
    {"user.AFP_AfpInfo", std::string("AFP\0\0\0\1\0\xff", 9)},
    {"user.empty", ""},
    {"user.DosStream.Zone.Identifier:$DATA", "[ZoneTransfer]\r\nZoneId=3\r\n"},
    {"user.\xd0\xbf\xd0\xbe\xd1\x82\xd0\xbe\xd0\xba", "stream with a Cyrillic name"},
};

enum Way { Within, Out, Back };
enum Existing { NoTarget, TargetKept, TargetReplaced };

struct MoveCase {
    Way way = Out;
    QByteArray data = "data";
    Attributes attributes = Streams;
    bool hidden = false;
    QByteArray target = "\xff\xfe name\n";
    Existing existing = NoTarget;
};

} // namespace

Q_DECLARE_METATYPE(MoveCase)
Q_DECLARE_METATYPE(torvanelo::test::Attributes)

class FileMoveTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchFolder> m_local;
    std::unique_ptr<SecondFileSystem> m_remote;
    LinuxFileSystem m_fs;

private slots:
    void init() {
        m_local = std::make_unique<ScratchFolder>();
        if (!supportsUserAttributes(m_local->path()))
            QSKIP("the temporary folder takes no user extended attributes");
        m_remote = std::make_unique<SecondFileSystem>();
        // Moves within one file system need no second one.
        if (!m_remote->skipReason().isEmpty()
            && !QByteArray(QTest::currentDataTag()).startsWith("within"))
            QSKIP(qPrintable(m_remote->skipReason()));
    }
    void cleanup() {
        m_remote.reset();
        m_local.reset();
    }

    // Within a file system one rename; across, a copy that carries
    // everything, owner included where it can be kept, and leaves no
    // temporary. An existing target is replaced only when asked for.
    void movesCarryEverything_data() {
        QTest::addColumn<MoveCase>("c");
        for (const Way way : {Within, Out, Back}) {
            const char* w = way == Within ? "within" : way == Out ? "out" : "back";
            QTest::addRow("%s: streams, hidden", w)
                << MoveCase{.way = way, .data = randomBytes(100000), .hidden = true};
            QTest::addRow("%s: existing target kept", w)
                << MoveCase{.way = way, .existing = TargetKept};
            QTest::addRow("%s: existing target replaced", w)
                << MoveCase{.way = way, .existing = TargetReplaced};
        }
        QTest::newRow("out: empty file") << MoveCase{.data = {}, .attributes = {}};
        Attributes many;
        for (int i = 0; i < 60; ++i)
            many["user.s" + std::to_string(i)] = "value " + std::to_string(i);
        QTest::newRow("out: 60 attributes") << MoveCase{.attributes = many};
        QTest::newRow("back: 3 MiB") << MoveCase{.way = Back, .data = randomBytes(3 << 20)};
        QTest::newRow("out: 255-byte name") << MoveCase{.target = QByteArray(255, 'n')};
    }
    void movesCarryEverything() {
        QFETCH(MoveCase, c);
        const QString fromFolder = c.way == Back ? m_remote->path() : m_local->path();
        const QString toFolder = c.way == Out ? m_remote->path() : m_local->path();
        const QString fromName = decodeFileName("Plan \xe9t\xc3\xa9.doc");
        const QString from = fromFolder + u'/' + fromName;
        const QString to = toFolder + u'/' + decodeFileName(c.target);
        QVERIFY(makeFile(from, c.data, c.attributes, c.hidden));
        QVERIFY(::geteuid() != 0 || setOwner(from, NobodyId));
        QVERIFY(c.existing == NoTarget || makeFile(to, "old", {{"user.old", "1"}}, !c.hidden));
        const QString before = stateOf(from);
        const QString old = stateOf(to);
        const ino_t inode = lstatOf(from)->st_ino;

        const bool moved = c.existing != TargetKept;
        QCOMPARE(m_fs.move(from, to, c.existing == TargetReplaced ? Replace::Yes : Replace::No),
                 moved);
        QCOMPARE(stateOf(to), moved ? before : old);
        QCOMPARE(stateOf(from), moved ? u"(none)"_s : before);
        QVERIFY(c.way != Within || !moved || lstatOf(to)->st_ino == inode);
        QCOMPARE(namesIn(m_local->path()).size() + namesIn(m_remote->path()).size(), moved ? 1 : 2);
    }

    // A move across file systems that cannot be completed leaves the source
    // as it was and nothing in the target folder; a target without extended
    // attributes takes only a file with nothing to carry.
    void failedMoveLeavesTheSource_data() {
        QTest::addColumn<QString>("target"); // mount type, "missing", "read-only" or "locked"
        QTest::addColumn<Attributes>("attributes");
        QTest::addColumn<bool>("hidden");
        QTest::newRow("missing target folder") << "missing" << Streams << true;
        QTest::newRow("read-only target folder") << "read-only" << Streams << false;
        QTest::newRow("source cannot be deleted") << "locked" << Streams << false;
        QTest::newRow("full target") << "tmpfs" << Streams << false;
        QTest::newRow("no attributes: streams") << "ramfs" << Streams << false;
        QTest::newRow("no attributes: hidden") << "ramfs" << Attributes{} << true;
        QTest::newRow("no attributes: nothing to carry, moved") << "ramfs" << Attributes{} << false;
    }
    void failedMoveLeavesTheSource() {
        QFETCH(QString, target);
        QFETCH(Attributes, attributes);
        QFETCH(bool, hidden);
        QString toFolder = m_remote->path() + u"/sub"_s;
        QVERIFY(m_fs.makeFolder(toFolder));
        std::optional<ScratchMount> mount;
        if (target == u"missing")
            toFolder += u"/missing"_s;
        else if (target.endsWith(u"fs"))
            mount.emplace(toFolder, target.toLatin1(), target == u"tmpfs" ? "size=64k" : "");
        if (mount && !mount->mounted())
            QSKIP(qPrintable(mount->error()));
        const QString from = m_local->filePath(u"a"_s);
        QVERIFY(makeFile(from, randomBytes(1 << 20), attributes, hidden));
        const QString before = stateOf(from);
        const QString locked = target == u"read-only" ? toFolder
                               : target == u"locked"  ? m_local->path()
                                                      : QString();
        QVERIFY(locked.isEmpty() || setMode(locked, 0555));
        bool moved = false;
        {
            const PermissionsEnforced ordinaryUser;
            moved = m_fs.move(from, toFolder + u"/a"_s, Replace::Yes);
        }
        QVERIFY(locked.isEmpty() || setMode(locked, 0700));
        // As the row's name says.
        QCOMPARE(moved, QByteArray(QTest::currentDataTag()).endsWith("moved"));
        QCOMPARE(stateOf(moved ? toFolder + u"/a"_s : from), before);
        QCOMPARE(namesIn(m_local->path()).size() + namesIn(toFolder).size(), 1);
    }
};

TORVANELO_TEST(FileMoveTest);
#include "FileMoveTest.moc"
