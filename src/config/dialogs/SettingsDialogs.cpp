#include "SettingsDialogs.h"

#include "ProcessingController.h"
#include "frmKelvadon.h"
#include "frmPerformance.h"
#include "frmPrefixeCible.h"
#include "frmTempo.h"

namespace torvanelo {

void connectSettingsDialogs(frmKelvadon& window, SettingsStore& store,
                            ProcessingController& controller, UserPrompts& prompts) {
    QObject::connect(&window, &frmKelvadon::delayDialogRequested, &window,
                     [&window, &store, &controller, &prompts] {
                         frmTempo dialog(
                             store, prompts,
                             [&window, &controller] {
                                 window.updateCountdownRange();
                                 controller.resetCountdown();
                             },
                             &window);
                         dialog.exec();
                     });
    QObject::connect(&window, &frmKelvadon::performanceDialogRequested, &window,
                     [&window, &store, &prompts] {
                         frmPerformance dialog(store, prompts, &window);
                         dialog.exec();
                     });
    QObject::connect(&window, &frmKelvadon::prefixDialogRequested, &window,
                     [&window, &store, &prompts] {
                         frmPrefixeCible dialog(store, prompts, &window);
                         dialog.exec();
                     });
}

} // namespace torvanelo
