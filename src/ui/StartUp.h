#pragma once

#include <QString>

#include <functional>

namespace torvanelo {

class ProcessRunner;
class ProcessingController;
class ServiceControl;
class SettingsStore;
class UserPrompts;
class frmKelvadon;

// What the title tells about the machine; an empty part is left out.
struct MachineNames {
    QString host;
    QString user;
    QString system;
};

struct StartUpServices {
    ServiceControl& service;
    ProcessRunner& runner; // for the archiver check
    UserPrompts& prompts;
    MachineNames machine;
    // Takes the single-instance lock; false when another copy holds it.
    std::function<bool()> acquireSingleInstance;
};

// The start-up sequence, once, in this order: the title; the language; the
// refusal of a second copy (before anything is shown); the end, in failure,
// on a parameters file that is there but cannot be read as text; the
// machine in the title; application or service mode (with the removal
// question when the service is installed and the program was started by
// hand); every other setting with its check marks; the tray icon; the
// countdown range; the captions in the language; the archiver check
// ("rar -?", hidden); the pairs; and the automatic start, hidden in the
// tray, or the window shown.
//
// Every end on the way goes through frmKelvadon::exitProgram, whose handler
// decides what ending means (leave main, or record it in tests).
class StartUp {
public:
    StartUp(SettingsStore& store, frmKelvadon& window, ProcessingController& controller,
            StartUpServices services);

    // False when the program was ended on the way.
    bool run();

    // Called once, when start-up finds the program started as the installed
    // service: after the mode display, before the settings are read and
    // before the first pass, so that the service's events (a stop during
    // that pass) are answered from then on.
    void setServiceModeHandler(std::function<void()> handler) {
        m_serviceModeHandler = std::move(handler);
    }

    // The result of the archiver check.
    bool archiverPresent() const { return m_archiverPresent; }
    // Started by the service manager as the installed service.
    bool serviceMode() const { return m_serviceMode; }

private:
    bool settleServiceMode();
    void automaticStart();

    SettingsStore& m_store;
    frmKelvadon& m_window;
    ProcessingController& m_controller;
    StartUpServices m_services;
    std::function<void()> m_serviceModeHandler;
    bool m_archiverPresent = false;
    bool m_serviceMode = false;
};

} // namespace torvanelo
