#include "SettingsStore.h"

#include "ConfigTestSupport.h"
#include "TestFiles.h"
#include "TestRegistry.h"

#include <QTemporaryDir>
#include <QTest>

using namespace torvanelo;
using namespace torvanelo::test;

namespace {

Settings readSettings(const QString& programFolder) {
    SettingsStore store(programFolder);
    store.readLanguage();
    store.readRemaining();
    return store.settings();
}

} // namespace

class SettingsStoreTest : public QObject {
    Q_OBJECT

private slots:
    void noFileGivesEveryDefault() {
        QTemporaryDir dir;
        const Settings s = readSettings(dir.path());
        QCOMPARE(s.ParametersFile, dir.path() + QStringLiteral("/Torvanelo.ini"));
        QCOMPARE(s.PairFile, dir.path() + QStringLiteral("/Torvanelo.w"));
        QCOMPARE(s.Language, qint16(0));
        QCOMPARE(s.DefaultDelay, qint16(10));
        QCOMPARE(s.Performance, qint16(1));
        QCOMPARE(s.CompressedPrefix, QStringLiteral("RA"));
        QCOMPARE(s.NetSendMessage,
                 QStringLiteral("Administrator \"Warning from Torvanelo: unknown folder\""));
        QCOMPARE(s.LogFolder, dir.path());
        QCOMPARE(s.LogRetention, qint16(10));
        QVERIFY(!s.ShowArchiverConsole && !s.AutoStart && !s.LogEnabled && !s.WarnEventLog);
        QVERIFY(!QFile::exists(s.ParametersFile));
    }

    // One line of the file and the value each integer field then holds.
    void integerKeys_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("delay");
        QTest::addColumn<int>("performance");
        QTest::addColumn<int>("retention");
        QTest::newRow("delay 0") << QByteArray("Temporisation=0") << 0 << 10 << 1 << 10;
        QTest::newRow("delay abc") << QByteArray("Temporisation=abc") << 0 << 10 << 1 << 10;
        QTest::newRow("delay 25s") << QByteArray("Temporisation=25s") << 0 << 25 << 1 << 10;
        QTest::newRow("delay 2.5 to even") << QByteArray("Temporisation=2.5") << 0 << 2 << 1 << 10;
        QTest::newRow("delay 0.4 rounds to 0")
            << QByteArray("Temporisation=0.4") << 0 << 10 << 1 << 10;
        QTest::newRow("delay negative") << QByteArray("Temporisation=-5") << 0 << 10 << 1 << 10;
        QTest::newRow("delay overflow clamps")
            << QByteArray("Temporisation=40000") << 0 << 32767 << 1 << 10;
        QTest::newRow("performance 0") << QByteArray("Performance=0") << 0 << 10 << 1 << 10;
        QTest::newRow("retention 366")
            << QByteArray("[Logs]\nDelaiLogs=366") << 0 << 10 << 1 << 366;
        QTest::newRow("retention negative")
            << QByteArray("[Logs]\nDelaiLogs=-3") << 0 << 10 << 1 << 10;
        QTest::newRow("French") << QByteArray("Langue=1") << 1 << 10 << 1 << 10;
        QTest::newRow("language empty") << QByteArray("Langue=") << 0 << 10 << 1 << 10;
        QTest::newRow("language other kept") << QByteArray("Langue=7") << 7 << 10 << 1 << 10;
        QTest::newRow("language underflow clamps")
            << QByteArray("Langue=-99999") << -32768 << 10 << 1 << 10;
    }
    void integerKeys() {
        QFETCH(QByteArray, line);
        QFETCH(int, language);
        QFETCH(int, delay);
        QFETCH(int, performance);
        QFETCH(int, retention);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(QStringLiteral("Torvanelo.ini")),
                          "[Configuration]\r\n" + line + "\r\n"));
        const Settings s = readSettings(dir.path());
        QCOMPARE(int(s.Language), language);
        QCOMPARE(int(s.DefaultDelay), delay);
        QCOMPARE(int(s.Performance), performance);
        QCOMPARE(int(s.LogRetention), retention);
    }

    void yesNoOnlyExactlyOne_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("expected");
        QTest::newRow("1") << QByteArray("1") << true;
        QTest::newRow("1 with blanks") << QByteArray(" 1 ") << true;
        QTest::newRow("yes") << QByteArray("yes") << false;
        QTest::newRow("2") << QByteArray("2") << false;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("01") << QByteArray("01") << false;
    }
    void yesNoOnlyExactlyOne() {
        QFETCH(QByteArray, value);
        QFETCH(bool, expected);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(QStringLiteral("Torvanelo.ini")),
                          "[Configuration]\nVoirConsoleRar=" + value + "\nErreurDossierEventLog="
                              + value + "\n[Logs]\nPurgeLogs=" + value + "\n"));
        const Settings s = readSettings(dir.path());
        QCOMPARE(s.ShowArchiverConsole, expected);
        QCOMPARE(s.WarnEventLog, expected);
        QCOMPARE(s.PurgeOldLogs, expected);
    }

    void textKeysAsStored() {
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(QStringLiteral("Torvanelo.ini")),
                          "[Configuration]\nPrefixeFichiersCompresses=abc\n"
                          "MessageNetSend=ops \"disk\"\n"));
        const Settings s = readSettings(dir.path());
        QCOMPARE(s.CompressedPrefix, QStringLiteral("abc"));
        QCOMPARE(s.NetSendMessage, QStringLiteral("ops \"disk\""));
    }

    void journalFolder_data() {
        QTest::addColumn<QString>("stored"); // "<tmp>" stands for the temporary folder
        QTest::addColumn<bool>("kept");
        QTest::newRow("existing folder") << QStringLiteral("<tmp>/journals") << true;
        QTest::newRow("removed folder") << QStringLiteral("<tmp>/gone") << false;
        QTest::newRow("a file") << QStringLiteral("<tmp>/file") << false;
        QTest::newRow("relative") << QStringLiteral("journals") << false;
        QTest::newRow("not UTF-8 folder")
            << QStringLiteral("<tmp>/caf") + QChar(char16_t(0xDCE9)) << true;
    }
    void journalFolder() {
        QFETCH(QString, stored);
        QFETCH(bool, kept);
        QTemporaryDir dir;
        stored.replace(QStringLiteral("<tmp>"), dir.path());
        QVERIFY(makeFolder(dir.filePath(QStringLiteral("journals"))));
        QVERIFY(makeFolder(dir.path() + QStringLiteral("/caf") + QChar(char16_t(0xDCE9))));
        QVERIFY(writeFile(dir.filePath(QStringLiteral("file")), "x"));
        {
            SettingsStore writer(dir.path());
            QVERIFY(writer.setLogFolder(stored));
        }
        const QByteArray before = readFile(dir.filePath(QStringLiteral("Torvanelo.ini"))).value();
        const Settings s = readSettings(dir.path());
        QCOMPARE(s.LogFolder, kept ? stored : dir.path());
        // Reading never rewrites the key.
        QCOMPARE(readFile(dir.filePath(QStringLiteral("Torvanelo.ini"))).value(), before);
    }

    void settersWriteAndKeepTheValueInMemory() {
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        QVERIFY(store.setDefaultDelay(30));
        QVERIFY(store.setAutoStart(true));
        QVERIFY(store.setLanguage(1));
        QVERIFY(store.setLogRetention(366));
        QVERIFY(store.setNetSendMessage(QStringLiteral("Bob \"x\"")));
        Settings reread = readSettings(dir.path());
        QCOMPARE(reread.DefaultDelay, qint16(30));
        QVERIFY(reread.AutoStart);
        QCOMPARE(reread.Language, qint16(1));
        QCOMPARE(reread.LogRetention, qint16(366));
        QCOMPARE(reread.NetSendMessage, QStringLiteral("Bob \"x\""));

        QVERIFY(changeMode(dir.path(), 0555));
        bool written = true;
        {
            const PermissionsEnforced enforced;
            written = store.setDefaultDelay(45);
        }
        QVERIFY(changeMode(dir.path(), 0755));
        QVERIFY(!written);
        QCOMPARE(store.settings().DefaultDelay, qint16(45));
        QCOMPARE(readSettings(dir.path()).DefaultDelay, qint16(30));
    }

    void lastFileNumber_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<qint32>("expected");
        QTest::newRow("missing") << QByteArray() << 0;
        QTest::newRow("empty") << QByteArray("[Processing]\nLastFileNumber=\n") << 0;
        QTest::newRow("plain") << QByteArray("[Processing]\nLastFileNumber=999999\n") << 999999;
        QTest::newRow("12.5 to even") << QByteArray("[Processing]\nLastFileNumber=12.5\n") << 12;
        QTest::newRow("13.5 to even") << QByteArray("[Processing]\nLastFileNumber=13.5\n") << 14;
        QTest::newRow("overflow clamps")
            << QByteArray("[Processing]\nLastFileNumber=3000000000\n") << qint32(2147483647);
        QTest::newRow("underflow clamps")
            << QByteArray("[Processing]\nLastFileNumber=-3000000000\n") << qint32(-2147483647 - 1);
    }
    void lastFileNumber() {
        QFETCH(QByteArray, content);
        QFETCH(qint32, expected);
        QTemporaryDir dir;
        if (!content.isEmpty())
            QVERIFY(writeFile(dir.filePath(QStringLiteral("Torvanelo.ini")), content));
        const SettingsStore store(dir.path());
        QCOMPARE(store.readLastFileNumber(), expected);
    }

    void lastFileNumberIsReadAfresh() {
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        QVERIFY(store.writeLastFileNumber(41));
        QCOMPARE(store.readLastFileNumber(), 41);
        // Another writer of the file (an edit by hand) is seen at once.
        SettingsStore other(dir.path());
        QVERIFY(other.writeLastFileNumber(7));
        QCOMPARE(store.readLastFileNumber(), 7);
    }
};

TORVANELO_TEST(SettingsStoreTest);
#include "SettingsStoreTest.moc"
