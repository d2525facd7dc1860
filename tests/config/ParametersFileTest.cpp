#include "ParametersFile.h"

#include "PermissionsEnforced.h"
#include "TestFiles.h"
#include "TestRegistry.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::StringLiterals;

class ParametersFileTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString ini() const { return m_dir->filePath(u"Torvanelo.ini"_s); }

private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    // Odd content is read by the INI rules without harm (the value of
    // Configuration/Temporisation).
    void readsByTheIniRules_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        QTest::newRow("names in any case")
            << "[CONFIGURATION]\r\ntemporisation=25\r\n"_ba << u"25"_s;
        QTest::newRow("value and name trimmed, '=' in the value")
            << "[Configuration]\n  Temporisation \t=  25 s=b \t\n"_ba << u"25 s=b"_s;
        QTest::newRow("first key wins")
            << "[Configuration]\nTemporisation=1\nTemporisation=2\n"_ba << u"1"_s;
        QTest::newRow("duplicate section is not read")
            << "[Configuration]\nA=1\n[Other]\n[configuration]\nTemporisation=9\n"_ba << QString();
        QTest::newRow("other section's key, key before any section")
            << "Temporisation=4\n[Logs]\nTemporisation=5\n[Configuration]\n"_ba << QString();
        QTest::newRow("comments are not keys")
            << "[Configuration]\n;Temporisation=5\n# Temporisation=6\n"_ba << QString();
        QTest::newRow("empty value is missing")
            << "[Configuration]\nTemporisation=\n"_ba << QString();
        QTest::newRow("no final newline") << "[Configuration]\r\nTemporisation=7"_ba << u"7"_s;
        QTest::newRow("binary bytes around") << QByteArray(
            "\x00\xff\xfe junk\n[Configuration]\n\x01\x02=\x03\nTemporisation=8\n", 46)
                                             << u"8"_s;
        QTest::newRow("10,000-character lines")
            << QByteArray(10000, 'x') + "\n[Configuration]\nTemporisation=" + QByteArray(10000, '4')
            << QString(10000, u'4');
        QTest::newRow("UTF-8, and other bytes kept as escapes")
            << "[Configuration]\nTemporisation=/srv/\xd0\x9f\xd0\xbb/caf\xe9\n"_ba
            << u"/srv/Пл/caf"_s + QChar(char16_t(0xDCE9));
    }
    void readsByTheIniRules() {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        QVERIFY(writeFile(ini(), content));
        const ParametersFile file(ini());
        QCOMPARE(file.ReadProfileValue(u"Configuration", u"Temporisation"), expected);
        QCOMPARE(file.snapshot().ReadProfileValue(u"configuration", u"TEMPORISATION"), expected);
    }

    // A write changes its own line and keeps every other byte; the file is
    // replaced whole, with nothing left beside it.
    void writeKeepsEveryOtherLine_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("value"); // of Configuration/Temporisation
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("replace, CR LF, own spelling kept")
            << "; mine\r\n[configuration]\r\n  TEMPORISATION = 5\r\nX=1\r\n"_ba << u"25"_s
            << "; mine\r\n[configuration]\r\n  TEMPORISATION =25\r\nX=1\r\n"_ba;
        QTest::newRow("new key after the section's last key, LF, no final newline")
            << "[Configuration]\nA=1\n\n; about Logs\n[Logs]\n;end"_ba << u"3"_s
            << "[Configuration]\nA=1\nTemporisation=3\n\n; about Logs\n[Logs]\n;end"_ba;
        QTest::newRow("new section after a last line without newline")
            << "[Logs]\r\nLogs=1"_ba << u"3"_s
            << "[Logs]\r\nLogs=1\r\n[Configuration]\r\nTemporisation=3\r\n"_ba;
        QTest::newRow("duplicate section: the first one is written")
            << "[Configuration]\nA=1\n[Configuration]\nTemporisation=9\n"_ba << u"3"_s
            << QByteArray(
                   "[Configuration]\nA=1\nTemporisation=3\n[Configuration]\nTemporisation=9\n");
        const QByteArray binary = "\x00\xff\r\x7f no equals\r\n"_ba;
        const QByteArray huge(10000, 'z');
        QTest::newRow("binary and 10,000-character lines")
            << binary + huge + "\r\n[Configuration]\r\n" + huge + "=" + huge + "\r\n"
            << u"3"_s
            << binary + huge + "\r\n[Configuration]\r\n" + huge + "=" + huge
                   + "\r\nTemporisation=3\r\n";
        QTest::newRow("no file, value longer than 254 characters")
            << QByteArray() << u"/"_s + QString(300, u'p')
            << "[Configuration]\r\nTemporisation=/" + QByteArray(300, 'p') + "\r\n";
        QTest::newRow("escaped bytes written back as bytes")
            << QByteArray() << u"/caf"_s + QChar(char16_t(0xDCE9))
            << "[Configuration]\r\nTemporisation=/caf\xe9\r\n"_ba;
    }
    void writeKeepsEveryOtherLine() {
        QFETCH(QByteArray, before);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        QVERIFY(before.isEmpty() || writeFile(ini(), before));
        ParametersFile file(ini());
        QVERIFY(file.WriteProfileValue(u"Configuration", u"Temporisation", value));
        QCOMPARE(readFile(ini()), std::optional(after));
        QCOMPARE(file.ReadProfileValue(u"Configuration", u"Temporisation"), value);
        QCOMPARE(namesIn(m_dir->path()), QStringList{u"Torvanelo.ini"_s});
    }

    // A value that would break the line (and could plant other keys) is
    // refused, and a batch is written all or nothing; a file that cannot
    // be read, or a folder that refuses the new file, keeps the old one.
    void failedWriteLeavesTheFileAsItWas_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("locked"); // "", "file" (unreadable) or "folder" (read-only)
        QTest::newRow("LF") << u"a\nB=2"_s << QString();
        QTest::newRow("CR") << u"a\rb"_s << QString();
        QTest::newRow("NUL") << u"a"_s + QChar(u'\0') << QString();
        QTest::newRow("unreadable file") << u"9"_s << u"file"_s;
        QTest::newRow("read-only folder") << u"9"_s << u"folder"_s;
    }
    void failedWriteLeavesTheFileAsItWas() {
        QFETCH(QString, value);
        QFETCH(QString, locked);
        const QByteArray before("[Configuration]\r\nTemporisation=5\r\n");
        QVERIFY(writeFile(ini(), before));
        const QString path = locked == u"file" ? ini() : m_dir->path();
        QVERIFY(locked.isEmpty() || setMode(path, locked == u"file" ? 0200 : 0555));
        ParametersFile file(ini());
        bool written = true;
        QString read;
        {
            const PermissionsEnforced ordinaryUser;
            read = file.ReadProfileValue(u"Configuration", u"Temporisation");
            written = file.WriteProfileValues({{u"Configuration"_s, u"Langue"_s, u"1"_s},
                                               {u"Configuration"_s, u"Temporisation"_s, value}});
        }
        QVERIFY(setMode(path, locked == u"file" ? 0600 : 0700));
        QVERIFY(!written);
        QCOMPARE(read, locked == u"file" ? QString() : u"5"_s);
        QCOMPARE(readFile(ini()), std::optional(before));
        QCOMPARE(namesIn(m_dir->path()), QStringList{u"Torvanelo.ini"_s});
    }

    // A parameters file kept elsewhere through a link stays there, with its
    // permissions.
    void writeKeepsPermissionsAndFollowsLinks() {
        const QString real = m_dir->filePath(u"real.ini"_s);
        QVERIFY(writeFile(real, "[Logs]\nLogs=0\n") && setMode(real, 0600));
        QVERIFY(QFile::link(real, ini()));
        QVERIFY(ParametersFile(ini()).WriteProfileValue(u"Logs", u"Logs", u"1"_s));
        QVERIFY(QFileInfo(ini()).isSymLink());
        QCOMPARE(readFile(real), std::optional("[Logs]\nLogs=1\n"_ba));
        QCOMPARE(QFile::permissions(real) & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
    }
};

TORVANELO_TEST(ParametersFileTest);
#include "ParametersFileTest.moc"
