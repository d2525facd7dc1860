#include "WarningDialogDecisions.h"

#include "SettingsStore.h"

namespace torvanelo {

bool storeWarningSettings(SettingsStore& store, const WarningChoice& choice) {
    bool saved = store.setWarnOnScreen(choice.onScreen);
    saved = store.setWarnBeep(choice.beep) && saved;
    saved = store.setWarnNetSend(choice.netSend) && saved;
    saved = store.setNetSendMessage(choice.netSendMessage) && saved;
    return store.setWarnDesktop(choice.desktop) && saved;
}

QString noMessageText(int language) {
    if (language == 1)
        return QStringLiteral("Aucun message à envoyer");
    if (language == 2)
        return QStringLiteral("Naõ ha mensagem");
    return QStringLiteral("No message to send");
}

} // namespace torvanelo
