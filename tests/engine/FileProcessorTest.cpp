#include "FileProcessor.h"

#include "ArchiveCounter.h"
#include "DailyLog.h"
#include "EngineTestFiles.h"
#include "FaultyFileSystem.h"
#include "HexCodec.h"
#include "PassSummary.h"
#include "SettingsStore.h"
#include "TestRegistry.h"
#include "linux/LinuxProcessRunner.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace torvanelo;
using namespace torvanelo::test;
using Call = FaultyFileSystem::Call;

namespace {

// A compressing pair (source -> middle) chained to an uncompressing pair
// (middle -> delivered), over real folders, with the real archiver. Faults are
// injected into the file calls of the processor under test only.
struct Chain {
    QTemporaryDir root;
    QString home = root.filePath(QStringLiteral("home"));
    QString source = root.filePath(QStringLiteral("source"));
    QString middle = root.filePath(QStringLiteral("middle"));
    QString delivered = root.filePath(QStringLiteral("final"));
    LinuxFileSystem real;
    FaultyFileSystem files{real};
    LinuxProcessRunner runner;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<SettingsArchiveCounter> counter;
    PassCounts counts;
    std::unique_ptr<DayJournal> journal;
    PairPaths compressing = MakePairPaths(source, middle);
    PairPaths uncompressing = MakePairPaths(middle, delivered);

    ~Chain() { removeTree(root.path()); }

    Chain() {
        for (const QString& folder : {home, source, middle, delivered})
            QDir().mkpath(folder);
        store = std::make_unique<SettingsStore>(home);
        store->readLanguage();
        store->readRemaining();
        counter = std::make_unique<SettingsArchiveCounter>(*store);
        journal = std::make_unique<DayJournal>(real, store->settings(), QDate(2001, 5, 12),
                                               QLocale(QLocale::English));
    }

    FileProcessor processor(FileSystem& fileSystem) {
        return FileProcessor(fileSystem, runner, *counter, store->settings(), counts, journal.get(),
                             [] { return false; });
    }

    // One clean pass of both pairs.
    void passBoth() {
        processor(real).ScanFolder(compressing, true);
        processor(real).ScanFolder(uncompressing, false);
    }

    // Empty when every original is intact in the delivered folder and nothing
    // else is left anywhere.
    QString checkAllDelivered(const std::vector<Original>& originals) {
        for (const Original& original : originals) {
            const QString problem = checkIntact(delivered, original);
            if (!problem.isEmpty())
                return problem;
        }
        if (entryNames(delivered) != namesOf(originals))
            return QStringLiteral("delivered holds ") + entryNames(delivered).join(u'|');
        if (!entryNames(source).isEmpty())
            return QStringLiteral("source holds ") + entryNames(source).join(u'|');
        if (!entryNames(middle).isEmpty())
            return QStringLiteral("middle holds ") + entryNames(middle).join(u'|');
        return QString();
    }

    // Empty when the original is intact under its own name in the source or
    // delivered folder, or packed: its data must not exist nowhere.
    QString checkNotLost(const Original& original) {
        if (checkIntact(source, original).isEmpty() || checkIntact(delivered, original).isEmpty())
            return QString();
        // Still on its way: as a data file or inside an archive.
        for (const QString& folder : {source, middle}) {
            for (const QString& name : entryNames(folder)) {
                const auto content = readFile(pathIn(folder, name));
                if (name.endsWith(QStringLiteral(".rr")) && content == original.content)
                    return QString();
                if (name.endsWith(QStringLiteral(".rar")) && content
                    && (original.content.isEmpty() || content->contains(original.content)))
                    return QString();
            }
        }
        return QStringLiteral("lost: ") + original.name();
    }
};

const std::vector<Call> ActingCalls = {
    Call::List,         Call::SetHidden, Call::SetNormal, Call::Remove,   Call::MakeFolder,
    Call::RemoveFolder, Call::Move,      Call::WriteFile, Call::ReadFile, Call::MakeDurable};

QString callName(Call call) {
    static const char* const Names[] = {"list",         "setHidden",    "setNormal",  "remove",
                                        "makeFolder",   "removeFolder", "move",       "writeFile",
                                        "appendToFile", "readFile",     "makeDurable"};
    return QString::fromLatin1(Names[int(call)]);
}

// A leftover of an interrupted compression, as the program would have left
// it: hidden data file and hidden name file.
bool plantLeftover(const QString& folder, const QString& base, const Original& original,
                   bool withNameFile = true) {
    LinuxFileSystem files;
    const QString data = pathIn(folder, base + QStringLiteral(".rr"));
    if (!writeFile(data, original.content) || !writeAttributes(data, original.attributes)
        || !files.setHidden(data, true))
        return false;
    if (!withNameFile)
        return true;
    const QString name = pathIn(folder, base + QStringLiteral(".rn"));
    return files.writeFile(name, '"' + HexEncode(toUtf16Le(original.name())).toLatin1() + "\"\r\n")
           && files.setHidden(name, true);
}

// An archive made by the real archiver from a data file and a name file of
// the given content, for hostile name files.
bool makeArchive(const QString& folder, const QString& base, const QByteArray& data,
                 const std::optional<QByteArray>& nameFile) {
    QTemporaryDir staging;
    LinuxFileSystem files;
    const QString prefix = staging.path() + u'/';
    if (!files.writeFile(prefix + base + QStringLiteral(".rr"), data)
        || !files.setHidden(prefix + base + QStringLiteral(".rr"), true))
        return false;
    if (nameFile
        && (!files.writeFile(prefix + base + QStringLiteral(".rn"), *nameFile)
            || !files.setHidden(prefix + base + QStringLiteral(".rn"), true)))
        return false;
    LinuxProcessRunner runner;
    if (!runner.RunAndWait(QStringLiteral("rar a -os \"") + prefix + base
                               + QStringLiteral(".rar\" \"") + prefix + base
                               + QStringLiteral(".r?\" -df"),
                           RunOptions{}))
        return false;
    return files.move(prefix + base + QStringLiteral(".rar"),
                      pathIn(folder, base + QStringLiteral(".rar")), Replace::No);
}

// Archivers that fail in the two ways the files show.
QByteArray failingArchiver(int kind) {
    if (kind == 0)
        return "exit 0\n"; // writes nothing
    // Makes the archive but keeps its inputs.
    return "exec \"" + rarPath().toLocal8Bit() + "\" \"$1\" \"$2\" \"$3\" \"$4\"\n";
}

} // namespace

Q_DECLARE_METATYPE(std::optional<QByteArray>)

class FileProcessorTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The archiver is looked up in the program folder first.
        qputenv("TORVANELO_HOME", buildDir().toLocal8Bit());
        if (!QFile::exists(rarPath()))
            QFAIL("the archiver is not built");
    }

    void takesTheNextFreeNumber() {
        Chain chain;
        QVERIFY(chain.store->writeLastFileNumber(4));
        const Original file{"new.txt", "new", {}};
        const Original leftover{"old.txt", "old", {}};
        QVERIFY(plant(chain.source, file));
        // In use: an archive in the target, a name file and an archive in
        // the source folder, a data file in the source folder.
        QVERIFY(writeFile(pathIn(chain.middle, QStringLiteral("RA000005.rar")), "a5"));
        QVERIFY(writeFile(pathIn(chain.source, QStringLiteral("RA000006.rn")), "n6"));
        QVERIFY(writeFile(pathIn(chain.source, QStringLiteral("RA000007.rar")), "a7"));
        QVERIFY(plantLeftover(chain.source, QStringLiteral("RA000008"), leftover));

        QVERIFY(chain.processor(chain.real).CompressFile(chain.compressing, file.name()));

        QCOMPARE(chain.counter->readLastFileNumber(), 9);
        QVERIFY(chain.counter->save());
        QCOMPARE(chain.store->readLastFileNumber(), 9);
        QCOMPARE(entryNames(chain.middle),
                 (QStringList{QStringLiteral("RA000005.rar"), QStringLiteral("RA000009.rar")}));
        QCOMPARE(readFile(pathIn(chain.middle, QStringLiteral("RA000005.rar"))), QByteArray("a5"));
        QCOMPARE(readFile(pathIn(chain.source, QStringLiteral("RA000007.rar"))), QByteArray("a7"));
        QCOMPARE(readFile(pathIn(chain.source, QStringLiteral("RA000008.rr"))), QByteArray("old"));
    }

    void movesOwnArchivesAndOtherFilesThrough() {
        Chain chain;
        // An own archive name in a compressing pair replaces the target's.
        QVERIFY(writeFile(pathIn(chain.source, QStringLiteral("ra000124.RAR")), "archive"));
        QVERIFY(writeFile(pathIn(chain.middle, QStringLiteral("ra000124.RAR")), "older"));
        QVERIFY(chain.processor(chain.real)
                    .CompressFile(chain.compressing, QStringLiteral("ra000124.RAR")));
        QCOMPARE(readFile(pathIn(chain.middle, QStringLiteral("ra000124.RAR"))),
                 QByteArray("archive"));
        QCOMPARE(chain.store->readLastFileNumber(), 0);
        // Any other file in an uncompressing pair, with its attributes.
        const Original notes{"RA12345.rar", "not an archive", {{"user.x", "y"}}};
        QVERIFY(plant(chain.middle, notes));
        QVERIFY(writeFile(pathIn(chain.delivered, notes.name()), "older"));
        QVERIFY(chain.processor(chain.real).UncompressFile(chain.uncompressing, notes.name()));
        QCOMPARE(checkIntact(chain.delivered, notes), QString());
        QCOMPARE(chain.counts.FilesCompressed, 1);
        QCOMPARE(chain.counts.FilesUncompressed, 1);
    }

    void journalsEscapedPaths() {
        Chain chain;
        QVERIFY(chain.store->setLogEnabled(true));
        QVERIFY(chain.store->setLogFileNames(true));
        QVERIFY(chain.store->setLogFolder(chain.home));
        chain.journal = std::make_unique<DayJournal>(chain.real, chain.store->settings(),
                                                     QDate(2001, 5, 12), QLocale(QLocale::English));
        QVERIFY(chain.journal->open());
        // A source folder whose path holds "<b>x</b>".
        const QString source = chain.root.filePath(QStringLiteral("<b>x</b>"));
        QVERIFY(QDir().mkpath(source));
        const Original file{"a&b.txt", "x", {}};
        QVERIFY(plant(source, file));
        QVERIFY(chain.processor(chain.real)
                    .CompressFile(MakePairPaths(source, chain.middle), file.name()));
        QVERIFY(chain.processor(chain.real)
                    .UncompressFile(chain.uncompressing, QStringLiteral("RA000001.rar")));
        const auto journal = readFile(chain.journal->path());
        QVERIFY(journal.has_value());
        const QByteArray root = chain.root.path().toUtf8();
        QVERIFY2(journal->endsWith("<small><b>Rar</b> - " + root
                                   + "/&lt;b&gt;x&lt;/b&gt;/a&amp;b.txt -> " + root
                                   + "/middle/RA000001.rar</small><br>\r\n"
                                     "<small><b>Unrar</b> - "
                                   + root + "/middle/RA000001.rar -> " + root
                                   + "/final/a&amp;b.txt</small><br>\r\n"),
                 journal->constData());
    }

    void refusesHostileNameFiles_data() {
        QTest::addColumn<std::optional<QByteArray>>("nameFile");
        QTest::newRow("no name file") << std::optional<QByteArray>();
        QTest::newRow("odd length") << std::optional<QByteArray>("\"610\"\r\n");
        QTest::newRow("not hex") << std::optional<QByteArray>("\"zz00\"\r\n");
        QTest::newRow("empty name") << std::optional<QByteArray>("\"\"\r\n");
        QTest::newRow("dot dot") << std::optional<QByteArray>("\"2E002E00\"\r\n");
        QTest::newRow("escapes upwards")
            << std::optional<QByteArray>("\"2E002E002F006500730063006100700065006400\"\r\n");
        QTest::newRow("absolute path")
            << std::optional<QByteArray>("\"2F0074006D0070002F007800\"\r\n");
        QTest::newRow("nul") << std::optional<QByteArray>("\"780000007900\"\r\n");
        QTest::newRow("huge") << std::optional<QByteArray>(QByteArray(100000, '4'));
    }
    void refusesHostileNameFiles() {
        QFETCH(std::optional<QByteArray>, nameFile);
        Chain chain;
        QVERIFY(makeArchive(chain.middle, QStringLiteral("RA000001"), "payload", nameFile));
        const auto archive = readFile(pathIn(chain.middle, QStringLiteral("RA000001.rar")));

        QVERIFY(!chain.processor(chain.real)
                     .UncompressFile(chain.uncompressing, QStringLiteral("RA000001.rar")));
        QCOMPARE(chain.counts.FilesUncompressed, 0);
        QCOMPARE(entryNames(chain.middle), QStringList{QStringLiteral("RA000001.rar")});
        QCOMPARE(readFile(pathIn(chain.middle, QStringLiteral("RA000001.rar"))), archive);
        QCOMPARE(entryNames(chain.delivered), QStringList());
        QCOMPARE(entryNames(chain.root.path()),
                 (QStringList{QStringLiteral("final"), QStringLiteral("home"),
                              QStringLiteral("middle"), QStringLiteral("source")}));
    }

    void unpacksIntoAPrivateFolder() {
        Chain chain;
        const Original file{"report.txt", "report", {}};
        QVERIFY(plant(chain.source, file));
        QVERIFY(chain.processor(chain.real).CompressFile(chain.compressing, file.name()));
        // A user's files that carry the member names, and a work folder left
        // by an interrupted run.
        QVERIFY(writeFile(pathIn(chain.middle, QStringLiteral("RA000001.rr")), "mine"));
        QVERIFY(writeFile(pathIn(chain.middle, QStringLiteral("RA000001.rn")), "mine too"));
        const QString work =
            pathIn(chain.middle, FileProcessor::WorkFolderName(QStringLiteral("RA000001")));
        QVERIFY(chain.real.makeFolder(work));
        QVERIFY(writeFile(pathIn(work, QStringLiteral("RA000001.rr")), "half"));
        // The delivered folder already has a file of that name.
        QVERIFY(writeFile(pathIn(chain.delivered, file.name()), "older"));

        QVERIFY(chain.processor(chain.real)
                    .UncompressFile(chain.uncompressing, QStringLiteral("RA000001.rar")));
        QCOMPARE(checkIntact(chain.delivered, file), QString());
        QCOMPARE(entryNames(chain.middle),
                 (QStringList{QStringLiteral("RA000001.rn"), QStringLiteral("RA000001.rr")}));
        QCOMPARE(readFile(pathIn(chain.middle, QStringLiteral("RA000001.rr"))), QByteArray("mine"));
    }

    void findsMembersOfARenamedArchive() {
        Chain chain;
        const Original file{"x.txt", "x", {}};
        QVERIFY(plant(chain.source, file));
        QVERIFY(chain.processor(chain.real).CompressFile(chain.compressing, file.name()));
        QVERIFY(QFile::rename(pathIn(chain.middle, QStringLiteral("RA000001.rar")),
                              pathIn(chain.middle, QStringLiteral("ra000001.rar"))));
        QVERIFY(chain.processor(chain.real)
                    .UncompressFile(chain.uncompressing, QStringLiteral("ra000001.rar")));
        QCOMPARE(chain.checkAllDelivered({file}), QString());
    }

    // An archive of ours still marked hidden (its archiver stopped between
    // putting it in place and unmarking it) is made visible again by the
    // scan of either pair, and then goes on as any archive.
    void aMarkedArchiveIsMadeVisibleAgain() {
        Chain chain;
        const Original first{"first.txt", "first", {{"user.f", "1"}}};
        const Original second{"second.txt", "second", {{"user.s", "2"}}};
        QVERIFY(plant(chain.source, first));
        QVERIFY(plant(chain.source, second));
        chain.processor(chain.real).ScanFolder(chain.compressing, true);
        QCOMPARE(entryNames(chain.middle),
                 (QStringList{QStringLiteral("RA000001.rar"), QStringLiteral("RA000002.rar")}));
        // One marked archive back in the compressing pair's source, one left
        // marked in the uncompressing pair's source.
        const QString back = pathIn(chain.source, QStringLiteral("RA000001.rar"));
        QVERIFY(chain.real.move(pathIn(chain.middle, QStringLiteral("RA000001.rar")), back,
                                Replace::No));
        QVERIFY(chain.real.setHidden(back, true));
        const QString marked = pathIn(chain.middle, QStringLiteral("RA000002.rar"));
        QVERIFY(chain.real.setHidden(marked, true));

        chain.passBoth();
        QVERIFY(!chain.real.isHidden(back));
        QVERIFY(!chain.real.isHidden(marked));
        chain.passBoth();
        QCOMPARE(chain.checkAllDelivered({first, second}), QString());
    }

    void recoversHiddenLeftovers() {
        Chain chain;
        const Original named{"named.txt", "named", {{"user.a", "1"}}};
        const Original taken{"taken.txt", "leftover data", {}};
        const Original nameless{"lost.txt", "nameless data", {}};
        QVERIFY(plantLeftover(chain.source, QStringLiteral("RA000010"), named));
        QVERIFY(plantLeftover(chain.source, QStringLiteral("XY000011"), taken));
        // Its own name is taken meanwhile (by a folder, which the scan leaves).
        QVERIFY(QDir().mkdir(pathIn(chain.source, QStringLiteral("taken.txt"))));
        QVERIFY(plantLeftover(chain.source, QStringLiteral("RA000012"), nameless, false));
        // A bad name file keeps the data under B.rr too.
        QVERIFY(plantLeftover(chain.source, QStringLiteral("RA000013"), nameless));
        QVERIFY(
            chain.real.writeFile(pathIn(chain.source, QStringLiteral("RA000013.rn")), "\"2E00\""));
        // An orphan name file, a temporary, someone else's hidden file.
        QVERIFY(
            chain.real.writeFile(pathIn(chain.source, QStringLiteral("RA000014.rn")), "\"6100\""));
        QVERIFY(chain.real.setHidden(pathIn(chain.source, QStringLiteral("RA000014.rn")), true));
        const QString temporary = QStringLiteral(".torvanelo-RA000015.rar-a1B2c3.tmp");
        QVERIFY(chain.real.writeFile(pathIn(chain.source, temporary), "partial"));
        QVERIFY(chain.real.setHidden(pathIn(chain.source, temporary), true));
        QVERIFY(chain.real.writeFile(pathIn(chain.source, QStringLiteral("secret")), "mine"));
        QVERIFY(chain.real.setHidden(pathIn(chain.source, QStringLiteral("secret")), true));
        // Not hidden: an ordinary file whatever its name.
        QVERIFY(
            chain.real.writeFile(pathIn(chain.source, QStringLiteral(".torvanelo-x.tmp")), "t"));

        // In an uncompressing pair nothing is packed; only recovery and
        // moves through are seen.
        const PairPaths inPlace = MakePairPaths(chain.source, chain.delivered);
        chain.processor(chain.real).ScanFolder(inPlace, false);

        QCOMPARE(checkIntact(chain.source, named), QString());
        QCOMPARE(readFile(pathIn(chain.source, QStringLiteral("taken (2).txt"))),
                 QByteArray("leftover data"));
        QCOMPARE(readFile(pathIn(chain.source, QStringLiteral("RA000012.rr"))),
                 QByteArray("nameless data"));
        QVERIFY(!chain.real.isHidden(pathIn(chain.source, QStringLiteral("RA000012.rr"))));
        QVERIFY(!chain.real.isHidden(pathIn(chain.source, QStringLiteral("RA000013.rr"))));
        QVERIFY(chain.real.isHidden(pathIn(chain.source, QStringLiteral("secret"))));
        QCOMPARE(entryNames(chain.source),
                 (QStringList{QStringLiteral("RA000012.rr"), QStringLiteral("RA000013.rn"),
                              QStringLiteral("RA000013.rr"), QStringLiteral("named.txt"),
                              QStringLiteral("secret"), QStringLiteral("taken (2).txt"),
                              QStringLiteral("taken.txt")}));
        QCOMPARE(entryNames(chain.delivered), QStringList{QStringLiteral(".torvanelo-x.tmp")});
        // Only the visible file was handed on and counted.
        QCOMPARE(chain.counts.FilesHandled, 1);
    }

    void leavesSpecialEntriesAlone() {
        Chain chain;
        QVERIFY(QDir().mkpath(pathIn(chain.source, QStringLiteral("sub/deeper"))));
        QVERIFY(writeFile(pathIn(chain.source, QStringLiteral("sub/inner.txt")), "inner"));
        QVERIFY(writeFile(pathIn(chain.root.path(), QStringLiteral("elsewhere")), "elsewhere"));
        QVERIFY(QFile::link(pathIn(chain.root.path(), QStringLiteral("elsewhere")),
                            pathIn(chain.source, QStringLiteral("link"))));
        QVERIFY(QFile::link(QStringLiteral("sub"),
                            pathIn(chain.source, QStringLiteral("folder link"))));
        QVERIFY(
            ::mkfifo(encodeFileName(pathIn(chain.source, QStringLiteral("fifo"))).constData(), 0600)
            == 0);
        chain.processor(chain.real).ScanFolder(chain.compressing, true);
        QCOMPARE(chain.counts.FilesHandled, 0);
        QCOMPARE(entryNames(chain.source),
                 (QStringList{QStringLiteral("fifo"), QStringLiteral("folder link"),
                              QStringLiteral("link"), QStringLiteral("sub")}));
        QCOMPARE(entryNames(pathIn(chain.source, QStringLiteral("sub"))),
                 (QStringList{QStringLiteral("deeper"), QStringLiteral("inner.txt")}));
        QCOMPARE(entryNames(chain.middle), QStringList());
    }

    // Every acting file call of a compression, failed in turn: the file is
    // never lost, and one more pass delivers it.
    void compressionSurvivesEveryFailedCall_data() {
        QTest::addColumn<int>("call");
        QTest::addColumn<int>("nth");
        for (const Call call : ActingCalls) {
            Chain clean;
            const Original file{"a b.txt", "data", {{"user.s", "v"}}};
            if (!plant(clean.source, file))
                QFAIL("cannot plant");
            clean.processor(clean.files).CompressFile(clean.compressing, file.name());
            for (int n = 1; n <= clean.files.count(call); ++n)
                QTest::addRow("%s #%d", qPrintable(callName(call)), n) << int(call) << n;
        }
    }
    void compressionSurvivesEveryFailedCall() {
        QFETCH(int, call);
        QFETCH(int, nth);
        Chain chain;
        const Original file{"a b.txt", "data", {{"user.s", "v"}}};
        QVERIFY(plant(chain.source, file));
        chain.files.failNth(Call(call), nth);
        chain.processor(chain.files).CompressFile(chain.compressing, file.name());
        QCOMPARE(chain.files.failures(), 1);
        QCOMPARE(chain.checkNotLost(file), QString());
        // Nothing half-done under a delivered name.
        for (const QString& name : entryNames(chain.middle))
            QVERIFY2(name.startsWith(QStringLiteral("RA")) && name.endsWith(QStringLiteral(".rar")),
                     qPrintable(name));

        chain.passBoth();
        QCOMPARE(chain.checkAllDelivered({file}), QString());
    }

    // The archiver fails, and then each acting call of the recovery fails in
    // turn: the file is never lost, and one more pass delivers it.
    void aFailedArchiverSurvivesEveryFailedCall_data() {
        QTest::addColumn<int>("archiver");
        QTest::addColumn<int>("call");
        QTest::addColumn<int>("nth");
        for (int archiver = 0; archiver < 2; ++archiver) {
            for (const Call call : ActingCalls) {
                Chain clean;
                const Original file{"a b.txt", "data", {{"user.s", "v"}}};
                if (!plant(clean.source, file))
                    QFAIL("cannot plant");
                {
                    FakeArchiver fake(failingArchiver(archiver));
                    clean.processor(clean.files).CompressFile(clean.compressing, file.name());
                }
                for (int n = 1; n <= clean.files.count(call); ++n)
                    QTest::addRow("%s, %s #%d", archiver == 0 ? "writes nothing" : "keeps inputs",
                                  qPrintable(callName(call)), n)
                        << archiver << int(call) << n;
            }
        }
    }
    void aFailedArchiverSurvivesEveryFailedCall() {
        QFETCH(int, archiver);
        QFETCH(int, call);
        QFETCH(int, nth);
        Chain chain;
        const Original file{"a b.txt", "data", {{"user.s", "v"}}};
        QVERIFY(plant(chain.source, file));
        {
            FakeArchiver fake(failingArchiver(archiver));
            chain.files.failNth(Call(call), nth);
            QVERIFY(!chain.processor(chain.files).CompressFile(chain.compressing, file.name()));
        }
        QCOMPARE(chain.store->readLastFileNumber(), 0);
        QCOMPARE(chain.checkNotLost(file), QString());
        QCOMPARE(entryNames(chain.middle), QStringList());

        chain.passBoth();
        chain.passBoth();
        QCOMPARE(chain.checkAllDelivered({file}), QString());
    }

    // The extracted file is flushed, with its folder entry, before the
    // archive (the other copy) is deleted; when the flush fails, the archive
    // stays and the next pass delivers again.
    void theArchiveGoesOnlyOnceTheDeliveredFileIsOnDisk() {
        Chain chain;
        const Original file{"plan.doc", "plan", {{"user.k", "v"}}};
        QVERIFY(plant(chain.source, file));
        QVERIFY(chain.processor(chain.real).CompressFile(chain.compressing, file.name()));
        const QString archive = pathIn(chain.middle, QStringLiteral("RA000001.rar"));
        const QString target = pathIn(chain.delivered, file.name());
        QStringList order;
        chain.files.beforeCall = [&](Call call, const QString& path) {
            if ((call == Call::MakeDurable && path == target)
                || (call == Call::Remove && path == archive))
                order << callName(call);
        };
        QVERIFY(chain.processor(chain.files)
                    .UncompressFile(chain.uncompressing, QStringLiteral("RA000001.rar")));
        QCOMPARE(order, (QStringList{QStringLiteral("makeDurable"), QStringLiteral("remove")}));

        Chain failing;
        QVERIFY(plant(failing.source, file));
        QVERIFY(failing.processor(failing.real).CompressFile(failing.compressing, file.name()));
        failing.files.failPath(Call::MakeDurable, pathIn(failing.delivered, file.name()));
        QVERIFY(!failing.processor(failing.files)
                     .UncompressFile(failing.uncompressing, QStringLiteral("RA000001.rar")));
        QCOMPARE(failing.counts.FilesUncompressed, 0);
        QVERIFY(QFile::exists(pathIn(failing.middle, QStringLiteral("RA000001.rar"))));
        QCOMPARE(checkIntact(failing.delivered, file), QString());
        failing.passBoth();
        QCOMPARE(failing.checkAllDelivered({file}), QString());
    }

    void uncompressionSurvivesEveryFailedCall_data() {
        QTest::addColumn<int>("call");
        QTest::addColumn<int>("nth");
        for (const Call call : ActingCalls) {
            Chain clean;
            const Original file{"a b.txt", "data", {{"user.s", "v"}}};
            if (!plant(clean.source, file))
                QFAIL("cannot plant");
            clean.processor(clean.real).CompressFile(clean.compressing, file.name());
            clean.processor(clean.files)
                .UncompressFile(clean.uncompressing, QStringLiteral("RA000001.rar"));
            for (int n = 1; n <= clean.files.count(call); ++n)
                QTest::addRow("%s #%d", qPrintable(callName(call)), n) << int(call) << n;
        }
    }
    void uncompressionSurvivesEveryFailedCall() {
        QFETCH(int, call);
        QFETCH(int, nth);
        Chain chain;
        const Original file{"a b.txt", "data", {{"user.s", "v"}}};
        QVERIFY(plant(chain.source, file));
        QVERIFY(chain.processor(chain.real).CompressFile(chain.compressing, file.name()));
        QVERIFY(writeFile(pathIn(chain.delivered, file.name()), "older"));
        chain.files.failNth(Call(call), nth);
        chain.processor(chain.files)
            .UncompressFile(chain.uncompressing, QStringLiteral("RA000001.rar"));
        QCOMPARE(chain.files.failures(), 1);
        // Either the archive is still there, or the file was delivered.
        const bool archiveLeft =
            QFile::exists(pathIn(chain.middle, QStringLiteral("RA000001.rar")));
        QVERIFY(archiveLeft || checkIntact(chain.delivered, file).isEmpty());
        // The target holds the old file or the whole new one, nothing else.
        const auto target = readFile(pathIn(chain.delivered, file.name()));
        QVERIFY(target == QByteArray("older") || target == file.content);
        QCOMPARE(entryNames(chain.delivered), QStringList{file.name()});

        chain.passBoth();
        QCOMPARE(chain.checkAllDelivered({file}), QString());
    }
};

TORVANELO_TEST(FileProcessorTest);
#include "FileProcessorTest.moc"
