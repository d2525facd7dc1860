#include "ParametersFile.h"

#include "ConfigTestSupport.h"
#include "TestFiles.h"
#include "TestRegistry.h"

#include <QTemporaryDir>
#include <QTest>

using namespace torvanelo;
using namespace torvanelo::test;

namespace {

QByteArray longLine(qsizetype length, char fill) {
    return QByteArray(length, fill);
}

// Every byte of the literal, NULs included.
template <std::size_t N>
QByteArray bytes(const char (&literal)[N]) {
    return QByteArray(literal, N - 1);
}

} // namespace

class ParametersFileTest : public QObject {
    Q_OBJECT

    QString iniIn(const QTemporaryDir& dir) {
        return dir.filePath(QStringLiteral("Torvanelo.ini"));
    }

private slots:
    void readsByTheIniRules_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");

        const QString conf = QStringLiteral("Configuration");
        const QString delay = QStringLiteral("Temporisation");
        QTest::newRow("names in any case") << QByteArray("[CONFIGURATION]\r\ntemporisation=25\r\n")
                                           << conf << delay << QStringLiteral("25");
        QTest::newRow("value and name trimmed")
            << QByteArray("[Configuration]\n  Temporisation \t=  25 s \t\n") << conf << delay
            << QStringLiteral("25 s");
        QTest::newRow("first key wins")
            << QByteArray("[Configuration]\nTemporisation=1\nTemporisation=2\n") << conf << delay
            << QStringLiteral("1");
        QTest::newRow("duplicate section is not read")
            << QByteArray("[Configuration]\nA=1\n[Other]\n[configuration]\nTemporisation=9\n")
            << conf << delay << QString();
        QTest::newRow("other section's key")
            << QByteArray("[Logs]\nTemporisation=5\n[Configuration]\n") << conf << delay
            << QString();
        QTest::newRow("key before any section")
            << QByteArray("Temporisation=5\n[Configuration]\n") << conf << delay << QString();
        QTest::newRow("comments are not keys")
            << QByteArray("[Configuration]\n;Temporisation=5\n# Temporisation=6\n") << conf << delay
            << QString();
        QTest::newRow("empty value is missing")
            << QByteArray("[Configuration]\nTemporisation=\n") << conf << delay << QString();
        QTest::newRow("no final newline") << QByteArray("[Configuration]\r\nTemporisation=7")
                                          << conf << delay << QStringLiteral("7");
        QTest::newRow("binary bytes around")
            << bytes("\x00\xff\xfe junk\n[Configuration]\n\x01\x02=\x03\nTemporisation=8\n") << conf
            << delay << QStringLiteral("8");
        QTest::newRow("10,000-character lines")
            << (longLine(10000, 'x') + "\n[Configuration]\nTemporisation=" + longLine(10000, '4')
                + "\n")
            << conf << delay << QString(10000, u'4');
        QTest::newRow("equals sign in value")
            << QByteArray("[Configuration]\nMessageNetSend=a=b\n") << conf
            << QStringLiteral("MessageNetSend") << QStringLiteral("a=b");
        QTest::newRow("not UTF-8 kept as escapes")
            << QByteArray("[Logs]\nPathLogs=/srv/caf\xe9\n") << QStringLiteral("Logs")
            << QStringLiteral("PathLogs") << QStringLiteral("/srv/caf") + QChar(char16_t(0xDCE9));
        QTest::newRow("Cyrillic value")
            << QByteArray("[Logs]\nPathLogs=/srv/\xd0\x9f\xd0\xbb\n") << QStringLiteral("Logs")
            << QStringLiteral("PathLogs") << QStringLiteral("/srv/Пл");
    }
    void readsByTheIniRules() {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QVERIFY(writeFile(iniIn(dir), content));
        const ParametersFile file(iniIn(dir));
        QCOMPARE(file.ReadProfileValue(section, key), expected);
        QCOMPARE(file.snapshot().ReadProfileValue(section, key), expected);
    }

    void writeKeepsEveryOtherLine_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");

        const QString conf = QStringLiteral("Configuration");
        const QString delay = QStringLiteral("Temporisation");
        QTest::newRow("replace, CR LF, own spelling kept")
            << QByteArray("; mine\r\n[configuration]\r\n  TEMPORISATION = 5\r\nX=1\r\n") << conf
            << delay << QStringLiteral("25")
            << QByteArray("; mine\r\n[configuration]\r\n  TEMPORISATION =25\r\nX=1\r\n");
        QTest::newRow("new key after the section's last key, LF")
            << QByteArray("[Configuration]\nA=1\n\n; about Logs\n[Logs]\n") << conf << delay
            << QStringLiteral("3")
            << QByteArray("[Configuration]\nA=1\nTemporisation=3\n\n; about Logs\n[Logs]\n");
        QTest::newRow("new section after a last line without newline")
            << QByteArray("[Logs]\r\nLogs=1") << conf << delay << QStringLiteral("3")
            << QByteArray("[Logs]\r\nLogs=1\r\n[Configuration]\r\nTemporisation=3\r\n");
        QTest::newRow("missing final newline elsewhere survives")
            << QByteArray("[Configuration]\nA=1\n[Logs]\n;end") << conf << delay
            << QStringLiteral("3")
            << QByteArray("[Configuration]\nA=1\nTemporisation=3\n[Logs]\n;end");
        QTest::newRow("duplicate section: the first one is written")
            << QByteArray("[Configuration]\nA=1\n[Configuration]\nTemporisation=9\n") << conf
            << delay << QStringLiteral("3")
            << QByteArray(
                   "[Configuration]\nA=1\nTemporisation=3\n[Configuration]\nTemporisation=9\n");
        const QByteArray binary = bytes("\x00\xff\r\x7f junk without equals\r\n");
        const QByteArray huge = longLine(10000, 'z');
        QTest::newRow("binary and 10,000-character lines")
            << (binary + huge + "\r\n[Configuration]\r\n" + huge + "=" + huge + "\r\n") << conf
            << delay << QStringLiteral("3")
            << (binary + huge + "\r\n[Configuration]\r\n" + huge + "=" + huge
                + "\r\nTemporisation=3\r\n");
        QTest::newRow("value longer than 254 characters kept whole")
            << QByteArray() << QStringLiteral("Logs") << QStringLiteral("PathLogs")
            << (QStringLiteral("/") + QString(300, u'p'))
            << ("[Logs]\r\nPathLogs=/" + longLine(300, 'p') + "\r\n");
        QTest::newRow("escaped bytes written back as bytes")
            << QByteArray() << QStringLiteral("Logs") << QStringLiteral("PathLogs")
            << (QStringLiteral("/caf") + QChar(char16_t(0xDCE9)))
            << QByteArray("[Logs]\r\nPathLogs=/caf\xe9\r\n");
    }
    void writeKeepsEveryOtherLine() {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        QTemporaryDir dir;
        if (!before.isEmpty())
            QVERIFY(writeFile(iniIn(dir), before));
        ParametersFile file(iniIn(dir));
        QVERIFY(file.WriteProfileValue(section, key, value));
        QCOMPARE(readFile(iniIn(dir)).value_or("unreadable"), after);
        QCOMPARE(file.ReadProfileValue(section, key), value);
        QCOMPARE(namesIn(dir.path()), QStringList{QStringLiteral("Torvanelo.ini")});
    }

    void refusesValuesThatBreakLines_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("LF") << QStringLiteral("a\nB=2");
        QTest::newRow("CR") << QStringLiteral("a\rb");
        QTest::newRow("NUL") << QStringLiteral("a") + QChar(u'\0');
    }
    void refusesValuesThatBreakLines() {
        QFETCH(QString, value);
        QTemporaryDir dir;
        const QByteArray before("[Configuration]\nA=1\n");
        QVERIFY(writeFile(iniIn(dir), before));
        ParametersFile file(iniIn(dir));
        // The batch is all or nothing: the good key before it is not written.
        QVERIFY(!file.WriteProfileValues(
            {{QStringLiteral("Configuration"), QStringLiteral("B"), QStringLiteral("2")},
             {QStringLiteral("Configuration"), QStringLiteral("A"), value}}));
        QCOMPARE(readFile(iniIn(dir)).value_or("unreadable"), before);
    }

    void readOnlyFolderLeavesTheOldFile() {
        QTemporaryDir dir;
        const QByteArray before("[Configuration]\r\nTemporisation=5\r\n");
        QVERIFY(writeFile(iniIn(dir), before));
        ParametersFile file(iniIn(dir));
        QVERIFY(changeMode(dir.path(), 0555));
        bool written = true;
        {
            const PermissionsEnforced enforced;
            written =
                file.WriteProfileValue(u"Configuration", u"Temporisation", QStringLiteral("9"));
        }
        QVERIFY(changeMode(dir.path(), 0755));
        QVERIFY(!written);
        QCOMPARE(readFile(iniIn(dir)).value_or("unreadable"), before);
        QCOMPARE(namesIn(dir.path()), QStringList{QStringLiteral("Torvanelo.ini")});
    }

    void unreadableFileIsNotReplaced() {
        QTemporaryDir dir;
        const QByteArray before("[Configuration]\r\nTemporisation=5\r\n");
        QVERIFY(writeFile(iniIn(dir), before));
        QVERIFY(changeMode(iniIn(dir), 0200));
        ParametersFile file(iniIn(dir));
        bool written = true;
        QString read;
        {
            const PermissionsEnforced enforced;
            read = file.ReadProfileValue(u"Configuration", u"Temporisation");
            written = file.WriteProfileValue(u"Configuration", u"Langue", QStringLiteral("1"));
        }
        QVERIFY(changeMode(iniIn(dir), 0644));
        QCOMPARE(read, QString());
        QVERIFY(!written);
        QCOMPARE(readFile(iniIn(dir)).value_or("unreadable"), before);
    }

    void writeKeepsPermissionsAndFollowsLinks() {
        QTemporaryDir dir;
        const QString real = dir.filePath(QStringLiteral("real.ini"));
        QVERIFY(writeFile(real, "[Logs]\nLogs=0\n"));
        QVERIFY(changeMode(real, 0600));
        QVERIFY(QFile::link(real, iniIn(dir)));
        ParametersFile file(iniIn(dir));
        QVERIFY(file.WriteProfileValue(u"Logs", u"Logs", QStringLiteral("1")));
        QVERIFY(QFileInfo(iniIn(dir)).isSymLink());
        QCOMPARE(readFile(real).value_or("unreadable"), QByteArray("[Logs]\nLogs=1\n"));
        QCOMPARE(modeOf(real), mode_t(0600));
    }
};

TORVANELO_TEST(ParametersFileTest);
#include "ParametersFileTest.moc"
