#include "ArchiveNames.h"

#include "ArchiverCommands.h"
#include "NameCodec.h"
#include "TestRegistry.h"

#include <QTest>

using namespace torvanelo;

class ArchiveNamesTest : public QObject {
    Q_OBJECT

private slots:
    void recognisesOwnArchiveNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<bool>("recognised");
        const QString ra = QStringLiteral("RA");
        QTest::newRow("own name") << QStringLiteral("RA000124.rar") << ra << true;
        QTest::newRow("lower case") << QStringLiteral("ra000124.rar") << ra << true;
        QTest::newRow("mixed case") << QStringLiteral("rA000124.RaR") << ra << true;
        QTest::newRow("first and last") << QStringLiteral("RA000000.rar") << ra << true;
        QTest::newRow("999999") << QStringLiteral("RA999999.rar") << ra << true;
        QTest::newRow("11 characters") << QStringLiteral("RA12345.rar") << ra << false;
        QTest::newRow("13 characters") << QStringLiteral("RA0001245.rar") << ra << false;
        QTest::newRow("other prefix") << QStringLiteral("XY000124.rar") << ra << false;
        QTest::newRow("prefix stored other case")
            << QStringLiteral("RA000124.rar") << QStringLiteral("ra") << false;
        QTest::newRow("letter in number") << QStringLiteral("RA12345a.rar") << ra << false;
        QTest::newRow("leading blank") << QStringLiteral("RA 00001.rar") << ra << true;
        QTest::newRow("sign") << QStringLiteral("RA-00001.rar") << ra << true;
        QTest::newRow("decimal point") << QStringLiteral("RA1.2345.rar") << ra << true;
        QTest::newRow("exponent") << QStringLiteral("RA0001e3.rar") << ra << true;
        QTest::newRow("blanks only") << QStringLiteral("RA      .rar") << ra << false;
        QTest::newRow("other extension") << QStringLiteral("RA000124.zip") << ra << false;
        QTest::newRow("no dot") << QStringLiteral("RA000124xrar") << ra << false;
        QTest::newRow("dot last") << QStringLiteral("RA0000124ra.") << ra << false;
        QTest::newRow("two dots") << QStringLiteral("RA..0001.rar") << ra << false;
        QTest::newRow("empty") << QString() << ra << false;
        QTest::newRow("other stored prefix")
            << QStringLiteral("ZZ000001.rar") << QStringLiteral("ZZ") << true;
        QTest::newRow("three-letter prefix never matches")
            << QStringLiteral("ABC00001.rar") << QStringLiteral("ABC") << false;
        QTest::newRow("cyrillic number") << QStringLiteral("RAПППППП.rar") << ra << false;
    }
    void recognisesOwnArchiveNames() {
        QFETCH(QString, name);
        QFETCH(QString, prefix);
        QFETCH(bool, recognised);
        QCOMPARE(IsArchiveName(name, prefix), recognised);
    }

    void countsAndWraps_data() {
        QTest::addColumn<qint64>("last");
        QTest::addColumn<qint32>("next");
        QTest::newRow("missing key") << qint64(0) << 1;
        QTest::newRow("middle") << qint64(123) << 124;
        QTest::newRow("last before wrap") << qint64(999998) << 999999;
        QTest::newRow("wrap") << qint64(999999) << 0;
        QTest::newRow("edited far above") << qint64(2147483647) << 0;
        QTest::newRow("edited negative") << qint64(-5) << 0;
        QTest::newRow("minus one") << qint64(-1) << 0;
    }
    void countsAndWraps() {
        QFETCH(qint64, last);
        QFETCH(qint32, next);
        QCOMPARE(NextArchiveNumber(last), next);
    }

    void formatsBaseNames() {
        QCOMPARE(ArchiveBaseName(QStringLiteral("RA"), 124), QStringLiteral("RA000124"));
        QCOMPARE(ArchiveBaseName(QStringLiteral("RA"), 0), QStringLiteral("RA000000"));
        QCOMPARE(ArchiveBaseName(QStringLiteral("RA"), 999999), QStringLiteral("RA999999"));
    }

    void refusesUnsafePrefixes_data() {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<bool>("usable");
        QTest::newRow("default") << QStringLiteral("RA") << true;
        QTest::newRow("three letters, used as stored") << QStringLiteral("abc") << true;
        QTest::newRow("accented") << QStringLiteral("ÉÈ") << true;
        QTest::newRow("slash escapes the folder") << QStringLiteral("a/") << false;
        QTest::newRow("quote breaks the command line") << QStringLiteral("a\"") << false;
        QTest::newRow("wildcard widens the pattern") << QStringLiteral("A?") << false;
        QTest::newRow("star") << QStringLiteral("*A") << false;
        QTest::newRow("bracket") << QStringLiteral("[A") << false;
        QTest::newRow("backslash") << QStringLiteral("A\\") << false;
        QTest::newRow("control") << QStringLiteral("A\n") << false;
    }
    void refusesUnsafePrefixes() {
        QFETCH(QString, prefix);
        QFETCH(bool, usable);
        QCOMPARE(IsUsablePrefix(prefix), usable);
    }

    void recognisesLeftoverBaseNames_data() {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<bool>("leftover");
        QTest::newRow("current prefix")
            << QStringLiteral("RA000001") << QStringLiteral("RA") << true;
        QTest::newRow("earlier prefix")
            << QStringLiteral("XY123456") << QStringLiteral("RA") << true;
        QTest::newRow("long current prefix")
            << QStringLiteral("abc000001") << QStringLiteral("abc") << true;
        QTest::newRow("five digits") << QStringLiteral("RA00001") << QStringLiteral("RA") << false;
        QTest::newRow("letter") << QStringLiteral("RA00001x") << QStringLiteral("RA") << false;
        QTest::newRow("user name") << QStringLiteral("holiday") << QStringLiteral("RA") << false;
        QTest::newRow("blank in number")
            << QStringLiteral("RA 00001") << QStringLiteral("RA") << false;
    }
    void recognisesLeftoverBaseNames() {
        QFETCH(QString, base);
        QFETCH(QString, prefix);
        QFETCH(bool, leftover);
        QCOMPARE(IsLeftoverBaseName(base, prefix), leftover);
    }

    void writesNameFiles() {
        QCOMPARE(MakeNameFile(QStringLiteral("abc")), QByteArray("\"610062006300\"\r\n"));
        QCOMPARE(MakeNameFile(QStringLiteral("Я")), QByteArray("\"2F04\"\r\n"));
    }

    void nameFilesRoundTrip_data() {
        QTest::addColumn<QByteArray>("nameBytes");
        QTest::newRow("ascii") << QByteArray("Plan.doc");
        QTest::newRow("blanks") << QByteArray("  two  blanks .txt ");
        QTest::newRow("cyrillic") << QByteArray("\xd0\x9f\xd0\xbb\xd0\xb0\xd0\xbd.txt");
        QTest::newRow("emoji") << QByteArray("\xf0\x9f\x91\x8b");
        QTest::newRow("invalid utf-8") << QByteArray("caf\xe9 \x80\xff");
        QTest::newRow("quote and newline") << QByteArray("a\"b\nc");
        QTest::newRow("255 bytes") << QByteArray(255, 'x');
    }
    void nameFilesRoundTrip() {
        QFETCH(QByteArray, nameBytes);
        const QString name = decodeFileName(nameBytes);
        const auto read = ReadNameFile(MakeNameFile(name));
        QVERIFY(read.has_value());
        QCOMPARE(encodeFileName(*read), nameBytes);
    }

    void refusesBadNameFiles_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("empty name") << QByteArray("\"\"\r\n");
        QTest::newRow("odd length") << QByteArray("\"61006\"\r\n");
        QTest::newRow("odd byte count") << QByteArray("\"610062\"\r\n");
        QTest::newRow("not hex") << QByteArray("\"6100ZZ00\"\r\n");
        QTest::newRow("no quotes") << QByteArray("61006200\r\n");
        QTest::newRow("open quote") << QByteArray("\"61006200\r\n");
        QTest::newRow("inner quote") << QByteArray("\"6100\"6200\"\r\n");
        QTest::newRow("dot") << QByteArray("\"2E00\"");
        QTest::newRow("dot dot") << QByteArray("\"2E002E00\"");
        QTest::newRow("slash") << QByteArray("\"61002F006200\"");
        QTest::newRow("escape upwards") << QByteArray("\"2E002E002F007800\"");
        QTest::newRow("absolute") << QByteArray("\"2F0074006D0070002F007800\"");
        QTest::newRow("nul") << QByteArray("\"61000000\"");
        QTest::newRow("256 bytes") << '"' + QByteArray("7800").repeated(256) + '"';
        QTest::newRow("128 two-byte letters") << '"' + QByteArray("2F04").repeated(128) + '"';
        QTest::newRow("binary") << QByteArray("\x00\xff\"\x01", 4);
        QTest::newRow("two names") << QByteArray("\"6100\"\r\n\"6200\"\r\n");
    }
    void refusesBadNameFiles() {
        QFETCH(QByteArray, content);
        QVERIFY(!ReadNameFile(content).has_value());
    }

    void acceptsNameFilesOfOtherWriters() {
        QCOMPARE(ReadNameFile(QByteArray("  \"610062006300\"  \n")), QStringLiteral("abc"));
        QCOMPARE(ReadNameFile(QByteArray("\"610062006300\"")), QStringLiteral("abc"));
        QCOMPARE(ReadNameFile(QByteArray("\"2f04\"")), QStringLiteral("Я"));
    }

    void makesNameVariants_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("variant");
        QTest::newRow("extension")
            << QStringLiteral("Report.doc") << 2 << QStringLiteral("Report (2).doc");
        QTest::newRow("no extension")
            << QStringLiteral("Notes") << 3 << QStringLiteral("Notes (3)");
        QTest::newRow("dot file") << QStringLiteral(".profile") << 2
                                  << QStringLiteral(".profile (2)");
        QTest::newRow("two dots") << QStringLiteral("a.tar.gz") << 2
                                  << QStringLiteral("a.tar (2).gz");
        QTest::newRow("too long") << QString(253, u'x') << 2 << QString();
    }
    void makesNameVariants() {
        QFETCH(QString, name);
        QFETCH(int, n);
        QFETCH(QString, variant);
        QCOMPARE(NameVariant(name, n), variant);
    }

    void buildsArchiverCommandLines() {
        QCOMPARE(CompressCommand(QStringLiteral("/srv/Depot/Entree/"), QStringLiteral("RA000124")),
                 QStringLiteral("rar a -os \"/srv/Depot/Entree/RA000124.rar\" "
                                "\"/srv/Depot/Entree/RA000124.r?\" -df"));
        QCOMPARE(ExtractCommand(QStringLiteral("/srv/Depot/Entree/RA000124.rar")),
                 QStringLiteral("rar e \"/srv/Depot/Entree/RA000124.rar\""));
        QCOMPARE(ArchiverPresenceCommand(), QStringLiteral("rar -?"));
    }
};

TORVANELO_TEST(ArchiveNamesTest);
#include "ArchiveNamesTest.moc"
