#include "ArchiveCounter.h"
#include "EngineTestFiles.h"
#include "FakeClock.h"
#include "FakeServiceControl.h"
#include "FolderPair.h"
#include "ProcessingController.h"
#include "RecordingProcessingView.h"
#include "ScratchMount.h"
#include "SettingsStore.h"
#include "TestRegistry.h"
#include "linux/LinuxProcessRunner.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <sys/statvfs.h>

using namespace torvanelo;
using namespace torvanelo::test;

namespace {

// The program without its window: a compressing pair (in -> middle) chained
// to an uncompressing pair (middle -> out), the real file system, the real
// process runner and the real archiver. Only the window, the clock and the
// service manager are fakes.
struct Site {
    QTemporaryDir root;
    QString home = root.filePath(QStringLiteral("home"));
    QString in = root.filePath(QStringLiteral("in"));
    QString middle = root.filePath(QStringLiteral("middle"));
    QString out = root.filePath(QStringLiteral("out"));
    LinuxFileSystem files;
    LinuxProcessRunner runner;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<SettingsArchiveCounter> counter;
    FakeClock clock{QDateTime(QDate(2001, 5, 12), QTime(14, 2, 0))};
    FakeServiceControl service;
    RecordingProcessingView view;
    std::vector<FolderPair> pairs;
    std::unique_ptr<ProcessingController> controller;
    std::unique_ptr<QSignalSpy> passes;

    Site() {
        for (const QString& folder : {home, in, middle, out})
            QDir().mkpath(folder);
        store = std::make_unique<SettingsStore>(home);
        store->readLanguage();
        store->readRemaining();
        store->setDefaultDelay(1);
        store->setLogEnabled(true);
        store->setLogFileNames(true);
        counter = std::make_unique<SettingsArchiveCounter>(*store);
        FolderPair compressing = newFolderPair(in);
        compressing.Target = middle;
        FolderPair uncompressing = newFolderPair(middle);
        uncompressing.Target = out;
        uncompressing.Mode = QStringLiteral("1");
        pairs = {compressing, uncompressing};
        controller = std::make_unique<ProcessingController>(
            store->settings(), pairs, EngineServices{files, runner, *counter, clock, service}, view,
            view);
        controller->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        passes =
            std::make_unique<QSignalSpy>(controller.get(), &ProcessingController::passFinished);
    }
    ~Site() {
        controller.reset();
        removeTree(root.path());
    }

    // The first pass starts the series; the next ones come from the timer.
    bool pass() {
        clock.advanceSeconds(2);
        const qsizetype before = passes->size();
        if (controller->ProcessingStopped()) {
            controller->cmdMiroir_Click();
        } else {
            for (int tick = 0; tick < 100 && passes->size() == before; ++tick)
                controller->Timer1_Timer();
        }
        return passes->size() == before + 1;
    }

    const PassCounts& counts() const { return controller->lastPassCounts(); }

    bool plantAll(const std::vector<Original>& originals) {
        for (const Original& original : originals) {
            if (!plant(in, original))
                return false;
        }
        return true;
    }

    // Empty when every original is intact in the out folder and nothing is
    // left on the way.
    QString checkAllDelivered(const std::vector<Original>& originals,
                              const QStringList& alsoInOut = {}) {
        for (const Original& original : originals) {
            const QString problem = checkIntact(out, original);
            if (!problem.isEmpty())
                return problem;
        }
        QStringList expected = namesOf(originals) + alsoInOut;
        expected.sort();
        if (entryNames(out) != expected)
            return QStringLiteral("out holds ") + entryNames(out).join(u'|');
        if (!entryNames(in).isEmpty())
            return QStringLiteral("in holds ") + entryNames(in).join(u'|');
        if (!entryNames(middle).isEmpty())
            return QStringLiteral("middle holds ") + entryNames(middle).join(u'|');
        return QString();
    }

    // Empty when every original is intact under its own name in the in or
    // out folder.
    QString checkAllAtHome(const std::vector<Original>& originals) {
        for (const Original& original : originals) {
            if (!checkIntact(in, original, false).isEmpty()
                && !checkIntact(out, original).isEmpty())
                return QStringLiteral("not found intact: ") + original.name();
        }
        return QString();
    }

    // Empty when the original is intact under its own name in the in or out
    // folder, or still whole inside an archive on its way (the archives
    // store the data as it is).
    QString checkNotLost(const Original& original, const QString& alsoIn = QString()) {
        if (checkIntact(in, original, false).isEmpty() || checkIntact(out, original).isEmpty())
            return QString();
        for (const QString& folder : {in, middle, alsoIn}) {
            for (const QString& name : entryNames(folder)) {
                const auto content = readFile(pathIn(folder, name));
                if (name.endsWith(QStringLiteral(".rar"), Qt::CaseInsensitive) && content
                    && content->contains(original.content))
                    return QString();
            }
        }
        return QStringLiteral("lost: ") + original.name();
    }

    QString journalPath() const { return home + QStringLiteral("/Log Torvanelo 2001-05-12.htm"); }
};

QStringList archiveNames(int first, int count) {
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << QStringLiteral("RA%1.rar").arg((first + i) % 1000000, 6, 10, QChar(u'0'));
    return names;
}

} // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        qputenv("TORVANELO_HOME", buildDir().toLocal8Bit());
        if (!QFile::exists(rarPath()))
            QFAIL("the archiver is not built");
    }

    void chainedPairsDeliverEverythingInOnePass() {
        Site site;
        QVERIFY(supportsUserAttributes(site.in));
        const auto originals = variedOriginals();
        QVERIFY(site.plantAll(originals));

        QVERIFY(site.pass());

        const int n = int(originals.size());
        QCOMPARE(site.counts().FilesHandled, 2 * n);
        QCOMPARE(site.counts().FilesCompressed, n);
        QCOMPARE(site.counts().FilesUncompressed, n);
        QCOMPARE(site.checkAllDelivered(originals), QString());
        QCOMPARE(site.store->readLastFileNumber(), n);
        const auto journal = readFile(site.journalPath());
        QVERIFY(journal.has_value());
        QCOMPARE(journal->count("<small><b>Rar</b> - "), n);
        QCOMPARE(journal->count("<small><b>Unrar</b> - "), n);
        QVERIFY(journal->contains("&lt;b&gt;x&lt;&amp;amp;&gt;&quot;"));
        QVERIFY(journal->endsWith("<br><hr>\r\n"));
    }

    void onlyArchivesTravelInBetween() {
        Site site;
        site.pairs[1].Enabled = QStringLiteral("0");
        const auto originals = variedOriginals();
        QVERIFY(site.plantAll(originals));
        QVERIFY(site.pass());
        const int n = int(originals.size());
        QCOMPARE(entryNames(site.middle), archiveNames(1, n));
        QCOMPARE(entryNames(site.in), QStringList());
        QCOMPARE(entryNames(site.out), QStringList());
        QCOMPARE(site.store->parametersFile().ReadProfileValue(u"Processing", u"LastFileNumber"),
                 QString::number(n));
        // Nothing of the names shows in between.
        for (const QString& name : entryNames(site.middle)) {
            const auto archive = readFile(pathIn(site.middle, name));
            QVERIFY(archive.has_value());
            QVERIFY(!archive->contains("Plan.doc"));
        }

        site.pairs[1].Enabled = QStringLiteral("1");
        QVERIFY(site.pass());
        QCOMPARE(site.checkAllDelivered(originals), QString());
    }

    void theCounterWrapsAfter999999() {
        Site site;
        site.pairs[1].Enabled = QStringLiteral("0");
        QVERIFY(site.store->writeLastFileNumber(999998));
        QVERIFY(site.plantAll({{"one", "1", {}}, {"two", "2", {}}}));
        QVERIFY(site.pass());
        QCOMPARE(entryNames(site.middle),
                 (QStringList{QStringLiteral("RA000000.rar"), QStringLiteral("RA999999.rar")}));
        QCOMPARE(site.store->parametersFile().ReadProfileValue(u"Processing", u"LastFileNumber"),
                 QStringLiteral("0"));
    }

    void archivesAndOtherFilesPassThrough() {
        Site site;
        // An archive of an earlier run, dropped into the compressing pair,
        // travels as it is and is unpacked further on.
        const Original packed{"packed.txt", "packed earlier", {{"user.p", "1"}}};
        QVERIFY(plant(site.in, packed));
        site.pairs[1].Enabled = QStringLiteral("0");
        QVERIFY(site.pass());
        QVERIFY(QFile::rename(pathIn(site.middle, QStringLiteral("RA000001.rar")),
                              pathIn(site.in, QStringLiteral("ra000001.rar"))));
        // Files without an archive name are moved through by the
        // uncompressing pair.
        const Original notes{"Notes.txt", "notes", {{"user.n", "2"}}};
        const Original shortName{"RA12345.rar", "not ours", {}};
        QVERIFY(plant(site.middle, notes));
        QVERIFY(plant(site.middle, shortName));
        site.pairs[1].Enabled = QStringLiteral("1");

        QVERIFY(site.pass());
        QCOMPARE(site.counts().FilesCompressed, 1);
        QCOMPARE(site.counts().FilesUncompressed, 3);
        QCOMPARE(site.checkAllDelivered({packed, notes, shortName}), QString());
        QCOMPARE(site.store->readLastFileNumber(), 1);
    }

    void hiddenLeftoversAreRecovered() {
        Site site;
        const Original left{"left behind.txt", "left", {{"user.l", "x"}}};
        const QString data = pathIn(site.in, QStringLiteral("RA000050.rr"));
        const QString name = pathIn(site.in, QStringLiteral("RA000050.rn"));
        QVERIFY(writeFile(data, left.content) && writeAttributes(data, left.attributes));
        QVERIFY(site.files.setHidden(data, true));
        QVERIFY(site.files.writeFile(name, "\"6C0065006600740020006200650068"
                                           "0069006E0064002E00740078007400\"\r\n"));
        QVERIFY(site.files.setHidden(name, true));
        const QString temporary =
            pathIn(site.in, QStringLiteral(".torvanelo-RA000051.rar-Q1w2E3.tmp"));
        QVERIFY(site.files.writeFile(temporary, "partial"));
        QVERIFY(site.files.setHidden(temporary, true));

        QVERIFY(site.pass());
        QCOMPARE(entryNames(site.in), QStringList{left.name()});
        QVERIFY(site.pass());
        QCOMPARE(site.checkAllDelivered({left}), QString());
    }

    void subFoldersAreLeftAlone() {
        Site site;
        QVERIFY(QDir().mkpath(pathIn(site.in, QStringLiteral("sub/deeper"))));
        const Original inner{"inner.txt", "inner", {}};
        QVERIFY(plant(pathIn(site.in, QStringLiteral("sub")), inner));
        QVERIFY(site.pass());
        QVERIFY(site.pass());
        QCOMPARE(entryNames(site.in), QStringList{QStringLiteral("sub")});
        QCOMPARE(checkIntact(pathIn(site.in, QStringLiteral("sub")), inner), QString());
        QCOMPARE(entryNames(site.middle), QStringList());
        QCOMPARE(site.counts().FilesHandled, 0);
    }

    void aFileHeldOpenWaitsForALaterPass() {
        Site site;
        const Original busy{"busy.dat", "still being written", {}};
        QVERIFY(plant(site.in, busy));
        QProcess holder;
        holder.start(QStringLiteral("/bin/sh"),
                     {QStringLiteral("-c"),
                      QStringLiteral("exec 3<\"$1\"; echo ready; exec sleep 100000"),
                      QStringLiteral("sh"), pathIn(site.in, busy.name())});
        QVERIFY(holder.waitForStarted(-1));
        QVERIFY(holder.waitForReadyRead(-1));

        QVERIFY(site.pass());
        QCOMPARE(site.counts().FilesHandled, 0);
        QCOMPARE(checkIntact(site.in, busy), QString());

        holder.kill();
        QVERIFY(holder.waitForFinished(-1));
        QVERIFY(site.pass());
        QCOMPARE(site.checkAllDelivered({busy}), QString());
    }

    void anEmptyArchiveIsLeftAlone() {
        Site site;
        QVERIFY(writeFile(pathIn(site.middle, QStringLiteral("RA000009.rar")), QByteArray()));
        QVERIFY(site.pass());
        QVERIFY(site.pass());
        QCOMPARE(site.counts().FilesHandled, 1);
        QCOMPARE(site.counts().FilesUncompressed, 0);
        QCOMPARE(entryNames(site.middle), QStringList{QStringLiteral("RA000009.rar")});
        QCOMPARE(entryNames(site.out), QStringList());
    }

    // Faults of the archiver: after each, the files are still at home, and
    // once the archiver works again they are delivered.
    void survivesAFailingArchiver_data() {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("path");
        QTest::newRow("missing") << QByteArray() << QStringLiteral("/nonexistent");
        QTest::newRow("exits without writing") << QByteArray("exit 0\n") << QString();
        QTest::newRow("fails loudly") << QByteArray("echo broken >&2; exit 3\n") << QString();
        // Writes part of its archive or member under its temporary name, with
        // the hidden mark, and is killed.
        QTest::newRow("killed half-way") << QByteArray(
            "if [ \"$1\" = a ]; then dir=$(dirname \"$3\"); base=$(basename \"$3\");\n"
            "else dir=.; base=member; fi\n"
            "tmp=\"$dir/.torvanelo-$base-Kx9Zq2.tmp\"\n"
            "head -c 5000 /dev/urandom > \"$tmp\"\n"
            "setfattr -n user.torvanelo.hidden -v 1 \"$tmp\"\n"
            "kill -9 $$\n") << QString();
    }
    void survivesAFailingArchiver() {
        QFETCH(QByteArray, script);
        QFETCH(QString, path);
        Site site;
        const auto originals = variedOriginals();
        QVERIFY(site.plantAll(originals));
        {
            std::unique_ptr<FakeArchiver> fake;
            QTemporaryDir emptyHome;
            const QByteArray oldPath = qgetenv("PATH");
            if (script.isEmpty()) {
                qputenv("TORVANELO_HOME", emptyHome.path().toLocal8Bit());
                qputenv("PATH", path.toLocal8Bit());
            } else {
                fake = std::make_unique<FakeArchiver>(script);
            }
            QVERIFY(site.pass());
            qputenv("PATH", oldPath);
            qputenv("TORVANELO_HOME", buildDir().toLocal8Bit());
        }
        QCOMPARE(site.counts().FilesCompressed, 0);
        QCOMPARE(site.checkAllAtHome(originals), QString());
        QCOMPARE(site.store->readLastFileNumber(), 0);
        for (const QString& name : entryNames(site.middle))
            QFAIL(qPrintable(QStringLiteral("left in between: ") + name));

        QVERIFY(site.pass());
        QCOMPARE(site.checkAllDelivered(originals), QString());
    }

    void anUnpackingArchiverKilledHalfWayLeavesTheArchive() {
        Site site;
        const auto originals = variedOriginals();
        QVERIFY(site.plantAll(originals));
        site.pairs[1].Enabled = QStringLiteral("0");
        QVERIFY(site.pass());
        site.pairs[1].Enabled = QStringLiteral("1");
        {
            FakeArchiver fake("head -c 3000 /dev/urandom > RA000001.rr\nkill -9 $$\n");
            QVERIFY(site.pass());
        }
        QCOMPARE(site.counts().FilesUncompressed, 0);
        QCOMPARE(entryNames(site.middle), archiveNames(1, int(originals.size())));
        QCOMPARE(entryNames(site.out), QStringList());
        QVERIFY(site.pass());
        QCOMPARE(site.checkAllDelivered(originals), QString());
    }

    void survivesTheTargetRemovedBetweenFiles() {
        Site site;
        const auto originals = variedOriginals();
        QVERIFY(site.plantAll(originals));
        const QString aside = site.root.filePath(QStringLiteral("aside"));
        bool removed = false;
        site.view.onProcessEvents = [&] {
            if (!removed && !entryNames(site.middle).isEmpty())
                removed = QDir().rename(site.middle, aside);
        };
        QVERIFY(site.pass());
        QVERIFY(removed);
        QCOMPARE(site.counts().InvalidSources, 1);
        // The data is safe: under its own name, or in an archive kept in the
        // source folder, whose number is not taken again.
        for (const Original& original : originals)
            QCOMPARE(site.checkNotLost(original, aside), QString());
        QCOMPARE(site.store->readLastFileNumber(), int(originals.size()));
        QCOMPARE(entryNames(aside), archiveNames(1, 1));

        site.view.onProcessEvents = nullptr;
        QVERIFY(QDir().rename(aside, site.middle));
        QVERIFY(site.pass());
        QVERIFY(site.pass());
        QCOMPARE(site.checkAllDelivered(originals), QString());
    }

    void survivesAReadOnlyTarget() {
        Site site;
        ScratchMount mount(site.middle, "tmpfs", "size=4m");
        if (!mount.mounted())
            QSKIP(qPrintable(QStringLiteral("read-only target not tested: ") + mount.error()));
        if (!supportsUserAttributes(site.middle))
            QSKIP("read-only target not tested: tmpfs here takes no user extended attributes");
        const auto originals = variedOriginals();
        QVERIFY(site.plantAll(originals));
        QVERIFY(mount.setReadOnly(true));
        QVERIFY(site.pass());
        QCOMPARE(site.counts().FilesCompressed, 0);
        QCOMPARE(entryNames(site.middle), QStringList());
        QVERIFY(mount.setReadOnly(false));
        QVERIFY(site.pass());
        QVERIFY(site.pass());
        QCOMPARE(site.checkAllDelivered(originals), QString());
    }

    void survivesAFullDisk_data() {
        QTest::addColumn<QString>("full");
        QTest::newRow("target full") << QStringLiteral("middle");
        QTest::newRow("source full") << QStringLiteral("in");
        QTest::newRow("final target full") << QStringLiteral("out");
    }
    void survivesAFullDisk() {
        QFETCH(QString, full);
        Site site;
        const QString folder = site.root.filePath(full);
        ScratchMount mount(folder, "tmpfs", "size=4m");
        if (!mount.mounted())
            QSKIP(qPrintable(QStringLiteral("disk full not tested: ") + mount.error()));
        if (!supportsUserAttributes(folder))
            QSKIP("disk full not tested: tmpfs here takes no user extended attributes");
        // Files of 300 KiB each, on a disk left with 100 KiB.
        std::vector<Original> originals;
        for (int i = 0; i < 3; ++i)
            originals.push_back({QByteArray("big ") + QByteArray::number(i),
                                 randomBytes(300 * 1024, quint32(i + 1)),
                                 {{"user.i", std::to_string(i)}}});
        QVERIFY(site.plantAll(originals));
        const QString filler = pathIn(folder, QStringLiteral("filler"));
        struct statvfs space {};
        QVERIFY(::statvfs(encodeFileName(folder).constData(), &space) == 0);
        const qint64 free = qint64(space.f_bavail) * qint64(space.f_frsize);
        QVERIFY(free > 100 * 1024);
        QVERIFY(writeFile(filler, QByteArray(free - 100 * 1024, 'f')));
        // Someone else's hidden file: the scan leaves it alone.
        QVERIFY(site.files.setHidden(filler, true));

        QVERIFY(site.pass());
        QVERIFY(site.counts().FilesUncompressed < int(originals.size()));
        for (const Original& original : originals)
            QCOMPARE(site.checkNotLost(original), QString());
        // Nothing half-written under a final name.
        for (const Original& original : originals) {
            const auto delivered = readFile(pathIn(site.out, original.name()));
            QVERIFY(!delivered || *delivered == original.content);
        }

        QVERIFY(site.files.remove(filler));
        QVERIFY(site.pass());
        QVERIFY(site.pass());
        QCOMPARE(site.checkAllDelivered(originals), QString());
    }
};

TORVANELO_TEST(EndToEndTest);
#include "EndToEndTest.moc"
