#include "FolderPairList.h"

#include "HexCodec.h"
#include "NameCodec.h"
#include "PermissionsEnforced.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "linux/LinuxFileSystem.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::StringLiterals;

namespace {

FolderPair pair(const QString& source, const QString& target, const QString& interval,
                const QString& mode, const QString& enabled) {
    return FolderPair{source, target, interval, interval, mode, enabled};
}

// A pair as "source|target|interval|mode|enabled", for the tables.
QStringList texts(const std::vector<FolderPair>& pairs) {
    QStringList lines;
    for (const FolderPair& p : pairs)
        lines.append(
            QStringList{p.Source, p.Target, p.IntervalCount, p.Mode, p.Enabled}.join(u'|'));
    return lines;
}

} // namespace

class FolderPairListTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ParametersFile> m_parameters;
    QString path(const QString& name) const { return m_dir->filePath(name); }
    QString pairFile() const { return path(u"Torvanelo.w"_s); }
    FolderPairLoad load() const { return LoadFolderPairs(*m_parameters, pairFile()); }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_parameters = std::make_unique<ParametersFile>(path(u"Torvanelo.ini"_s));
    }

    // Lines of UTF-16LE hex, two upper-case digits a byte, CR LF, an empty
    // target as "": the form the Windows program reads.
    void fileFormatIsUtf16LeHex() {
        QCOMPARE(HexEncode("\x10\x0F"_ba), u"100F"_s);
        QCOMPARE(HexDecode(u"100f"), std::optional("\x10\x0F"_ba));
        QVERIFY(SaveFolderPairs(
            *m_parameters, pairFile(),
            {newFolderPair(u"/"_s), pair(u"/a"_s, u"/b"_s, u"3"_s, u"1"_s, u"0"_s)}));
        QCOMPARE(readFile(pairFile()),
                 std::optional("\"2F00\",\"\"\r\n\"2F006100\",\"2F006200\"\r\n"_ba));
        QCOMPARE(texts(load().pairs).last(), u"/a|/b|3|1|0"_s);
    }

    // Loose lines are read; a missing or empty section gives an enabled,
    // compressing pair of interval 1; a field that is not whole UTF-16 code
    // units refuses the whole file, which is left untouched.
    void readsThePairFile_data() {
        QTest::addColumn<QByteArray>("content"); // null: no pair file
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("faultLine"); // 0: no fault
        QTest::newRow("missing file") << QByteArray() << QStringList() << 0;
        QTest::newRow("empty file") << ""_ba << QStringList() << 0;
        QTest::newRow("loose lines, sections missing and empty")
            << "\n  \"2F00\" ,  2F006100\n\n\"2F006200\"x\r\n\"2F00\",\"\""_ba
            << QStringList{u"/|/a|1|0|1"_s, u"/b||2|1|0"_s, u"/||1|0|1"_s} << 0;
        QTest::newRow("odd source, line 2")
            << "\"2F00\",\"\"\r\n\"2F0\",\"\"\r\n"_ba << QStringList() << 2;
        QTest::newRow("odd target") << "\"2F00\",\"2F00A\"\r\n"_ba << QStringList() << 1;
        QTest::newRow("half a code unit") << "\"2F002F\",\"\"\r\n"_ba << QStringList() << 1;
    }
    void readsThePairFile() {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, expected);
        QFETCH(int, faultLine);
        QVERIFY(content.isNull() || writeFile(pairFile(), content));
        QVERIFY(writeFile(m_parameters->path(), "[Rar_2]\nNbTemporisations=2\nRar=1\nEnable=0\n"
                                                "[Rar_3]\nNbTemporisations=\nRar=\nEnable=\n"));
        const FolderPairLoad loaded = load();
        QCOMPARE(texts(loaded.pairs), expected);
        QCOMPARE(loaded.fault, faultLine == 0 ? PairFileFault::None : PairFileFault::InvalidHex);
        QCOMPARE(loaded.faultLine, faultLine);
        QCOMPARE(readFile(pairFile()), content.isNull() ? std::nullopt : std::optional(content));
    }

    // Saving over a pair file that cannot be read would lose its pairs; a
    // fifo in place of either file must not hang the program.
    void unreadableOrFifoFilesAreRefused() {
        QVERIFY(writeFile(pairFile(), "\"2F00\",\"\"\r\n") && setMode(pairFile(), 0200));
        {
            const PermissionsEnforced ordinaryUser;
            QCOMPARE(load().fault, PairFileFault::Unreadable);
        }
        QVERIFY(QFile::remove(pairFile()));
        QVERIFY(::mkfifo(encodeFileName(pairFile()).constData(), 0644) == 0);
        QVERIFY(::mkfifo(encodeFileName(m_parameters->path()).constData(), 0644) == 0);
        QCOMPARE(load().fault, PairFileFault::Unreadable);
        QVERIFY(!SaveFolderPairs(*m_parameters, pairFile(), {newFolderPair(u"/"_s)}));
    }

    // Any folder name comes back: other scripts, quotes, and bytes that are
    // not UTF-8 (kept as their own code units, E9 DC).
    void namesOfEveryScriptComeBack() {
        std::vector<FolderPair> rows;
        for (const QString& name : {u"Документы"_s, u"Έγγραφα"_s,
                                    u"caf"_s + QChar(char16_t(0xDCE9)) + QChar(char16_t(0xDCFF)),
                                    u"emoji \U0001F4C1, \"quoted\""_s})
            rows.push_back(pair(path(name), path(name) + u'/', u"2"_s, u"0"_s, u"1"_s));
        QVERIFY(SaveFolderPairs(*m_parameters, pairFile(), rows));
        QCOMPARE(texts(load().pairs), texts(rows));
        QVERIFY(readFile(pairFile()).value_or("").contains("E9DCFFDC"));
    }

    // Each pair keeps its own settings under its new number.
    void removalRenumbersSections() {
        std::vector<FolderPair> six;
        for (int i = 1; i <= 6; ++i)
            six.push_back(pair(u"/s%1"_s.arg(i), QString(), QString::number(i * 10),
                               i % 2 ? u"1"_s : u"0"_s, i == 6 ? u"0"_s : u"1"_s));
        QVERIFY(SaveFolderPairs(*m_parameters, pairFile(), six));
        QVERIFY(SaveFolderPairs(*m_parameters, pairFile(), {six[0], six[1], six[5]}));
        QCOMPARE(texts(load().pairs), texts({six[0], six[1], six[5]}));
    }

    // The settings are written first; when the pair file then cannot be
    // written they go back, so the two files never disagree.
    void failedPairFileWriteRestoresTheSettings() {
        const std::vector<FolderPair> before{pair(u"/a"_s, u"/b"_s, u"5"_s, u"1"_s, u"1"_s),
                                             pair(u"/c"_s, u"/d"_s, u"7"_s, u"0"_s, u"0"_s)};
        const QString locked = path(u"locked/Torvanelo.w"_s);
        QVERIFY(QDir().mkdir(path(u"locked"_s)));
        QVERIFY(SaveFolderPairs(*m_parameters, locked, before));
        const auto ini = readFile(m_parameters->path());
        const auto pairs = readFile(locked);
        QVERIFY(setMode(path(u"locked"_s), 0555));
        bool saved = true;
        {
            const PermissionsEnforced ordinaryUser;
            saved = SaveFolderPairs(*m_parameters, locked, {before[1]});
        }
        QVERIFY(setMode(path(u"locked"_s), 0700));
        QVERIFY(!saved);
        QCOMPARE(readFile(m_parameters->path()), ini);
        QCOMPARE(readFile(locked), pairs);
        QCOMPARE(namesIn(path(u"locked"_s)), QStringList{u"Torvanelo.w"_s});
    }

    // A Network Trash Folder in the folder or any ancestor marks a
    // Macintosh volume.
    void macVolumeWalksAncestors_data() {
        QTest::addColumn<QString>("markerIn"); // relative to the temporary folder
        QTest::addColumn<bool>("expected");
        QTest::newRow("in the folder") << u"/mac/a/b"_s << true;
        QTest::newRow("in its parent") << u"/mac/a"_s << true;
        QTest::newRow("three levels up") << QString() << true;
        QTest::newRow("in a sibling") << u"/mac/other"_s << false;
        QTest::newRow("in a child") << u"/mac/a/b/c"_s << false;
    }
    void macVolumeWalksAncestors() {
        QFETCH(QString, markerIn);
        QFETCH(bool, expected);
        QVERIFY(QDir().mkpath(path(u"mac/a/b/c"_s)) && QDir().mkpath(path(u"mac/other"_s)));
        QVERIFY(QDir().mkdir(m_dir->path() + markerIn + u"/Network Trash Folder"_s));
        QCOMPARE(IsMacVolume(LinuxFileSystem(), path(u"mac/a/b/"_s)), expected);
    }
};

TORVANELO_TEST(FolderPairListTest);
#include "FolderPairListTest.moc"
