#include "ProgramFolder.h"
#include "ServiceEnvironment.h"
#include "TestRegistry.h"

#include <QTest>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

// The built program over parameters files as editors and accidents leave
// them.
class ParametersRunTest : public QObject {
    Q_OBJECT

private slots:
    // Both files saved with a byte-order mark: the batch job runs its pass,
    // delivers the file and ends; the counter it writes goes into the same
    // file, mark kept, no second section.
    void batchJobWithByteOrderMarks() {
        ProgramFolder site;
        const QString ini = pathIn(site.home, u"Torvanelo.ini"_s);
        const QString pairs = pathIn(site.home, u"Torvanelo.w"_s);
        QVERIFY(site.writeSettings("Automatique=1\r\nArretAutomatique=1\r\n"));
        const QByteArray bom("\xEF\xBB\xBF");
        QVERIFY(writeFile(ini, bom + readFile(ini).value_or(""))
                && writeFile(pairs, bom + readFile(pairs).value_or("")));
        const Original dropped{"dropped", "data", {{"user.a", "1"}}};
        QVERIFY(site.plantAll({dropped}));
        QVERIFY(site.run());
        QCOMPARE(site.checkDelivered({dropped}), QString());
        const QByteArray after = readFile(ini).value_or("");
        QVERIFY2(after.startsWith(bom + "[Configuration]\r\n")
                     && after.count("[Configuration]") == 1 && after.contains("LastFileNumber=1"),
                 after.constData());
    }

    // A parameters file that cannot be read, or that is not text, ends the
    // program in failure at once, saying why on standard error and, as the
    // service, in the system log; nothing is written and nothing passes.
    void unreadableParametersEndTheProgram_data() {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<bool>("service");
        QTest::addColumn<QString>("message");
        const QString unreadable = u"The parameters file cannot be read"_s;
        const QString notText = u"The parameters file is not UTF-8 text"_s;
        QTest::newRow("folder") << "folder"_ba << false << unreadable;
        QTest::newRow("fifo") << "fifo"_ba << false << unreadable;
        QTest::newRow("binary") << "binary"_ba << false << notText;
        QTest::newRow("UTF-16") << "utf16"_ba << false << notText;
        QTest::newRow("fifo, as the service") << "fifo"_ba << true << unreadable;
    }
    void unreadableParametersEndTheProgram() {
        QFETCH(QByteArray, kind);
        QFETCH(bool, service);
        QFETCH(QString, message);
        ProgramFolder site;
        QVERIFY(site.writeSettings("Automatique=1\r\nArretAutomatique=1\r\n"));
        const QString ini = pathIn(site.home, u"Torvanelo.ini"_s);
        QVERIFY(QFile::remove(ini));
        if (kind == "folder") {
            QVERIFY(QDir().mkdir(ini));
        } else if (kind == "fifo") {
            QVERIFY(::mkfifo(QFile::encodeName(ini).constData(), 0644) == 0);
        } else {
            const QString text = u"[Configuration]\r\nAutomatique=1\r\nArretAutomatique=1\r\n"_s;
            QByteArray content = "\xFF\xFE"_ba;
            for (const QChar c : text)
                content += char(c.unicode()) + QByteArray(1, '\0');
            QVERIFY(writeFile(ini, kind == "binary" ? randomBytes(4096, 7) : content));
        }
        QVERIFY(site.plantAll({{"dropped", "data", {}}}));
        const QStringList names = entryNames(site.home);
        SyslogSink log;
        const auto environment = service ? serviceEnvironment(log) : QProcessEnvironment();
        QVERIFY(environment);
        const auto errors = site.run(1, *environment);
        QVERIFY2(errors && errors->contains(message + u' ' + ini),
                 qPrintable(errors.value_or(QString())));
        QCOMPARE(entryNames(site.home), names);
        QCOMPARE(entryNames(site.in), QStringList{u"dropped"_s});
        QCOMPARE(entryNames(site.middle) + entryNames(site.out), QStringList());
        const QList<QByteArray> entries = log.received();
        QCOMPARE(entries.size(), service ? 1 : 0);
        if (service)
            QVERIFY2(
                entries.front().startsWith("<12>")
                    && entries.front().contains(message.toUtf8() + '\n' + QFile::encodeName(ini)),
                entries.front().constData());
    }
};

TORVANELO_TEST(ParametersRunTest);
#include "ParametersRunTest.moc"
