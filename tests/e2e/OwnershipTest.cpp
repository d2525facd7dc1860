#include "ProgramFolder.h"
#include "ScratchMount.h"
#include "TestRegistry.h"

#include <QStandardPaths>
#include <QTest>

#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

constexpr uid_t Nobody = 65534;
constexpr gid_t UsersGroup = 100;
// An owner and a group of nobody on this machine, which only root can give.
constexpr uid_t Stranger = 4321;
constexpr gid_t StrangerGroup = 4322;

const Original Private{"Privé.txt", "only for my eyes", {{"user.note", "kept"}}};

bool giveTo(const QString& path, uid_t owner, gid_t group, unsigned mode) {
    const QByteArray native = encodeFileName(path);
    return ::lchown(native.constData(), owner, group) == 0 && setMode(path, mode);
}

// "mode 640 owner 4321:4322 time 1600000000.250000000", or "(none)".
QString ownershipOf(const QString& path) {
    struct stat status {};
    if (::lstat(encodeFileName(path).constData(), &status) != 0)
        return u"(none)"_s;
    return QString::asprintf("mode %o owner %u:%u time %ld.%09ld", status.st_mode & 07777,
                             status.st_uid, status.st_gid, status.st_mtim.tv_sec,
                             status.st_mtim.tv_nsec);
}

} // namespace

// The built program, run by root or by an ordinary user, carries a file
// through a compressing pair chained to an uncompressing one.
class OwnershipTest : public QObject {
    Q_OBJECT

    // Runs one batch job, as root or, through setpriv, as Nobody with no
    // other group; true when it ended normally with status 0.
    static bool runBatch(const ProgramFolder& site, bool byRoot) {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(u"TORVANELO_SERVICE"_s);
        environment.insert(u"TORVANELO_HOME"_s, site.home);
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        environment.insert(u"XDG_RUNTIME_DIR"_s, site.runtime);
        environment.insert(u"HOME"_s, site.home);
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(site.home);
        if (byRoot) {
            program.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
            program.start(site.program, QStringList());
        } else {
            program.start(u"setpriv"_s,
                          {u"--reuid=%1"_s.arg(Nobody), u"--regid=%1"_s.arg(Nobody),
                           u"--clear-groups"_s, u"--pdeathsig=KILL"_s, u"--"_s, site.program});
        }
        const bool ended = program.waitForFinished(-1)
                           && program.exitStatus() == QProcess::NormalExit
                           && program.exitCode() == 0;
        if (!ended)
            qWarning("%s", program.readAllStandardError().constData());
        return ended;
    }

    // The first pair only: its archive waits in the middle folder.
    static bool writeFirstPairOnly(const ProgramFolder& site) {
        return writeFile(pathIn(site.home, u"Torvanelo.w"_s),
                         ProgramFolder::pairField(site.in) + ','
                             + ProgramFolder::pairField(site.middle) + "\r\n")
               && writeFile(pathIn(site.home, u"Torvanelo.ini"_s),
                            "[Configuration]\r\nAutomatique=1\r\nArretAutomatique=1\r\n");
    }

    static bool giveSettingsTo(const ProgramFolder& site, uid_t user) {
        return giveTo(pathIn(site.home, u"Torvanelo.w"_s), user, user, 0644)
               && giveTo(pathIn(site.home, u"Torvanelo.ini"_s), user, user, 0644);
    }

private slots:
    void initTestCase() {
        if (::geteuid() != 0)
            QSKIP("needs root to give files and folders to other users");
        QVERIFY2(QFile::exists(rarPath()), "the archiver is not built");
        QVERIFY2(!QStandardPaths::findExecutable(u"setpriv"_s).isEmpty(), "setpriv is missing");
    }

    // Owner, group and permission bits arrive as they left, whoever runs the
    // program: root (the service) keeps a stranger's owner and group, an
    // ordinary user keeps his own; with the out folder on the same or on
    // another file system, or handing its own group down (the file keeps
    // its own). Data, streams and modification time come along, and the
    // archive in between is valid for the reference readers.
    void ownerGroupAndModeArrive_data() {
        QTest::addColumn<bool>("byRoot");
        QTest::addColumn<bool>("across");
        QTest::addColumn<bool>("setgidOut");
        QTest::addColumn<int>("mode");
        for (const bool byRoot : {true, false}) {
            for (const bool across : {false, true}) {
                for (const int mode : {0600, 0640, 0755})
                    QTest::addRow("%s, %s, %o", byRoot ? "root" : "user",
                                  across ? "across" : "same file system", mode)
                        << byRoot << across << false << mode;
                QTest::addRow("%s, %s, setgid out folder", byRoot ? "root" : "user",
                              across ? "across" : "same file system")
                    << byRoot << across << true << 0640;
            }
        }
    }
    void ownerGroupAndModeArrive() {
        QFETCH(bool, byRoot);
        QFETCH(bool, across);
        QFETCH(bool, setgidOut);
        QFETCH(int, mode);
        ProgramFolder site;
        std::optional<ScratchMount> mount;
        if (across) {
            mount.emplace(site.out, "tmpfs", "size=8m");
            if (!mount->mounted())
                QSKIP(qPrintable(u"not tested: "_s + mount->error()));
            if (!supportsUserAttributes(site.out))
                QSKIP("not tested: tmpfs here takes no user extended attributes");
        }
        // An ordinary user's program works in folders of his own.
        const uid_t runner = byRoot ? 0 : Nobody;
        for (const QString& folder :
             {site.root.path(), site.home, site.in, site.middle, site.out, site.runtime})
            QVERIFY(giveTo(folder, runner, runner, folder == site.runtime ? 0700 : 0755));
        QVERIFY(!setgidOut || giveTo(site.out, runner, UsersGroup, 02775));
        const uid_t owner = byRoot ? Stranger : Nobody;
        const gid_t group = byRoot ? StrangerGroup : Nobody;
        const QString source = pathIn(site.in, Private.name());
        QVERIFY(plant(site.in, Private));
        const timespec times[2] = {{1600000000, 0}, {1600000000, 250000000}};
        QVERIFY(::utimensat(AT_FDCWD, encodeFileName(source).constData(), times, 0) == 0);
        QVERIFY(giveTo(source, owner, group, unsigned(mode)));
        const QString left = ownershipOf(source);

        // The archive on its way: bsdtar reads the owner and group it holds,
        // and the free unrar unpacks it (where installed).
        QVERIFY(writeFirstPairOnly(site) && giveSettingsTo(site, runner));
        QVERIFY(runBatch(site, byRoot));
        const QString archive = pathIn(site.middle, u"RA000001.rar"_s);
        QCOMPARE(entryNames(site.middle), QStringList{u"RA000001.rar"_s});
        QProcess bsdtar;
        bsdtar.start(u"bsdtar"_s, {u"-tvnf"_s, archive});
        QVERIFY(bsdtar.waitForFinished(-1) && bsdtar.exitCode() == 0);
        const QByteArray listing = bsdtar.readAllStandardOutput();
        QByteArray dataLine;
        for (const QByteArray& line : listing.split('\n')) {
            if (line.endsWith(" RA000001.rr"))
                dataLine = line.simplified();
        }
        QVERIFY2(dataLine.contains(' ' + QByteArray::number(owner) + ' ' + QByteArray::number(group)
                                   + ' '),
                 listing.constData());
        const QString unrarFree = QStandardPaths::findExecutable(u"unrar-free"_s);
        if (!unrarFree.isEmpty()) {
            QTemporaryDir unpacked;
            QProcess unrar;
            unrar.start(unrarFree, {u"-x"_s, archive, unpacked.path() + u'/'});
            QVERIFY(unrar.waitForFinished(-1));
            QVERIFY2(unrar.exitStatus() == QProcess::NormalExit && unrar.exitCode() == 0,
                     unrar.readAllStandardError().constData());
            QCOMPARE(readFile(unpacked.filePath(u"RA000001.rr"_s)), std::optional(Private.content));
        }

        QVERIFY(site.writeSettings("Automatique=1\r\nArretAutomatique=1\r\n")
                && giveSettingsTo(site, runner));
        QVERIFY(runBatch(site, byRoot));
        QCOMPARE(site.checkDelivered({Private}), QString());
        QCOMPARE(ownershipOf(pathIn(site.out, Private.name())), left);
    }
};

TORVANELO_TEST(OwnershipTest);
#include "OwnershipTest.moc"
