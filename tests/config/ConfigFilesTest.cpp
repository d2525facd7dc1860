#include "FolderPairList.h"
#include "NumericText.h"
#include "PermissionsEnforced.h"
#include "PlatformTestSupport.h"
#include "ScratchMount.h"
#include "SettingsStore.h"
#include "TestRegistry.h"
#include "linux/LinuxFileSystem.h"

#include <QLocale>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <optional>

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

// Fills the file system that holds the path: true once a write was refused
// for want of space.
bool fillDisk(const QString& path) {
    const int fd = ::open(encodeFileName(path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    const QByteArray block(4096, 'f');
    while (fd >= 0 && ::write(fd, block.constData(), std::size_t(block.size())) > 0) {
    }
    const bool full = fd >= 0 && errno == ENOSPC;
    if (fd >= 0)
        ::close(fd);
    return full;
}

} // namespace

// The parameters file, the settings read from it and the folder-pair file.
class ConfigFilesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchFolder> m_dir;
    std::unique_ptr<ParametersFile> m_parameters;
    QString path(const QString& name) const { return m_dir->filePath(name); }
    QString ini() const { return path(u"Torvanelo.ini"_s); }
    QString pairFile() const { return path(u"Torvanelo.w"_s); }
    FolderPairLoad load() const { return LoadFolderPairs(*m_parameters, pairFile()); }
    Settings read() const {
        SettingsStore store(m_dir->path());
        store.readLanguage();
        store.readRemaining();
        return store.settings();
    }

private slots:
    void init() {
        m_dir = std::make_unique<ScratchFolder>();
        m_parameters = std::make_unique<ParametersFile>(ini());
    }

    // Odd content is read by the INI rules without harm (the value of S/K).
    void readsByTheIniRules_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        QTest::newRow("names in any case") << "[s]\r\nk=25\r\n"_ba << u"25"_s;
        QTest::newRow("trimmed, '=' in the value") << "[S]\n  K \t=  25 s=b \t\n"_ba << u"25 s=b"_s;
        QTest::newRow("first key wins") << "[S]\nK=1\nK=2\n"_ba << u"1"_s;
        QTest::newRow("duplicate section is not read")
            << "[S]\nA=1\n[T]\n[s]\nK=9\n"_ba << QString();
        QTest::newRow("key before any section, other section's")
            << "K=4\n[T]\nK=5\n[S]\n"_ba << QString();
        QTest::newRow("comments are not keys") << "[S]\n;K=5\n# K=6\n"_ba << QString();
        QTest::newRow("empty value is missing") << "[S]\nK=\n"_ba << QString();
        QTest::newRow("no final newline") << "[S]\r\nK=7"_ba << u"7"_s;
        QTest::newRow("binary bytes around") << "\0\xff\xfe junk\n[S]\n\1\2=\3\nK=8\n"_ba << u"8"_s;
        QTest::newRow("10,000-character lines")
            << QByteArray(10000, 'x') + "\n[S]\nK=" + QByteArray(10000, '4')
            << QString(10000, u'4');
        QTest::newRow("UTF-8, and other bytes kept as escapes")
            << "[S]\nK=/srv/\xd0\x9f\xd0\xbb/caf\xe9\n"_ba
            << u"/srv/Пл/caf"_s + QChar(char16_t(0xDCE9));
    }
    void readsByTheIniRules() {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        QVERIFY(writeFile(ini(), content));
        QCOMPARE(m_parameters->ReadProfileValue(u"S", u"K"), expected);
        QCOMPARE(m_parameters->snapshot().ReadProfileValue(u"s", u"k"), expected);
    }

    // A write changes its own line and keeps every other byte; the file is
    // replaced whole, with nothing left beside it.
    void writeKeepsEveryOtherLine_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("value"); // of S/K
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("replace, CR LF, own spelling kept")
            << "; mine\r\n[s]\r\n  k = 5\r\nX=1\r\n"_ba << u"25"_s
            << "; mine\r\n[s]\r\n  k =25\r\nX=1\r\n"_ba;
        QTest::newRow("new key after the section's last key, LF, no final newline")
            << "[S]\nA=1\n\n; about T\n[T]\n;end"_ba << u"3"_s
            << "[S]\nA=1\nK=3\n\n; about T\n[T]\n;end"_ba;
        QTest::newRow("new section after a last line without newline")
            << "[T]\r\nA=1"_ba << u"3"_s << "[T]\r\nA=1\r\n[S]\r\nK=3\r\n"_ba;
        QTest::newRow("duplicate section: the first one is written")
            << "[S]\nA=1\n[S]\nK=9\n"_ba << u"3"_s << "[S]\nA=1\nK=3\n[S]\nK=9\n"_ba;
        const QByteArray odd = "\0\xff\r\x7f no equals\r\n"_ba + QByteArray(10000, 'z')
                               + "\r\n[S]\r\n" + QByteArray(10000, 'z') + "=z\r\n";
        QTest::newRow("binary and 10,000-character lines") << odd << u"3"_s << odd + "K=3\r\n";
        QTest::newRow("no file, value longer than 254 characters")
            << QByteArray() << u"/"_s + QString(300, u'p')
            << "[S]\r\nK=/" + QByteArray(300, 'p') + "\r\n";
        QTest::newRow("escaped bytes written back as bytes")
            << QByteArray() << u"/caf"_s + QChar(char16_t(0xDCE9)) << "[S]\r\nK=/caf\xe9\r\n"_ba;
    }
    void writeKeepsEveryOtherLine() {
        QFETCH(QByteArray, before);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        QVERIFY(before.isEmpty() || writeFile(ini(), before));
        QVERIFY(m_parameters->WriteProfileValue(u"S", u"K", value));
        QCOMPARE(readFile(ini()), std::optional(after));
        QCOMPARE(namesIn(m_dir->path()), QStringList{u"Torvanelo.ini"_s});
    }

    // A value that would break the line is refused, a batch is written all
    // or nothing, and a file that cannot be read or written keeps its bytes.
    void failedWriteLeavesTheFileAsItWas_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("lockFile"); // else the folder
        QTest::addColumn<int>("mode");
        QTest::newRow("LF") << u"a\nB=2"_s << false << 0700;
        QTest::newRow("CR") << u"a\rb"_s << false << 0700;
        QTest::newRow("NUL") << u"a"_s + QChar(u'\0') << false << 0700;
        QTest::newRow("unreadable file") << u"9"_s << true << 0200;
        QTest::newRow("read-only folder and file") << u"9"_s << false << 0555;
    }
    void failedWriteLeavesTheFileAsItWas() {
        QFETCH(QString, value);
        QFETCH(bool, lockFile);
        QFETCH(int, mode);
        const QByteArray before("[S]\r\nK=5\r\n");
        // Where only the folder refuses, the file would be written in place.
        QVERIFY(writeFile(ini(), before) && (lockFile || setMode(ini(), 0444)));
        QString read;
        QVERIFY(!asOrdinaryUser(lockFile ? ini() : m_dir->path(), mode, [&] {
            read = m_parameters->ReadProfileValue(u"S", u"K");
            return m_parameters->WriteProfileValues(
                {{u"S"_s, u"A"_s, u"1"_s}, {u"S"_s, u"K"_s, value}});
        }));
        QCOMPARE(read, lockFile ? QString() : u"5"_s);
        QCOMPARE(readFile(ini()), std::optional(before));
        QCOMPARE(namesIn(m_dir->path()), QStringList{u"Torvanelo.ini"_s});
    }

    // A parameters file kept elsewhere through a link stays there, with its
    // permissions.
    void writeKeepsPermissionsAndFollowsLinks() {
        const QString real = path(u"real.ini"_s);
        QVERIFY(writeFile(real, "[Logs]\nLogs=0\n") && setMode(real, 0600));
        QVERIFY(makeSymlink(real, ini()));
        QVERIFY(m_parameters->WriteProfileValue(u"Logs", u"Logs", u"1"_s));
        QCOMPARE(readFile(real), std::optional("[Logs]\nLogs=1\n"_ba));
        QCOMPARE(lstatOf(real)->st_mode & 07777, 0600u);
    }

    // A UTF-8 byte-order mark is skipped on reading and kept on writing, with
    // no second section added.
    void byteOrderMarkIsSkippedAndKept() {
        const QByteArray bom("\xEF\xBB\xBF");
        QVERIFY(writeFile(ini(), bom
                                     + "[Configuration]\r\nLangue=1\r\nTemporisation=25\r\n"
                                       "[Rar_1]\r\nRar=1\r\n"));
        QVERIFY(writeFile(pairFile(), bom + "\"2F00\",\"2F006100\"\r\n"));
        const Settings s = read();
        QCOMPARE(s.Language, qint16(1));
        QCOMPARE(s.DefaultDelay, qint16(25));
        QCOMPARE(texts(load().pairs), QStringList{u"/|/a|1|1|1"_s});
        SettingsStore store(m_dir->path());
        QVERIFY(store.setDefaultDelay(30));
        QCOMPARE(readFile(ini()),
                 std::optional(bom
                               + "[Configuration]\r\nLangue=1\r\nTemporisation=30\r\n"
                                 "[Rar_1]\r\nRar=1\r\n"));
        QVERIFY(SaveFolderPairs(*m_parameters, pairFile(),
                                {pair(u"/b"_s, {}, u"2"_s, u"0"_s, u"1"_s)}));
        QCOMPARE(readFile(pairFile()), std::optional(bom + "\"2F006200\",\"\"\r\n"));
        QVERIFY(readFile(ini()).value_or("").startsWith(bom + "[Configuration]\r\nLangue=1\r\n"));
        QCOMPARE(texts(load().pairs), QStringList{u"/b||2|0|1"_s});
    }

    // What start-up finds in the file's place, at once even for a fifo.
    // Bytes that are not UTF-8 are still text; UTF-16 and binary are not.
    void parametersFileState_data() {
        QTest::addColumn<QByteArray>("content"); // "<folder>", "<fifo>", "<locked>", null: none
        QTest::addColumn<ParametersFileState>("state");
        QTest::newRow("none") << QByteArray() << ParametersFileState::Missing;
        QTest::newRow("empty") << ""_ba << ParametersFileState::Text;
        QTest::newRow("UTF-8 with mark, Latin-1 path")
            << "\xEF\xBB\xBF[Logs]\nPathLogs=/caf\xe9\n"_ba << ParametersFileState::Text;
        QTest::newRow("folder") << "<folder>"_ba << ParametersFileState::Unreadable;
        QTest::newRow("fifo") << "<fifo>"_ba << ParametersFileState::Unreadable;
        QTest::newRow("no read permission") << "<locked>"_ba << ParametersFileState::Unreadable;
        QTest::newRow("UTF-16LE with mark")
            << "\xFF\xFE[\0C\0]\0"_ba << ParametersFileState::NotText;
        QTest::newRow("UTF-16BE without mark")
            << "\0[\0C\0]\0\n"_ba << ParametersFileState::NotText;
        QTest::newRow("binary") << "\x7f"
                                   "ELF\2\1\1\0\0\0"_ba
                                << ParametersFileState::NotText;
    }
    void parametersFileState() {
        QFETCH(QByteArray, content);
        QFETCH(ParametersFileState, state);
        if (content == "<folder>")
            QVERIFY(QDir().mkdir(ini()));
        else if (content == "<fifo>")
            QVERIFY(makeFifo(ini()));
        else if (!content.isNull())
            QVERIFY(writeFile(ini(), content == "<locked>" ? "[S]\nK=1\n"_ba : content));
        if (content == "<locked>")
            QCOMPARE(asOrdinaryUser(ini(), 0200, [&] { return m_parameters->state(); }), state);
        else
            QCOMPARE(m_parameters->state(), state);
    }

    // Where the folder takes no new file, the file is rewritten in place
    // and cut to its new length; a full disk or a read-only mount refuse
    // the write before a byte changes.
    void writesInPlaceWhereTheFolderRefusesNewFiles_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("mount"); // "", "full" or "read-only"
        QTest::newRow("shorter") << u"7"_s << QByteArray();
        QTest::newRow("longer") << QString(5000, u'7') << QByteArray();
        QTest::newRow("full disk") << QString(9000, u'7') << "full"_ba;
        QTest::newRow("read-only mount") << u"7"_s << "read-only"_ba;
    }
    void writesInPlaceWhereTheFolderRefusesNewFiles() {
        QFETCH(QString, value);
        QFETCH(QByteArray, mount);
        std::optional<ScratchMount> scratch;
        QString folder = m_dir->path();
        if (!mount.isEmpty()) {
            folder = path(u"mounted"_s);
            QVERIFY(QDir().mkdir(folder));
            if (!scratch.emplace(folder, "tmpfs", "size=64k").mounted())
                QSKIP(qPrintable(scratch->error()));
        }
        const QString file = folder + u"/Torvanelo.ini"_s;
        const QByteArray before("; mine\r\n[S]\r\nK=" + QByteArray(300, '5') + "\r\nX=1\r\n");
        QVERIFY(writeFile(file, before) && setMode(file, 0640));
        if (mount == "full")
            QVERIFY(fillDisk(folder + u"/filler"_s));
        QVERIFY(setMode(folder, 0555) && (mount != "read-only" || scratch->setReadOnly(true)));
        ParametersFile parameters(file);
        const bool written = [&] {
            const PermissionsEnforced ordinaryUser;
            return parameters.WriteProfileValue(u"S", u"K", value);
        }();
        QVERIFY((mount != "read-only" || scratch->setReadOnly(false)) && setMode(folder, 0700));
        QCOMPARE(written, mount.isEmpty());
        QCOMPARE(readFile(file),
                 std::optional(written ? "; mine\r\n[S]\r\nK=" + value.toLatin1() + "\r\nX=1\r\n"
                                       : before));
        QCOMPARE(lstatOf(file)->st_mode & 07777, 0640u);
        QCOMPARE(namesIn(folder).filter(u"torvanelo"_s, Qt::CaseInsensitive),
                 QStringList{u"Torvanelo.ini"_s});
    }

    // The numeric reading rule: the leading number, halves to even, clamped
    // to the field's width; delay, performance and retention below 1 take
    // their default. A yes/no key is yes only for "1".
    void keysAsRead_data() {
        QTest::addColumn<QByteArray>("line"); // of section Configuration
        QTest::addColumn<int>("expected");    // of the field the key feeds
        QTest::newRow("no key: delay") << QByteArray() << 10;
        for (const char* text : {"0", "abc", "0.4", "-5", "0x1F", " "})
            QTest::addRow("delay '%s'", text) << "Temporisation=" + QByteArray(text) << 10;
        QTest::newRow("unit after") << "Temporisation=25s"_ba << 25;
        QTest::newRow("2.5 to even") << "Temporisation=2.5"_ba << 2;
        QTest::newRow("3.5 to even") << "Temporisation=3.5"_ba << 4;
        QTest::newRow("exponent, junk") << "Temporisation=1e3x"_ba << 1000;
        QTest::newRow("blank, point") << "Temporisation= \t.5e1"_ba << 5;
        QTest::newRow("blank ends it") << "Temporisation=1 2"_ba << 1;
        QTest::newRow("overflow clamps") << "Temporisation=40000"_ba << 32767;
        QTest::newRow("out of range") << "Temporisation=1e999"_ba << 32767;
        QTest::newRow("performance 0") << "Performance=0"_ba << 1;
        QTest::newRow("retention 366") << "[Logs]\nDelaiLogs=366"_ba << 366;
        QTest::newRow("retention negative") << "[Logs]\nDelaiLogs=-3"_ba << 10;
        QTest::newRow("language empty") << "Langue="_ba << 0;
        QTest::newRow("language other kept") << "Langue=7"_ba << 7;
        QTest::newRow("counter missing") << "[Processing]\nLastFileNumber="_ba << 0;
        QTest::newRow("counter 13.5") << "[Processing]\nLastFileNumber=13.5"_ba << 14;
        QTest::newRow("counter overflow")
            << "[Processing]\nLastFileNumber=3000000000"_ba << 2147483647;
        QTest::newRow("counter underflow")
            << "[Processing]\nLastFileNumber=-3000000000"_ba << -2147483647 - 1;
        QTest::newRow("console 1") << "VoirConsoleRar= 1 "_ba << 1;
        for (const char* text : {"yes", "2", "", "01"})
            QTest::addRow("console '%s'", text) << "VoirConsoleRar=" + QByteArray(text) << 0;
        QTest::newRow("event log 1") << "ErreurDossierEventLog=1"_ba << 1;
        QTest::newRow("purge 1") << "[Logs]\nPurgeLogs=1"_ba << 1;
    }
    void keysAsRead() {
        QFETCH(QByteArray, line);
        QFETCH(int, expected);
        QVERIFY(writeFile(ini(), "[Configuration]\r\n" + line + "\r\n"));
        const Settings s = read();
        const QByteArray key = line.mid(line.lastIndexOf('\n') + 1).split('=').front();
        const std::map<QByteArray, int> values{
            {"Langue", s.Language},
            {"Temporisation", s.DefaultDelay},
            {"Performance", s.Performance},
            {"DelaiLogs", s.LogRetention},
            {"LastFileNumber", SettingsStore(m_dir->path()).readLastFileNumber()},
            {"VoirConsoleRar", s.ShowArchiverConsole},
            {"ErreurDossierEventLog", s.WarnEventLog},
            {"PurgeLogs", s.PurgeOldLogs}};
        QCOMPARE(values.count(key) ? values.at(key) : s.DefaultDelay, expected);
    }

    // A journal folder that is no existing folder gives the program folder;
    // the key itself is never rewritten by reading. The net send text has a
    // default until one is set.
    void journalFolderAndNetSendText_data() {
        QTest::addColumn<QString>("stored"); // relative to the temporary folder
        QTest::addColumn<bool>("kept");
        QTest::newRow("existing folder") << u"/journals"_s << true;
        QTest::newRow("removed folder") << u"/gone"_s << false;
        QTest::newRow("a file") << u"/Torvanelo.ini"_s << false;
        QTest::newRow("relative") << u"journals"_s << false;
        QTest::newRow("not UTF-8") << u"/caf"_s + QChar(char16_t(0xDCE9)) << true;
    }
    void journalFolderAndNetSendText() {
        QFETCH(QString, stored);
        QFETCH(bool, kept);
        QCOMPARE(read().NetSendMessage,
                 u"Administrator \"Warning from Torvanelo: unknown folder\""_s);
        if (stored.startsWith(u'/'))
            stored.prepend(m_dir->path());
        for (const QString& folder : {u"/journals"_s, u"/caf"_s + QChar(char16_t(0xDCE9))})
            QVERIFY(::mkdir(encodeFileName(m_dir->path() + folder).constData(), 0700) == 0);
        SettingsStore store(m_dir->path());
        QVERIFY(store.setLogFolder(stored) && store.setNetSendMessage(u"ops \"disk\""_s));
        const auto before = readFile(ini());
        QCOMPARE(read().LogFolder, kept ? stored : m_dir->path());
        QCOMPARE(read().NetSendMessage, u"ops \"disk\""_s);
        QCOMPARE(readFile(ini()), before);
    }

    // A setter that cannot write says so, and the new value is in force
    // for the rest of the run all the same.
    void failedSetterKeepsTheValueInMemory() {
        SettingsStore store(m_dir->path());
        QVERIFY(store.setDefaultDelay(30) && setMode(ini(), 0444));
        QVERIFY(!asOrdinaryUser(m_dir->path(), 0555, [&] { return store.setDefaultDelay(45); }));
        QCOMPARE(store.settings().DefaultDelay, qint16(45));
        QCOMPARE(read().DefaultDelay, qint16(30));
    }

    // The number test of the dialogs and of archive names follows the
    // user's locale, and takes the C form too.
    void localeNumberFollowsTheLocale() {
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        const std::vector read{localeNumber(u"1 234,5"), localeNumber(u"1.5e3"),
                               localeNumber(u"25s")};
        QLocale::setDefault(saved);
        QVERIFY(read == (std::vector<std::optional<double>>{1234.5, 1500.0, std::nullopt}));
    }

    // Lines of upper-case UTF-16LE hex, CR LF, an empty target as "". Any
    // folder name comes back, and after a removal each pair keeps its own
    // settings under its new number.
    void pairFileKeepsNamesAndSettings() {
        std::vector<FolderPair> rows{newFolderPair(u"/"_s),
                                     pair(u"/a"_s, u"/b"_s, u"3"_s, u"1"_s, u"0"_s)};
        QVERIFY(SaveFolderPairs(*m_parameters, pairFile(), rows));
        QCOMPARE(readFile(pairFile()),
                 std::optional("\"2F00\",\"\"\r\n\"2F006100\",\"2F006200\"\r\n"_ba));
        for (const QString& name : {u"Документы"_s, u"Έγγραφα"_s,
                                    u"caf"_s + QChar(char16_t(0xDCE9)) + QChar(char16_t(0xDCFF)),
                                    u"emoji \U0001F4C1, \"quoted\""_s})
            rows.push_back(pair(path(name), path(name) + u'/', QString::number(rows.size() * 10),
                                rows.size() < 4 ? u"1"_s : u"0"_s,
                                rows.size() == 3 ? u"0"_s : u"1"_s));
        QVERIFY(SaveFolderPairs(*m_parameters, pairFile(), rows));
        QCOMPARE(texts(load().pairs), texts(rows));
        QVERIFY(readFile(pairFile()).value_or("").contains("E9DCFFDC"));
        QVERIFY(SaveFolderPairs(*m_parameters, pairFile(), {rows[0], rows[1], rows[5]}));
        QCOMPARE(texts(load().pairs), texts({rows[0], rows[1], rows[5]}));
    }

    // Loose lines and lower-case hex are read; a missing or empty section
    // gives an enabled, compressing pair of interval 1; a field that is not
    // whole UTF-16 code units refuses the whole file, left untouched.
    void readsThePairFile_data() {
        QTest::addColumn<QByteArray>("content"); // null: no pair file
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("faultLine"); // 0: no fault
        QTest::newRow("missing file") << QByteArray() << QStringList() << 0;
        QTest::newRow("empty file") << ""_ba << QStringList() << 0;
        QTest::newRow("loose lines, sections missing and empty")
            << "\n  \"2F00\" ,  2f006100\n\n\"2F006200\"x\r\n\"2F00\",\"\""_ba
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
        QVERIFY(writeFile(ini(), "[Rar_2]\nNbTemporisations=2\nRar=1\nEnable=0\n"
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
        QVERIFY(writeFile(pairFile(), "\"2F00\",\"\"\r\n"));
        QCOMPARE(asOrdinaryUser(pairFile(), 0200, [&] { return load().fault; }),
                 PairFileFault::Unreadable);
        QVERIFY(QFile::remove(pairFile()) && makeFifo(pairFile()) && makeFifo(ini()));
        QCOMPARE(load().fault, PairFileFault::Unreadable);
        QVERIFY(!SaveFolderPairs(*m_parameters, pairFile(), {newFolderPair(u"/"_s)}));
    }

    // The settings are written first; when the pair file then cannot be
    // written they go back, so the two files never disagree.
    void failedPairFileWriteRestoresTheSettings() {
        const std::vector<FolderPair> before{pair(u"/a"_s, u"/b"_s, u"5"_s, u"1"_s, u"1"_s),
                                             pair(u"/c"_s, u"/d"_s, u"7"_s, u"0"_s, u"0"_s)};
        const QString locked = path(u"locked/Torvanelo.w"_s);
        QVERIFY(QDir().mkdir(path(u"locked"_s)));
        QVERIFY(SaveFolderPairs(*m_parameters, locked, before) && setMode(locked, 0444));
        const auto ini = readFile(m_parameters->path());
        const auto pairs = readFile(locked);
        QVERIFY(!asOrdinaryUser(path(u"locked"_s), 0555, [&] {
            return SaveFolderPairs(*m_parameters, locked, {before[1]});
        }));
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

TORVANELO_TEST(ConfigFilesTest);
#include "ConfigFilesTest.moc"
