#include "NameCodec.h"
#include "TestRegistry.h"

#include <QTest>

using namespace torvanelo;

class NameCodecTest : public QObject {
    Q_OBJECT

private slots:
    void roundTripsEveryByteSequence_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << QByteArray("Plan.doc");
        QTest::newRow("cyrillic") << QByteArray("\xd0\x9f\xd0\xbb\xd0\xb0\xd0\xbd.txt");
        QTest::newRow("four-byte") << QByteArray("\xf0\x9f\x91\x8b.txt");
        QTest::newRow("latin-1 byte") << QByteArray("caf\xe9");
        QTest::newRow("lone continuation") << QByteArray("\x80\xbf");
        QTest::newRow("truncated sequence") << QByteArray("a\xe2\x82");
        QTest::newRow("overlong slash") << QByteArray("\xc0\xaf");
        QTest::newRow("encoded surrogate") << QByteArray("\xed\xb2\x80");
        QTest::newRow("above U+10FFFF") << QByteArray("\xf4\x90\x80\x80");
        QByteArray all;
        for (int b = 1; b < 256; ++b)
            all.append(char(b));
        QTest::newRow("every byte") << all;
    }
    void roundTripsEveryByteSequence()
    {
        QFETCH(QByteArray, bytes);
        QCOMPARE(encodeFileName(decodeFileName(bytes)), bytes);
    }

    void decodesValidUtf8AsText()
    {
        QCOMPARE(decodeFileName(QByteArray("\xd0\x9f\xd0\xbb\xd0\xb0\xd0\xbd")), QStringLiteral("План"));
        QCOMPARE(decodeFileName(QByteArray("caf\xe9")),
                 QStringLiteral("caf") + QChar(char16_t(0xDCE9)));
    }
};

TORVANELO_TEST(NameCodecTest);
#include "NameCodecTest.moc"
