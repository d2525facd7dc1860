#include "ArchiverConsole.h"
#include "Clock.h"
#include "MainProgram.h"
#include "ProgramFolder.h"
#include "QtUserPrompts.h"
#include "SingleInstance.h"
#include "SyslogSystemLog.h"
#include "SystemInfo.h"
#include "SystemdServiceControl.h"
#include "linux/LinuxFileSystem.h"
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
    QtUserPrompts prompts;
    SingleInstance instance(QCoreApplication::applicationFilePath());

    // The program may end before the event loop runs (a refusal at start-up,
    // the end after an automatic first pass): then main returns at once.
    std::optional<int> exitStatus;
    MainProgram program(folder,
                        ProgramServices{files, runner, systemClock, service, prompts,
                                        MachineNames{hostName(), loginName(), systemDescription()},
                                        [&instance] { return instance.acquire(); },
                                        [&exitStatus](int status) {
                                            if (!exitStatus)
                                                exitStatus = status;
                                            QCoreApplication::exit(status);
                                        }});
    // While the archiver runs the window repaints, but takes no input.
    runner.setWaitHook([] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
    runner.setConsoleSink(&program.console());

    program.start();
    if (exitStatus)
        return *exitStatus;
    return QApplication::exec();
}
