#pragma once

#include "Texts.h"

#include <QString>

namespace torvanelo {

// The net send text used until the user sets one: the recipient, then the
// message in double quotes.
inline QString defaultNetSendMessage() {
    return QStringLiteral("Administrator \"Warning from ") + ProductName
           + QStringLiteral(": unknown folder\"");
}

// How a Windows stream :X is kept as an extended attribute on this machine:
// Samba's user.DosStream.X:$DATA or the plain user.X.
enum class StreamForm { Samba, Plain };

// The process-wide settings, read once at start-up; each field is changed
// together with its key when the user confirms a change (SettingsStore).
struct Settings {
    QString ParametersFile; // full path of the parameters file
    QString PairFile;       // full path of the folder-pair file

    qint16 Language = 0;                              // "Langue": 1 French, otherwise English
    qint16 DefaultDelay = 10;                         // "Temporisation": seconds between passes
    qint16 Performance = 1;                           // "Performance": message-loop turns per yield
    QString CompressedPrefix = QStringLiteral("RA");  // "PrefixeFichiersCompresses"
    bool ShowArchiverConsole = false;                 // "VoirConsoleRar"
    bool ShowFolderFiles = false;                     // "AfficherFichiers"
    bool AutoStart = false;                           // "Automatique"
    bool StopAfterFirstPass = false;                  // "ArretAutomatique"
    bool WarnOnScreen = false;                        // "ErreurDossier"
    bool WarnBeep = false;                            // "ErreurDossierSon"
    bool WarnNetSend = false;                         // "ErreurDossierNetSend"
    QString NetSendMessage = defaultNetSendMessage(); // "MessageNetSend"
    bool WarnEventLog = false;                        // "ErreurDossierEventLog"
    bool WarnDesktop = false;                         // "ErreurDossierNotification"
    QString WindowPosition;                           // "PositionFenetre": "x,y" or empty
    StreamForm WindowsStreams = StreamForm::Samba;    // "FormeFlux": "samba" or "plain"
    bool LogEnabled = false;                          // "Logs"
    bool LogFileNames = false;                        // "FichiersLogs"
    QString LogFolder;                                // "PathLogs"
    bool PurgeOldLogs = false;                        // "PurgeLogs"
    qint16 LogRetention = 10;                         // "DelaiLogs"
};

} // namespace torvanelo
