#include "FileProcessor.h"

#include "ArchiveCounter.h"
#include "ArchiveNames.h"
#include "ArchiverCommands.h"
#include "DailyLog.h"
#include "EngineTestFiles.h"
#include "FaultyFileSystem.h"
#include "PassSummary.h"
#include "SettingsStore.h"
#include "TestArchives.h"
#include "TestRegistry.h"
#include "linux/LinuxProcessRunner.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

using namespace torvanelo;
using namespace Qt::StringLiterals;
using namespace torvanelo::test;
using Call = FaultyFileSystem::Call;

namespace {

QString at(const QString& folder, const char* name) {
    return pathIn(folder, QString::fromUtf8(name));
}

QStringList strings(std::initializer_list<const char*> texts) {
    QStringList list;
    for (const char* text : texts)
        list << QString::fromUtf8(text);
    return list;
}

// A compressing pair (source -> middle) chained to an uncompressing pair
// (middle -> delivered), over real folders, with the real archiver. Faults are
// injected into the file calls of the processor under test only.
struct Chain {
    ScratchFolder root;
    QString home = made(u"home"_s);
    QString source = made(u"source"_s);
    QString middle = made(u"middle"_s);
    QString delivered = made(u"final"_s);
    LinuxFileSystem real;
    FaultyFileSystem files{real};
    LinuxProcessRunner runner;
    SettingsStore store{home};
    SettingsArchiveCounter counter{store};
    PassCounts counts;
    std::unique_ptr<DayJournal> journal;
    PairPaths compressing = MakePairPaths(source, middle);
    PairPaths uncompressing = MakePairPaths(middle, delivered);

    Chain() {
        store.readLanguage();
        store.readRemaining();
    }
    QString made(const QString& name) {
        QDir().mkpath(root.filePath(name));
        return root.filePath(name);
    }

    FileProcessor processor(FileSystem& fileSystem) {
        return FileProcessor(fileSystem, runner, counter, store.settings(), counts, journal.get(),
                             [] { return false; });
    }
    bool compress(const QString& name) { return processor(real).CompressFile(compressing, name); }
    bool uncompress(const QString& name) {
        return processor(real).UncompressFile(uncompressing, name);
    }
    void passBoth() {
        processor(real).ScanFolder(compressing, true);
        processor(real).ScanFolder(uncompressing, false);
    }

    // Empty when every original is intact in the delivered folder and nothing
    // else is left anywhere.
    QString checkAllDelivered(const std::vector<Original>& originals) {
        for (const Original& original : originals) {
            if (const QString problem = checkIntact(delivered, original); !problem.isEmpty())
                return problem;
        }
        const QStringList left = entryNames(source) + entryNames(middle);
        if (entryNames(delivered) != namesOf(originals) || !left.isEmpty())
            return entryNames(delivered).join(u'|') + u" delivered; left: "_s + left.join(u'|');
        return QString();
    }
};

// The stages of the fault walk: the compression, the compression with an
// archiver that writes nothing or keeps its inputs, the uncompression.
enum Stage { Compress, SilentArchiver, KeepingArchiver, Uncompress };
const char* const StageNames[] = {"compress", "archiver writes nothing", "archiver keeps inputs",
                                  "uncompress"};
const char* const CallNames[] = {"list",         "setHidden",    "setNormal",  "remove",
                                 "makeFolder",   "removeFolder", "move",       "writeFile",
                                 "appendToFile", "readFile",     "makeDurable"};
const Original WalkFile{"a b.txt", "data", {{"user.s", "v"}}};

bool prepareStage(Chain& chain, int stage) {
    if (!plant(chain.source, WalkFile))
        return false;
    return stage != Uncompress
           || (chain.compress(WalkFile.name())
               && writeFile(pathIn(chain.delivered, WalkFile.name()), "older"));
}

bool runStage(Chain& chain, int stage) {
    std::optional<FakeArchiver> fake;
    if (stage == SilentArchiver)
        fake.emplace("exit 0\n");
    if (stage == KeepingArchiver)
        fake.emplace("exec \"" + rarPath().toLocal8Bit()
                     + "\" \"$1\" \"$2\" \"$3\" \"$4\" \"$5\"\n");
    if (stage == Uncompress)
        return chain.processor(chain.files).UncompressFile(chain.uncompressing, u"RA000001.rar"_s);
    return chain.processor(chain.files).CompressFile(chain.compressing, WalkFile.name());
}

} // namespace

Q_DECLARE_METATYPE(std::optional<QByteArray>)

class FileProcessorTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The archiver is looked up in the program folder first.
        qputenv("TORVANELO_HOME", buildDir().toLocal8Bit());
        QVERIFY2(QFile::exists(rarPath()), "the archiver is not built");
    }

    // A number in use by an archive in the target, or by an archive, name
    // file or data file in the source folder, is skipped.
    void takesTheNextFreeNumber() {
        Chain chain;
        QVERIFY(chain.store.writeLastFileNumber(4));
        const Original file{"new.txt", "new", {}};
        QVERIFY(plant(chain.source, file));
        QVERIFY(writeFile(at(chain.middle, "RA000005.rar"), "a5"));
        QVERIFY(writeFile(at(chain.source, "RA000006.rn"), "n6"));
        QVERIFY(writeFile(at(chain.source, "RA000007.rar"), "a7"));
        QVERIFY(plantHidden(chain.source, u"RA000008"_s, {"", "old", {}}, MakeNameFile(u"o"_s)));

        QVERIFY(chain.compress(file.name()));
        QCOMPARE(entryNames(chain.middle), strings({"RA000005.rar", "RA000009.rar"}));
        QCOMPARE(readFile(at(chain.middle, "RA000005.rar")), QByteArray("a5"));
        QCOMPARE(readFile(at(chain.source, "RA000007.rar")), QByteArray("a7"));
        QCOMPARE(readFile(at(chain.source, "RA000008.rr")), QByteArray("old"));
    }

    // An own archive in a compressing pair moves on under its name, or under
    // a free number when an archive of that name still waits in the target
    // (never replacing it); any other file in an uncompressing pair replaces
    // the target's file of that name by one rename (nothing is deleted
    // first). The journal names both ends of each file's way, HTML-escaped.
    void movesThroughPacksAndJournalsEscapedPaths() {
        Chain chain;
        QVERIFY(chain.store.setLogEnabled(true) && chain.store.setLogFileNames(true));
        QVERIFY(chain.store.setLogFolder(chain.home));
        chain.journal = std::make_unique<DayJournal>(chain.real, chain.store.settings(),
                                                     QDate(2001, 5, 12), QLocale(QLocale::English));
        QVERIFY(chain.journal->open());
        const Original archive{"ra000124.RAR", "archive", {}};
        const Original notes{"RA12345.rar", "not an archive", {{"user.x", "y"}}};
        QVERIFY(plant(chain.source, archive) && plant(chain.middle, notes));
        QVERIFY(writeFile(pathIn(chain.middle, archive.name()), "older")
                && writeFile(pathIn(chain.delivered, notes.name()), "older"));
        FileProcessor processor = chain.processor(chain.files);
        QVERIFY(processor.CompressFile(chain.compressing, archive.name()));
        QVERIFY(processor.UncompressFile(chain.uncompressing, notes.name()));
        QCOMPARE(chain.files.count(Call::Remove), 0);
        QCOMPARE(readFile(pathIn(chain.middle, archive.name())), QByteArray("older"));
        QCOMPARE(checkIntact(chain.middle, {"RA000001.rar", archive.content, {}})
                     + checkIntact(chain.delivered, notes),
                 QString());

        const QString source = chain.made(u"<b>x</b>"_s);
        const Original file{"a&b.txt", "x", {{"user.k", "v"}}};
        QVERIFY(plant(source, file));
        QVERIFY(chain.processor(chain.real)
                    .CompressFile(MakePairPaths(source, chain.middle), file.name()));
        QVERIFY(chain.uncompress(u"RA000002.rar"_s));
        QCOMPARE(checkIntact(chain.delivered, file), QString());
        QCOMPARE((QList<int>{chain.counter.readLastFileNumber(), chain.counts.FilesCompressed,
                             chain.counts.FilesUncompressed}),
                 (QList<int>{2, 2, 2}));
        const QByteArray root = chain.root.path().toUtf8();
        QCOMPARE(
            readFile(chain.journal->path()).value_or("").split('\n').last(3),
            (QByteArrayList{"<small><b>Rar</b> - " + root + "/&lt;b&gt;x&lt;/b&gt;/a&amp;b.txt -> "
                                + root + "/middle/RA000002.rar</small><br>\r",
                            "<small><b>Unrar</b> - " + root + "/middle/RA000002.rar -> " + root
                                + "/final/a&amp;b.txt</small><br>\r",
                            ""}));
    }

    // Name files: ours keep any name (UTF-16LE hex in quotes; here a
    // character beyond 16 bits, a quote and a line break, the longest name;
    // blanks, Cyrillic and bytes that are not UTF-8 go through whole passes
    // end to end), other writers' may use lower case, blanks and no line
    // end. A missing, malformed or escaping one (no expected name) refuses
    // its archive only: the archive stays as it was and nothing is left
    // beside it or outside.
    void readsNameFiles_data() {
        QTest::addColumn<std::optional<QByteArray>>("nameFile");
        QTest::addColumn<QByteArray>("name");
        using Content = std::optional<QByteArray>;
        for (const QByteArray& name :
             {QByteArray("\xf0\x9f\x91\x8b"), QByteArray("a\"b\nc"), QByteArray(255, 'x')})
            QTest::addRow("own %s", name.left(20).toHex().constData())
                << Content(MakeNameFile(decodeFileName(name))) << name;
        QTest::newRow("other writer") << Content("  \"610062006300\"  \n") << QByteArray("abc");
        QTest::newRow("lower-case hex") << Content("\"2f04\"") << QByteArray("\xd0\xaf");
        QTest::newRow("no name file") << Content() << QByteArray();
        QTest::newRow("empty file") << Content("") << QByteArray();
        QTest::newRow("empty name") << Content("\"\"\r\n") << QByteArray();
        QTest::newRow("odd length") << Content("\"61006\"\r\n") << QByteArray();
        QTest::newRow("odd byte count") << Content("\"610062\"\r\n") << QByteArray();
        QTest::newRow("not hex") << Content("\"6100ZZ00\"\r\n") << QByteArray();
        QTest::newRow("no quotes") << Content("61006200\r\n") << QByteArray();
        QTest::newRow("inner quote") << Content("\"6100\"6200\"\r\n") << QByteArray();
        QTest::newRow("dot") << Content("\"2E00\"") << QByteArray();
        QTest::newRow("dot dot") << Content("\"2E002E00\"") << QByteArray();
        QTest::newRow("escapes upwards")
            << Content("\"2E002E002F006500730063006100700065006400\"\r\n") << QByteArray();
        QTest::newRow("absolute path") << Content("\"2F0074006D0070002F007800\"") << QByteArray();
        QTest::newRow("nul") << Content("\"780000007900\"\r\n") << QByteArray();
        QTest::newRow("256 bytes of UTF-8")
            << Content('"' + QByteArray("2F04").repeated(128) + '"') << QByteArray();
        QTest::newRow("binary") << Content(QByteArray("\x00\xff\"\x01", 4)) << QByteArray();
        QTest::newRow("two names") << Content("\"6100\"\r\n\"6200\"\r\n") << QByteArray();
        QTest::newRow("huge") << Content(QByteArray(100000, '4')) << QByteArray();
    }
    void readsNameFiles() {
        QFETCH(std::optional<QByteArray>, nameFile);
        QFETCH(QByteArray, name);
        // Checked on its own too: the move into the target refuses some bad
        // names (".", "..") by itself.
        QCOMPARE(ReadNameFile(nameFile.value_or("")).has_value(), !name.isEmpty());
        Chain chain;
        QVERIFY(makeArchive(chain.middle, u"RA000001"_s, {"", "payload", {}}, nameFile));
        const auto archive = readFile(at(chain.middle, "RA000001.rar"));
        QCOMPARE(chain.uncompress(u"RA000001.rar"_s), !name.isEmpty());
        if (!name.isEmpty()) {
            QCOMPARE(chain.checkAllDelivered({{name, "payload", {}}}), QString());
            return;
        }
        QVERIFY(chain.counts.FilesUncompressed == 0
                && readFile(at(chain.middle, "RA000001.rar")) == archive);
        QCOMPARE(entryNames(chain.middle) + entryNames(chain.delivered)
                     + entryNames(chain.root.path()),
                 strings({"RA000001.rar", "final", "home", "middle", "source"}));
    }

    // An archive of ours still marked hidden (its archiver stopped between
    // putting it in place and unmarking it) is made visible again by the
    // scan of either pair, and then goes on as any archive.
    void aMarkedArchiveIsMadeVisibleAgain() {
        Chain chain;
        const Original first{"first.txt", "first", {{"user.f", "1"}}};
        const Original second{"second.txt", "second", {{"user.s", "2"}}};
        QVERIFY(plant(chain.source, first) && plant(chain.source, second));
        chain.processor(chain.real).ScanFolder(chain.compressing, true);
        const QString back = at(chain.source, "RA000001.rar");
        const QString marked = at(chain.middle, "RA000002.rar");
        QVERIFY(chain.real.move(at(chain.middle, "RA000001.rar"), back, Replace::No));
        QVERIFY(chain.real.setHidden(back, true) && chain.real.setHidden(marked, true));

        chain.passBoth();
        QVERIFY(!chain.real.isHidden(back) && !chain.real.isHidden(marked));
        chain.passBoth();
        QCOMPARE(chain.checkAllDelivered({first, second}), QString());
    }

    // Hidden leftovers, of the prefix in use or of any earlier two-letter
    // one, get their own name back (or a free variant, or stay visible under
    // their data name); only the program's own temporaries, orphan name
    // files and name files that hold no name go; someone else's hidden file is left alone, even one
    // that looks like a name file, and so are links and pipes (neither followed nor opened: a pipe
    // would block the pass).
    void recoversHiddenLeftovers() {
        Chain chain;
        QVERIFY(chain.store.setCompressedPrefix(u"abc"_s));
        const Original ownPrefix{"own prefix", "abc data", {}};
        QVERIFY(
            plantHidden(chain.source, u"abc000016"_s, ownPrefix, MakeNameFile(ownPrefix.name())));
        const Original named{"named.txt", "named", {{"user.a", "1"}}};
        const Original taken{"taken.txt", "leftover data", {}};
        const Original nameless{"lost.txt", "nameless data", {}};
        QVERIFY(plantHidden(chain.source, u"RA000010"_s, named, MakeNameFile(named.name())));
        QVERIFY(plantHidden(chain.source, u"XY000011"_s, taken, MakeNameFile(taken.name())));
        QVERIFY(QDir().mkdir(at(chain.source, "taken.txt")));
        QVERIFY(plantHidden(chain.source, u"RA000012"_s, nameless, std::nullopt));
        QVERIFY(plantHidden(chain.source, u"RA000013"_s, nameless, "\"2E00\""));
        for (const char* hidden : {"RA000014.rn", ".torvanelo-RA000015.rar-a1B2c3.tmp", "secret",
                                   "holiday.rn", "RA00001.rn", "RA 00001.rn", "RA00001x.rn"})
            QVERIFY(writeFile(at(chain.source, hidden), "\"6100\"")
                    && chain.real.setHidden(at(chain.source, hidden), true));
        QVERIFY(chain.real.writeFile(at(chain.source, ".torvanelo-x.tmp"), "visible"));
        QVERIFY(QFile::link(at(chain.root.path(), "home"), at(chain.source, "folder link")));
        QVERIFY(writeFile(at(chain.home, "elsewhere"), "x")
                && QFile::link(at(chain.home, "elsewhere"), at(chain.source, "link")));
        QVERIFY(::mkfifo(encodeFileName(at(chain.source, "fifo")).constData(), 0600) == 0);

        // In an uncompressing pair nothing is packed: recovery and moves
        // through only.
        chain.processor(chain.real).ScanFolder(MakePairPaths(chain.source, chain.delivered), false);

        for (const Original& left : {named, ownPrefix, Original{"taken (2).txt", taken.content, {}},
                                     Original{"RA000012.rr", nameless.content, {}},
                                     Original{"RA000013.rr", nameless.content, {}}})
            QCOMPARE(checkIntact(chain.source, left, false), QString());
        QVERIFY(chain.real.isHidden(at(chain.source, "secret")));
        QCOMPARE(entryNames(chain.source),
                 strings({"RA 00001.rn", "RA00001.rn", "RA000012.rr", "RA000013.rr", "RA00001x.rn",
                          "fifo", "folder link", "holiday.rn", "link", "named.txt", "own prefix",
                          "secret", "taken (2).txt", "taken.txt"}));
        QCOMPARE(entryNames(chain.delivered), QStringList{u".torvanelo-x.tmp"_s});
        QCOMPARE(chain.counts.FilesHandled, 1);
    }

    // Every acting file call of each stage fails in turn: the file is never
    // lost, nothing half-done carries the user's name, and more passes
    // deliver it.
    void survivesEveryFailedCall_data() {
        QTest::addColumn<int>("stage");
        QTest::addColumn<int>("call");
        QTest::addColumn<int>("nth");
        for (const int stage : {Compress, SilentArchiver, KeepingArchiver, Uncompress}) {
            Chain clean;
            QVERIFY(prepareStage(clean, stage));
            runStage(clean, stage);
            QTest::addRow("%s, no failed call", StageNames[stage]) << stage << 0 << 0;
            for (int call = 0; call <= int(Call::MakeDurable); ++call) {
                for (int n = 1; n <= clean.files.count(Call(call)); ++n)
                    QTest::addRow("%s, %s #%d", StageNames[stage], CallNames[call], n)
                        << stage << call << n;
            }
        }
    }
    void survivesEveryFailedCall() {
        QFETCH(int, stage);
        QFETCH(int, call);
        QFETCH(int, nth);
        Chain chain;
        QVERIFY(prepareStage(chain, stage));
        if (nth > 0)
            chain.files.failNth(Call(call), nth);
        const bool done = runStage(chain, stage);
        QCOMPARE(chain.files.failures(), nth > 0 ? 1 : 0);
        // An archiver that leaves its work undone is not taken at its word.
        if (stage == SilentArchiver || stage == KeepingArchiver)
            QVERIFY(!done && entryNames(chain.middle).isEmpty());
        // The user's name holds the older file or the whole new one.
        if (stage == Uncompress) {
            const auto target = readFile(pathIn(chain.delivered, WalkFile.name()));
            QVERIFY(target == QByteArray("older") || target == WalkFile.content);
            QCOMPARE(entryNames(chain.delivered), QStringList{WalkFile.name()});
        }
        // Data lost on the way could not be delivered.
        chain.passBoth();
        chain.passBoth();
        QCOMPARE(chain.checkAllDelivered({WalkFile}), QString());
    }

    // Unpacking happens in a private folder: a user's files that carry the
    // member names stay, a work folder of an interrupted run is cleared. The
    // delivered file is flushed, with its folder entry, before the archive
    // (the other copy) is deleted; when the flush fails, the archive stays
    // and the file is not counted.
    void unpacksPrivatelyAndDeletesTheArchiveLast() {
        Chain chain;
        QVERIFY(prepareStage(chain, Uncompress));
        QVERIFY(writeFile(at(chain.middle, "RA000001.rr"), "mine")
                && writeFile(at(chain.middle, "RA000001.rn"), "mine too"));
        const QString work = pathIn(chain.middle, FileProcessor::WorkFolderName(u"RA000001"_s));
        QVERIFY(chain.real.makeFolder(work) && writeFile(at(work, "RA000001.rr"), "half"));
        const QString archive = at(chain.middle, "RA000001.rar");
        const QString target = pathIn(chain.delivered, WalkFile.name());
        chain.files.failPath(Call::MakeDurable, target);
        QVERIFY(!runStage(chain, Uncompress));
        QVERIFY(chain.counts.FilesUncompressed == 0 && QFile::exists(archive));

        chain.files.clearFaults();
        QStringList order;
        chain.files.beforeCall = [&](Call call, const QString& path) {
            if ((call == Call::MakeDurable && path == target)
                || (call == Call::Remove && path == archive))
                order << QString::fromLatin1(CallNames[int(call)]);
        };
        QVERIFY(runStage(chain, Uncompress));
        QCOMPARE(order, strings({"makeDurable", "remove"}));
        QCOMPARE(checkIntact(chain.delivered, WalkFile), QString());
        QCOMPARE(entryNames(chain.middle), strings({"RA000001.rn", "RA000001.rr"}));
        QCOMPARE(readFile(at(chain.middle, "RA000001.rr")), QByteArray("mine"));
    }
};

TORVANELO_TEST(FileProcessorTest);
#include "FileProcessorTest.moc"
