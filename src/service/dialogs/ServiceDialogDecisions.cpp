#include "ServiceDialogDecisions.h"

#include "ServiceControl.h"
#include "ServiceEventText.h"
#include "Texts.h"

namespace torvanelo {

int startTypeOption(int value) {
    return value == 0 || value == 1 ? value : 2;
}

QString serviceStateText(bool installed, int language) {
    if (!installed)
        return ServiceDisplayName + Tr(language, u" non installé", u" not installed");
    return ServiceDisplayName
           + Tr(language,
                u" installé\n(le traitement démarre automatiquement au lancement du service)",
                u" installed\n(operations start automatically when the service starts)");
}

QString alreadyInstalledText(int language) {
    return ServiceDisplayName + Tr(language, u" déjà installé", u" already installed");
}

QString serviceRemovedStateText(int language) {
    return ServiceDisplayName + Tr(language, u": supprimé", u": removed");
}

QString installedMessageText(int language) {
    return serviceStateText(true, language) + QStringLiteral("\n\n")
           + Tr(language, u"Configuration et démarrage, voir\n'Panneau de configuration/Services'",
                u"Configuration and start, see\n'Control panel/Services'");
}

QString installFailedText(int language) {
    return ServiceDisplayName
           + Tr(language, u" n'a pas pu être installé", u" could not be installed");
}

InstallOutcome installService(ServiceControl& service, int option, bool interactive) {
    if (service.IsInstalled())
        return InstallOutcome::AlreadyInstalled;
    service.setStartType(startTypeOption(option));
    service.setInteractive(interactive);
    if (!service.installRefusal(LanguageEnglish).isEmpty())
        return InstallOutcome::Untrusted;
    if (service.Install())
        return InstallOutcome::Installed;
    // The service was not installed before: whatever is installed now is
    // this attempt's half.
    if (service.IsInstalled())
        service.Uninstall();
    return InstallOutcome::Failed;
}

RemoveOutcome removeService(ServiceControl& service) {
    if (!service.IsInstalled())
        return RemoveOutcome::NotInstalled;
    service.Uninstall();
    return service.IsInstalled() ? RemoveOutcome::Failed : RemoveOutcome::Removed;
}

} // namespace torvanelo
