#include "ProgramFolder.h"
#include "TestRegistry.h"

#include <QRegularExpression>
#include <QTest>

#include <set>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

// The system calls that change what is on disk. A kill before one of them is
// the same as a kill after the one before, so killing before each (and
// letting the last run to its end) tries every point of a file's trip. The
// flushes are left out: a killed process loses nothing its kernel holds.
const QString ChangingCalls =
    u"openat,write,pwrite64,rename,renameat,renameat2,unlink,unlinkat,mkdir,mkdirat,rmdir,"
    "setxattr,fsetxattr,lsetxattr,removexattr,fremovexattr,lremovexattr,fchmod,fchmodat,"
    "fchown,fchownat,utimensat,futimesat,link,linkat,symlink,symlinkat,ftruncate,truncate,"
    "fallocate,"
    "copy_file_range"_s;

// One kill: the program itself (run 0) or its k-th archiver run, at the nth
// call of that system call.
struct KillPoint {
    int run = 0;
    QString call;
    int nth = 0;
};

// The calls of an strace log that change the disk, each with its rank among
// the calls of its name (strace's own count for when=). An open changes the
// disk when it may create or write; a write counts only on a file opened so.
std::vector<KillPoint> changingCallsIn(const QByteArray& log, int run) {
    static const QRegularExpression line(u"^(\\w+)\\((\\d+|AT_FDCWD)?(.*\\)) += (-?\\d+)"_s);
    std::map<QString, int> ranks;
    std::set<QString> writableFds;
    std::vector<KillPoint> points;
    for (const QByteArray& raw : log.split('\n')) {
        const auto match = line.match(QString::fromLatin1(raw));
        if (!match.hasMatch())
            continue;
        const QString call = match.captured(1);
        const QString fd = match.captured(2);
        const QString rest = match.captured(3);
        const int rank = ++ranks[call];
        bool changing = true;
        if (call == u"openat"_s) {
            changing = rest.contains(u"O_WRONLY"_s) || rest.contains(u"O_RDWR"_s)
                       || rest.contains(u"O_CREAT"_s) || rest.contains(u"O_TRUNC"_s);
            if (changing)
                writableFds.insert(match.captured(4));
        } else if (call == u"close"_s) {
            writableFds.erase(fd);
            changing = false;
        } else if (call == u"write"_s || call == u"pwrite64"_s) {
            changing = writableFds.count(fd) > 0;
        }
        if (changing)
            points.push_back({run, call, rank});
    }
    return points;
}

// The program folder with an archiver that is the real one run under strace:
// it logs each run's calls, or kills its run at a chosen call, and with it
// the program (a system that stops), or only itself (an archiver that
// crashes).
struct SweptSite : ProgramFolder {
    QString sweep = root.filePath(u"sweep"_s);

    SweptSite() {
        QDir().mkpath(sweep);
        writeScript(pathIn(home, u"rar"_s),
                    "#!/bin/sh\n"
                    "n=$(( $(cat \"$SWEEP/runs\" 2>/dev/null || echo 0) + 1 ))\n"
                    "echo $n > \"$SWEEP/runs\"\n"
                    "if [ -n \"$SWEEP_LOG\" ]; then\n"
                    "  exec strace -o \"$SWEEP/rar.$n.log\" -e trace="
                        + ChangingCalls.toLatin1()
                        + ",close \"$REAL_RAR\" \"$@\"\n"
                          "fi\n"
                          "if [ \"$n\" = \"$KILL_RUN\" ]; then\n"
                          "  strace -o /dev/null -e trace=$KILL_CALL "
                          "-e inject=$KILL_CALL:signal=KILL:when=$KILL_NTH \"$REAL_RAR\" \"$@\"\n"
                          "  status=$?\n"
                          "  echo $status > \"$SWEEP/killed\"\n"
                          "  [ -n \"$KILL_ALL\" ] && kill -KILL $PPID\n"
                          "  exit $status\n"
                          "fi\n"
                          "exec \"$REAL_RAR\" \"$@\"\n");
        setMode(pathIn(home, u"rar"_s), 0755);
    }

    QProcessEnvironment environment() const {
        QProcessEnvironment extra;
        extra.insert(u"SWEEP"_s, sweep);
        extra.insert(u"REAL_RAR"_s, rarPath());
        return extra;
    }

    // Runs the program under strace, with the archiver as `extra` says; true
    // when it ended as expected (by the kill when `killed`).
    bool runTraced(const QStringList& straceArguments, const QProcessEnvironment& extra,
                   bool killed) const {
        QFile::remove(pathIn(sweep, u"runs"_s));
        QFile::remove(pathIn(sweep, u"killed"_s));
        QProcess traced;
        QProcessEnvironment environment = this->environment();
        environment.insert(extra);
        start(traced, environment, u"strace"_s, straceArguments + QStringList{program});
        if (!traced.waitForFinished(-1))
            return false;
        const bool wasKilled =
            traced.exitStatus() == QProcess::CrashExit || traced.exitCode() == 128 + SIGKILL;
        if (wasKilled != killed)
            qWarning("status %d: %s", traced.exitCode(), traced.readAllStandardError().constData());
        return wasKilled == killed;
    }
};

} // namespace

class KillSweepTest : public QObject {
    Q_OBJECT

private slots:
    // A file dropped into a compressing pair chained to an uncompressing one
    // travels in one batch pass. That pass is killed at each changing call
    // of the program and of both archiver runs (for the archiver, once with
    // the program and once alone); the passes after it deliver the file once,
    // under its name, with its attributes, and leave nothing on the way.
    void everyKillPointOfATripLosesNothing() {
        const Original file{"Rapport \"final\".doc",
                            "version 2",
                            {{"user.DosStream.x:$DATA", "s"}, {"user.k", "v"}}};
        std::vector<KillPoint> points;
        {
            SweptSite site;
            QVERIFY(site.writeSettings("Automatique=1\r\nArretAutomatique=1\r\n"));
            QVERIFY(site.plantAll({file}));
            QProcessEnvironment logging;
            logging.insert(u"SWEEP_LOG"_s, u"1"_s);
            const QString log = pathIn(site.sweep, u"program.log"_s);
            QVERIFY(
                site.runTraced({u"-o"_s, log, u"-e"_s, u"trace="_s + ChangingCalls + u",close"_s},
                               logging, false));
            QCOMPARE(site.checkDelivered({file}), QString());
            points = changingCallsIn(readFile(log).value_or(""), 0);
            // The first run asks the archiver for its usage only.
            int changingRuns = 0;
            for (int run = 1;; ++run) {
                const auto rarLog = readFile(pathIn(site.sweep, u"rar.%1.log"_s.arg(run)));
                if (!rarLog)
                    break;
                const auto runPoints = changingCallsIn(*rarLog, run);
                changingRuns += !runPoints.empty();
                points.insert(points.end(), runPoints.begin(), runPoints.end());
            }
            QCOMPARE(changingRuns, 2);
        }
        qInfo("%zu kill points", points.size());

        QStringList failures;
        for (const KillPoint& point : points) {
            for (const bool alone : {false, true}) {
                if (alone && point.run == 0)
                    continue;
                const QString where =
                    u"%1 %2 #%3%4"_s
                        .arg(point.run ? u"rar run %1"_s.arg(point.run) : u"program"_s, point.call)
                        .arg(point.nth)
                        .arg(alone ? u" (archiver alone)"_s : QString());
                SweptSite site;
                QVERIFY(site.writeSettings("Automatique=1\r\nArretAutomatique=1\r\n"));
                QVERIFY(site.plantAll({file}));
                QProcessEnvironment kill;
                QStringList strace{u"-o"_s, u"/dev/null"_s};
                if (point.run == 0) {
                    strace << u"-e"_s << u"trace="_s + point.call << u"-e"_s
                           << u"inject=%1:signal=KILL:when=%2"_s.arg(point.call).arg(point.nth);
                } else {
                    strace << u"-e"_s << u"trace=none"_s;
                    kill.insert(u"KILL_RUN"_s, QString::number(point.run));
                    kill.insert(u"KILL_CALL"_s, point.call);
                    kill.insert(u"KILL_NTH"_s, QString::number(point.nth));
                    if (!alone)
                        kill.insert(u"KILL_ALL"_s, u"1"_s);
                }
                if (!site.runTraced(strace, kill, !alone)) {
                    failures << where + u": not killed there"_s;
                    continue;
                }
                if (point.run != 0
                    && readFile(pathIn(site.sweep, u"killed"_s)) != QByteArray("137\n")) {
                    failures << where + u": the archiver was not killed there"_s;
                    continue;
                }
                QString problem = site.checkDelivered({file});
                for (int pass = 0; pass < 3 && !problem.isEmpty(); ++pass) {
                    if (!site.run(0, site.environment()))
                        break;
                    problem = site.checkDelivered({file});
                }
                if (!problem.isEmpty())
                    failures << where + u": "_s + problem;
            }
        }
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
    }
};

TORVANELO_TEST(KillSweepTest);
#include "KillSweepTest.moc"
