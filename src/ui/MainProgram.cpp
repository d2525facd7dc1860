#include "MainProgram.h"

#include "ArchiveCounter.h"
#include "ArchiverConsole.h"
#include "FolderPairModel.h"
#include "ProcessingController.h"
#include "SettingsStore.h"
#include "frmKelvadon.h"

namespace torvanelo {

MainProgram::MainProgram(const QString& programFolder, ProgramServices services)
    : m_services(std::move(services))
    , m_store(std::make_unique<SettingsStore>(programFolder))
    , m_pairs(std::make_unique<FolderPairModel>(m_services.files))
    , m_counter(std::make_unique<SettingsArchiveCounter>(*m_store)) {
    m_window = std::make_unique<frmKelvadon>(*m_store, *m_pairs, m_services.prompts);
    m_window->setExitHandler(m_services.exitProgram);
    m_controller = std::make_unique<ProcessingController>(
        m_store->settings(), m_pairs->pairs(),
        EngineServices{m_services.files, m_services.runner, *m_counter, m_services.clock,
                       m_services.service},
        *m_window, *m_window);
    m_window->setController(m_controller.get());
    m_console = std::make_unique<ArchiverConsole>();
    m_startUp = std::make_unique<StartUp>(*m_store, *m_window, *m_controller,
                                          StartUpServices{m_services.service, m_services.runner,
                                                          m_services.prompts, m_services.machine,
                                                          m_services.acquireSingleInstance});
    connectCommands();
}

MainProgram::~MainProgram() {
    // The window goes before the controller it calls and the model it shows.
    m_window.reset();
}

bool MainProgram::start() {
    return m_startUp->run();
}

} // namespace torvanelo
