// Measures how long the main window stops answering while the folder
// contents show a big folder: the whole program is built (as the window
// tests build it) over a pair whose source folder holds `files` files, the
// window is shown, and a timer that fires at every turn of the event loop
// records the longest time between two turns: once for F2, once for a change
// of the grid's row to that pair. Prints one line of key=value fields for
// the benchmark.
//
//   torvanelo_freeze_probe FOLDER FILES

#include "FolderGrid.h"
#include "ProgramFixture.h"
#include "TestFiles.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

using namespace torvanelo;
using namespace torvanelo::test;
using namespace Qt::Literals::StringLiterals;

namespace {

struct Freeze {
    double longestMs = 0;
    double totalMs = 0;
};

// Runs `act` from the event loop and turns the loop until `done`; the
// longest gap between two turns, the action itself included.
template <typename Act, typename Done>
Freeze measure(Act act, Done done) {
    Freeze result;
    QElapsedTimer clock;
    qint64 last = 0;
    QTimer heartbeat;
    heartbeat.setInterval(0);
    QObject::connect(&heartbeat, &QTimer::timeout, &heartbeat, [&] {
        const qint64 now = clock.nsecsElapsed();
        result.longestMs = std::max(result.longestMs, double(now - last) / 1e6);
        last = now;
    });
    clock.start();
    heartbeat.start();
    QTimer::singleShot(0, &heartbeat, act);
    while (!done())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    // The turn after the end closes the last gap.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    result.totalMs = double(clock.nsecsElapsed()) / 1e6;
    return result;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FOLDER FILES\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int files = QString::fromLatin1(argv[2]).toInt();
    const QString big = folder + u"/big"_s;
    const QString small = folder + u"/small"_s;
    if (!QDir().mkpath(big) || !QDir().mkpath(small) || !QDir().mkpath(folder + u"/out"_s))
        return 2;
    for (int n = 0; n < files; ++n) {
        if (!writeFile(big + u"/file"_s + QString::number(n) + u".dat"_s, QByteArray(4096, 'x')))
            return 2;
    }

    ProgramFixture fixture;
    // The big pair last: start-up makes the last row current, F2 lists it.
    if (!fixture.start(u"[Configuration]\nAfficherFichiers=0\n"_s,
                       {pairOf(small, folder + u"/out"_s), pairOf(big, folder + u"/out"_s)}))
        return 2;
    frmKelvadon& window = fixture.window();
    window.show();
    QLabel* count = window.sourceFileCount();
    const QString listed = QString::number(files);
    auto bigListed = [&] { return count->text().startsWith(listed + u' '); };

    const Freeze f2 = measure([&] { fixture.action("mnuAfficherFichiers")->trigger(); }, bigListed);
    // Away to the small pair and back to the big one.
    const Freeze away = measure([&] { clickCell(window.grid(), 0, 0); },
                                [&] { return count->text().startsWith(u"0 "_s); });
    const Freeze row = measure([&] { clickCell(window.grid(), 1, 0); }, bigListed);
    (void)away;

    QTextStream(stdout) << "files=" << files << " f2_longest_ms=" << f2.longestMs
                        << " f2_total_ms=" << f2.totalMs << " row_longest_ms=" << row.longestMs
                        << " row_total_ms=" << row.totalMs << '\n';
    return 0;
}
