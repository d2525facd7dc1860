#include "PlatformTestSupport.h"
#include "ScratchMount.h"
#include "TestRegistry.h"
#include "linux/LinuxFileSystem.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::StringLiterals;

class FileSystemTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchFolder> m_dir;
    LinuxFileSystem m_fs;
    QString pathOf(const QString& name) const { return m_dir->filePath(name); }
    int modeOf(const QString& path) const { return int(lstatOf(path)->st_mode & 07777); }

private slots:
    void init() {
        m_dir = std::make_unique<ScratchFolder>();
        QVERIFY(m_dir->isValid());
    }

    // Valid UTF-8 reads as its text, other bytes as lone surrogates; either
    // way the name comes back byte for byte, is listed, and opens its file.
    void namesSurviveByteForByte_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("Cyrillic") << "\xd0\x9f\xd0\xbb\xd0\xb0\xd0\xbd.txt"_ba;
        QTest::newRow("truncated sequence") << "a\xe2\x82"_ba;
        QTest::newRow("overlong slash") << "\xc0\xaf"_ba;
        QTest::newRow("encoded surrogate") << "\xed\xb2\x80"_ba;
        QTest::newRow("above U+10FFFF") << "\xf4\x90\x80\x80"_ba;
        QByteArray all;
        for (int b = 1; b < 256; ++b)
            all.append(b == '/' ? 'x' : char(b));
        QTest::newRow("every byte but /, 255 of them") << all;
    }
    void namesSurviveByteForByte() {
        QFETCH(QByteArray, bytes);
        const QString name = decodeFileName(bytes);
        QCOMPARE(encodeFileName(name), bytes);
        QCOMPARE(name == QString::fromUtf8(bytes), bytes.isValidUtf8());
        QVERIFY(writeFile(pathOf(name), bytes));
        const auto entries = m_fs.list(m_dir->path() + u'/');
        QVERIFY(entries && entries->size() == 1 && entries->front().type == EntryType::File);
        QCOMPARE(entries->front().name, name);
        QCOMPARE(m_fs.readFile(pathOf(name), 1000), std::optional(bytes));
    }

    // What is not a regular file is never marked, moved, written or taken as
    // free; a fifo never blocks; a link is removed itself, never what it
    // names; a path holding NUL never acts on the path before the NUL. A
    // folder is made private, and is removed only when empty.
    void onlyRegularFilesAreHandled_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("type"); // -1: nothing there
        QTest::addColumn<bool>("writable");
        QTest::addColumn<bool>("removable");
        const int other = int(EntryType::Other);
        QTest::newRow("folder") << u"folder"_s << int(EntryType::Directory) << false << false;
        QTest::newRow("link to a file") << u"link"_s << other << false << true;
        QTest::newRow("dangling link") << u"dangling"_s << other << false << true;
        QTest::newRow("fifo") << u"fifo"_s << other << false << true;
        QTest::newRow("missing: write creates") << u"missing"_s << -1 << true << true;
        QTest::newRow("NUL in the path") << u"file"_s + QChar(u'\0') + u'b' << -1 << false << false;
    }
    void onlyRegularFilesAreHandled() {
        QFETCH(QString, name);
        QFETCH(int, type);
        QFETCH(bool, writable);
        QFETCH(bool, removable);
        QVERIFY(writeFile(pathOf(u"file"_s), "x"));
        QVERIFY(m_fs.makeFolder(pathOf(u"folder"_s)) && !m_fs.makeFolder(pathOf(u"folder"_s)));
        QVERIFY(modeOf(pathOf(u"folder"_s)) == 0700 && writeFile(pathOf(u"folder/inner"_s), "y"));
        QVERIFY(makeSymlink(pathOf(u"file"_s), pathOf(u"link"_s)) && makeFifo(pathOf(u"fifo"_s))
                && makeSymlink(u"/nonexistent"_s, pathOf(u"dangling"_s)));
        const QString path = pathOf(name);

        const auto info = m_fs.info(path);
        QCOMPARE(info ? int(info->type) : -1, type);
        QCOMPARE(m_fs.exists(path), type >= 0);
        QCOMPARE(bool(m_fs.list(path)), type == int(EntryType::Directory));
        QVERIFY(!m_fs.setHidden(path, true) && !m_fs.isHidden(path) && !m_fs.setNormal(path));
        for (const auto test :
             {LinuxFileSystem::OpenTest::Lease, LinuxFileSystem::OpenTest::ChangeOnly}) {
            LinuxFileSystem fs(test); // asked twice, so that the fallback could say yes
            QVERIFY(fs.openState(path) != OpenState::Free && fs.openState(path) != OpenState::Free);
        }
        for (const Replace replace : {Replace::No, Replace::Yes})
            QVERIFY(!m_fs.move(path, pathOf(u"moved"_s), replace));
        if (!removable) // a folder, or the path before the NUL: the file itself
            QVERIFY(!m_fs.move(pathOf(u"file"_s), path, Replace::Yes));
        QVERIFY(!m_fs.readFile(path, 100) && !m_fs.makeDurable(path));
        QCOMPARE(m_fs.appendToFile(path, "x"), writable);
        QCOMPARE(m_fs.writeFile(path, "x"), writable);
        QCOMPARE(m_fs.remove(path), removable);
        QVERIFY(!m_fs.removeFolder(pathOf(u"folder"_s)));

        QCOMPARE(readFile(pathOf(u"file"_s)), std::optional("x"_ba));
        QCOMPARE(readFile(pathOf(u"folder/inner"_s)), std::optional("y"_ba));
        QVERIFY(!m_fs.isHidden(pathOf(u"file"_s)) && !m_fs.exists(pathOf(u"moved"_s)));
        QVERIFY(m_fs.remove(pathOf(u"folder/inner"_s)) && m_fs.removeFolder(pathOf(u"folder"_s)));
    }

    // The hidden mark is neither in the name nor among the streams. Its
    // owner, with no more rights than an ordinary user, hides a read-only
    // file without making it writable, and setNormal restores the owner's
    // read and write permission even where he had none.
    void hiddenAndNormalAsTheOwner_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("normalMode");
        QTest::newRow("read and write") << 0640 << 0640;
        QTest::newRow("read-only") << 0444 << 0644;
        QTest::newRow("read-only, executable") << 0555 << 0755;
        QTest::newRow("no permission at all") << 0000 << 0600;
    }
    void hiddenAndNormalAsTheOwner() {
        QFETCH(int, mode);
        QFETCH(int, normalMode);
        const QString name = decodeFileName("hid\xe9 den");
        const QString path = pathOf(name);
        const Attributes streams{{"user.stream", "value"}};
        QVERIFY(writeFile(path, "data") && writeAttributes(path, streams));
        QVERIFY(m_fs.setHidden(path, true) && setMode(path, unsigned(mode)));
        QVERIFY([&] {
            const PermissionsEnforced asOwner;
            return (!(mode & 0400)
                    || (m_fs.setHidden(path, false) && m_fs.setHidden(path, true)
                        && m_fs.setHidden(path, true) && modeOf(path) == mode))
                   && m_fs.setNormal(path) && m_fs.setNormal(path);
        }());
        QCOMPARE(namesIn(m_dir->path()), QStringList{name});
        QVERIFY(!m_fs.isHidden(path));
        QCOMPARE(modeOf(path), normalMode);
        QCOMPARE(readAttributes(path), std::optional(streams));
        QCOMPARE(readFile(path), std::optional("data"_ba));
    }

    // A read never takes more than asked for (a hostile name file may be of
    // any size); flushing changes nothing, read-only files too.
    void readsAreBoundedFlushesChangeNothing() {
        const QString path = pathOf(u"name.rn"_s);
        QVERIFY(m_fs.writeFile(path, QByteArray(3 * 65536 + 17, 'b'))
                && !m_fs.readFile(path, 3 * 65536 + 16));
        QVERIFY(m_fs.writeFile(path, "\"4142\"\r\n") && setMode(path, 0444)
                && !m_fs.readFile(path, 7));
        QVERIFY(m_fs.makeDurable(path) && modeOf(path) == 0444);
        QCOMPARE(m_fs.readFile(path, 8), std::optional("\"4142\"\r\n"_ba));
        QVERIFY(!m_fs.writeFile(pathOf(u"missing/file"_s), "x"));
    }

    // Not free while another process reads, appends or does both; free
    // again once it closed the file.
    void notFreeWhileAnotherProcessHoldsTheFile() {
        const QString path = pathOf(u"being written \u00e9.doc"_s);
        QVERIFY(writeFile(path, "partial") && m_fs.openState(path) == OpenState::Free);
        for (const QString& redirection : {u"<"_s, u">>"_s, u"<>"_s}) {
            QProcess holder; // holds the file open until its input ends
            holder.start(u"/bin/sh"_s,
                         {u"-c"_s, u"exec 3%1\"$1\" && echo ready && cat"_s.arg(redirection),
                          u"sh"_s, path});
            QVERIFY(holder.waitForReadyRead() && holder.readAll() == "ready\n");
            QVERIFY(m_fs.openState(path) == OpenState::InUse
                    && m_fs.openState(path) == OpenState::InUse);
            holder.closeWriteChannel();
            QVERIFY(holder.waitForFinished());
            QVERIFY(m_fs.openState(path) == OpenState::Free);
        }
        QCOMPARE(readFile(path), std::optional("partial"_ba));
    }

    // Without leases a file is unsettled at first sight, free once it was
    // seen unchanged (size and times) at the previous call for its path, and
    // in use when it changed meanwhile.
    void fallbackWaitsForAFileToStopChanging() {
        LinuxFileSystem fs(LinuxFileSystem::OpenTest::ChangeOnly);
        const QString path = pathOf(u"growing"_s);
        QVERIFY(writeFile(path, "a") && writeFile(pathOf(u"other"_s), "b"));
        QCOMPARE(fs.openState(path), OpenState::Unsettled);
        QCOMPARE(fs.openState(path), OpenState::Free);
        QCOMPARE(fs.openState(pathOf(u"other"_s)), OpenState::Unsettled);
        QVERIFY(fs.appendToFile(path, "more"));
        QCOMPARE(fs.openState(path), OpenState::InUse);
        QCOMPARE(fs.openState(path), OpenState::Free);
        const timespec times[2] = {{0, UTIME_OMIT}, {1600000000, 1}}; // rewritten in place
        QVERIFY(::utimensat(AT_FDCWD, encodeFileName(path).constData(), times, 0) == 0);
        QCOMPARE(fs.openState(path), OpenState::InUse);
        QVERIFY(::chmod(encodeFileName(path).constData(), 0604) == 0); // only the change time
        QCOMPARE(fs.openState(path), OpenState::InUse);
        QCOMPARE(fs.openState(path), OpenState::Free);
        // An ordinary user gets no lease on another user's file: the lease
        // test falls back by itself rather than never, or always, saying yes.
        if (::geteuid() != 0)
            QSKIP("needs root to give a file to another user");
        QVERIFY(setOwner(path, NobodyId));
        const PermissionsEnforced ordinaryUser;
        QCOMPARE(m_fs.openState(path), OpenState::Unsettled);
        QCOMPARE(m_fs.openState(path), OpenState::Free);
    }
};

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
           + QString::asprintf(" hidden %d mode %o owner %u:%u time %ld.%09ld",
                               LinuxFileSystem().isHidden(path), status->st_mode & 07777,
                               status->st_uid, status->st_gid, status->st_mtim.tv_sec,
                               status->st_mtim.tv_nsec);
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

// A group the ordinary user NobodyId is not in, one he is in besides his
// own, and a user of no one.
constexpr gid_t UsersGroup = 100;
constexpr gid_t MemberGroup = 4322;
constexpr uid_t Stranger = 4321;

// What f returns when run by a child process with only the rights of the
// ordinary user NobodyId (primary group NobodyId, and MemberGroup).
template <class F>
bool asNobody(F f) {
    const pid_t child = ::fork();
    if (child == 0) {
        const bool dropped = ::setgroups(1, &MemberGroup) == 0
                             && ::setresgid(NobodyId, NobodyId, NobodyId) == 0
                             && ::setresuid(NobodyId, NobodyId, NobodyId) == 0;
        ::_exit(dropped && f() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)
           && WEXITSTATUS(status) == 0;
}

enum Way { Within, Out, Back };
enum Existing { NoTarget, TargetKept, TargetReplaced };

struct MoveCase {
    Way way = Out;
    QByteArray data = "data";
    Attributes attributes = Streams;
    bool hidden = false;
    QByteArray target = "\xff\xfe name\n";
    Existing existing = NoTarget;
    // A target folder of its own: "missing", "read-only" or a mount type;
    // "locked": the source cannot be deleted from its folder.
    QString place = {};
    bool fails = false;
};

} // namespace

Q_DECLARE_METATYPE(MoveCase)

class FileMoveTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchFolder> m_local;
    std::unique_ptr<ScratchFolder> m_remote;
    std::unique_ptr<ScratchMount> m_mount;
    LinuxFileSystem m_fs;

private slots:
    // The remote folder is on another file system, taking user extended
    // attributes: a scratch tmpfs where mounting is possible, otherwise a
    // folder in /dev/shm. Moves within one file system need no second one.
    void init() {
        m_local = std::make_unique<ScratchFolder>();
        if (!supportsUserAttributes(m_local->path()))
            QSKIP("the temporary folder takes no user extended attributes");
        m_remote = std::make_unique<ScratchFolder>();
        m_mount = std::make_unique<ScratchMount>(m_remote->path(), "tmpfs", "size=64m");
        if (!m_mount->mounted())
            m_remote = std::make_unique<ScratchFolder>(u"/dev/shm"_s);
        const auto there = lstatOf(m_remote->path());
        if (QByteArray(QTest::currentDataTag()).startsWith("within"))
            return;
        if (!there || there->st_dev == lstatOf(m_local->path())->st_dev)
            QSKIP(qPrintable(m_mount->error()
                             + u"; /dev/shm is missing or on the same file system"_s));
        if (!supportsUserAttributes(m_remote->path()))
            QSKIP("/dev/shm takes no user extended attributes");
    }
    void cleanup() {
        m_mount.reset();
        m_remote.reset();
    }

    // Within a file system one rename; across, a copy that carries
    // everything, owner included where it can be kept, and leaves no
    // temporary. An existing target is replaced only when asked for. A move
    // that cannot be completed leaves the source as it was and nothing in
    // the target folder; a target without extended attributes takes only a
    // file with nothing to carry.
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
        QTest::newRow("missing target folder")
            << MoveCase{.hidden = true, .place = u"missing"_s, .fails = true};
        QTest::newRow("read-only target folder")
            << MoveCase{.place = u"read-only"_s, .fails = true};
        QTest::newRow("source cannot be deleted") << MoveCase{.place = u"locked"_s, .fails = true};
        QTest::newRow("full target")
            << MoveCase{.data = randomBytes(1 << 20), .place = u"tmpfs"_s, .fails = true};
        QTest::newRow("no attributes: streams") << MoveCase{.place = u"ramfs"_s, .fails = true};
        QTest::newRow("no attributes: hidden")
            << MoveCase{.attributes = {}, .hidden = true, .place = u"ramfs"_s, .fails = true};
        QTest::newRow("no attributes: nothing to carry")
            << MoveCase{.attributes = {}, .place = u"ramfs"_s};
    }
    void movesCarryEverything() {
        QFETCH(MoveCase, c);
        const QString fromFolder = c.way == Back ? m_remote->path() : m_local->path();
        QString toFolder = c.way == Out ? m_remote->path() : m_local->path();
        std::optional<ScratchMount> mount;
        if (!c.place.isEmpty()) {
            toFolder += u"/sub"_s;
            QVERIFY(m_fs.makeFolder(toFolder));
            if (c.place.endsWith(u"fs"))
                mount.emplace(toFolder, c.place.toLatin1(), c.place == u"tmpfs" ? "size=64k" : "");
            if (mount && !mount->mounted())
                QSKIP(qPrintable(mount->error()));
            if (c.place == u"missing")
                toFolder += u"/missing"_s;
        }
        const QString from = fromFolder + decodeFileName("/Plan \xe9t\xc3\xa9.doc");
        const QString to = toFolder + u'/' + decodeFileName(c.target);
        const QString locked = c.place == u"read-only" ? toFolder
                               : c.place == u"locked"  ? fromFolder
                                                       : QString();
        // Another owner where root can keep it; the locked moves run with
        // an ordinary user's rights, as the owner.
        QVERIFY(makeFile(from, c.data, c.attributes, c.hidden));
        QVERIFY(::geteuid() != 0 || !locked.isEmpty() || setOwner(from, NobodyId));
        QVERIFY(c.existing == NoTarget || makeFile(to, "old", {{"user.old", "1"}}, !c.hidden));
        const QString before = stateOf(from);
        const QString old = stateOf(to);
        const ino_t inode = lstatOf(from)->st_ino;
        const auto move = [&] {
            return m_fs.move(from, to, c.existing == TargetReplaced ? Replace::Yes : Replace::No);
        };

        const bool moved = !c.fails && c.existing != TargetKept;
        QCOMPARE(locked.isEmpty() ? move() : asOrdinaryUser(locked, 0555, move), moved);
        QCOMPARE(stateOf(to), moved ? before : old);
        QCOMPARE(stateOf(from), moved ? u"(none)"_s : before);
        QVERIFY(c.way != Within || !moved || lstatOf(to)->st_ino == inode);
        QCOMPARE(namesIn(fromFolder).size()
                     + (toFolder == fromFolder ? 0 : namesIn(toFolder).size()),
                 c.existing == TargetKept ? 2 : 1);
    }

    // Owner, group and permission bits (set-ID bits too) arrive as they
    // left, moved by root or by the file's owner, also into a folder that
    // hands its group down: the file keeps its own. Where its owner cannot
    // give the copy the file's group, the copy's group gets no rights.
    void movesKeepOwnerGroupAndMode_data() {
        QTest::addColumn<bool>("across");
        QTest::addColumn<bool>("byOwner");
        QTest::addColumn<bool>("setgidFolder"); // of group UsersGroup
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("group");
        QTest::addColumn<int>("arrivesMode");
        QTest::addColumn<int>("arrivesGroup");
        QTest::addColumn<int>("owner");
        const int own = int(NobodyId);
        const int users = int(UsersGroup);
        QTest::newRow("within, setgid folder, root")
            << false << false << true << 0640 << own << 0640 << own << own;
        QTest::newRow("within, setgid folder, owner")
            << false << true << true << 0600 << own << 0600 << own << own;
        for (const bool byOwner : {false, true}) {
            for (const bool setgid : {false, true}) {
                for (const int mode : {0600, 0640, 0755, 02750}) {
                    QTest::addRow("across, %s, %s, %o", byOwner ? "owner" : "root",
                                  setgid ? "setgid folder" : "plain folder", mode)
                        << true << byOwner << setgid << mode << own << mode << own << own;
                }
            }
        }
        QTest::newRow("across, root, setuid")
            << true << false << false << 04755 << own << 04755 << own << own;
        QTest::newRow("across, root, another group")
            << true << false << false << 0640 << users << 0640 << users << own;
        QTest::newRow("across, owner, not in the group, 0640")
            << true << true << false << 0640 << users << 0600 << own << own;
        QTest::newRow("across, owner, not in the group, 0755")
            << true << true << false << 0755 << users << 0705 << own << own;
        QTest::newRow("across, owner, not in the group, setgid folder of it")
            << true << true << true << 0640 << users << 0640 << users << own;
        // Moved by a member of its group: the copy is his, in that group.
        QTest::newRow("across, member of the group, another's file")
            << true << true << false << 0640 << int(MemberGroup) << 0640 << int(MemberGroup)
            << int(Stranger);
    }
    void movesKeepOwnerGroupAndMode() {
        QFETCH(bool, across);
        QFETCH(bool, byOwner);
        QFETCH(bool, setgidFolder);
        QFETCH(int, mode);
        QFETCH(int, group);
        QFETCH(int, arrivesMode);
        QFETCH(int, arrivesGroup);
        QFETCH(int, owner);
        if (::geteuid() != 0)
            QSKIP("needs root to give files to other users");
        const QString fromFolder = m_local->path() + u"/from"_s;
        const QString toFolder = (across ? m_remote->path() : m_local->path()) + u"/to"_s;
        for (const QString& folder : {fromFolder, toFolder}) {
            QVERIFY(setMode(QFileInfo(folder).path(), 0755) && m_fs.makeFolder(folder));
            QVERIFY(::chown(encodeFileName(folder).constData(), NobodyId, UsersGroup) == 0);
            QVERIFY(setMode(folder, setgidFolder && folder == toFolder ? 02777 : 0777));
        }
        const QString from = fromFolder + u"/private"_s;
        const QString to = toFolder + u"/private"_s;
        QVERIFY(makeFile(from, "only mine", Streams, setgidFolder));
        QVERIFY(::lchown(encodeFileName(from).constData(), uid_t(owner), gid_t(group)) == 0);
        QVERIFY(setMode(from, unsigned(mode)));
        QString expected = stateOf(from);
        expected.replace(QString::asprintf("mode %o owner %d:%d", mode, owner, group),
                         QString::asprintf("mode %o owner %d:%d", arrivesMode,
                                           byOwner ? int(NobodyId) : owner, arrivesGroup));
        const auto move = [&] { return m_fs.move(from, to, Replace::No); };

        QVERIFY(byOwner ? asNobody(move) : move());
        QCOMPARE(stateOf(to), expected);
        QVERIFY(!lstatOf(from));
        QCOMPARE(namesIn(toFolder), QStringList{u"private"_s});
    }
};

TORVANELO_TEST(FileSystemTest);
TORVANELO_TEST(FileMoveTest);
#include "FileSystemTest.moc"
