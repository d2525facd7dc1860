#include "SettingsStore.h"

#include "NameCodec.h"
#include "NumericText.h"
#include "PermissionsEnforced.h"
#include "TestFiles.h"
#include "TestRegistry.h"

#include <QDir>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <sys/stat.h>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::StringLiterals;

class SettingsStoreTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString ini() const { return m_dir->filePath(u"Torvanelo.ini"_s); }
    Settings read() const {
        SettingsStore store(m_dir->path());
        store.readLanguage();
        store.readRemaining();
        return store.settings();
    }

private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

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
        QTest::newRow("French") << "Langue=1"_ba << 1;
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

    // The net send text until one is set.
    void netSendTextUntilOneIsSet() {
        QCOMPARE(read().NetSendMessage,
                 u"Administrator \"Warning from Torvanelo: unknown folder\""_s);
        QVERIFY(writeFile(ini(), "[Configuration]\nMessageNetSend=ops \"disk\"\n"));
        QCOMPARE(read().NetSendMessage, u"ops \"disk\""_s);
    }

    // A journal folder that is no existing folder gives the program folder;
    // the key itself is never rewritten by reading.
    void journalFolder_data() {
        QTest::addColumn<QString>("stored"); // relative to the temporary folder
        QTest::addColumn<bool>("kept");
        QTest::newRow("existing folder") << u"/journals"_s << true;
        QTest::newRow("removed folder") << u"/gone"_s << false;
        QTest::newRow("a file") << u"/Torvanelo.ini"_s << false;
        QTest::newRow("relative") << u"journals"_s << false;
        QTest::newRow("not UTF-8") << u"/caf"_s + QChar(char16_t(0xDCE9)) << true;
    }
    void journalFolder() {
        QFETCH(QString, stored);
        QFETCH(bool, kept);
        if (stored.startsWith(u'/'))
            stored.prepend(m_dir->path());
        for (const QString& folder : {u"/journals"_s, u"/caf"_s + QChar(char16_t(0xDCE9))})
            QVERIFY(::mkdir(encodeFileName(m_dir->path() + folder).constData(), 0700) == 0);
        QVERIFY(SettingsStore(m_dir->path()).setLogFolder(stored));
        const auto before = readFile(ini());
        QCOMPARE(read().LogFolder, kept ? stored : m_dir->path());
        QCOMPARE(readFile(ini()), before);
    }

    // A setter that cannot write says so, and the new value is in force
    // for the rest of the run all the same.
    void failedSetterKeepsTheValueInMemory() {
        SettingsStore store(m_dir->path());
        QVERIFY(store.setDefaultDelay(30) && store.setAutoStart(true));
        QVERIFY(setMode(m_dir->path(), 0555));
        bool written = true;
        {
            const PermissionsEnforced ordinaryUser;
            written = store.setDefaultDelay(45);
        }
        QVERIFY(setMode(m_dir->path(), 0700));
        QVERIFY(!written);
        QCOMPARE(store.settings().DefaultDelay, qint16(45));
        QCOMPARE(read().DefaultDelay, qint16(30));
        QVERIFY(read().AutoStart);
    }

    // The number test of the dialogs and of archive names follows the
    // user's locale, and takes the C form too.
    void localeNumberFollowsTheLocale() {
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        const auto comma = localeNumber(u"1 234,5");
        const auto cForm = localeNumber(u"1.5e3");
        const auto unit = localeNumber(u"25s");
        QLocale::setDefault(saved);
        QCOMPARE(comma, std::optional(1234.5));
        QCOMPARE(cForm, std::optional(1500.0));
        QVERIFY(!unit);
    }
};

TORVANELO_TEST(SettingsStoreTest);
#include "SettingsStoreTest.moc"
