#include "PermissionsEnforced.h"
#include "PlatformTestSupport.h"
#include "TestRegistry.h"
#include "linux/LinuxFileSystem.h"

#include <QProcess>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>

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
        QTest::newRow("Latin-1") << "caf\xe9"_ba;
        QTest::newRow("truncated sequence") << "a\xe2\x82"_ba;
        QTest::newRow("overlong slash") << "\xc0\xaf"_ba;
        QTest::newRow("encoded surrogate") << "\xed\xb2\x80"_ba;
        QTest::newRow("above U+10FFFF") << "\xf4\x90\x80\x80"_ba;
        QTest::newRow("controls, quotes") << "new\nline\t\x01\"q\" back\\slash. "_ba;
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
        QVERIFY(makeSymlink(pathOf(u"file"_s), pathOf(u"link"_s)));
        QVERIFY(makeSymlink(u"/nonexistent"_s, pathOf(u"dangling"_s)));
        QVERIFY(makeFifo(pathOf(u"fifo"_s)));
        const QString path = pathOf(name);

        const auto info = m_fs.info(path);
        QCOMPARE(info ? int(info->type) : -1, type);
        QCOMPARE(m_fs.exists(path), type >= 0);
        QCOMPARE(bool(m_fs.list(path)), type == int(EntryType::Directory));
        QVERIFY(!m_fs.setHidden(path, true));
        QVERIFY(!m_fs.isHidden(path));
        QVERIFY(!m_fs.setNormal(path));
        for (const auto openTest :
             {LinuxFileSystem::OpenTest::Lease, LinuxFileSystem::OpenTest::ChangeOnly}) {
            LinuxFileSystem fs(openTest);
            QVERIFY(!fs.isFreeToOpen(path));
            QVERIFY(!fs.isFreeToOpen(path)); // twice, so the fallback could have said yes
        }
        for (const Replace replace : {Replace::No, Replace::Yes})
            QVERIFY(!m_fs.move(path, pathOf(u"moved"_s), replace));
        if (!removable) // a folder, or the path before the NUL: the file itself
            QVERIFY(!m_fs.move(pathOf(u"file"_s), path, Replace::Yes));
        QVERIFY(!m_fs.readFile(path, 100));
        QVERIFY(!m_fs.makeDurable(path));
        QCOMPARE(m_fs.appendToFile(path, "x"), writable);
        QCOMPARE(m_fs.writeFile(path, "x"), writable);
        QCOMPARE(m_fs.remove(path), removable);
        QVERIFY(!m_fs.removeFolder(pathOf(u"folder"_s)));

        QCOMPARE(readFile(pathOf(u"file"_s)), std::optional("x"_ba));
        QVERIFY(!m_fs.isHidden(pathOf(u"file"_s)));
        QCOMPARE(readFile(pathOf(u"folder/inner"_s)), std::optional("y"_ba));
        QVERIFY(!m_fs.exists(pathOf(u"moved"_s)));
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
        bool hidden = true;
        bool normal = false;
        {
            const PermissionsEnforced asOwner;
            if (mode & 0400)
                hidden = m_fs.setHidden(path, false) && m_fs.setHidden(path, true)
                         && m_fs.setHidden(path, true) && modeOf(path) == mode;
            normal = m_fs.setNormal(path) && m_fs.setNormal(path);
        }
        QVERIFY(hidden && normal);
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
        QVERIFY(m_fs.writeFile(path, QByteArray(3 * 65536 + 17, 'b')));
        QVERIFY(!m_fs.readFile(path, 3 * 65536 + 16));
        QVERIFY(m_fs.writeFile(path, "\"4142\"\r\n") && setMode(path, 0444));
        QCOMPARE(m_fs.readFile(path, 8), std::optional("\"4142\"\r\n"_ba));
        QVERIFY(!m_fs.readFile(path, 7));
        QVERIFY(m_fs.makeDurable(path));
        QCOMPARE(readFile(path), std::optional("\"4142\"\r\n"_ba));
        QCOMPARE(modeOf(path), 0444);
        QVERIFY(!m_fs.writeFile(pathOf(u"missing/file"_s), "x"));
    }

    // Not free while another process reads, appends or does both; free
    // again once it closed the file.
    void notFreeWhileAnotherProcessHoldsTheFile() {
        const QString path = pathOf(u"being written \u00e9.doc"_s);
        QVERIFY(writeFile(path, "partial") && m_fs.isFreeToOpen(path));
        for (const QString& redirection : {u"<"_s, u">>"_s, u"<>"_s}) {
            QProcess holder; // holds the file open until its input ends
            holder.start(u"/bin/sh"_s,
                         {u"-c"_s, u"exec 3%1\"$1\" && echo ready && cat"_s.arg(redirection),
                          u"sh"_s, path});
            QVERIFY(holder.waitForReadyRead() && holder.readAll() == "ready\n");
            QVERIFY(!m_fs.isFreeToOpen(path));
            QVERIFY(!m_fs.isFreeToOpen(path));
            holder.closeWriteChannel();
            QVERIFY(holder.waitForFinished());
            QVERIFY(m_fs.isFreeToOpen(path));
        }
        QCOMPARE(readFile(path), std::optional("partial"_ba));
    }

    // Without leases a file is free once it was seen unchanged (size and
    // time) at the previous call for its path.
    void fallbackWaitsForAFileToStopChanging() {
        LinuxFileSystem fs(LinuxFileSystem::OpenTest::ChangeOnly);
        const QString path = pathOf(u"growing"_s);
        QVERIFY(writeFile(path, "a") && writeFile(pathOf(u"other"_s), "b"));
        QVERIFY(!fs.isFreeToOpen(path));
        QVERIFY(fs.isFreeToOpen(path));
        QVERIFY(!fs.isFreeToOpen(pathOf(u"other"_s)));
        QVERIFY(fs.appendToFile(path, "more"));
        QVERIFY(!fs.isFreeToOpen(path));
        QVERIFY(fs.isFreeToOpen(path));
        const timespec times[2] = {{0, UTIME_OMIT}, {1600000000, 1}}; // rewritten in place
        QVERIFY(::utimensat(AT_FDCWD, encodeFileName(path).constData(), times, 0) == 0);
        QVERIFY(!fs.isFreeToOpen(path));
        QVERIFY(fs.isFreeToOpen(path));
        // An ordinary user gets no lease on another user's file: the lease
        // test falls back by itself rather than never, or always, saying yes.
        if (::geteuid() != 0)
            QSKIP("needs root to give a file to another user");
        QVERIFY(setOwner(path, NobodyId));
        const PermissionsEnforced ordinaryUser;
        QVERIFY(!m_fs.isFreeToOpen(path));
        QVERIFY(m_fs.isFreeToOpen(path));
    }
};

TORVANELO_TEST(FileSystemTest);
#include "FileSystemTest.moc"
