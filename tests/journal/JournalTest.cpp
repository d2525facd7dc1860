#include "DailyLog.h"
#include "FaultyFileSystem.h"
#include "HtmlText.h"
#include "NameCodec.h"
#include "Settings.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "Texts.h"
#include "linux/LinuxFileSystem.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace torvanelo;
using torvanelo::test::FaultyFileSystem;

namespace {

const QLocale English(QLocale::English, QLocale::UnitedStates);
const QLocale French(QLocale::French, QLocale::France);
const QDate May12(2001, 5, 12);

QString journalName(const QDate& date) {
    return QStringLiteral("Log Torvanelo ") + date.toString(u"yyyy-MM-dd") + QStringLiteral(".htm");
}

QStringList sortedEntries(const QString& folder) {
    QStringList names =
        QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    names.sort();
    return names;
}

} // namespace

class JournalTest : public QObject {
    Q_OBJECT

private slots:
    void namesTheDaysJournal() {
        QCOMPARE(DailyLogPath(QStringLiteral("/srv/journaux"), May12),
                 QStringLiteral("/srv/journaux/Log Torvanelo 2001-05-12.htm"));
        QCOMPARE(DailyLogPath(QStringLiteral("/"), May12),
                 QStringLiteral("/Log Torvanelo 2001-05-12.htm"));
    }

    void createsTheHeaderOnce_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QByteArray>("header");
        const QByteArray common = "<html>\r\n<head>\r\n<title>Logs Torvanelo</title>\r\n"
                                  "</head>\r\n<body>\r\n";
        QTest::newRow("english") << LanguageEnglish << English
                                 << common
                                        + "<b><center><h1>Rar/Unrar Logs</h1></center></b>\r\n"
                                          "<center><h3>Saturday, May 12, 2001</h3></center>\r\n";
        QTest::newRow("french") << LanguageFrench << French
                                << common
                                       + "<b><center><h1>Journal des compressions/d\xe9"
                                         "compressions</h1></center></b>\r\n"
                                         "<center><h3>samedi 12 mai 2001</h3></center>\r\n";
    }
    void createsTheHeaderOnce() {
        QFETCH(int, language);
        QFETCH(QLocale, locale);
        QFETCH(QByteArray, header);
        QTemporaryDir folder;
        LinuxFileSystem files;
        Settings settings;
        settings.Language = qint16(language);
        const QString path = DailyLogPath(folder.path(), May12);

        QVERIFY(OpenDailyLog(files, path, settings, May12, locale));
        QCOMPARE(test::readFile(path), header);
        QCOMPARE(header.count("\r\n"), 7);

        // A second pass of the day only appends.
        settings.Language = qint16(language == LanguageFrench ? LanguageEnglish : LanguageFrench);
        QVERIFY(OpenDailyLog(files, path, settings, May12, locale));
        QVERIFY(AppendLogLine(files, path, QStringLiteral("entry")));
        QCOMPARE(test::readFile(path), header + "entry\r\n");
    }

    void neverRewritesAnExistingJournal_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("no header") << QByteArray("<b>old</b>\r\n");
        QTest::newRow("binary") << QByteArray("\x00\xff\x80", 3);
    }
    void neverRewritesAnExistingJournal() {
        QFETCH(QByteArray, content);
        QTemporaryDir folder;
        LinuxFileSystem files;
        Settings settings;
        settings.PurgeOldLogs = true;
        settings.LogRetention = 2;
        const QString path = DailyLogPath(folder.path(), May12);
        QVERIFY(test::writeFile(path, content));
        for (int day = 1; day <= 5; ++day)
            QVERIFY(test::writeFile(folder.filePath(journalName(QDate(2001, 4, day))), "x"));

        QVERIFY(OpenDailyLog(files, path, settings, May12, English));
        QCOMPARE(test::readFile(path), content);
        // The purge runs only when the day's journal is created.
        QCOMPARE(sortedEntries(folder.path()).size(), 6);
    }

    void purgesDownToTheRetention_data() {
        QTest::addColumn<int>("older");
        QTest::addColumn<int>("retention");
        QTest::addColumn<bool>("purge");
        QTest::addColumn<int>("deleted");
        QTest::newRow("exactly the retention: nothing") << 10 << 10 << true << 0;
        QTest::newRow("one more: the two oldest") << 11 << 10 << true << 2;
        QTest::newRow("25 older: the 16 oldest") << 25 << 10 << true << 16;
        QTest::newRow("fewer than the retention") << 3 << 10 << true << 0;
        QTest::newRow("purge off") << 25 << 10 << false << 0;
        QTest::newRow("smallest retention") << 5 << 2 << true << 4;
        QTest::newRow("retention below one keeps only the new") << 4 << 0 << true << 4;
    }
    void purgesDownToTheRetention() {
        QFETCH(int, older);
        QFETCH(int, retention);
        QFETCH(bool, purge);
        QFETCH(int, deleted);
        QTemporaryDir folder;
        LinuxFileSystem files;
        Settings settings;
        settings.PurgeOldLogs = purge;
        settings.LogRetention = qint16(retention);
        // Created newest first, so that the listing order is not the age order.
        QStringList journals;
        for (int i = older; i >= 1; --i) {
            const QString name = journalName(May12.addDays(-i));
            journals.prepend(name);
            QVERIFY(test::writeFile(folder.filePath(name), "old"));
        }
        journals.sort();
        const QStringList others = {
            QStringLiteral("Log Torvanelo.txt"),
            QStringLiteral("log torvanelo 2000-01-01.htm"),
            QStringLiteral("Log Torvanelo 2000-01-01.html"),
            QStringLiteral("Other 2000-01-01.htm"),
            QStringLiteral("Log Torvanel 2000-01-01.htm"),
        };
        for (const QString& name : others)
            QVERIFY(test::writeFile(folder.filePath(name), "keep"));
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("Log Torvanelo 1999-01-01.htm")));

        const QString path = DailyLogPath(folder.path(), May12);
        QVERIFY(OpenDailyLog(files, path, settings, May12, English));

        QStringList expected = journals.mid(deleted) + others;
        expected << QStringLiteral("Log Torvanelo 1999-01-01.htm") << journalName(May12);
        expected.sort();
        QCOMPARE(sortedEntries(folder.path()), expected);
    }

    void anUndeletableJournalCountsAsHandled() {
        QTemporaryDir folder;
        LinuxFileSystem real;
        FaultyFileSystem files(real);
        Settings settings;
        settings.PurgeOldLogs = true;
        settings.LogRetention = 10;
        QStringList journals;
        for (int i = 1; i <= 12; ++i) {
            journals << journalName(May12.addDays(-i));
            QVERIFY(test::writeFile(folder.filePath(journals.last()), "old"));
        }
        journals.sort();
        // 12 found: the three oldest go; the oldest refuses.
        files.failPath(FaultyFileSystem::Call::Remove, folder.filePath(journals[0]));

        QVERIFY(OpenDailyLog(files, DailyLogPath(folder.path(), May12), settings, May12, English));

        QStringList expected = QStringList{journals[0]} + journals.mid(3);
        expected << journalName(May12);
        expected.sort();
        QCOMPARE(sortedEntries(folder.path()), expected);
        QCOMPARE(files.count(FaultyFileSystem::Call::Remove), 3);
    }

    void aMissingFolderWritesNothing() {
        QTemporaryDir folder;
        LinuxFileSystem files;
        Settings settings;
        settings.PurgeOldLogs = true;
        const QString path = DailyLogPath(folder.filePath(QStringLiteral("gone")), May12);
        QVERIFY(!OpenDailyLog(files, path, settings, May12, English));
        QVERIFY(!AppendLogLine(files, path, QStringLiteral("lost")));
        QVERIFY(!QFileInfo::exists(folder.filePath(QStringLiteral("gone"))));
    }

    void worksInAnyFolderName() {
        QTemporaryDir base;
        LinuxFileSystem files;
        // A folder name that is not valid UTF-8 and holds HTML characters.
        const QString folder = base.path() + u'/' + decodeFileName(QByteArray("\x80 <b>&\""));
        QVERIFY(files.makeFolder(folder));
        Settings settings;
        settings.LogFolder = folder;
        DayJournal journal(files, settings, May12, English);
        QVERIFY(journal.open());
        QVERIFY(journal.append(QStringLiteral("line")));
        const auto content = test::readFile(journal.path());
        QVERIFY(content.has_value());
        QVERIFY(content->endsWith("</h3></center>\r\nline\r\n"));
    }

    void anEmptyJournalFolderDisablesTheJournal() {
        LinuxFileSystem files;
        Settings settings;
        settings.LogFolder.clear();
        DayJournal journal(files, settings, May12, English);
        QVERIFY(!journal.open());
        QVERIFY(!journal.append(QStringLiteral("line")));
    }

    void escapesOutsideText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("escaped");
        QTest::newRow("tags") << QStringLiteral("<b>x</b>")
                              << QStringLiteral("&lt;b&gt;x&lt;/b&gt;");
        QTest::newRow("ampersand") << QStringLiteral("a&b") << QStringLiteral("a&amp;b");
        QTest::newRow("entity stays text")
            << QStringLiteral("&amp;") << QStringLiteral("&amp;amp;");
        QTest::newRow("quote") << QStringLiteral("say \"hi\"")
                               << QStringLiteral("say &quot;hi&quot;");
        QTest::newRow("plain") << QStringLiteral("/srv/Dépôt/x.doc")
                               << QStringLiteral("/srv/Dépôt/x.doc");
    }
    void escapesOutsideText() {
        QFETCH(QString, text);
        QFETCH(QString, escaped);
        QCOMPARE(EscapeHtml(text), escaped);
    }

    void writesWindows1252WithReferences_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << QStringLiteral("abc <br>") << QByteArray("abc <br>");
        QTest::newRow("latin-1 letters")
            << QStringLiteral("éàçÿ") << QByteArray("\xe9\xe0\xe7\xff");
        QTest::newRow("windows-1252 extras")
            << QStringLiteral("€‚ƒ„…†‡ˆ‰Š‹ŒŽ‘’“”•–—˜™š›œžŸ")
            << QByteArray("\x80\x82\x83\x84\x85\x86\x87\x88\x89\x8a\x8b\x8c\x8e\x91\x92\x93\x94"
                          "\x95\x96\x97\x98\x99\x9a\x9b\x9c\x9e\x9f");
        QTest::newRow("cyrillic") << QStringLiteral("План")
                                  << QByteArray("&#1055;&#1083;&#1072;&#1085;");
        QTest::newRow("emoji is one code point")
            << QString::fromUtf8("\xf0\x9f\x98\x80") << QByteArray("&#128512;");
        QTest::newRow("undefined windows-1252 byte")
            << QString(QChar(char16_t(0x81))) << QByteArray("&#129;");
        QTest::newRow("byte of a non-utf-8 name")
            << QString(QChar(char16_t(0xDC80))) << QByteArray("&#56448;");
        QTest::newRow("line break stays on the line")
            << QStringLiteral("a\r\nb") << QByteArray("a&#13;&#10;b");
        QTest::newRow("tab") << QStringLiteral("a\tb") << QByteArray("a\tb");
    }
    void writesWindows1252WithReferences() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(ToWindows1252(text), bytes);
    }
};

TORVANELO_TEST(JournalTest);
#include "JournalTest.moc"
