#include "ArchiveNames.h"

#include "ArchiverCommands.h"
#include "PassSummary.h"
#include "TestRegistry.h"
#include "Texts.h"

#include <QTest>

using namespace torvanelo;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(torvanelo::PassCounts)

// The names, name files, command lines and summary texts the engine makes and
// reads: what other programs and the user see of it.
class ArchiveNamesTest : public QObject {
    Q_OBJECT

private slots:
    // Only 12-character names of the stored prefix, a number the old numeric
    // test accepts and a .rar extension are unpacked; any other file is moved
    // through as it is.
    void recognisesOwnArchiveNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<bool>("recognised");
        const QString ra = u"RA"_s;
        QTest::newRow("own name") << u"RA000124.rar"_s << ra << true;
        QTest::newRow("mixed case") << u"rA000124.RaR"_s << ra << true;
        QTest::newRow("11 characters") << u"RA12345.rar"_s << ra << false;
        QTest::newRow("13 characters") << u"RA0001245.rar"_s << ra << false;
        QTest::newRow("other prefix") << u"XY000124.rar"_s << ra << false;
        QTest::newRow("prefix stored lower") << u"RA000124.rar"_s << u"ra"_s << false;
        QTest::newRow("letter in number") << u"RA12345a.rar"_s << ra << false;
        QTest::newRow("leading blank") << u"RA 00001.rar"_s << ra << true;
        QTest::newRow("sign") << u"RA-00001.rar"_s << ra << true;
        QTest::newRow("exponent") << u"RA0001e3.rar"_s << ra << true;
        QTest::newRow("blanks only") << u"RA      .rar"_s << ra << false;
        QTest::newRow("other extension") << u"RA000124.zip"_s << ra << false;
        QTest::newRow("no dot") << u"RA000124xrar"_s << ra << false;
        QTest::newRow("two dots") << u"RA..0001.rar"_s << ra << false;
        QTest::newRow("empty") << QString() << ra << false;
        QTest::newRow("other stored prefix") << u"ZZ000001.rar"_s << u"ZZ"_s << true;
        QTest::newRow("three-letter prefix") << u"ABC00001.rar"_s << u"ABC"_s << false;
        QTest::newRow("cyrillic number") << u"RAПППППП.rar"_s << ra << false;
    }
    void recognisesOwnArchiveNames() {
        QFETCH(QString, name);
        QFETCH(QString, prefix);
        QFETCH(bool, recognised);
        QCOMPARE(IsArchiveName(name, prefix), recognised);
    }

    // A number edited out of range starts again at 0 (the wrap after 999999
    // is checked end to end).
    void anOutOfRangeCounterStartsAgain() {
        for (const qint64 last : {qint64(2147483647), qint64(1000000), qint64(-5)})
            QCOMPARE(NextArchiveNumber(last), 0);
    }

    // A prefix that could leave the folder, break the command line or widen
    // the archiver's member pattern is refused.
    void refusesUnsafePrefixes() {
        QVERIFY(IsUsablePrefix(u"RA"_s) && IsUsablePrefix(u"ÉÈ"_s));
        for (const char* prefix : {"a/", "a\"", "A?", "*A", "[A", "A\\", "A\n"})
            QVERIFY2(!IsUsablePrefix(QString::fromLatin1(prefix)), prefix);
    }

    // A recovered leftover whose own name is taken gets a free variant.
    void makesNameVariants() {
        QCOMPARE(NameVariant(u"Report.doc"_s, 2), u"Report (2).doc"_s);
        QCOMPARE(NameVariant(u"Notes"_s, 3), u"Notes (3)"_s);
        QCOMPARE(NameVariant(u".profile"_s, 2), u".profile (2)"_s);
        QCOMPARE(NameVariant(u"a.tar.gz"_s, 2), u"a.tar (2).gz"_s);
        QCOMPARE(NameVariant(QString(253, u'x'), 2), QString());
    }

    // What the archiver is given, and the name file other programs read.
    void writesCommandLinesAndNameFiles() {
        QCOMPARE(MakeNameFile(u"aЯ"_s), QByteArray("\"61002F04\"\r\n"));
        QCOMPARE(
            CompressArguments(u"/srv/De\"pot/"_s, u"RA000124"_s),
            (QStringList{u"rar"_s, u"a"_s, u"-os"_s, u"/srv/De\"pot/RA000124.rar"_s,
                         u"/srv/De\"pot/RA000124.rr"_s, u"/srv/De\"pot/RA000124.rn"_s, u"-df"_s}));
        QCOMPARE(ExtractArguments(u"/srv/De\"pot/RA000124.rar"_s),
                 (QStringList{u"rar"_s, u"e"_s, u"/srv/De\"pot/RA000124.rar"_s}));
        QCOMPARE(ArchiverPresenceCommand(), u"rar -?"_s);
    }

    void givesBothSummaryLinesInBothLanguages_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<PassCounts>("counts");
        QTest::addColumn<qint64>("milliseconds");
        QTest::addColumn<QString>("line1");
        QTest::addColumn<QString>("line2");
        QTest::newRow("english plural")
            << LanguageEnglish << PassCounts{2, 1, 1, 2, 2, 2} << qint64(1005)
            << u"Saturday, May 12, 2001 - 14:02:15; 2 files in 2 source folders "
               "(2 invalid source folders; 2 invalid target folders)"_s
            << u"Compressed files: 1, Uncompressed files: 1; elapsed time 1.00 s"_s;
        QTest::newRow("french singular")
            << LanguageFrench << PassCounts{1, 1, 0, 1, 1, 0} << qint64(4270)
            << u"samedi 12 mai 2001 à 14:02:15; 1 fichier dans 1 dossier source "
               "(1 dossier source invalide; 0 dossier cible invalide)"_s
            << u"Fichiers compressés: 1, Fichiers décompressés: 0; durée 4,27 s"_s;
        QTest::newRow("french plural, long pass")
            << LanguageFrench << PassCounts{12, 10, 2, 3, 2, 5} << qint64(12345670)
            << u"samedi 12 mai 2001 à 14:02:15; 12 fichiers dans 3 dossiers sources "
               "(2 dossiers sources invalides; 5 dossiers cibles invalides)"_s
            << u"Fichiers compressés: 10, Fichiers décompressés: 2; durée 12345,67 s"_s;
    }
    void givesBothSummaryLinesInBothLanguages() {
        QFETCH(int, language);
        QFETCH(PassCounts, counts);
        QFETCH(qint64, milliseconds);
        const QLocale locale = language == LanguageFrench
                                   ? QLocale(QLocale::French, QLocale::France)
                                   : QLocale(QLocale::English, QLocale::UnitedStates);
        const PassSummaryLines summary =
            PassSummary(counts, language, QDateTime(QDate(2001, 5, 12), QTime(14, 2, 15)),
                        milliseconds, locale);
        QTEST(summary.line1, "line1");
        QTEST(summary.line2, "line2");
    }
};

TORVANELO_TEST(ArchiveNamesTest);
#include "ArchiveNamesTest.moc"
