#pragma once

#include <QString>

namespace torvanelo {

class ServiceControl;

// Option i of the start-type frame stands for StartType i: 0 Automatic, 1
// Manual, 2 Disabled. Both ways, any other value is Disabled: a StartType
// read from the service selects option 2, and no option selected (-1)
// writes 2.
int startTypeOption(int value);

// The state line of the dialog: two lines when installed ("... installed" and
// what installing means for the passes), one line otherwise.
QString serviceStateText(bool installed, int language);
QString alreadyInstalledText(int language);
QString serviceRemovedStateText(int language);
// The message box after an installation: the state text, an empty line, and
// where the service is configured and started.
QString installedMessageText(int language);
// An installation that failed, reported instead of claiming success.
QString installFailedText(int language);

enum class InstallOutcome {
    AlreadyInstalled, // refused: nothing was written to the service
    // refused before Install: the service would run as root over a path
    // that others may change (ServiceControl::installRefusal says which)
    Untrusted,
    Installed,
    Failed, // nothing stays installed, unless even taking it back failed
};

// Installs the service with the dialog's choices. The service control takes
// the start type, then the interaction flag, then Install, in that order.
// A failed Install is taken back (Uninstall) when it left the service
// installed, so that no half-configured service is left behind (a unit
// without its start type).
InstallOutcome installService(ServiceControl& service, int option, bool interactive);

enum class RemoveOutcome {
    NotInstalled, // refused: nothing was asked of the service
    Removed,
    Failed, // the service is still installed
};

// Removes the service. What counts is whether it is gone afterwards: a step
// that failed once the registration was removed (a reload of the service
// manager) leaves nothing that could start.
RemoveOutcome removeService(ServiceControl& service);

} // namespace torvanelo
