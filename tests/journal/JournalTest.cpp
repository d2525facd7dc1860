#include "DailyLog.h"
#include "FaultyFileSystem.h"
#include "Settings.h"
#include "TestFiles.h"
#include "TestRegistry.h"
#include "Texts.h"
#include "linux/LinuxFileSystem.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

const QLocale English(QLocale::English, QLocale::UnitedStates);
const QDate May12(2001, 5, 12);

QString journalName(const QDate& date) {
    return u"Log Torvanelo "_s + date.toString(u"yyyy-MM-dd") + u".htm"_s;
}

} // namespace

class JournalTest : public QObject {
    Q_OBJECT

private slots:
    // Created with its header in the language of the moment, in
    // Windows-1252; later passes of the day only append. Nothing is lost:
    // what Windows-1252 cannot hold (an undefined byte, a name byte that was
    // not UTF-8, a line break, which would end the entry) becomes a numeric
    // character reference.
    void createsTheHeaderOnce_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QByteArray>("header");
        const QByteArray common = "<html>\r\n<head>\r\n<title>Logs Torvanelo</title>\r\n"
                                  "</head>\r\n<body>\r\n";
        QTest::newRow("English") << LanguageEnglish << English
                                 << common
                                        + "<b><center><h1>Rar/Unrar Logs</h1></center></b>\r\n"
                                          "<center><h3>Saturday, May 12, 2001</h3></center>\r\n";
        QTest::newRow("French") << LanguageFrench << QLocale(QLocale::French, QLocale::France)
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
        settings.Language = qint16(language == LanguageFrench ? LanguageEnglish : LanguageFrench);
        QVERIFY(OpenDailyLog(files, path, settings, May12, locale));
        QVERIFY(AppendLogLine(files, path,
                              u"€ŒŸ“” План \U0001F600 \u0081"_s + QChar(char16_t(0xDC80))
                                  + u"a\r\nb"_s));
        QCOMPARE(readFile(path),
                 header
                     + "\x80\x8c\x9f\x93\x94 &#1055;&#1083;&#1072;&#1085; &#128512; "
                       "&#129;&#56448;a&#13;&#10;b\r\n");
    }

    // Journals beyond the retention go, oldest first, when the day's journal
    // is created: only names of the program's own form with a real date,
    // never other files, never a folder, never the day's
    // journal that is already there. A journal that cannot be deleted counts
    // as handled: no younger one goes in its place.
    void purgesDownToTheRetention_data() {
        QTest::addColumn<int>("older");
        QTest::addColumn<int>("retention");
        QTest::addColumn<QString>("kind"); // "", "off", "today there" or "oldest refuses"
        QTest::addColumn<int>("deleted");
        QTest::newRow("exactly the retention") << 10 << 10 << QString() << 0;
        QTest::newRow("one more: the two oldest") << 11 << 10 << QString() << 2;
        QTest::newRow("purge off") << 25 << 10 << u"off"_s << 0;
        QTest::newRow("retention below one") << 4 << 0 << QString() << 4;
        QTest::newRow("oldest cannot be deleted") << 12 << 10 << u"oldest refuses"_s << 3;
        QTest::newRow("today's journal is there") << 5 << 2 << u"today there"_s << 0;
    }
    void purgesDownToTheRetention() {
        QFETCH(int, older);
        QFETCH(int, retention);
        QFETCH(QString, kind);
        QFETCH(int, deleted);
        QTemporaryDir folder;
        LinuxFileSystem real;
        FaultyFileSystem files(real);
        Settings settings;
        settings.PurgeOldLogs = kind != u"off";
        settings.LogRetention = qint16(retention);
        // Created newest first, so that the listing order is not the age order.
        QStringList journals;
        for (int i = 1; i <= older; ++i) {
            journals.prepend(journalName(May12.addDays(-i)));
            QVERIFY(writeFile(folder.filePath(journals.front()), "old"));
        }
        // A user's copies and notes match "Log Torvanelo*.htm" and sort before
        // the dates, but are not the program's journals.
        const QStringList others = {u"Log Torvanelo.txt"_s,
                                    u"log torvanelo 2000-01-01.htm"_s,
                                    u"Log Torvanelo 2000-01-01.html"_s,
                                    u"Other 2000-01-01.htm"_s,
                                    u"Log Torvanelo (copie).htm"_s,
                                    u"Log Torvanelo - notes.htm"_s,
                                    u"Log Torvanelo 1999-02-30.htm"_s,
                                    u"Log Torvanelo 1999-2-03.htm"_s,
                                    u"Log Torvanelo  1999-02-03.htm"_s,
                                    u"Log Torvanelo 1999-02-03 .htm"_s,
                                    u"Log Torvanelo.htm"_s};
        for (const QString& name : others)
            QVERIFY(writeFile(folder.filePath(name), "keep"));
        QVERIFY(QDir(folder.path()).mkdir(u"Log Torvanelo 1999-01-01.htm"_s));
        const QString path = DailyLogPath(folder.path(), May12);
        const QByteArray today("\x00\xff<b>old</b>", 12);
        QVERIFY(kind != u"today there" || writeFile(path, today));
        if (kind == u"oldest refuses")
            files.failPath(FaultyFileSystem::Call::Remove, folder.filePath(journals.front()));

        QVERIFY(OpenDailyLog(files, path, settings, May12, English));
        QStringList expected = journals.mid(deleted) + others;
        expected << u"Log Torvanelo 1999-01-01.htm"_s << journalName(May12);
        if (kind == u"oldest refuses")
            expected << journals.front();
        expected.sort();
        QCOMPARE(namesIn(folder.path()), expected);
        QCOMPARE(files.count(FaultyFileSystem::Call::Remove), deleted);
        QVERIFY(kind != u"today there" || readFile(path) == today);
    }
};

TORVANELO_TEST(JournalTest);
#include "JournalTest.moc"
