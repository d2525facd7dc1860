#include "NumericText.h"

#include "TestRegistry.h"

#include <QLocale>
#include <QTest>

#include <cmath>
#include <limits>

using namespace torvanelo;

class NumericTextTest : public QObject {
    Q_OBJECT

private slots:
    void leadingNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        QTest::newRow("unit after") << QStringLiteral("25s") << 25.0;
        QTest::newRow("letters") << QStringLiteral("abc") << 0.0;
        QTest::newRow("empty") << QString() << 0.0;
        QTest::newRow("exponent then junk") << QStringLiteral("1e3x") << 1000.0;
        QTest::newRow("blank and sign") << QStringLiteral(" \t-2.5") << -2.5;
        QTest::newRow("leading point") << QStringLiteral(".5") << 0.5;
        QTest::newRow("exponent without digits") << QStringLiteral("4e") << 4.0;
        QTest::newRow("negative exponent") << QStringLiteral("25E-1") << 2.5;
        QTest::newRow("point alone") << QStringLiteral(".") << 0.0;
        QTest::newRow("blank inside ends it") << QStringLiteral("1 2") << 1.0;
        QTest::newRow("hex is not read") << QStringLiteral("0x1F") << 0.0;
        QTest::newRow("too large")
            << QStringLiteral("1e999") << std::numeric_limits<double>::infinity();
        QTest::newRow("many digits") << (QStringLiteral("1") + QString(300, u'0')) << 1e300;
    }
    void leadingNumber() {
        QFETCH(QString, text);
        QFETCH(double, expected);
        QCOMPARE(torvanelo::leadingNumber(text), expected);
    }

    void roundHalfEven_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("expected");
        QTest::newRow("2.5") << 2.5 << 2.0;
        QTest::newRow("3.5") << 3.5 << 4.0;
        QTest::newRow("-2.5") << -2.5 << -2.0;
        QTest::newRow("0.5") << 0.5 << 0.0;
        QTest::newRow("2.5001") << 2.5001 << 3.0;
        QTest::newRow("large even") << 4503599627370496.0 << 4503599627370496.0;
    }
    void roundHalfEven() {
        QFETCH(double, value);
        QFETCH(double, expected);
        QCOMPARE(torvanelo::roundHalfEven(value), expected);
    }

    void localeNumber_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isNumber");
        QTest::addColumn<double>("expected");
        const QString fr = QStringLiteral("fr_FR");
        const QString en = QStringLiteral("en_US");
        QTest::newRow("en plain") << en << QStringLiteral("12") << true << 12.0;
        QTest::newRow("en groups") << en << QStringLiteral("1,234.5") << true << 1234.5;
        QTest::newRow("en exponent") << en << QStringLiteral("-1.5e3") << true << -1500.0;
        QTest::newRow("fr decimal comma") << fr << QStringLiteral("2,5") << true << 2.5;
        QTest::newRow("fr group blank") << fr << QStringLiteral("1 234,5") << true << 1234.5;
        QTest::newRow("fr takes the C form") << fr << QStringLiteral("1.5e3") << true << 1500.0;
        QTest::newRow("letters") << en << QStringLiteral("abc") << false << 0.0;
        QTest::newRow("empty") << en << QString() << false << 0.0;
        QTest::newRow("two numbers") << en << QStringLiteral("1 2") << false << 0.0;
        QTest::newRow("unit after") << en << QStringLiteral("25s") << false << 0.0;
        QTest::newRow("nan") << en << QStringLiteral("nan") << false << 0.0;
        QTest::newRow("out of range") << en << QStringLiteral("1e999") << false << 0.0;
    }
    void localeNumber() {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(bool, isNumber);
        QFETCH(double, expected);
        const QLocale saved;
        QLocale::setDefault(QLocale(locale));
        const auto value = torvanelo::localeNumber(text);
        QLocale::setDefault(saved);
        QCOMPARE(value.has_value(), isNumber);
        if (isNumber)
            QCOMPARE(*value, expected);
    }
};

TORVANELO_TEST(NumericTextTest);
#include "NumericTextTest.moc"
