#include "ArchiveNames.h"
#include "ProgramFolder.h"
#include "TestArchives.h"
#include "TestRegistry.h"

#include <QTest>

#include <atomic>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <thread>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

constexpr uid_t Nobody = 65534;
const QByteArray OnePass = "Automatique=1\r\nArretAutomatique=1\r\n";

// Every entry of a folder with its content, for "left exactly as it was".
QByteArray snapshot(const QString& folder) {
    QByteArray all;
    for (const QString& name : entryNames(folder))
        all += name.toUtf8() + '=' + readFile(pathIn(folder, name)).value_or("(none)") + '\n';
    return all;
}

// Gives a folder tree to another user, the one the program runs as.
bool giveTo(const QString& path, uid_t uid) {
    return QProcess::execute(u"chown"_s, {u"-R"_s, u"%1:%1"_s.arg(uid), path}) == 0;
}

// The program run by an ordinary user, without root's capabilities.
std::optional<QString> runAs(const ProgramFolder& site, uid_t uid) {
    return site.run(
        0, {},
        {u"setpriv"_s, u"--reuid=%1"_s.arg(uid), u"--regid=%1"_s.arg(uid), u"--clear-groups"_s});
}

// Swaps every unpacking folder the moment it appears for a link to a victim
// folder, as a watching user would between its making and its use.
class FolderSwapper {
public:
    FolderSwapper(const QString& folder, const QString& victim)
        : m_folder(encodeFileName(folder))
        , m_victim(encodeFileName(victim))
        , m_fd(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK)) {
        m_watching = m_fd >= 0 && ::inotify_add_watch(m_fd, m_folder.constData(), IN_CREATE) >= 0;
        m_thread = std::thread([this] { watch(); });
    }
    ~FolderSwapper() {
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
    }
    bool watching() const { return m_watching; }
    int swaps() const { return m_swaps; }

private:
    void watch() {
        alignas(inotify_event) char buffer[4096];
        while (!m_stop) {
            pollfd ready{m_fd, POLLIN, 0};
            if (::poll(&ready, 1, 20) <= 0)
                continue;
            const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                const QByteArray name(event->name);
                if ((event->mask & IN_ISDIR) && name.startsWith(".torvanelo-extract-")) {
                    const QByteArray path = m_folder + '/' + name;
                    const QByteArray moved = m_folder + "/moved-" + QByteArray::number(m_swaps);
                    if (::rename(path.constData(), moved.constData()) == 0
                        && ::symlink(m_victim.constData(), path.constData()) == 0)
                        ++m_swaps;
                }
                at += qsizetype(sizeof(inotify_event)) + event->len;
            }
        }
    }

    QByteArray m_folder;
    QByteArray m_victim;
    int m_fd;
    bool m_watching = false;
    std::atomic<bool> m_stop = false;
    std::atomic<int> m_swaps = 0;
    std::thread m_thread;
};

} // namespace

// The built program, one batch pass at a time, against what a hostile user
// of a file server (anyone who may write a source folder) or bad luck puts
// in its way.
class HostileUseTest : public QObject {
    Q_OBJECT

private slots:
    // A link named like the unpacking folder, planted beside an archive, or
    // put in place of the folder the moment it is made, never leads the
    // program into the folder it points to; the archive still arrives.
    void linksNeverLeadOutOfThePair_data() {
        QTest::addColumn<bool>("swapped");
        QTest::newRow("planted before") << false;
        QTest::newRow("swapped for the made folder") << true;
    }
    void linksNeverLeadOutOfThePair() {
        QFETCH(bool, swapped);
        ProgramFolder site;
        const QString victim = site.root.filePath(u"victim"_s);
        QVERIFY(QDir().mkpath(victim) && writeFile(pathIn(victim, u"precious"_s), "keep")
                && writeFile(pathIn(victim, u"RA000001.rr"_s), "mine"));
        const QByteArray before = snapshot(victim);
        const Original file{"doc.txt", "doc", {{"user.k", "v"}}};
        QVERIFY(site.writeSettings(OnePass) && site.plantAll({file}));
        const QString link = pathIn(site.middle, u".torvanelo-extract-RA000001"_s);
        std::optional<FolderSwapper> swapper;
        if (swapped) {
            swapper.emplace(site.middle, victim);
            QVERIFY(swapper->watching());
        } else {
            QVERIFY(QFile::link(victim, link));
        }
        QVERIFY(site.run());
        if (swapper) {
            QVERIFY(swapper->swaps() > 0);
            swapper.reset();
            // A watcher may win the race for every name the program tries;
            // the archive then waits whole for the next pass.
            if (QFileInfo::exists(pathIn(site.middle, u"RA000001.rar"_s)))
                QVERIFY(site.run());
        }
        QCOMPARE(snapshot(victim), before);
        QVERIFY(QFileInfo(link).isSymLink());
        // Left on the way: the links, and the folders the watcher moved
        // aside (emptied); the archive went once it was delivered.
        for (const QString& name : entryNames(site.middle)) {
            const QFileInfo entry(pathIn(site.middle, name));
            QVERIFY2(entry.isSymLink() || (entry.isDir() && QDir(entry.filePath()).isEmpty()),
                     qPrintable(name));
        }
        QCOMPARE(checkIntact(site.out, file), QString());
    }

    // Files named like the program's own members (prefix, six digits, ".r"
    // and one character) are the users' too: each is packed alone and
    // arrives. An archive that holds more than a data and a name file is
    // left whole: deleting it would lose what was not delivered.
    void lookAlikeNamesArriveAndForeignMembersStay() {
        ProgramFolder site;
        QVERIFY(site.writeSettings(OnePass));
        // RA000011.rr and RA000012.rn among them: visible, they are no
        // leftovers of the program.
        std::vector<Original> originals;
        const QByteArray endings = "mrnxabcdefghijklmopqstuvwyz012";
        for (int n = 0; n < 30; ++n)
            originals.push_back({"RA0000" + QByteArray::number(n + 10) + ".r" + endings.mid(n, 1),
                                 "look-alike " + QByteArray::number(n),
                                 {{"user.n", std::to_string(n)}}});
        for (int n = 0; n < 20; ++n)
            originals.push_back(
                {"file " + QByteArray::number(n), "ordinary " + QByteArray::number(n), {}});
        QVERIFY(site.plantAll(originals));
        QVERIFY(site.run());
        QCOMPARE(site.checkDelivered(originals), QString());

        ProgramFolder other;
        QVERIFY(other.writeSettings(OnePass));
        QVERIFY(makeArchive(other.middle, u"RA000007"_s, {"", "doc", {}}, MakeNameFile(u"doc"_s),
                            {u"RA000007.rm"_s}));
        const QByteArray archive = snapshot(other.middle);
        QVERIFY(other.run());
        QCOMPARE(snapshot(other.middle), archive);
        QCOMPARE(entryNames(other.out), QStringList());
    }

    // An archive that arrives in a compressing pair while one of its name
    // still waits in the target takes a free number; after the counter's
    // wrap a new archive never takes the number of a waiting one either.
    void waitingArchivesAreNeverReplaced() {
        ProgramFolder site;
        QVERIFY(site.writePairs({{site.in, site.middle}}, OnePass,
                                "[Processing]\r\nLastFileNumber=999999\r\n"));
        QVERIFY(writeFile(pathIn(site.middle, u"RA000001.rar"_s), "waiting")
                && writeFile(pathIn(site.middle, u"RA000002.rar"_s), "waiting too")
                && writeFile(pathIn(site.in, u"RA000002.rar"_s), "relayed"));
        const Original file{"new.txt", "new", {}};
        QVERIFY(site.plantAll({file}));
        QVERIFY(site.run());
        QCOMPARE(entryNames(site.in), QStringList());
        QCOMPARE(readFile(pathIn(site.middle, u"RA000001.rar"_s)), QByteArray("waiting"));
        QCOMPARE(readFile(pathIn(site.middle, u"RA000002.rar"_s)), QByteArray("waiting too"));
        QByteArrayList contents;
        for (const QString& name : entryNames(site.middle))
            contents << readFile(pathIn(site.middle, name)).value_or("").left(7);
        std::sort(contents.begin(), contents.end());
        QCOMPARE(contents, (QByteArrayList{"Rar!\x1a\x07\x01", "relayed", "waiting", "waiting"}));
    }

    // A parameters file that cannot be written stops compression (a number
    // that cannot be kept would be used again down the chain) and says so;
    // once it can be written, the file goes.
    void anUnwritableParametersFileStopsCompression() {
        ProgramFolder site;
        QVERIFY(site.writeSettings(OnePass));
        const Original file{"doc.txt", "doc", {{"user.k", "v"}}};
        QVERIFY(site.plantAll({file}));
        QVERIFY(setMode(site.root.path(), 0755) && giveTo(site.root.path(), Nobody));
        QVERIFY(setMode(pathIn(site.home, u"Torvanelo.ini"_s), 0444) && setMode(site.home, 0555));
        for (int run = 0; run < 2; ++run) {
            const auto errors = runAs(site, Nobody);
            QVERIFY(errors);
            QVERIFY2(errors->contains(pathIn(site.home, u"Torvanelo.ini"_s)), qPrintable(*errors));
        }
        QCOMPARE(site.checkDelivered({}, {file.name()}), QString());
        QVERIFY(setMode(site.home, 0755) && setMode(pathIn(site.home, u"Torvanelo.ini"_s), 0644));
        QVERIFY(runAs(site, Nobody));
        QCOMPARE(site.checkDelivered({file}), QString());
    }

    // Archives of one document saved many times while the uncompressing
    // pair was away arrive oldest first, the counter's wrap included: the
    // newest version is the one left.
    void theNewestVersionArrivesLast() {
        ProgramFolder site;
        QVERIFY(site.writeSettings(OnePass));
        const QList<int> numbers{999997, 999998, 999999, 1, 2, 3, 4, 5, 6};
        for (int version = 0; version < numbers.size(); ++version)
            QVERIFY(makeArchive(site.middle, u"RA%1"_s.arg(numbers[version], 6, 10, QChar(u'0')),
                                {"", "version " + QByteArray::number(version), {}},
                                MakeNameFile(u"doc"_s)));
        QVERIFY(site.run());
        QCOMPARE(site.checkDelivered({{"doc", "version 8", {}}}), QString());
    }

    // Without leases (another user's file, no CAP_LEASE) an idle file is
    // taken in the same batch pass once it was seen unchanged; a file that
    // is being written is not.
    void filesOfOthersAreTakenWhenIdle() {
        ProgramFolder site;
        QVERIFY(site.writeSettings(OnePass));
        QVERIFY(setMode(site.root.path(), 0755) && giveTo(site.root.path(), Nobody));
        const Original idle{"idle.txt", "idle", {{"user.k", "v"}}};
        QVERIFY(site.plantAll({idle}) && setMode(pathIn(site.in, idle.name()), 0666));
        const QString growing = pathIn(site.in, u"growing.log"_s);
        QVERIFY(writeFile(growing, "start\n") && setMode(growing, 0666));
        QProcess writer;
        writer.start(u"/bin/sh"_s, {u"-c"_s, u"while :; do echo line >> \"$1\"; sleep 0.05; done"_s,
                                    u"sh"_s, growing});
        QVERIFY(writer.waitForStarted());
        const auto errors = runAs(site, Nobody);
        writer.kill();
        writer.waitForFinished();
        QVERIFY(errors);
        QCOMPARE(checkIntact(site.out, idle), QString());
        QCOMPARE(entryNames(site.in), QStringList{u"growing.log"_s});
        QCOMPARE(entryNames(site.middle), QStringList());
    }

    // A folder name holding a double quote goes whole to the archiver.
    void quotesInFolderNames() {
        ProgramFolder site;
        const QString in = site.root.filePath(u"a\"b"_s);
        const QString middle = site.root.filePath(u"m \"x\" y"_s);
        QVERIFY(QDir().mkpath(in) && QDir().mkpath(middle));
        QVERIFY(site.writePairs({{in, middle}, {middle, site.out, true}}, OnePass));
        const Original file{"doc.txt", "doc", {{"user.k", "v"}}};
        QVERIFY(plant(in, file));
        QVERIFY(site.run());
        QCOMPARE(checkIntact(site.out, file), QString());
        QCOMPARE(entryNames(in) + entryNames(middle), QStringList());
    }

    // A pair whose target is its source, by name, by a link or by a bind
    // mount, is refused: its files stay as they are.
    void aPairOntoItselfIsRefused_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("same name") << u"same"_s;
        QTest::newRow("link") << u"link"_s;
        QTest::newRow("bind mount") << u"bind"_s;
    }
    void aPairOntoItselfIsRefused() {
        QFETCH(QString, how);
        ProgramFolder site;
        QString target = site.in;
        const QString other = site.root.filePath(u"other"_s);
        if (how == u"link"_s)
            QVERIFY(QFile::link(site.in, target = other));
        if (how == u"bind"_s) {
            QVERIFY(QDir().mkpath(target = other));
            if (::mount(encodeFileName(site.in).constData(), encodeFileName(other).constData(),
                        nullptr, MS_BIND, nullptr)
                != 0)
                QSKIP("no bind mount here");
        }
        QVERIFY(site.writePairs({{site.in, target}}, OnePass));
        const Original file{"doc.txt", "doc", {}};
        QVERIFY(site.plantAll({file}));
        const auto errors = site.run();
        if (how == u"bind"_s)
            ::umount2(encodeFileName(other).constData(), MNT_DETACH);
        QVERIFY(errors);
        QCOMPARE(entryNames(site.in), QStringList{file.name()});
        QCOMPARE(checkIntact(site.in, file), QString());
    }

    // Two programs (two program folders) on one source folder at once: each
    // file leaves once, by one of them, and arrives.
    void twoProgramsShareASourceFolder() {
        ProgramFolder first;
        ProgramFolder second;
        QVERIFY(first.writeSettings(OnePass));
        QVERIFY(second.writePairs({{first.in, second.middle}, {second.middle, second.out, true}},
                                  OnePass));
        std::vector<Original> originals;
        for (int n = 0; n < 150; ++n)
            originals.push_back({"file " + QByteArray::number(n),
                                 randomBytes(n * 31, quint32(n)),
                                 {{"user.n", std::to_string(n)}}});
        QVERIFY(first.plantAll(originals));
        QProcess one;
        QProcess two;
        first.start(one);
        second.start(two);
        QVERIFY(one.waitForFinished(-1) && two.waitForFinished(-1));
        QCOMPARE(one.exitCode() + two.exitCode(), 0);
        // What is left (the other held the folder) goes with one more pass.
        QVERIFY(first.run());
        QStringList arrived = entryNames(first.out) + entryNames(second.out);
        arrived.sort();
        QCOMPARE(arrived, namesOf(originals));
        for (const Original& original : originals) {
            const bool inFirst = QFile::exists(pathIn(first.out, original.name()));
            QCOMPARE(checkIntact(inFirst ? first.out : second.out, original), QString());
        }
        QCOMPARE(entryNames(first.in) + entryNames(first.middle) + entryNames(second.middle),
                 QStringList());
    }
};

TORVANELO_TEST(HostileUseTest);
#include "HostileUseTest.moc"
