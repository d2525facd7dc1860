#include "PassCosts.h"

#include "ArchiveCounter.h"
#include "EngineTestFiles.h"
#include "FakeClock.h"
#include "FakeServiceControl.h"
#include "FileProcessor.h"
#include "FolderPair.h"
#include "PassSummary.h"
#include "ProcessingController.h"
#include "RecordingProcessRunner.h"
#include "RecordingProcessingView.h"
#include "SettingsStore.h"
#include "TestRegistry.h"
#include "linux/LinuxFileSystem.h"
#include "linux/LinuxProcessRunner.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <map>

using namespace torvanelo;
using namespace torvanelo::test;

namespace {

// The fields of a report line, by name.
std::map<QByteArray, QByteArray> fieldsOf(const QByteArray& line) {
    std::map<QByteArray, QByteArray> fields;
    for (const QByteArray& field : line.trimmed().split(' ')) {
        const qsizetype equals = field.indexOf('=');
        fields[field.left(equals)] = field.mid(equals + 1);
    }
    return fields;
}

QList<QByteArray> reportLines(const QString& path) {
    const auto content = readFile(path);
    if (!content)
        return {};
    QList<QByteArray> lines = content->split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// Sets an environment variable for the life of the object.
class EnvironmentValue {
public:
    EnvironmentValue(const char* name, const QByteArray& value)
        : m_name(name)
        , m_old(qgetenv(name))
        , m_had(qEnvironmentVariableIsSet(name)) {
        qputenv(name, value);
    }
    ~EnvironmentValue() {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    QByteArray m_old;
    bool m_had;
};

} // namespace

class PassCostsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The archiver is looked up in the program folder first.
        qputenv("TORVANELO_HOME", buildDir().toLocal8Bit());
        if (!QFile::exists(rarPath()))
            QFAIL("the archiver is not built");
    }

    void offMeasuresAndWritesNothing() {
        QTemporaryDir folder;
        LinuxFileSystem files;
        PassCosts costs;
        QVERIFY(!costs.enabled());
        costs.startPass();
        { const PassCosts::Span span(&costs, PassCosts::Archiver); }
        { const PassCosts::Span span(nullptr, PassCosts::Moves); }
        QCOMPARE(costs.calls(PassCosts::Archiver), 0);
        QCOMPARE(costs.nanoseconds(PassCosts::Archiver), 0);
        QVERIFY(!costs.reportPass(files, PassCounts{}));
        QVERIFY(QDir(folder.path()).isEmpty());
    }

    void spansAddUpByKindAndANewPassStartsAfresh() {
        QTemporaryDir folder;
        PassCosts costs(folder.filePath(QStringLiteral("costs")));
        costs.startPass();
        for (int i = 0; i < 3; ++i) {
            const PassCosts::Span span(&costs, PassCosts::Archiver);
        }
        { const PassCosts::Span span(&costs, PassCosts::Parameters); }
        QCOMPARE(costs.calls(PassCosts::Archiver), 3);
        QCOMPARE(costs.calls(PassCosts::Moves), 0);
        QCOMPARE(costs.calls(PassCosts::Parameters), 1);
        QVERIFY(costs.nanoseconds(PassCosts::Archiver) >= 0);

        costs.startPass();
        QCOMPARE(costs.calls(PassCosts::Archiver), 0);
        QCOMPARE(costs.nanoseconds(PassCosts::Archiver), 0);
    }

    void eachPassAppendsOneLineWithItsCounts() {
        QTemporaryDir folder;
        LinuxFileSystem files;
        const QString report = folder.filePath(QStringLiteral("costs"));
        PassCosts costs(report);
        PassCounts counts;
        counts.FilesHandled = 7;
        counts.FilesCompressed = 4;
        counts.FilesUncompressed = 3;
        for (int pass = 0; pass < 2; ++pass) {
            costs.startPass();
            { const PassCosts::Span span(&costs, PassCosts::Moves); }
            QVERIFY(costs.reportPass(files, counts));
        }
        const QList<QByteArray> lines = reportLines(report);
        QCOMPARE(lines.size(), 2);
        for (const QByteArray& line : lines) {
            auto fields = fieldsOf(line);
            QCOMPARE(fields.size(), std::size_t(10));
            QCOMPARE(fields["moves"], QByteArray("1"));
            QCOMPARE(fields["archiver_runs"], QByteArray("0"));
            QCOMPARE(fields["handled"], QByteArray("7"));
            QCOMPARE(fields["compressed"], QByteArray("4"));
            QCOMPARE(fields["uncompressed"], QByteArray("3"));
            bool number = false;
            const double pass = fields["pass_ms"].toDouble(&number);
            QVERIFY(number);
            QVERIFY(pass >= fields["moves_ms"].toDouble());
        }
    }

    void aReportThatCannotBeWrittenIsNoFailureOfThePass() {
        QTemporaryDir folder;
        LinuxFileSystem files;
        PassCosts costs(folder.filePath(QStringLiteral("missing/costs")));
        costs.startPass();
        QVERIFY(!costs.reportPass(files, PassCounts{}));
    }

    // The measuring points sit where the work is: a chained compression and
    // uncompression of one file with the real archiver.
    void theEngineMeasuresArchiverMovesAndCounter() {
        QTemporaryDir root;
        const QString home = root.filePath(QStringLiteral("home"));
        const QString source = root.filePath(QStringLiteral("source"));
        const QString middle = root.filePath(QStringLiteral("middle"));
        const QString delivered = root.filePath(QStringLiteral("final"));
        for (const QString& path : {home, source, middle, delivered})
            QVERIFY(QDir().mkpath(path));
        const Original file{"plan.doc", "plan", {{"user.k", "v"}}};
        QVERIFY(plant(source, file));

        LinuxFileSystem files;
        LinuxProcessRunner runner;
        SettingsStore store(home);
        store.readLanguage();
        store.readRemaining();
        SettingsArchiveCounter counter(store);
        PassCounts counts;
        PassCosts costs(root.filePath(QStringLiteral("costs")));
        costs.startPass();
        FileProcessor processor(files, runner, counter, store.settings(), counts, nullptr,
                                YieldFunction(), &costs);
        processor.ScanFolder(MakePairPaths(source, middle), true);
        processor.ScanFolder(MakePairPaths(middle, delivered), false);

        QCOMPARE(checkIntact(delivered, file), QString());
        QCOMPARE(costs.calls(PassCosts::Archiver), 2);
        // Into the data file name, the archive into the target, the data
        // file out of the work folder.
        QCOMPARE(costs.calls(PassCosts::Moves), 3);
        // The counter read, and written once the archive is in place.
        QCOMPARE(costs.calls(PassCosts::Parameters), 2);
        QVERIFY(costs.nanoseconds(PassCosts::Archiver) > 0);
    }

    // TORVANELO_COSTS switches it on for the program's passes.
    void theControllerReportsEveryPassWhenAsked() {
        QTemporaryDir home;
        const QString report = home.filePath(QStringLiteral("costs"));
        const EnvironmentValue on("TORVANELO_COSTS", report.toLocal8Bit());
        LinuxFileSystem files;
        SettingsStore store(home.path());
        store.readLanguage();
        store.readRemaining();
        SettingsArchiveCounter counter(store);
        RecordingProcessRunner runner;
        FakeClock clock(QDateTime(QDate(2001, 5, 12), QTime(14, 2, 0)));
        FakeServiceControl service;
        RecordingProcessingView view;
        std::vector<FolderPair> pairs;
        const QString in = home.filePath(QStringLiteral("in"));
        const QString out = home.filePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(in));
        QVERIFY(QDir().mkpath(out));
        FolderPair pair = newFolderPair(in);
        pair.Target = out;
        pair.Mode = QStringLiteral("1"); // moves through what is not an archive
        pairs.push_back(pair);
        ProcessingController controller(store.settings(), pairs,
                                        EngineServices{files, runner, counter, clock, service},
                                        view, view);
        QVERIFY(writeFile(in + QStringLiteral("/a.txt"), "a"));
        QVERIFY(writeFile(in + QStringLiteral("/b.txt"), "b"));
        // The start command's pass, then one more.
        controller.cmdMiroir_Click();
        controller.RunPass();

        const QList<QByteArray> lines = reportLines(report);
        QCOMPARE(lines.size(), 2);
        auto first = fieldsOf(lines[0]);
        QCOMPARE(first["handled"], QByteArray("2"));
        QCOMPARE(first["uncompressed"], QByteArray("2"));
        QCOMPARE(first["moves"], QByteArray("2"));
        QCOMPARE(fieldsOf(lines[1])["handled"], QByteArray("0"));
    }

private:
    using YieldFunction = FileProcessor::YieldFunction;
};

TORVANELO_TEST(PassCostsTest);
#include "PassCostsTest.moc"
