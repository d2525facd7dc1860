#include "ArchiverConsole.h"
#include "Clock.h"
#include "InstanceRendezvous.h"
#include "MainProgram.h"
#include "ProgramFolder.h"
#include "QtUserPrompts.h"
#include "RootGuard.h"
#include "SingleInstance.h"
#include "SyslogSystemLog.h"
#include "SystemInfo.h"
#include "SystemdServiceControl.h"
#include "linux/LinuxFileSystem.h"
#include "frmKelvadon.h"
#include "linux/LinuxProcessRunner.h"

#include <QApplication>

#include <optional>

using namespace torvanelo;

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // The window hides into the tray; closing the last visible window is
    // no way out.
    QApplication::setQuitOnLastWindowClosed(false);

    const QString folder = programFolder();
    LinuxFileSystem files;
    LinuxProcessRunner runner;
    SystemClock systemClock;
    SyslogSystemLog systemLog;
    SystemdServiceControl service(runner, systemLog, SystemdServiceSetup::forThisProcess(folder));
    // As root, nothing is read or run that another user could change.
    if (refuseUntrustedRootStart(folder, systemLog, service.IsStartedAsService()))
        return 1;
    QtUserPrompts prompts;
    SingleInstance instance(QCoreApplication::applicationFilePath(), folder);
    // A second start brings the running copy's window forward, then is
    // refused.
    InstanceRendezvous rendezvous;
    const auto acquire = [&instance, &rendezvous] {
        if (!instance.acquire()) {
            InstanceRendezvous::askToShow(instance.refusedBy());
            return false;
        }
        rendezvous.listen(instance.rendezvousNames());
        return true;
    };

    // The program may end before the event loop runs (a refusal at start-up,
    // the end after an automatic first pass): then main returns at once.
    std::optional<int> exitStatus;
    MainProgram program(folder,
                        ProgramServices{files, runner, systemClock, service, prompts,
                                        MachineNames{hostName(), loginName(), systemDescription()},
                                        acquire,
                                        [&exitStatus](int status) {
                                            if (!exitStatus)
                                                exitStatus = status;
                                            QCoreApplication::exit(status);
                                        }});
    QObject::connect(&rendezvous, &InstanceRendezvous::showRequested, &program.window(),
                     [&program] {
                         if (!program.window().exitRequested())
                             program.window().restoreWindow();
                     });
    // While the archiver runs the window repaints, but takes no input.
    runner.setWaitHook([] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
    runner.setConsoleSink(&program.console());

    program.start();
    if (exitStatus)
        return *exitStatus;
    return QApplication::exec();
}
