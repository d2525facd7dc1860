#include "DelayDecisions.h"
#include "ParametersFile.h"
#include "PrefixDecisions.h"
#include "SetModeDecisions.h"
#include "TestFiles.h"
#include "TestRegistry.h"

#include <QTemporaryDir>
#include <QTest>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

// What the dialogs decide, without any window.
class DialogDecisionsTest : public QObject {
    Q_OBJECT

private slots:
    void intervalBox_data();
    void intervalBox();
    void durationLabel_data();
    void durationLabel();
    void setModeWritesItsKeysInOrder();
    void prefix_data();
    void prefix();
    void delayBox_data();
    void delayBox();
    void delayArrows_data();
    void delayArrows();
};

void DialogDecisionsTest::intervalBox_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("status");
    QTest::addColumn<qint64>("passes");
    const int bad = IntervalCheck::NotNumeric;
    const int out = IntervalCheck::OutOfRange;
    const int ok = IntervalCheck::Valid;
    QTest::newRow("abc") << u"abc"_s << bad << 0ll;
    QTest::newRow("empty") << QString() << bad << 0ll;
    QTest::newRow("number then text") << u"100abc"_s << bad << 0ll;
    QTest::newRow("hex") << u"0x10"_s << bad << 0ll;
    QTest::newRow("nan") << u"nan"_s << bad << 0ll;
    QTest::newRow("inf") << u"inf"_s << bad << 0ll;
    QTest::newRow("1") << u"1"_s << out << 0ll;
    QTest::newRow("64001") << u"64001"_s << out << 0ll;
    QTest::newRow("just below 2") << u"1.99"_s << out << 0ll;
    QTest::newRow("negative") << u"-5"_s << out << 0ll;
    QTest::newRow("huge") << u"1e300"_s << out << 0ll;
    QTest::newRow("2") << u"2"_s << ok << 2ll;
    QTest::newRow("64000") << u"64000"_s << ok << 64000ll;
    QTest::newRow("blanks around") << u" 100 "_s << ok << 100ll;
    QTest::newRow("exponent") << u"1e2"_s << ok << 100ll;
    QTest::newRow("half to even down") << u"2.5"_s << ok << 2ll;
    QTest::newRow("half to even up") << u"3.5"_s << ok << 4ll;
}

void DialogDecisionsTest::intervalBox() {
    QFETCH(QString, text);
    QFETCH(int, status);
    QFETCH(qint64, passes);
    const IntervalCheck check = checkInterval(text);
    QCOMPARE(int(check.status), status);
    if (status == IntervalCheck::Valid)
        QCOMPARE(check.passes, passes);
}

void DialogDecisionsTest::durationLabel_data() {
    QTest::addColumn<qint64>("passes");
    QTest::addColumn<qint64>("delay");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("label");
    QTest::newRow("100 x 60") << 100ll << 60ll << 0 << u"i.e. 1 h 40 min 0 sec"_s;
    QTest::newRow("100 x 60, French") << 100ll << 60ll << 1 << u"soit: 1 h 40 min 0 sec"_s;
    QTest::newRow("2 x 10") << 2ll << 10ll << 0 << u"i.e. 0 h 0 min 20 sec"_s;
    QTest::newRow("just under a minute") << 59ll << 1ll << 0 << u"i.e. 0 h 0 min 59 sec"_s;
    QTest::newRow("just under an hour") << 3599ll << 1ll << 0 << u"i.e. 0 h 59 min 59 sec"_s;
    QTest::newRow("an hour") << 60ll << 60ll << 1 << u"soit: 1 h 0 min 0 sec"_s;
    // 64000 x 32767 s overflows nothing.
    QTest::newRow("largest") << 64000ll << 32767ll << 0 << u"i.e. 582524 h 26 min 40 sec"_s;
}

void DialogDecisionsTest::durationLabel() {
    QFETCH(qint64, passes);
    QFETCH(qint64, delay);
    QFETCH(int, language);
    QFETCH(QString, label);
    QCOMPARE(torvanelo::durationLabel(passes, delay, language), label);
}

void DialogDecisionsTest::setModeWritesItsKeysInOrder() {
    // The default option stores "1", but the box is checked all the same.
    QCOMPARE(int(setModeResult({false, true, false, u"abc"_s}).status),
             int(IntervalCheck::NotNumeric));
    QCOMPARE(setModeResult({false, true, false, u"2"_s}).interval, u"1"_s);
    // The number the pass counts with, whatever way it was typed.
    QCOMPARE(setModeResult({true, false, true, u" 1e2 "_s}).interval, u"100"_s);

    QTemporaryDir folder;
    ParametersFile file(folder.filePath(u"Torvanelo.ini"_s));
    QVERIFY(file.WriteProfileValue(u"Rar_3", u"Other", u"kept"_s));
    const SetModeResult result = setModeResult({true, false, true, u"250"_s});
    QVERIFY(file.WriteProfileValues(setModeWrites(3, result)));
    const QByteArray text = readFile(file.path()).value_or(QByteArray());
    QCOMPARE(text,
             QByteArray("[Rar_3]\r\nOther=kept\r\nRar=1\r\nEnable=0\r\nNbTemporisations=250\r\n"));
}

void DialogDecisionsTest::prefix_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("stored");
    const int ok = PrefixCheck::Valid;
    const int length = PrefixCheck::WrongLength;
    const int character = PrefixCheck::InvalidCharacter;
    QTest::newRow("ab") << u"ab"_s << ok << u"AB"_s;
    QTest::newRow("blanks around") << u"  ab\t"_s << ok << u"AB"_s;
    QTest::newRow("two dots") << u".."_s << ok << u".."_s;
    QTest::newRow("accented") << u"é1"_s << ok << u"É1"_s;
    // Its upper case "SS" would make three characters.
    QTest::newRow("sharp s") << u"ßx"_s << ok << u"ßX"_s;
    QTest::newRow("one") << u"a"_s << length << QString();
    QTest::newRow("three") << u"abc"_s << length << QString();
    QTest::newRow("inner blank") << u"a b"_s << length << QString();
    QTest::newRow("only blanks") << u"   "_s << length << QString();
    for (const QChar c : u"\\/:*?\"<>|"_s)
        QTest::newRow(qPrintable(u"a"_s + c)) << (u"a"_s + c) << character << QString();
}

void DialogDecisionsTest::prefix() {
    QFETCH(QString, text);
    QFETCH(int, status);
    const PrefixCheck check = checkPrefix(text);
    QCOMPARE(int(check.status), status);
    QCOMPARE(check.trimmed, text.trimmed());
    if (status == PrefixCheck::Valid)
        QTEST(check.stored, "stored");
}

void DialogDecisionsTest::delayBox_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("delay"); // 0: refused
    QTest::newRow("2.5") << u"2.5"_s << 2;
    QTest::newRow("3.5") << u"3.5"_s << 4;
    QTest::newRow("1") << u"1"_s << 1;
    QTest::newRow("leading number") << u" 25s"_s << 25;
    QTest::newRow("exponent") << u"1e3"_s << 1000;
    QTest::newRow("largest") << u"32767"_s << 32767;
    QTest::newRow("0") << u"0"_s << 0;
    QTest::newRow("0.9") << u"0.9"_s << 0;
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("abc") << u"abc"_s << 0;
    QTest::newRow("negative") << u"-3"_s << 0;
    // Held in 16 bits: what the old range let through up to 60000 is refused.
    QTest::newRow("32768") << u"32768"_s << 0;
    QTest::newRow("60000") << u"60000"_s << 0;
    QTest::newRow("overflow") << u"1e999"_s << 0;
}

void DialogDecisionsTest::delayBox() {
    QFETCH(QString, text);
    QFETCH(int, delay);
    const std::optional<int> accepted = acceptedDelay(text);
    QCOMPARE(accepted.value_or(0), delay);
}

void DialogDecisionsTest::delayArrows_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("up");
    QTest::addColumn<int>("delay");
    QTest::addColumn<bool>("atMinimum");
    QTest::newRow("down from 3") << u"3"_s << false << 2 << false;
    QTest::newRow("down from 2") << u"2"_s << false << 1 << true;
    QTest::newRow("down from 1") << u"1"_s << false << 1 << true;
    QTest::newRow("down from text") << u"abc"_s << false << 1 << true;
    QTest::newRow("down from 2.5") << u"2.5"_s << false << 2 << false;
    QTest::newRow("down from huge") << u"1e300"_s << false << 32767 << false;
    QTest::newRow("up from 1") << u"1"_s << true << 2 << false;
    QTest::newRow("up from text") << u"abc"_s << true << 1 << false;
    QTest::newRow("up at the top") << u"32767"_s << true << 32767 << false;
    QTest::newRow("up from very negative") << u"-1e300"_s << true << 1 << false;
}

void DialogDecisionsTest::delayArrows() {
    QFETCH(QString, text);
    QFETCH(bool, up);
    const ArrowStep step = up ? arrowUp(text) : arrowDown(text);
    QTEST(step.delay, "delay");
    QTEST(step.atMinimum, "atMinimum");
}

TORVANELO_TEST(DialogDecisionsTest);
#include "DialogDecisionsTest.moc"
