#pragma once

#include <QString>

namespace torvanelo {

class SettingsStore;

// The three ways of warning chosen in the dialog, and the net send text.
struct WarningChoice {
    bool onScreen = false;
    bool beep = false;
    bool netSend = false;
    QString netSendMessage; // taken as typed: no trimming, no check
    bool desktop = false;   // a desktop notification
};

// Writes "ErreurDossier", "ErreurDossierSon", "ErreurDossierNetSend" and
// "MessageNetSend", in that order, each with its field, then the desktop
// notification's key. Every key is tried; false when any of them did not
// reach the file.
bool storeWarningSettings(SettingsStore& store, const WarningChoice& choice);

// The box of a Try with an empty text: French for 1, Portuguese for 2,
// English otherwise.
QString noMessageText(int language);

} // namespace torvanelo
