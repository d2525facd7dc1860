#include "FolderPairList.h"

#include "ConfigTestSupport.h"
#include "FolderPairModel.h"
#include "HexCodec.h"
#include "SettingsKeys.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "linux/LinuxFileSystem.h"

#include <QAbstractItemModelTester>
#include <QTemporaryDir>
#include <QTest>

using namespace torvanelo;
using namespace torvanelo::test;

namespace {

// The real file system, with a record of every existence test asked of it.
class ExistenceRecorder final : public FileSystem {
public:
    mutable QStringList asked;

    bool exists(const QString& path) const override {
        asked.append(path);
        return m_real.exists(path);
    }
    std::optional<std::vector<DirectoryEntry>> list(const QString& folder) const override {
        return m_real.list(folder);
    }
    std::optional<FileInfo> info(const QString& path) const override { return m_real.info(path); }
    bool isHidden(const QString& path) const override { return m_real.isHidden(path); }
    bool setHidden(const QString& path, bool hidden) override {
        return m_real.setHidden(path, hidden);
    }
    bool setNormal(const QString& path) override { return m_real.setNormal(path); }
    bool remove(const QString& path) override { return m_real.remove(path); }
    bool makeFolder(const QString& path) override { return m_real.makeFolder(path); }
    bool removeFolder(const QString& path) override { return m_real.removeFolder(path); }
    bool move(const QString& from, const QString& to, Replace replace) override {
        return m_real.move(from, to, replace);
    }
    bool isFreeToOpen(const QString& path) override { return m_real.isFreeToOpen(path); }
    bool writeFile(const QString& path, const QByteArray& content) override {
        return m_real.writeFile(path, content);
    }
    bool appendToFile(const QString& path, const QByteArray& content) override {
        return m_real.appendToFile(path, content);
    }
    std::optional<QByteArray> readFile(const QString& path, qint64 maxSize) const override {
        return m_real.readFile(path, maxSize);
    }

private:
    LinuxFileSystem m_real;
};

FolderPair pair(const QString& source, const QString& target, const char* interval,
                const char* mode, const char* enabled) {
    return FolderPair{source,
                      target,
                      QString::fromLatin1(interval),
                      QString::fromLatin1(interval),
                      QString::fromLatin1(mode),
                      QString::fromLatin1(enabled)};
}

} // namespace

class FolderPairListTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString iniPath() const { return m_dir.filePath(QStringLiteral("Torvanelo.ini")); }
    QString pairPath() const { return m_dir.filePath(QStringLiteral("Torvanelo.w")); }

private slots:
    void init() {
        QVERIFY(removeFileIfGone(iniPath()));
        QVERIFY(removeFileIfGone(pairPath()));
    }

    void hexTwoDigitsPerByte() {
        QCOMPARE(HexEncode(QByteArray("\x10\x0F")), QStringLiteral("100F"));
        QCOMPARE(HexDecode(u"100F"), std::optional<QByteArray>(QByteArray("\x10\x0F")));
        QCOMPARE(HexDecode(u"100f"), std::optional<QByteArray>(QByteArray("\x10\x0F")));
        QCOMPARE(HexDecode(u""), std::optional<QByteArray>(QByteArray()));
        QVERIFY(!HexDecode(u"100").has_value());
    }

    void fileFormatIsUtf16LeHexWithCrLf() {
        ParametersFile parameters(iniPath());
        QVERIFY(SaveFolderPairs(parameters, pairPath(),
                                {newFolderPair(QStringLiteral("/")),
                                 pair(QStringLiteral("/a"), QStringLiteral("/b"), "3", "1", "0")}));
        QCOMPARE(readFile(pairPath()).value_or("unreadable"),
                 QByteArray("\"2F00\",\"\"\r\n\"2F006100\",\"2F006200\"\r\n"));
        QCOMPARE(parameters.ReadProfileValue(u"Rar_2", Key::PairInterval), QStringLiteral("3"));
        QCOMPARE(parameters.ReadProfileValue(u"Rar_2", Key::PairMode), QStringLiteral("1"));
        QCOMPARE(parameters.ReadProfileValue(u"Rar_2", Key::PairEnabled), QStringLiteral("0"));
        QCOMPARE(namesIn(m_dir.path()),
                 (QStringList{QStringLiteral("Torvanelo.ini"), QStringLiteral("Torvanelo.w")}));
    }

    void readsLooseLines() {
        // LF ends, blanks around fields, a field without quotes, blank lines,
        // a line with only a source, text after a closing quote.
        QVERIFY(writeFile(pairPath(), "\n  \"2F00\" ,  2F006100\n\n\"2F006200\"x\r\n"));
        QVERIFY(writeFile(iniPath(), "[Rar_2]\nRar=1\n"));
        const FolderPairLoad load = LoadFolderPairs(ParametersFile(iniPath()), pairPath());
        QCOMPARE(load.fault, PairFileFault::None);
        QCOMPARE(load.pairs.size(), std::size_t(2));
        QCOMPARE(load.pairs[0], pair(QStringLiteral("/"), QStringLiteral("/a"), "1", "0", "1"));
        QCOMPARE(load.pairs[1], pair(QStringLiteral("/b"), QString(), "1", "1", "1"));
    }

    void emptyOrMissingPairFileIsAnEmptyList() {
        FolderPairLoad load = LoadFolderPairs(ParametersFile(iniPath()), pairPath());
        QCOMPARE(load.fault, PairFileFault::None);
        QVERIFY(load.pairs.empty());
        QVERIFY(writeFile(pairPath(), QByteArray()));
        load = LoadFolderPairs(ParametersFile(iniPath()), pairPath());
        QCOMPARE(load.fault, PairFileFault::None);
        QVERIFY(load.pairs.empty());
    }

    void missingSectionGivesDefaults() {
        QVERIFY(writeFile(pairPath(), "\"2F00\",\"2F00\"\r\n\"2F00\",\"2F00\"\r\n"));
        QVERIFY(writeFile(iniPath(), "[Rar_2]\nNbTemporisations=\nRar=\nEnable=\n"));
        const FolderPairLoad load = LoadFolderPairs(ParametersFile(iniPath()), pairPath());
        QCOMPARE(load.pairs.size(), std::size_t(2));
        for (const FolderPair& p : load.pairs) {
            QCOMPARE(p.IntervalCount, QStringLiteral("1"));
            QCOMPARE(p.PassesLeft, QStringLiteral("1"));
            QCOMPARE(p.Mode, QStringLiteral("0"));
            QCOMPARE(p.Enabled, QStringLiteral("1"));
        }
    }

    void invalidHexIsRefusedAndLeftAlone_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("line");
        QTest::newRow("odd source") << QByteArray("\"2F00\",\"\"\r\n\"2F0\",\"\"\r\n") << 2;
        QTest::newRow("odd target") << QByteArray("\"2F00\",\"2F00A\"\r\n") << 1;
        QTest::newRow("half a code unit") << QByteArray("\"2F002F\",\"\"\r\n") << 1;
    }
    void invalidHexIsRefusedAndLeftAlone() {
        QFETCH(QByteArray, content);
        QFETCH(int, line);
        QVERIFY(writeFile(pairPath(), content));
        const FolderPairLoad load = LoadFolderPairs(ParametersFile(iniPath()), pairPath());
        QCOMPARE(load.fault, PairFileFault::InvalidHex);
        QCOMPARE(load.faultLine, line);
        QVERIFY(load.pairs.empty());
        QCOMPARE(readFile(pairPath()).value_or("unreadable"), content);
        QCOMPARE(invalidHexMessage(pairPath()),
                 QStringLiteral("Invalid hexa string in the parameters file\r\n") + pairPath());
    }

    void unreadablePairFileIsReported() {
        QVERIFY(writeFile(pairPath(), "\"2F00\",\"\"\r\n"));
        QVERIFY(changeMode(pairPath(), 0200));
        FolderPairLoad load;
        {
            const PermissionsEnforced enforced;
            load = LoadFolderPairs(ParametersFile(iniPath()), pairPath());
        }
        QVERIFY(changeMode(pairPath(), 0644));
        QCOMPARE(load.fault, PairFileFault::Unreadable);
    }

    void fifoInPlaceOfTheFilesDoesNotHang() {
        QVERIFY(::mkfifo(encodeFileName(pairPath()).constData(), 0644) == 0);
        QVERIFY(::mkfifo(encodeFileName(iniPath()).constData(), 0644) == 0);
        ParametersFile parameters(iniPath());
        QCOMPARE(LoadFolderPairs(parameters, pairPath()).fault, PairFileFault::Unreadable);
        QVERIFY(!SaveFolderPairs(parameters, pairPath(), {newFolderPair(QStringLiteral("/"))}));
        QVERIFY(QFileInfo(iniPath()).exists() && !QFileInfo(iniPath()).isFile());
    }

    void namesOfEveryScriptComeBack() {
        const QStringList names{QStringLiteral("Документы"), QStringLiteral("Έγγραφα"),
                                QStringLiteral("caf") + QChar(char16_t(0xDCE9))
                                    + QChar(char16_t(0xDCFF)),
                                QStringLiteral("emoji \U0001F4C1, \"quoted\"")};
        std::vector<FolderPair> rows;
        for (const QString& name : names) {
            const QString folder = m_dir.path() + u'/' + name;
            QVERIFY(makeFolder(folder));
            rows.push_back(pair(folder, folder + QStringLiteral("/"), "2", "0", "1"));
        }
        ParametersFile parameters(iniPath());
        QVERIFY(SaveFolderPairs(parameters, pairPath(), rows));
        const FolderPairLoad load = LoadFolderPairs(parameters, pairPath());
        QCOMPARE(load.fault, PairFileFault::None);
        QCOMPARE(load.pairs, rows);
        // The invalid UTF-8 bytes are kept as their own code units, E9 DC.
        QVERIFY(readFile(pairPath()).value_or("").contains("E9DCFFDC"));
    }

    void removalRenumbersSections() {
        std::vector<FolderPair> six;
        for (int i = 1; i <= 6; ++i) {
            six.push_back(pair(QStringLiteral("/s") + QString::number(i), QString(),
                               QByteArray::number(i * 10).constData(), i % 2 ? "1" : "0",
                               i == 6 ? "0" : "1"));
        }
        ParametersFile parameters(iniPath());
        QVERIFY(SaveFolderPairs(parameters, pairPath(), six));
        QVERIFY(SaveFolderPairs(parameters, pairPath(), {six[0], six[1], six[5]}));
        const FolderPairLoad load = LoadFolderPairs(parameters, pairPath());
        QCOMPARE(load.pairs, (std::vector<FolderPair>{six[0], six[1], six[5]}));
    }

    void failedPairFileWriteRestoresTheSettings() {
        ParametersFile parameters(iniPath());
        const std::vector<FolderPair> before{
            pair(QStringLiteral("/a"), QStringLiteral("/b"), "5", "1", "1"),
            pair(QStringLiteral("/c"), QStringLiteral("/d"), "7", "0", "0")};
        QVERIFY(SaveFolderPairs(parameters, pairPath(), before));
        const QByteArray iniBefore = readFile(iniPath()).value();
        const QByteArray pairsBefore = readFile(pairPath()).value();

        // The pair file's folder refuses new files: the settings, written
        // first, must go back to what they were.
        const QString lockedFolder = m_dir.filePath(QStringLiteral("locked"));
        QVERIFY(makeFolder(lockedFolder));
        const QString lockedPairs = lockedFolder + QStringLiteral("/Torvanelo.w");
        QVERIFY(writeFile(lockedPairs, pairsBefore));
        QVERIFY(changeMode(lockedFolder, 0555));
        bool saved = true;
        {
            const PermissionsEnforced enforced;
            saved = SaveFolderPairs(parameters, lockedPairs, {before[1]});
        }
        QVERIFY(changeMode(lockedFolder, 0755));
        QVERIFY(!saved);
        QCOMPARE(readFile(iniPath()).value(), iniBefore);
        QCOMPARE(readFile(lockedPairs).value(), pairsBefore);
        QCOMPARE(namesIn(lockedFolder), QStringList{QStringLiteral("Torvanelo.w")});
    }

    void macVolumeWalksAncestors_data() {
        QTest::addColumn<QString>("markerIn"); // relative to the temporary folder; "-" none
        QTest::addColumn<bool>("expected");
        QTest::newRow("in the folder") << QStringLiteral("mac/a/b") << true;
        QTest::newRow("in an ancestor") << QStringLiteral("mac") << true;
        QTest::newRow("in a sibling") << QStringLiteral("mac/other") << false;
        QTest::newRow("none") << QStringLiteral("-") << false;
    }
    void macVolumeWalksAncestors() {
        QFETCH(QString, markerIn);
        QFETCH(bool, expected);
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/mac/a/b");
        for (const char* sub : {"/mac", "/mac/a", "/mac/a/b", "/mac/other"})
            QVERIFY(makeFolder(dir.path() + QString::fromLatin1(sub)));
        if (markerIn != u"-")
            QVERIFY(
                makeFolder(dir.path() + u'/' + markerIn + QStringLiteral("/Network Trash Folder")));
        ExistenceRecorder fileSystem;
        QCOMPARE(IsMacVolume(fileSystem, folder + u'/'), expected);

        // Nearest first, up to the first marker found; "/" is tested last.
        QStringList expectedOrder;
        for (QString current = folder;; current.truncate(current.lastIndexOf(u'/'))) {
            const QString marker = current + QStringLiteral("/Network Trash Folder");
            expectedOrder.append(marker);
            if (current.isEmpty() || QFileInfo::exists(marker))
                break;
        }
        QCOMPARE(expectedOrder.last() == u"/Network Trash Folder", !expected);
        QCOMPARE(fileSystem.asked, expectedOrder);
    }

    void modelShowsTheGrid() {
        QTemporaryDir dir;
        const QString here = dir.filePath(QStringLiteral("here"));
        const QString mac = dir.filePath(QStringLiteral("mac"));
        const QString gone = dir.filePath(QStringLiteral("gone"));
        QVERIFY(makeFolder(here));
        QVERIFY(makeFolder(mac));
        QVERIFY(makeFolder(mac + QStringLiteral("/Network Trash Folder")));
        const QString ini = dir.filePath(QStringLiteral("Torvanelo.ini"));
        const QString pairs = dir.filePath(QStringLiteral("Torvanelo.w"));
        ParametersFile parameters(ini);
        QVERIFY(
            SaveFolderPairs(parameters, pairs,
                            {pair(here, mac, "1", "0", "1"), pair(gone, QString(), "4", "1", "0"),
                             pair(here, here, "1", "2", "1")}));

        const LinuxFileSystem fileSystem;
        FolderPairModel model(fileSystem);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.reload(parameters, pairs), PairFileFault::None);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.columnCount(), 3);

        const auto text = [&](int row, int column) {
            return model.data(model.index(row, column)).toString();
        };
        const auto role = [&](int row, int column, int r) {
            return model.data(model.index(row, column), r);
        };
        QCOMPARE(text(0, 0), here);
        QCOMPARE(text(0, 2), QStringLiteral("      ") + mac);
        QCOMPARE(role(0, 2, FolderPairModel::MacVolumeRole).toBool(), true);
        QCOMPARE(role(0, 0, FolderPairModel::MacVolumeRole).toBool(), false);
        QCOMPARE(text(1, 0), QStringLiteral("??? ") + gone);
        QCOMPARE(text(1, 2), QStringLiteral("???"));
        QCOMPARE(role(1, 0, FolderPairModel::ExistsRole).toBool(), false);
        QCOMPARE(role(1, 1, FolderPairModel::EnabledRole).toBool(), false);
        QCOMPARE(role(1, 1, FolderPairModel::UncompressesRole).toBool(), true);
        QCOMPARE(role(0, 1, FolderPairModel::UncompressesRole).toBool(), false);
        // Any mode other than "0" uncompresses, and is shown so.
        QCOMPARE(role(2, 1, FolderPairModel::UncompressesRole).toBool(), true);
        QCOMPARE(role(2, 0, FolderPairModel::PairNumberRole).toInt(), 3);
        QCOMPARE(model.pairs()[1].PassesLeft, QStringLiteral("4"));

        // An edit ends with a save and a reload.
        QVERIFY(makeFolder(gone));
        std::vector<FolderPair> rows = model.pairs();
        rows.erase(rows.begin());
        QVERIFY(SaveFolderPairs(parameters, pairs, rows));
        QCOMPARE(model.reload(parameters, pairs), PairFileFault::None);
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(text(0, 0), gone);
        QCOMPARE(role(0, 0, FolderPairModel::PairNumberRole).toInt(), 1);

        QVERIFY(writeFile(pairs, "\"2F0\",\"\"\r\n"));
        QCOMPARE(model.reload(parameters, pairs), PairFileFault::InvalidHex);
        QCOMPARE(model.rowCount(), 0);
    }

private:
    static bool removeFileIfGone(const QString& path) {
        return !QFileInfo::exists(path) || QFile::remove(path);
    }
};

TORVANELO_TEST(FolderPairListTest);
#include "FolderPairListTest.moc"
