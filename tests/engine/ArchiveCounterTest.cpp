#include "ArchiveCounter.h"

#include "EngineTestFiles.h"
#include "FakeClock.h"
#include "FakeServiceControl.h"
#include "FolderPair.h"
#include "ProcessingController.h"
#include "RecordingProcessingView.h"
#include "SettingsStore.h"
#include "TestRegistry.h"
#include "linux/LinuxFileSystem.h"
#include "linux/LinuxProcessRunner.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <set>
#include <sys/stat.h>

using namespace torvanelo;
using namespace torvanelo::test;

namespace {

std::optional<ino_t> inodeOf(const QString& path) {
    struct stat status {};
    if (::stat(encodeFileName(path).constData(), &status) != 0)
        return std::nullopt;
    return status.st_ino;
}

} // namespace

class ArchiveCounterTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The archiver is looked up in the program folder first.
        qputenv("TORVANELO_HOME", buildDir().toLocal8Bit());
        if (!QFile::exists(rarPath()))
            QFAIL("the archiver is not built");
    }

    // A number written is held until saved; with nothing held the file is
    // read, so an edit made between passes counts.
    void aNumberIsHeldUntilSaved() {
        QTemporaryDir home;
        SettingsStore store(home.path());
        QVERIFY(store.writeLastFileNumber(41));
        SettingsArchiveCounter counter(store);
        QCOMPARE(counter.readLastFileNumber(), 41);
        QVERIFY(counter.writeLastFileNumber(42));
        QVERIFY(counter.writeLastFileNumber(43));
        QCOMPARE(counter.readLastFileNumber(), 43);
        QCOMPARE(store.readLastFileNumber(), 41);

        QVERIFY(counter.save());
        QCOMPARE(store.readLastFileNumber(), 43);
        QVERIFY(store.writeLastFileNumber(500));
        QCOMPARE(counter.readLastFileNumber(), 500);
        // Nothing held: nothing written.
        QVERIFY(counter.save());
        QCOMPARE(store.readLastFileNumber(), 500);
    }

    // A file that refuses the number leaves it held, to be saved later, and
    // the numbers go on from it meanwhile.
    void aRefusedSaveKeepsTheNumber() {
        QTemporaryDir home;
        SettingsStore store(home.path());
        QVERIFY(store.writeLastFileNumber(7));
        SettingsArchiveCounter counter(store);
        QVERIFY(counter.writeLastFileNumber(8));
        const QString ini = store.settings().ParametersFile;
        QVERIFY(QFile::rename(ini, ini + QStringLiteral(".away")));
        QVERIFY(QDir().mkdir(ini)); // a folder where the file was: no write can replace it

        QVERIFY(!counter.save());
        QCOMPARE(counter.readLastFileNumber(), 8);
        QVERIFY(QDir().rmdir(ini));
        QVERIFY(QFile::rename(ini + QStringLiteral(".away"), ini));
        QCOMPARE(store.readLastFileNumber(), 7);
        QVERIFY(counter.save());
        QCOMPARE(store.readLastFileNumber(), 8);
    }

    // The parameters file is replaced once at the end of a pass, not once
    // per file, and holds the last number when the pass is over.
    void aPassWritesTheParametersFileOnce() {
        QTemporaryDir root;
        const QString home = root.filePath(QStringLiteral("home"));
        const QString in = root.filePath(QStringLiteral("in"));
        const QString middle = root.filePath(QStringLiteral("middle"));
        for (const QString& path : {home, in, middle})
            QVERIFY(QDir().mkpath(path));
        LinuxFileSystem files;
        LinuxProcessRunner runner;
        SettingsStore store(home);
        store.readLanguage();
        store.readRemaining();
        QVERIFY(store.writeLastFileNumber(10));
        SettingsArchiveCounter counter(store);
        FakeClock clock(QDateTime(QDate(2001, 5, 12), QTime(14, 2, 0)));
        FakeServiceControl service;
        RecordingProcessingView view;
        FolderPair pair = newFolderPair(in);
        pair.Target = middle;
        std::vector<FolderPair> pairs{pair};
        ProcessingController controller(store.settings(), pairs,
                                        EngineServices{files, runner, counter, clock, service},
                                        view, view);
        for (const char* name : {"a", "b", "c"})
            QVERIFY(plant(in, Original{name, name, {}}));
        const QString ini = store.settings().ParametersFile;
        const auto before = inodeOf(ini);
        QVERIFY(before.has_value());
        std::set<ino_t> seen;
        view.onProcessEvents = [&] {
            if (const auto inode = inodeOf(ini))
                seen.insert(*inode);
        };

        controller.cmdMiroir_Click();

        QCOMPARE(controller.lastPassCounts().FilesCompressed, 3);
        QCOMPARE(seen, std::set<ino_t>{*before});
        QCOMPARE(store.readLastFileNumber(), 13);
        QCOMPARE(entryNames(middle),
                 (QStringList{QStringLiteral("RA000011.rar"), QStringLiteral("RA000012.rar"),
                              QStringLiteral("RA000013.rar")}));
    }
};

TORVANELO_TEST(ArchiveCounterTest);
#include "ArchiveCounterTest.moc"
