#include "PassSummary.h"

#include "TestRegistry.h"
#include "Texts.h"

#include <QTest>

using namespace torvanelo;

namespace {

const QDateTime May12(QDate(2001, 5, 12), QTime(14, 2, 15));

PassCounts counts(qint32 handled, qint32 folders, qint32 invalidSources, qint32 invalidTargets,
                  qint32 compressed, qint32 uncompressed) {
    PassCounts c;
    c.FilesHandled = handled;
    c.SourceFolders = folders;
    c.InvalidSources = invalidSources;
    c.InvalidTargets = invalidTargets;
    c.FilesCompressed = compressed;
    c.FilesUncompressed = uncompressed;
    return c;
}

} // namespace

Q_DECLARE_METATYPE(torvanelo::PassCounts)

class PassSummaryTest : public QObject {
    Q_OBJECT

private slots:
    void givesBothLinesInBothLanguages_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<PassCounts>("passCounts");
        QTest::addColumn<qint64>("milliseconds");
        QTest::addColumn<QString>("line1");
        QTest::addColumn<QString>("line2");
        const QLocale english(QLocale::English, QLocale::UnitedStates);
        const QLocale french(QLocale::French, QLocale::France);

        QTest::newRow("english example")
            << LanguageEnglish << english << counts(3, 2, 0, 1, 3, 0) << qint64(4270)
            << QStringLiteral("Saturday, May 12, 2001 - 14:02:15; 3 files in 2 source folders "
                              "(0 invalid source folder; 1 invalid target folder)")
            << QStringLiteral("Compressed files: 3, Uncompressed files: 0; elapsed time 4.27 s");
        QTest::newRow("english nothing to do")
            << LanguageEnglish << english << counts(0, 1, 0, 0, 0, 0) << qint64(0)
            << QStringLiteral("Saturday, May 12, 2001 - 14:02:15; 0 file in 1 source folder "
                              "(0 invalid source folder; 0 invalid target folder)")
            << QStringLiteral("Compressed files: 0, Uncompressed files: 0; elapsed time 0.00 s");
        QTest::newRow("english all plural")
            << LanguageEnglish << english << counts(2, 2, 2, 2, 1, 1) << qint64(1005)
            << QStringLiteral("Saturday, May 12, 2001 - 14:02:15; 2 files in 2 source folders "
                              "(2 invalid source folders; 2 invalid target folders)")
            << QStringLiteral("Compressed files: 1, Uncompressed files: 1; elapsed time 1.00 s");
        QTest::newRow("french singular")
            << LanguageFrench << french << counts(1, 1, 1, 0, 1, 0) << qint64(4270)
            << QStringLiteral("samedi 12 mai 2001 à 14:02:15; 1 fichier dans 1 dossier source "
                              "(1 dossier source invalide; 0 dossier cible invalide)")
            << QStringLiteral("Fichiers compressés: 1, Fichiers décompressés: 0; durée 4,27 s");
        QTest::newRow("french plural")
            << LanguageFrench << french << counts(12, 3, 2, 5, 10, 2) << qint64(61234)
            << QStringLiteral("samedi 12 mai 2001 à 14:02:15; 12 fichiers dans 3 dossiers sources "
                              "(2 dossiers sources invalides; 5 dossiers cibles invalides)")
            << QStringLiteral("Fichiers compressés: 10, Fichiers décompressés: 2; durée 61,23 s");
        QTest::newRow("other language value is english")
            << 7 << english << counts(0, 0, 0, 0, 0, 0) << qint64(0)
            << QStringLiteral("Saturday, May 12, 2001 - 14:02:15; 0 file in 0 source folder "
                              "(0 invalid source folder; 0 invalid target folder)")
            << QStringLiteral("Compressed files: 0, Uncompressed files: 0; elapsed time 0.00 s");
        QTest::newRow("long pass, no group separator")
            << LanguageEnglish << english << counts(0, 0, 0, 0, 0, 0) << qint64(12345670)
            << QStringLiteral("Saturday, May 12, 2001 - 14:02:15; 0 file in 0 source folder "
                              "(0 invalid source folder; 0 invalid target folder)")
            << QStringLiteral(
                   "Compressed files: 0, Uncompressed files: 0; elapsed time 12345.67 s");
    }
    void givesBothLinesInBothLanguages() {
        QFETCH(int, language);
        QFETCH(QLocale, locale);
        QFETCH(PassCounts, passCounts);
        QFETCH(qint64, milliseconds);
        QFETCH(QString, line1);
        QFETCH(QString, line2);
        const PassSummaryLines summary =
            PassSummary(passCounts, language, May12, milliseconds, locale);
        QCOMPARE(summary.line1, line1);
        QCOMPARE(summary.line2, line2);
    }
};

TORVANELO_TEST(PassSummaryTest);
#include "PassSummaryTest.moc"
