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
    // their default.
    void integerKeys_data() {
        QTest::addColumn<QByteArray>("line"); // of section Configuration
        QTest::addColumn<int>("expected");    // of the field the key feeds
        QTest::newRow("no key: delay") << QByteArray() << 10;
        for (const char* text : {"0", "abc", "0.4", "-5", "0x1F", " "})
            QTest::addRow("delay %s", text) << "Temporisation=" + QByteArray(text) << 10;
        QTest::newRow("unit after") << QByteArray("Temporisation=25s") << 25;
        QTest::newRow("2.5 to even") << QByteArray("Temporisation=2.5") << 2;
        QTest::newRow("3.5 to even") << QByteArray("Temporisation=3.5") << 4;
        QTest::newRow("exponent, junk") << QByteArray("Temporisation=1e3x") << 1000;
        QTest::newRow("blank, point") << QByteArray("Temporisation= \t.5e1") << 5;
        QTest::newRow("blank ends it") << QByteArray("Temporisation=1 2") << 1;
        QTest::newRow("overflow clamps") << QByteArray("Temporisation=40000") << 32767;
        QTest::newRow("out of range") << QByteArray("Temporisation=1e999") << 32767;
        QTest::newRow("performance 0") << QByteArray("Performance=0") << 1;
        QTest::newRow("retention 366") << QByteArray("[Logs]\nDelaiLogs=366") << 366;
        QTest::newRow("retention negative") << QByteArray("[Logs]\nDelaiLogs=-3") << 10;
        QTest::newRow("French") << QByteArray("Langue=1") << 1;
        QTest::newRow("language empty") << QByteArray("Langue=") << 0;
        QTest::newRow("language other kept") << QByteArray("Langue=7") << 7;
        QTest::newRow("language underflow clamps") << QByteArray("Langue=-99999") << -32768;
        QTest::newRow("counter missing") << QByteArray("[Processing]\nLastFileNumber=") << 0;
        QTest::newRow("counter 12.5") << QByteArray("[Processing]\nLastFileNumber=12.5") << 12;
        QTest::newRow("counter 13.5") << QByteArray("[Processing]\nLastFileNumber=13.5") << 14;
        QTest::newRow("counter overflow")
            << QByteArray("[Processing]\nLastFileNumber=3000000000") << 2147483647;
        QTest::newRow("counter underflow")
            << QByteArray("[Processing]\nLastFileNumber=-3000000000") << -2147483647 - 1;
    }
    void integerKeys() {
        QFETCH(QByteArray, line);
        QFETCH(int, expected);
        QVERIFY(writeFile(ini(), "[Configuration]\r\n" + line + "\r\n"));
        const Settings s = read();
        const int value = line.contains("Langue")        ? s.Language
                          : line.contains("Performance") ? s.Performance
                          : line.contains("DelaiLogs")   ? s.LogRetention
                          : line.contains("LastFileNumber")
                              ? SettingsStore(m_dir->path()).readLastFileNumber()
                              : s.DefaultDelay;
        QCOMPARE(value, expected);
    }

    // The counter is read afresh at each use: an edit by hand is seen.
    void counterIsReadAfresh() {
        SettingsStore store(m_dir->path());
        QVERIFY(store.writeLastFileNumber(41));
        QCOMPARE(store.readLastFileNumber(), 41);
        QVERIFY(SettingsStore(m_dir->path()).writeLastFileNumber(7));
        QCOMPARE(store.readLastFileNumber(), 7);
    }

    void yesNoOnlyExactlyOne_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("expected");
        QTest::newRow("1") << QByteArray("1") << true;
        QTest::newRow("1 with blanks") << QByteArray(" 1 ") << true;
        for (const char* value : {"yes", "2", "", "01"})
            QTest::addRow("'%s'", value) << QByteArray(value) << false;
    }
    void yesNoOnlyExactlyOne() {
        QFETCH(QByteArray, value);
        QFETCH(bool, expected);
        QVERIFY(writeFile(ini(), "[Configuration]\nVoirConsoleRar=" + value
                                     + "\nErreurDossierEventLog=" + value
                                     + "\n[Logs]\nPurgeLogs=" + value + "\n"));
        const Settings s = read();
        QCOMPARE(s.ShowArchiverConsole, expected);
        QCOMPARE(s.WarnEventLog, expected);
        QCOMPARE(s.PurgeOldLogs, expected);
    }

    // Without a file every default applies and nothing is written; text
    // keys are then taken as stored, unchecked.
    void textKeys() {
        Settings s = read();
        QCOMPARE(s.ParametersFile, m_dir->path() + u"/Torvanelo.ini"_s);
        QCOMPARE(s.PairFile, m_dir->path() + u"/Torvanelo.w"_s);
        QCOMPARE(s.CompressedPrefix, u"RA"_s);
        QCOMPARE(s.NetSendMessage, u"Administrator \"Warning from Torvanelo: unknown folder\""_s);
        QCOMPARE(s.LogFolder, m_dir->path());
        QVERIFY(!QFile::exists(ini()));
        QVERIFY(writeFile(ini(), "[Configuration]\nPrefixeFichiersCompresses=abc\n"
                                 "MessageNetSend=ops \"disk\"\n"));
        s = read();
        QCOMPARE(s.CompressedPrefix, u"abc"_s);
        QCOMPARE(s.NetSendMessage, u"ops \"disk\""_s);
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
    void localeNumber_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected"); // -1: not a number
        QTest::newRow("en groups") << u"en_US"_s << u"1,234.5"_s << 1234.5;
        QTest::newRow("en exponent") << u"en_US"_s << u"-1.5e3"_s << -1500.0;
        QTest::newRow("fr decimal comma") << u"fr_FR"_s << u"2,5"_s << 2.5;
        QTest::newRow("fr group blank") << u"fr_FR"_s << u"1 234,5"_s << 1234.5;
        QTest::newRow("fr takes the C form") << u"fr_FR"_s << u"1.5e3"_s << 1500.0;
        for (const char* text : {"abc", "", "1 2", "25s", "nan", "1e999"})
            QTest::addRow("'%s'", text) << u"en_US"_s << QString::fromLatin1(text) << -1.0;
    }
    void localeNumber() {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(double, expected);
        const QLocale saved;
        QLocale::setDefault(QLocale(locale));
        const auto value = torvanelo::localeNumber(text);
        QLocale::setDefault(saved);
        QCOMPARE(value.value_or(-1.0), expected);
    }
};

TORVANELO_TEST(SettingsStoreTest);
#include "SettingsStoreTest.moc"
