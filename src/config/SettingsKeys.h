#pragma once

#include <QString>
#include <QStringView>

namespace torvanelo {

// Every key of the parameters file, spelled once. Readers and writers go
// through these names.
struct SettingKey {
    QStringView section;
    QStringView key;
};

namespace Key {
inline constexpr QStringView Configuration = u"Configuration";
inline constexpr QStringView Logs = u"Logs";
inline constexpr QStringView Processing = u"Processing";

inline constexpr SettingKey Language{Configuration, u"Langue"};
inline constexpr SettingKey DefaultDelay{Configuration, u"Temporisation"};
inline constexpr SettingKey Performance{Configuration, u"Performance"};
inline constexpr SettingKey CompressedPrefix{Configuration, u"PrefixeFichiersCompresses"};
inline constexpr SettingKey ShowArchiverConsole{Configuration, u"VoirConsoleRar"};
inline constexpr SettingKey ShowFolderFiles{Configuration, u"AfficherFichiers"};
inline constexpr SettingKey AutoStart{Configuration, u"Automatique"};
inline constexpr SettingKey StopAfterFirstPass{Configuration, u"ArretAutomatique"};
inline constexpr SettingKey WarnOnScreen{Configuration, u"ErreurDossier"};
inline constexpr SettingKey WarnBeep{Configuration, u"ErreurDossierSon"};
inline constexpr SettingKey WarnNetSend{Configuration, u"ErreurDossierNetSend"};
inline constexpr SettingKey NetSendMessage{Configuration, u"MessageNetSend"};
inline constexpr SettingKey WarnEventLog{Configuration, u"ErreurDossierEventLog"};
inline constexpr SettingKey WarnDesktop{Configuration, u"ErreurDossierNotification"};
inline constexpr SettingKey WindowPosition{Configuration, u"PositionFenetre"};
inline constexpr SettingKey WindowsStreams{Configuration, u"FormeFlux"};
inline constexpr SettingKey LogEnabled{Logs, u"Logs"};
inline constexpr SettingKey LogFileNames{Logs, u"FichiersLogs"};
inline constexpr SettingKey LogFolder{Logs, u"PathLogs"};
inline constexpr SettingKey PurgeOldLogs{Logs, u"PurgeLogs"};
inline constexpr SettingKey LogRetention{Logs, u"DelaiLogs"};
inline constexpr SettingKey LastFileNumber{Processing, u"LastFileNumber"};

// Keys of the per-pair section "Rar_" + pair number.
inline constexpr QStringView PairInterval = u"NbTemporisations";
inline constexpr QStringView PairMode = u"Rar";
inline constexpr QStringView PairEnabled = u"Enable";
} // namespace Key

// "Rar_" + the 1-based pair number.
inline QString pairSection(int pairNumber) {
    return QStringLiteral("Rar_") + QString::number(pairNumber);
}

} // namespace torvanelo
