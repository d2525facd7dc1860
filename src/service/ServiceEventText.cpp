#include "ServiceEventText.h"

#include "ServiceControl.h"
#include "Texts.h"

namespace torvanelo {

QString ServiceEventText(ServiceEvent event, int language) {
    switch (event) {
    case ServiceEvent::Started:
        return ServiceDisplayName + Tr(language, u": démarré", u": started");
    case ServiceEvent::Stopped:
        return ServiceDisplayName + Tr(language, u": arrêté", u": stopped");
    case ServiceEvent::Paused:
        return ServiceDisplayName + Tr(language, u": suspendu", u": paused");
    case ServiceEvent::Continued:
        return ServiceDisplayName + Tr(language, u": reprise", u": continued");
    case ServiceEvent::UserLoggedOff:
        return ServiceDisplayName + Tr(language, u": utilisateur déconnecté", u": logoff user");
    }
    return ServiceDisplayName;
}

int ServiceEventType(ServiceEvent event) {
    return event == ServiceEvent::UserLoggedOff ? EventWarning : EventInformation;
}

} // namespace torvanelo
