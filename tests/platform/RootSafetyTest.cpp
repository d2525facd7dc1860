#include "RootSafety.h"

#include "NameCodec.h"
#include "TestFiles.h"
#include "TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

constexpr uid_t OtherUser = 1000;
using Reason = UntrustedPath::Reason;

// A tree of root's below a temporary folder (itself in the sticky /tmp):
// a/b/file, a/b/tool (runnable), w/ and others for the rows to spoil.
struct Tree {
    QTemporaryDir root;
    QString path(const QString& relative) const {
        return relative.isEmpty() ? root.path() : root.filePath(relative);
    }
    bool build() {
        return QDir().mkpath(path(u"a/b"_s)) && QDir().mkpath(path(u"w"_s))
               && QDir().mkpath(path(u"p1"_s)) && QDir().mkpath(path(u"p2"_s))
               && QDir().mkpath(path(u"p3"_s)) && writeFile(path(u"a/b/file"_s), "x")
               && writeFile(path(u"a/b/tool"_s), "#!/bin/sh\n")
               && setMode(path(u"a/b/tool"_s), 0755);
    }
    // "chmod MODE PATH", "chown PATH", "link PATH TARGET", "file PATH",
    // "runnable PATH", separated by ";".
    bool spoil(const QString& steps) const {
        for (const QString& step : steps.split(u';', Qt::SkipEmptyParts)) {
            const QStringList words = step.trimmed().split(u' ');
            const QString& verb = words[0];
            bool done = false;
            if (verb == u"chmod")
                done = setMode(path(words[2]), words[1].toUInt(nullptr, 8));
            else if (verb == u"chown")
                done = ::chown(encodeFileName(path(words[1])).constData(), OtherUser, -1) == 0;
            else if (verb == u"link")
                done = QFile::link(words[2].startsWith(u'/') ? words[2] : path(words[2]),
                                   path(words[1]));
            else if (verb == u"rlink")
                done = ::symlink(words[2].toUtf8().constData(),
                                 encodeFileName(path(words[1])).constData())
                       == 0;
            else if (verb == u"runnable")
                done = writeFile(path(words[1]), "#!/bin/sh\n") && setMode(path(words[1]), 0755);
            if (!done)
                return false;
        }
        return true;
    }
};

QString described(const std::optional<UntrustedPath>& untrusted, const QString& root) {
    if (!untrusted)
        return u"trusted"_s;
    const char* reasons[] = {"owner", "writable", "uncheckable"};
    QString path = untrusted->path;
    path.replace(root, u"~"_s);
    return QString::fromLatin1(reasons[int(untrusted->reason)]) + u' ' + path
           + (untrusted->reason == Reason::OtherOwner ? u" "_s + QString::number(untrusted->owner)
                                                      : QString());
}

} // namespace

class RootSafetyTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (::geteuid() != 0)
            QSKIP("files of another user are made with chown, which needs root");
    }

    // Each way a path stops being root's alone, and what still is.
    void judgesThePathAndEveryFolderAbove_data() {
        QTest::addColumn<QString>("spoil");
        QTest::addColumn<QString>("checked");
        QTest::addColumn<bool>("namesAdded");
        QTest::addColumn<QString>("verdict");
        QTest::newRow("root's alone") << QString() << u"a/b/file"_s << false << u"trusted"_s;
        QTest::newRow("folder writable by its group")
            << u"chmod 775 a/b"_s << u"a/b/file"_s << false << u"writable ~/a/b"_s;
        QTest::newRow("folder writable by others")
            << u"chmod 757 a"_s << u"a/b/file"_s << false << u"writable ~/a"_s;
        QTest::newRow("file writable by its group")
            << u"chmod 664 a/b/file"_s << u"a/b/file"_s << false << u"writable ~/a/b/file"_s;
        QTest::newRow("file of another user")
            << u"chown a/b/file"_s << u"a/b/file"_s << false << u"owner ~/a/b/file 1000"_s;
        QTest::newRow("folder above of another user")
            << u"chown a"_s << u"a/b/file"_s << false << u"owner ~/a 1000"_s;
        QTest::newRow("the temporary root itself")
            << u"chmod 777 ."_s << u"a/b/file"_s << false << u"writable ~"_s;
        // As /tmp: only an entry's owner may rename or remove it there.
        QTest::newRow("sticky folder above")
            << u"chmod 1777 a"_s << u"a/b/file"_s << false << u"trusted"_s;
        QTest::newRow("sticky folder as the program folder")
            << u"chmod 1777 a/b"_s << u"a/b"_s << true << u"writable ~/a/b"_s;
        QTest::newRow("read-only folder") << u"chmod 555 a/b"_s << u"a/b"_s << true << u"trusted"_s;
        QTest::newRow("missing file") << QString() << u"a/b/none"_s << false << u"trusted"_s;
        QTest::newRow("missing file in a sticky folder")
            << u"chmod 1777 a/b"_s << u"a/b/none"_s << false << u"writable ~/a/b"_s;
        QTest::newRow("missing folders below a writable one")
            << u"chmod 777 a"_s << u"a/x/y/none"_s << true << u"writable ~/a"_s;
        QTest::newRow("link to a file in a writable folder")
            << u"runnable w/file; chmod 777 w; link a/b/l w/file"_s << u"a/b/l"_s << false
            << u"writable ~/w"_s;
        QTest::newRow("relative link in a writable folder")
            << u"rlink w/l ../a/b/file; chmod 733 w"_s << u"w/l"_s << false << u"writable ~/w"_s;
        QTest::newRow("link through root's folders")
            << u"rlink w/l ../a/b"_s << u"w/l/file"_s << false << u"trusted"_s;
        QTest::newRow("link to a file of another user")
            << u"chown w; rlink a/b/l ../../w"_s << u"a/b/l/x"_s << false << u"owner ~/w 1000"_s;
        QTest::newRow("dot-dot out of a root folder into a writable one")
            << u"chmod 777 w"_s << u"a/../w/file"_s << false << u"writable ~/w"_s;
        QTest::newRow("loop of links") << u"rlink a/l1 l2; rlink a/l2 l1"_s << u"a/l1/file"_s
                                       << false << u"uncheckable ~/a/l1"_s;
    }
    void judgesThePathAndEveryFolderAbove() {
        QFETCH(QString, spoil);
        QFETCH(QString, checked);
        QFETCH(bool, namesAdded);
        Tree tree;
        QVERIFY(tree.build() && tree.spoil(spoil));
        QTEST(described(untrustedForRoot(tree.path(checked),
                                         namesAdded ? PathUse::NamesAdded : PathUse::Content),
                        tree.root.path()),
              "verdict");
    }

    // The archiver is looked up folder by folder: each folder before the one
    // that holds it could receive one later; those after it do not count.
    void followsTheArchiverSearch_data() {
        QTest::addColumn<QString>("spoil");
        QTest::addColumn<QString>("verdict");
        QTest::newRow("found in the second folder")
            << u"runnable p2/rar; chmod 777 p3"_s << u"trusted"_s;
        QTest::newRow("a writable folder before it")
            << u"runnable p2/rar; chmod 775 p1"_s << u"writable ~/p1"_s;
        QTest::newRow("the folder that holds it")
            << u"runnable p2/rar; chmod 1777 p2"_s << u"writable ~/p2"_s;
        QTest::newRow("of another user")
            << u"runnable p2/rar; chown p2/rar"_s << u"owner ~/p2/rar 1000"_s;
        // It could appear in any of them.
        QTest::newRow("found nowhere") << u"chmod 777 p3"_s << u"writable ~/p3"_s;
        QTest::newRow("the program folder")
            << u"runnable p1/rar; chmod 770 a/b"_s << u"writable ~/a/b"_s;
        QTest::newRow("the pair file")
            << u"runnable p1/rar; chmod 666 a/b/file"_s << u"writable ~/a/b/file"_s;
        QTest::newRow("the executable")
            << u"runnable p1/rar; chown a/b/tool"_s << u"owner ~/a/b/tool 1000"_s;
    }
    void followsTheArchiverSearch() {
        QFETCH(QString, spoil);
        Tree tree;
        QVERIFY(tree.build() && tree.spoil(spoil));
        RootTrustedSet set;
        set.executable = tree.path(u"a/b/tool"_s);
        set.programFolder = tree.path(u"a/b"_s);
        set.files = {tree.path(u"a/b/Torvanelo.ini"_s), tree.path(u"a/b/file"_s)};
        set.archiverFolders = {tree.path(u"p1"_s), tree.path(u"p2"_s), tree.path(u"p3"_s)};
        QTEST(described(untrustedForRoot(set), tree.root.path()), "verdict");
    }

    // The first folder that holds the tool as root's own runnable file.
    void takesSystemToolsFromTrustedFoldersOnly_data() {
        QTest::addColumn<QString>("spoil");
        QTest::addColumn<QString>("found");
        QTest::newRow("first folder") << u"runnable p1/tool; runnable p2/tool"_s << u"p1"_s;
        QTest::newRow("first folder writable")
            << u"runnable p1/tool; chmod 777 p1; runnable p2/tool"_s << u"p2"_s;
        QTest::newRow("of another user")
            << u"runnable p1/tool; chown p1/tool; runnable p2/tool"_s << u"p2"_s;
        QTest::newRow("not runnable")
            << u"chmod 644 a/b/tool; link p1/tool a/b/tool"_s << QString();
        QTest::newRow("nowhere") << QString() << QString();
    }
    void takesSystemToolsFromTrustedFoldersOnly() {
        QFETCH(QString, spoil);
        QFETCH(QString, found);
        Tree tree;
        QVERIFY(tree.build() && tree.spoil(spoil));
        const auto tool = trustedSystemTool(u"tool"_s, {tree.path(u"p1"_s), tree.path(u"p2"_s)});
        QCOMPARE(tool.value_or(QString()),
                 found.isEmpty() ? QString() : tree.path(found + u"/tool"_s));
    }

    // What the refusal prints can be pasted into a shell: bash gives back
    // the very bytes of the path.
    void quotesPathsForTheShell_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("quoted");
        QTest::newRow("plain") << u"/srv/torvanelo-1.0/a_b"_s << u"/srv/torvanelo-1.0/a_b"_s;
        QTest::newRow("blank") << u"/srv/my folder"_s << u"'/srv/my folder'"_s;
        QTest::newRow("quote and dollar")
            << u"/srv/O'Brien $HOME"_s << u"'/srv/O'\\''Brien $HOME'"_s;
        QTest::newRow("line break") << u"/srv/a\nb'c"_s << u"$'/srv/a\\x0ab\\'c'"_s;
        QTest::newRow("not UTF-8")
            << u"/srv/caf"_s + QChar(char16_t(0xDCE9)) + u"\t"_s << u"$'/srv/caf\\xe9\\x09'"_s;
    }
    void quotesPathsForTheShell() {
        QFETCH(QString, path);
        QTEST(shellQuoted(path), "quoted");
        QProcess bash;
        bash.start(u"bash"_s, {u"-c"_s, u"printf %s "_s + shellQuoted(path)});
        QVERIFY(bash.waitForFinished(-1));
        QCOMPARE(bash.readAllStandardOutput(), encodeFileName(path));
    }
};

TORVANELO_TEST(RootSafetyTest);
#include "RootSafetyTest.moc"
