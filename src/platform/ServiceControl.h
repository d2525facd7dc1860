#pragma once

#include <QString>

namespace torvanelo {

// Event types of LogEvent.
inline constexpr int EventWarning = 2;
inline constexpr int EventInformation = 4;

// The service control (MyService): registration of the program as a system
// service, the service state, and the event log. Results of Install,
// Uninstall and LogEvent are reported but callers need not examine them.
class ServiceControl {
public:
    virtual ~ServiceControl() = default;

    virtual bool IsInstalled() const = 0;
    virtual bool IsRunning() const = 0;
    // This process was started by the service manager; fixed for the run.
    virtual bool IsStartedAsService() const = 0;

    // 0 automatic, 1 manual, any other value disabled.
    virtual int StartType() const = 0;
    virtual void setStartType(int startType) = 0;
    virtual bool Interactive() const = 0;
    virtual void setInteractive(bool interactive) = 0;

    virtual bool Install() = 0;
    // Why Install would refuse, with the choices set now, to register a
    // service that runs as root over files others may change (the text in
    // the language, naming the path and its fix); empty when nothing is in
    // the way.
    virtual QString installRefusal(int language) const {
        (void)language;
        return {};
    }
    virtual bool Uninstall() = 0;

    // eventType: EventInformation or EventWarning.
    virtual void LogEvent(const QString& text, int eventType) = 0;
};

} // namespace torvanelo
