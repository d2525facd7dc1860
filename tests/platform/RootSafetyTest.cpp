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
               && writeScript(path(u"a/b/tool"_s), "#!/bin/sh\n");
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
                done = writeScript(path(words[1]), "#!/bin/sh\n");
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
        QTest::addColumn<QString>("verdict");
        QTest::addColumn<QString>("checked");
        QTest::addColumn<bool>("namesAdded");
        const auto row = [](const char* name, const char16_t* spoil, const char16_t* verdict,
                            const char16_t* checked = u"a/b/file", bool namesAdded = false) {
            QTest::newRow(name) << QString::fromUtf16(spoil) << QString::fromUtf16(verdict)
                                << QString::fromUtf16(checked) << namesAdded;
        };
        row("root's alone", u"", u"trusted");
        row("folder writable by its group", u"chmod 775 a/b", u"writable ~/a/b");
        row("folder writable by others", u"chmod 757 a", u"writable ~/a");
        row("file writable by its group", u"chmod 664 a/b/file", u"writable ~/a/b/file");
        row("file of another user", u"chown a/b/file", u"owner ~/a/b/file 1000");
        row("folder above of another user", u"chown a", u"owner ~/a 1000");
        row("the temporary root itself", u"chmod 777 .", u"writable ~");
        // As /tmp: only an entry's owner may rename or remove it there.
        row("sticky folder above", u"chmod 1777 a", u"trusted");
        row("sticky folder as the program folder", u"chmod 1777 a/b", u"writable ~/a/b", u"a/b",
            true);
        row("read-only folder", u"chmod 555 a/b", u"trusted", u"a/b", true);
        row("missing file", u"", u"trusted", u"a/b/none");
        row("missing file in a sticky folder", u"chmod 1777 a/b", u"writable ~/a/b", u"a/b/none");
        row("missing folders below a writable one", u"chmod 777 a", u"writable ~/a", u"a/x/y/none",
            true);
        row("link to a file in a writable folder",
            u"runnable w/file; chmod 777 w; link a/b/l w/file", u"writable ~/w", u"a/b/l");
        row("relative link in a writable folder", u"rlink w/l ../a/b/file; chmod 733 w",
            u"writable ~/w", u"w/l");
        row("link through root's folders", u"rlink w/l ../a/b", u"trusted", u"w/l/file");
        row("link to a file of another user", u"chown w; rlink a/b/l ../../w", u"owner ~/w 1000",
            u"a/b/l/x");
        row("dot-dot out of a root folder into a writable one", u"chmod 777 w", u"writable ~/w",
            u"a/../w/file");
        row("loop of links", u"rlink a/l1 l2; rlink a/l2 l1", u"uncheckable ~/a/l1", u"a/l1/file");
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
