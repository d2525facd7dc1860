#include "WarningDialogDecisions.h"

#include "SettingsStore.h"

namespace torvanelo {

void storeWarningSettings(SettingsStore& store, const WarningChoice& choice) {
    store.setWarnOnScreen(choice.onScreen);
    store.setWarnBeep(choice.beep);
    store.setWarnNetSend(choice.netSend);
    store.setNetSendMessage(choice.netSendMessage);
    store.setWarnDesktop(choice.desktop);
}

QString noMessageText(int language) {
    if (language == 1)
        return QStringLiteral("Aucun message à envoyer");
    if (language == 2)
        return QStringLiteral("Naõ ha mensagem");
    return QStringLiteral("No message to send");
}

} // namespace torvanelo
