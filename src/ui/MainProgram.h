#pragma once

#include "StartUp.h"

#include <QString>

#include <functional>
#include <memory>

namespace torvanelo {

class ArchiverConsole;
class Clock;
class FileSystem;
class FolderPairModel;
class ProcessRunner;
class ProcessingController;
class ServiceControl;
class SettingsArchiveCounter;
class SettingsStore;
class UserPrompts;
class frmKelvadon;

// The platform objects the program runs on; main passes the real ones,
// tests pass fakes for the clock, the service manager and the prompts.
struct ProgramServices {
    FileSystem& files;
    ProcessRunner& runner;
    const Clock& clock;
    ServiceControl& service;
    UserPrompts& prompts;
    MachineNames machine;
    std::function<bool()> acquireSingleInstance;
    // How the program ends: main leaves its event loop with the status.
    std::function<void(int status)> exitProgram;
};

// The program's parts, built and wired: the settings of the program folder,
// the pair list, the main window, the controller of the passes, the archiver
// console. start() runs the start-up sequence.
class MainProgram {
public:
    MainProgram(const QString& programFolder, ProgramServices services);
    ~MainProgram();

    // False when the program ended during start-up.
    bool start();

    SettingsStore& store() { return *m_store; }
    FolderPairModel& pairs() { return *m_pairs; }
    frmKelvadon& window() { return *m_window; }
    ProcessingController& controller() { return *m_controller; }
    ArchiverConsole& console() { return *m_console; }
    const StartUp& startUp() const { return *m_startUp; }
    ProgramServices& services() { return m_services; }

private:
    // The commands of the main window that open other windows are
    // connected here, one block per window.
    void connectCommands();

    ProgramServices m_services;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<FolderPairModel> m_pairs;
    std::unique_ptr<SettingsArchiveCounter> m_counter;
    std::unique_ptr<frmKelvadon> m_window;
    std::unique_ptr<ProcessingController> m_controller;
    std::unique_ptr<ArchiverConsole> m_console;
    std::unique_ptr<StartUp> m_startUp;
};

} // namespace torvanelo
