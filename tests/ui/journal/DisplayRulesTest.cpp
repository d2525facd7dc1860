#include "FormatSize.h"
#include "JournalDialogRules.h"
#include "NameCodec.h"
#include "OpenDocument.h"
#include "TestRegistry.h"

#include <QTest>

using namespace torvanelo;
using namespace Qt::Literals::StringLiterals;

namespace {
const QLocale English(QLocale::English, QLocale::UnitedStates);
const QLocale French(QLocale::French, QLocale::France);
} // namespace

// The decisions behind the journal windows and the folder contents, without
// any window.
class DisplayRulesTest : public QObject {
    Q_OBJECT

private slots:
    void formatSize_data() {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << qint64(0) << u"0 bytes"_s;
        QTest::newRow("1023") << qint64(1023) << u"1,023 bytes"_s;
        QTest::newRow("1024") << qint64(1024) << u"1.00KB (1,024 bytes)"_s;
        QTest::newRow("1536") << qint64(1536) << u"1.50KB (1,536 bytes)"_s;
        QTest::newRow("10240") << qint64(10240) << u"10.0KB (10,240 bytes)"_s;
        QTest::newRow("102400") << qint64(102400) << u"100KB (102,400 bytes)"_s;
        QTest::newRow("1048575") << qint64(1048575) << u"1024KB (1,048,575 bytes)"_s;
        QTest::newRow("1048576") << qint64(1048576) << u"1.00MB (1,048,576 bytes)"_s;
        QTest::newRow("1073741824") << qint64(1073741824) << u"1.00GB (1,073,741,824 bytes)"_s;
        // The unit follows the whole kilobytes, not the rounded value.
        QTest::newRow("just under 10 KB") << qint64(10239) << u"10.00KB (10,239 bytes)"_s;
        QTest::newRow("just under 100 KB") << qint64(102399) << u"100.0KB (102,399 bytes)"_s;
        QTest::newRow("a half rounds up") << qint64(102912) << u"101KB (102,912 bytes)"_s;
        QTest::newRow("1000 KB") << qint64(1024000) << u"1000KB (1,024,000 bytes)"_s;
        QTest::newRow("1024 KB") << qint64(1048576 + 512) << u"1.00MB (1,049,088 bytes)"_s;
        QTest::newRow("9999 KB") << qint64(10238976) << u"9.76MB (10,238,976 bytes)"_s;
        QTest::newRow("10000 KB") << qint64(10240000) << u"9.8MB (10,240,000 bytes)"_s;
        QTest::newRow("100000 KB") << qint64(102400000) << u"98MB (102,400,000 bytes)"_s;
        QTest::newRow("1000000 KB") << qint64(1024000000) << u"0.95GB (1,024,000,000 bytes)"_s;
        QTest::newRow("just under 1 GB") << qint64(1073741823) << u"1.00GB (1,073,741,823 bytes)"_s;
        // Beyond 2 GiB the full size, never its low 32 bits.
        QTest::newRow("3 GiB") << qint64(3221225472) << u"3.00GB (3,221,225,472 bytes)"_s;
        QTest::newRow("4 GiB") << qint64(4294967296) << u"4.00GB (4,294,967,296 bytes)"_s;
        QTest::newRow("4 GiB - 1") << qint64(4294967295) << u"4.00GB (4,294,967,295 bytes)"_s;
        QTest::newRow("5 TiB") << qint64(5497558138880) << u"5120.00GB (5,497,558,138,880 bytes)"_s;
        QTest::newRow("negative") << qint64(-5) << u"-5 bytes"_s;
    }
    void formatSize() {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(FormatSize(bytes, English), text);
    }

    void formatSizeTakesTheRegionalSeparators() {
        const QString group = French.groupSeparator();
        QCOMPARE(FormatSize(1536, French), u"1,50KB (1"_s + group + u"536 bytes)"_s);
        QCOMPARE(FormatSize(3221225472, French),
                 u"3,00GB (3"_s + group + u"221"_s + group + u"225"_s + group + u"472 bytes)"_s);
        const QLocale german(QLocale::German, QLocale::Germany);
        QCOMPARE(FormatSize(1048575, german), u"1024KB (1.048.575 bytes)"_s);
    }

    void journalDates_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("date");
        QTest::newRow("journal") << u"Log Torvanelo 2001-05-12.htm"_s << u"2001-05-12"_s;
        QTest::newRow("other file") << u"Log Torvanelo backup.htm"_s << u"backup.htm"_s;
        QTest::newRow("short") << u"Log Torvanelo.htm"_s << u"htm"_s;
        QTest::newRow("long") << u"Log Torvanelo 2001-05-12 copy.htm"_s << u"2001-05-12"_s;
    }
    void journalDates() {
        QFETCH(QString, name);
        QFETCH(QString, date);
        QCOMPARE(JournalDate(name), date);
    }

    void viewerScrollReachesEveryLabel() {
        QCOMPARE(ViewerScrollMaximum(0, 2175), 33600 - 2175);
        QCOMPARE(ViewerScrollMaximum(25, 2175), 33600 - 2175);
        // 400 journals: 100 rows, the last one at 120 + 99 * 360.
        const int last = ViewerLabelTwips(399).y();
        QCOMPARE(last, 120 + 99 * 360);
        QVERIFY(ViewerScrollMaximum(400, 2175) + 2175 >= last + 195);
        QCOMPARE(ViewerScrollMaximum(0, 40000), 0);
    }

    void purgeArrows_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("up");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("bound");
        const int hidden = int(BoundText::Hidden);
        const int minimum = int(BoundText::Minimum);
        const int maximum = int(BoundText::Maximum);
        QTest::newRow("down from 10") << u"10"_s << false << 9 << hidden;
        QTest::newRow("down from 3") << u"3"_s << false << 2 << minimum;
        QTest::newRow("down from 2") << u"2"_s << false << 2 << minimum;
        QTest::newRow("down from text") << u"abc"_s << false << 2 << minimum;
        QTest::newRow("down from empty") << QString() << false << 2 << minimum;
        QTest::newRow("down from 3.6") << u"3.6"_s << false << 3 << hidden;
        QTest::newRow("down from 3.5") << u"3.5"_s << false << 2 << minimum;
        QTest::newRow("down from 500") << u"500"_s << false << 366 << hidden;
        QTest::newRow("down from huge") << u"1e999"_s << false << 366 << hidden;
        QTest::newRow("up from 10") << u"10"_s << true << 11 << hidden;
        QTest::newRow("up from 365") << u"365"_s << true << 366 << maximum;
        QTest::newRow("up from 366") << u"366"_s << true << 366 << maximum;
        QTest::newRow("up from 500") << u"500"_s << true << 366 << maximum;
        QTest::newRow("up from 2.5") << u"2.5"_s << true << 4 << hidden;
        QTest::newRow("up from 12 days") << u"12 days"_s << true << 13 << hidden;
        QTest::newRow("up from negative") << u"-40"_s << true << 2 << hidden;
        QTest::newRow("up from huge negative") << u"-1e999"_s << true << 2 << hidden;
    }
    void purgeArrows() {
        QFETCH(QString, text);
        QFETCH(bool, up);
        QFETCH(int, value);
        QFETCH(int, bound);
        const ArrowStep step = up ? PurgeUpArrow(text) : PurgeDownArrow(text);
        QCOMPARE(step.value, value);
        QCOMPARE(int(step.bound), bound);
    }

    void purgeRetention_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("stored"); // 0: refused
        QTest::newRow("1") << u"1"_s << 0;
        QTest::newRow("2") << u"2"_s << 2;
        QTest::newRow("2.5") << u"2.5"_s << 2;
        QTest::newRow("3.5") << u"3.5"_s << 4;
        QTest::newRow("1.9") << u"1.9"_s << 0;
        QTest::newRow("366") << u"366"_s << 366;
        QTest::newRow("366.4") << u"366.4"_s << 0;
        QTest::newRow("366.5") << u"366.5"_s << 0;
        QTest::newRow("367") << u"367"_s << 0;
        QTest::newRow("blank around") << u"  30 "_s << 30;
        QTest::newRow("exponent") << u"1e2"_s << 100;
        QTest::newRow("leading number") << u"45 jours"_s << 45;
        QTest::newRow("text") << u"abc"_s << 0;
        QTest::newRow("empty") << QString() << 0;
        QTest::newRow("negative") << u"-10"_s << 0;
        QTest::newRow("huge") << u"1e999"_s << 0;
    }
    void purgeRetention() {
        QFETCH(QString, text);
        QFETCH(int, stored);
        const auto retention = PurgeRetention(text);
        QCOMPARE(retention.value_or(0), stored);
    }

    void driveMounts_data() {
        QTest::addColumn<QString>("mountPoint");
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<bool>("drive");
        QTest::newRow("root") << u"/"_s << QByteArray("ext4") << true;
        QTest::newRow("data") << u"/srv/data"_s << QByteArray("xfs") << true;
        QTest::newRow("tmp") << u"/tmp"_s << QByteArray("tmpfs") << true;
        QTest::newRow("network") << u"/mnt/share"_s << QByteArray("cifs") << true;
        QTest::newRow("usb stick") << u"/run/media/anne/USB"_s << QByteArray("vfat") << true;
        QTest::newRow("proc") << u"/proc"_s << QByteArray("proc") << false;
        QTest::newRow("sys") << u"/sys/fs/cgroup"_s << QByteArray("tmpfs") << false;
        QTest::newRow("dev shm") << u"/dev/shm"_s << QByteArray("tmpfs") << false;
        QTest::newRow("run user") << u"/run/user/1000"_s << QByteArray("tmpfs") << false;
        QTest::newRow("cgroup elsewhere") << u"/cg"_s << QByteArray("cgroup2") << false;
        QTest::newRow("device named like sys") << u"/system"_s << QByteArray("ext4") << true;
        QTest::newRow("relative") << u"data"_s << QByteArray("ext4") << false;
    }
    void driveMounts() {
        QFETCH(QString, mountPoint);
        QFETCH(QByteArray, type);
        QFETCH(bool, drive);
        QCOMPARE(IsDriveMount(mountPoint, type), drive);
    }

    void driveOfFolder_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("drive");
        QTest::newRow("on root") << u"/home/anne"_s << u"/"_s;
        QTest::newRow("the mount itself") << u"/srv/data"_s << u"/srv/data"_s;
        QTest::newRow("under the mount") << u"/srv/data/logs"_s << u"/srv/data"_s;
        QTest::newRow("a name that only begins alike") << u"/srv/data2/logs"_s << u"/"_s;
        QTest::newRow("nested mount") << u"/srv/data/usb/x"_s << u"/srv/data/usb"_s;
        QTest::newRow("relative") << u"logs"_s << QString();
    }
    void driveOfFolder() {
        QFETCH(QString, folder);
        QFETCH(QString, drive);
        const std::vector<QString> drives = {u"/"_s, u"/srv/data"_s, u"/srv/data/usb"_s};
        QCOMPARE(DriveOfFolder(folder, drives), drive);
    }

    void documentAddresses() {
        // Spaces, '#' and '%' are part of the name, not of the address.
        QCOMPARE(DocumentUrl(u"/srv/Log Torvanelo #1 100%.htm"_s).toEncoded(),
                 QByteArray("file:///srv/Log%20Torvanelo%20%231%20100%25.htm"));
        // A name that is not valid UTF-8 reaches the browser as its bytes.
        const QString odd = decodeFileName(QByteArray("/srv/journ\xe9/x.htm"));
        QCOMPARE(DocumentUrl(odd).toEncoded(), QByteArray("file:///srv/journ%E9/x.htm"));
        QCOMPARE(DocumentUrl(u"https://torvanelo.example.org/"_s).toString(),
                 u"https://torvanelo.example.org/"_s);
    }
};

TORVANELO_TEST(DisplayRulesTest);
#include "DisplayRulesTest.moc"
