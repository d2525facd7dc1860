#pragma once

#include <QString>

namespace torvanelo {

// The service's display name, the start of every service entry of the log.
inline const QString ServiceDisplayName = QStringLiteral("Torvanelo Service");

// What the service manager (or the session manager) did to the service.
enum class ServiceEvent { Started, Stopped, Paused, Continued, UserLoggedOff };

// The log entry of an event in the given language (1 French, otherwise
// English): the display name followed by the event's suffix, e.g.
// "Torvanelo Service: stopped".
QString ServiceEventText(ServiceEvent event, int language);

// The entry's event type: EventWarning for a user logging off,
// EventInformation for the others.
int ServiceEventType(ServiceEvent event);

} // namespace torvanelo
