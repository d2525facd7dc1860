#include "ArchiveCounter.h"
#include "FakeClock.h"
#include "FakeServiceControl.h"
#include "FolderPair.h"
#include "ProcessingController.h"
#include "ProgramFolder.h"
#include "RecordingProcessingView.h"
#include "ScratchMount.h"
#include "SettingsStore.h"
#include "TestRegistry.h"
#include "linux/LinuxProcessRunner.h"

#include <QSignalSpy>
#include <QStorageInfo>
#include <QTest>

#include <optional>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

// The program without its window over the chained pairs of a program
// folder: the real file system, the real process runner and the real
// archiver. Only the window, the clock and the service manager are fakes.
struct Site : ProgramFolder {
    LinuxFileSystem files;
    LinuxProcessRunner runner;
    SettingsStore store{home};
    SettingsArchiveCounter counter{store};
    FakeClock clock{QDateTime(QDate(2001, 5, 12), QTime(14, 2, 0))};
    FakeServiceControl service;
    RecordingProcessingView view;
    std::vector<FolderPair> pairs{newFolderPair(in), newFolderPair(middle)};
    std::unique_ptr<ProcessingController> controller;
    std::unique_ptr<QSignalSpy> passes;

    Site() {
        store.readLanguage();
        store.readRemaining();
        store.setDefaultDelay(1);
        store.setLogEnabled(true);
        store.setLogFileNames(true);
        pairs[0].Target = middle;
        pairs[1].Target = out;
        pairs[1].Mode = QStringLiteral("1");
        controller = std::make_unique<ProcessingController>(
            store.settings(), pairs, EngineServices{files, runner, counter, clock, service}, view,
            view);
        controller->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        passes =
            std::make_unique<QSignalSpy>(controller.get(), &ProcessingController::passFinished);
    }

    // The first pass starts the series; the next ones come from the timer.
    bool pass() {
        clock.advanceSeconds(2);
        const qsizetype before = passes->size();
        if (controller->ProcessingStopped())
            controller->cmdMiroir_Click();
        for (int tick = 0; tick < 100 && passes->size() == before; ++tick)
            controller->Timer1_Timer();
        return passes->size() == before + 1;
    }
    void enableSecondPair(bool enabled) { pairs[1].Enabled = QString::number(int(enabled)); }
    const PassCounts& counts() const { return controller->lastPassCounts(); }

    // Empty when each original is intact under its own name in the in or
    // out folder, or still whole inside an archive on its way (the archives
    // store the data as it is), and nothing half-written has its name in the
    // out folder.
    QString checkNotLost(const std::vector<Original>& originals, const QString& alsoIn = {}) {
        QByteArrayList archives;
        for (const QString& folder : {in, middle, alsoIn}) {
            for (const QString& name : entryNames(folder)) {
                if (name.endsWith(QStringLiteral(".rar"), Qt::CaseInsensitive))
                    archives << readFile(pathIn(folder, name)).value_or(QByteArray());
            }
        }
        for (const Original& original : originals) {
            const auto delivered = readFile(pathIn(out, original.name()));
            if (delivered && *delivered != original.content)
                return QStringLiteral("damaged: ") + original.name();
            if (checkIntact(in, original, false).isEmpty() || checkIntact(out, original).isEmpty()
                || std::any_of(archives.begin(), archives.end(), [&](const QByteArray& archive) {
                       return archive.contains(original.content);
                   }))
                continue;
            return QStringLiteral("lost: ") + original.name();
        }
        return QString();
    }
};

} // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        qputenv("TORVANELO_HOME", buildDir().toLocal8Bit());
        QVERIFY2(QFile::exists(rarPath()), "the archiver is not built");
    }

    // In one pass through both pairs; or, the second pair disabled at
    // first, with only numbered archives that show none of the names waiting
    // in between. The counter goes on from where it stood, wraps after
    // 999999 and is kept.
    void chainedPairsDeliverEverything_data() {
        QTest::addColumn<int>("lastNumber");
        QTest::addColumn<bool>("onePass");
        QTest::newRow("in one pass") << 0 << true;
        QTest::newRow("archives wait in between") << 0 << false;
        QTest::newRow("counter wraps after 999999") << 999998 << false;
    }
    void chainedPairsDeliverEverything() {
        QFETCH(int, lastNumber);
        QFETCH(bool, onePass);
        Site site;
        QVERIFY(site.store.writeLastFileNumber(lastNumber));
        const auto originals = variedOriginals();
        const int n = int(originals.size());
        QVERIFY(site.plantAll(originals));
        if (!onePass) {
            site.enableSecondPair(false);
            QVERIFY(site.pass());
            QStringList archives;
            for (int i = 1; i <= n; ++i)
                archives << QStringLiteral("RA%1.rar")
                                .arg((lastNumber + i) % 1000000, 6, 10, QChar(u'0'));
            archives.sort();
            QCOMPARE(entryNames(site.middle), archives);
            for (const QString& name : entryNames(site.middle))
                QVERIFY(
                    !readFile(pathIn(site.middle, name)).value_or("Plan.doc").contains("Plan.doc"));
            site.enableSecondPair(true);
        }

        QVERIFY(site.pass());
        QCOMPARE(site.counts().FilesHandled, onePass ? 2 * n : n);
        QCOMPARE(site.counts().FilesUncompressed, n);
        QCOMPARE(site.checkDelivered(originals), QString());
        QCOMPARE(site.store.readLastFileNumber(), (lastNumber + n) % 1000000);
        // One journal entry per archiver run, whatever the name (the entries'
        // exact form is the engine tests' business).
        const QByteArray journal =
            readFile(site.home + QStringLiteral("/Log Torvanelo 2001-05-12.htm")).value_or("");
        QCOMPARE(journal.count("<small><b>Rar</b> - "), n);
        QCOMPARE(journal.count("<small><b>Unrar</b> - "), n);
    }

    // What is not a new file finds its own way. An archive of an earlier
    // run dropped into the compressing pair travels as it is and is unpacked
    // further on; files without an archive name are moved through by the
    // uncompressing pair; hidden leftovers of a stopped run get their name
    // back (the data file from its name file) or, the system's own
    // temporaries, are purged. Sub-folders and a 0-byte archive are left as
    // they are; a file held open by another process waits until it is let go.
    void eachEntryFindsItsWay() {
        Site site;
        const Original packed{"packed.txt", "packed earlier", {{"user.p", "1"}}};
        QVERIFY(plant(site.in, packed));
        site.enableSecondPair(false);
        QVERIFY(site.pass());
        QVERIFY(QFile::rename(pathIn(site.middle, u"RA000001.rar"_s),
                              pathIn(site.in, u"ra000001.rar"_s)));
        site.enableSecondPair(true);
        const Original notes{"Notes.txt", "notes", {{"user.n", "2"}}};
        const Original shortName{"RA12345.rar", "not ours", {}};
        const QString empty = u"RA000009.rar"_s;
        QVERIFY(plant(site.middle, notes) && plant(site.middle, shortName)
                && writeFile(pathIn(site.middle, empty), QByteArray()));
        const Original left{"left behind.txt", "left", {{"user.l", "x"}}};
        const QString data = pathIn(site.in, u"RA000050.rr"_s);
        const QString name = pathIn(site.in, u"RA000050.rn"_s);
        const QString temporary = pathIn(site.in, u".torvanelo-RA000051.rar-Q1w2E3.tmp"_s);
        QVERIFY(writeFile(data, left.content) && writeAttributes(data, left.attributes));
        QVERIFY(writeFile(name, "\"6C0065006600740020006200650068"
                                "0069006E0064002E00740078007400\"\r\n"));
        QVERIFY(writeFile(temporary, "partial"));
        for (const QString& path : {data, name, temporary})
            QVERIFY(site.files.setHidden(path, true));
        const Original inner{"inner.txt", "inner", {}};
        const Original busy{"busy.dat", "still being written", {}};
        const QString sub = pathIn(site.in, u"sub"_s);
        QVERIFY(QDir().mkpath(sub + u"/deeper"_s) && plant(sub, inner) && plant(site.in, busy));
        QProcess holder;
        holder.start(u"/bin/sh"_s, {u"-c"_s, u"exec 3<\"$1\"; echo ready; exec sleep 100000"_s,
                                    u"sh"_s, pathIn(site.in, busy.name())});
        QVERIFY(holder.waitForStarted(-1) && holder.waitForReadyRead(-1));

        QVERIFY(site.pass());
        QCOMPARE(site.counts().FilesCompressed, 1);
        QCOMPARE(site.counts().FilesUncompressed, 3);
        QCOMPARE(site.store.readLastFileNumber(), 1);
        QCOMPARE(entryNames(site.in), (QStringList{busy.name(), left.name(), u"sub"_s}));
        QVERIFY(site.pass());
        QCOMPARE(entryNames(site.in), (QStringList{busy.name(), u"sub"_s}));
        holder.kill();
        QVERIFY(holder.waitForFinished(-1));
        QVERIFY(site.pass());
        QCOMPARE(checkIntact(sub, inner), QString());
        QCOMPARE(site.checkDelivered({packed, notes, shortName, left, busy}, {u"sub"_s, empty}),
                 QString());
    }

    // Faults met by a pass: a folder on a small file system of its own,
    // read-only or left with 100 KiB for a file of 300 KiB; the target folder
    // removed between files; the archiver missing, failing or killed half-way
    // while it packs (or unpacks). Nothing is lost or half-written, and once
    // the fault is gone everything arrives.
    void survivesAFault_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("folderName");
        QTest::addColumn<QByteArray>("script"); // the archiver in place of ours
        QTest::newRow("target read-only") << u"read-only"_s << u"middle"_s << QByteArray();
        QTest::newRow("target full") << u"full"_s << u"middle"_s << QByteArray();
        QTest::newRow("source full") << u"full"_s << u"in"_s << QByteArray();
        QTest::newRow("final target full") << u"full"_s << u"out"_s << QByteArray();
        QTest::newRow("target removed between files")
            << u"removed"_s << u"middle"_s << QByteArray();
        QTest::newRow("archiver missing") << u"archiver missing"_s << QString() << QByteArray();
        QTest::newRow("archiver exits without writing")
            << u"archiver"_s << QString() << QByteArray("exit 0\n");
        QTest::newRow("archiver fails loudly")
            << u"archiver"_s << QString() << QByteArray("echo broken >&2; exit 3\n");
        // Writes part of its archive under its temporary name, with the
        // hidden mark, and is killed.
        QTest::newRow("archiver killed half-way")
            << u"archiver"_s << QString()
            << QByteArray("tmp=\"$(dirname \"$3\")/.torvanelo-$(basename \"$3\")-Kx9Zq2.tmp\"\n"
                          "head -c 5000 /dev/urandom > \"$tmp\"\n"
                          "setfattr -n user.torvanelo.hidden -v 1 \"$tmp\"\n"
                          "kill -9 $$\n");
        QTest::newRow("archiver killed half-way unpacking")
            << u"archiver unpacking"_s << QString()
            << QByteArray("head -c 3000 /dev/urandom > RA000001.rr\nkill -9 $$\n");
    }
    void survivesAFault() {
        QFETCH(QString, fault);
        QFETCH(QString, folderName);
        QFETCH(QByteArray, script);
        Site site;
        const QString folder = site.root.filePath(folderName);
        const QString aside = site.root.filePath(u"aside"_s);
        std::optional<ScratchMount> mount;
        if (fault == u"full" || fault == u"read-only") {
            mount.emplace(folder, "tmpfs", "size=4m");
            if (!mount->mounted())
                QSKIP(qPrintable(u"not tested: "_s + mount->error()));
            if (!supportsUserAttributes(folder))
                QSKIP("not tested: tmpfs here takes no user extended attributes");
        }
        std::vector<Original> originals = variedOriginals();
        originals.push_back({"big", randomBytes(300 * 1024, 1), {{"user.big", "1"}}});
        QVERIFY(site.plantAll(originals));
        if (fault == u"archiver unpacking") {
            site.enableSecondPair(false);
            QVERIFY(site.pass());
            site.enableSecondPair(true);
        }
        const QString filler = pathIn(folder, u"filler"_s);
        const qint64 free = QStorageInfo(folder).bytesAvailable() - 100 * 1024;
        // Someone else's hidden file: the scan leaves it alone.
        QVERIFY(fault != u"full"
                || (free > 0 && writeFile(filler, QByteArray(free, 'f'))
                    && site.files.setHidden(filler, true)));
        QVERIFY(fault != u"read-only" || mount->setReadOnly(true));
        site.view.onProcessEvents = [&] {
            if (fault == u"removed" && !QFile::exists(aside) && !entryNames(site.middle).isEmpty())
                QDir().rename(site.middle, aside);
        };
        const QByteArray path = qgetenv("PATH");
        QTemporaryDir nowhere;
        auto fake = script.isEmpty() ? nullptr : std::make_unique<FakeArchiver>(script);
        if (fault == u"archiver missing") {
            qputenv("TORVANELO_HOME", nowhere.path().toLocal8Bit());
            qputenv("PATH", "/nonexistent");
        }
        const bool passed = site.pass();
        fake.reset();
        qputenv("PATH", path);
        qputenv("TORVANELO_HOME", buildDir().toLocal8Bit());

        QVERIFY(passed);
        QVERIFY(site.counts().FilesUncompressed < int(originals.size()));
        // A failing archiver is never taken for a working one.
        if (fault.startsWith(u"archiver"))
            QCOMPARE(site.counts().FilesCompressed + site.counts().FilesUncompressed, 0);
        QCOMPARE(site.checkNotLost(originals, aside), QString());
        if (fault == u"removed") {
            // The first archive left with the folder; the next ones wait in
            // the source folder, their numbers not taken again.
            QCOMPARE(site.counts().InvalidSources, 1);
            QCOMPARE(entryNames(aside), QStringList{u"RA000001.rar"_s});
            QCOMPARE(site.store.readLastFileNumber(), int(originals.size()));
            site.view.onProcessEvents = nullptr;
            QVERIFY(QDir().rename(aside, site.middle));
        }
        QVERIFY(fault != u"full" || site.files.remove(filler));
        QVERIFY(fault != u"read-only" || mount->setReadOnly(false));
        QVERIFY(site.pass() && site.pass());
        QCOMPARE(site.checkDelivered(originals), QString());
    }
};

TORVANELO_TEST(EndToEndTest);
#include "EndToEndTest.moc"
