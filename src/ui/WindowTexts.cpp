#include "WindowTexts.h"

#include "FolderPair.h"
#include "NumericText.h"
#include "Texts.h"

#include <algorithm>
#include <array>
#include <limits>

namespace torvanelo {

namespace {

constexpr std::array Captions{
    // Menus.
    CaptionText{u"mnuFichier", u"&Fichier", u"&File"},
    CaptionText{u"mnuDemarrer", u"&Démarrer la compression/décompression", u"&Start processing"},
    CaptionText{u"mnuRestaurer", u"&Restaurer la fenêtre principale", u"Show main &window"},
    CaptionText{u"mnuQuitter", u"&Quitter", u"&Exit"},
    CaptionText{u"mnuDossiers", u"&Dossiers", u"&Folders"},
    CaptionText{u"mnuAjouterSource", u"Ajouter un dossier source", u"Add source folder"},
    CaptionText{u"mnuAjouterSourceParcourir", u"Parcourir", u"Browse"},
    CaptionText{u"mnuAjouterSourceSaisir", u"Saisir", u"Type"},
    CaptionText{u"mnuModifierSource", u"Modifier un dossier source", u"Modify source folder"},
    CaptionText{u"mnuModifierCible", u"Modifier un dossier cible", u"Modify target folder"},
    CaptionText{u"mnuSupprimerDossiers", u"Supprimer un couple de dossiers",
                u"Remove a couple of folders"},
    CaptionText{u"mnuConfiguration", u"Configuration", u"Configuration"},
    CaptionText{u"mnuTempo", u"Régler la &temporisation par défaut entre les traitements",
                u"Set default &time between two compress/uncompress operations"},
    CaptionText{u"mnuPerformance", u"Régler la &performance", u"Set &performance"},
    CaptionText{u"mnuPrefixe", u"Préfixe des fichiers compressés",
                u"Compressed files prefix (2 chars)"},
    CaptionText{u"mnuVoirConsoleRAR", u"Afficher la console RAR", u"Display RAR console"},
    CaptionText{u"mnuDossierErr", u"Avertir lorsqu'un dossier est inconnu",
                u"Warning on unknown folder"},
    CaptionText{u"mnuAfficherFichiers", u"&Afficher les fichiers des dossiers sélectionnés",
                u"Display &files in the selected folders (toggle)"},
    CaptionText{u"mnuAutomatique", u"Démarrer automatiquement au lancement du &programme",
                u"&Automatic start up"},
    CaptionText{u"mnuArretAutomatique", u"Arrêter le programme après le premier traitement",
                u"Stop program after the first compress/uncompress operation"},
    CaptionText{u"mnuLogs", u"&Journaux", u"&Logs"},
    CaptionText{u"mnuDefinirLogs", u"&Archiver les traitements effectués",
                u"&Archive compress/uncompress operations in Log files"},
    CaptionText{u"mnuVoirLogs", u"&Voir les journaux d'archivage des traitements effectués",
                u"&Check Logs"},
    CaptionText{u"mnuPurgeLogs", u"&Effacer automatiquement les journaux",
                u"&Remove Log files automatically"},
    CaptionText{u"mnuLangue", u"&Langue", u"&Language"},
    CaptionText{u"mnuAide", u"&Aide", u"&Help"},
    CaptionText{u"mnuAPropos", u"A &propos de...", u"&About..."},
    // Labels, frames and buttons.
    CaptionText{u"lblDossiersSources", u"Dossiers sources", u"Source folders"},
    CaptionText{u"lblDossiersCibles", u"Dossiers cibles", u"Target folders"},
    CaptionText{u"lblAttente", u"Attente", u"Wait"},
    CaptionText{u"lblCopie", u"Rar/Unrar", u"Rar/Unrar"},
    CaptionText{u"lblClic", u"Cliquer sur l'icône centrale pour modifier",
                u"Click on central icon to modify settings"},
    CaptionText{u"lblLegende1", u"Compression", u"Compress"},
    CaptionText{u"lblLegende2", u"Décompression", u"Uncompress"},
    CaptionText{u"lblDisable", u"Compression/décompression inactive",
                u"Compress/uncompress disable"},
    CaptionText{u"lblLegende3", u"F1: voir les journaux d'archivage", u"F1: check Logs"},
    CaptionText{u"lblLegende4", u"F2: afficher les fichiers des dossiers sélectionnés",
                u"F2: display files in the selected folders (toggle)"},
    CaptionText{u"lblBulle1", u"1 - langue et configuration",
                u"1 - set language and configuration"},
    CaptionText{u"lblBulle2", u"2 - définir les dossiers", u"2 - define folders"},
    CaptionText{u"lblBulle3", u"3 - démarrer", u"3 - start"},
    CaptionText{u"frameLegende", u"Réglages", u"Settings"},
    CaptionText{u"FrameSourcesCibles", u"Sources et cibles", u"Source and target"},
    CaptionText{u"FrameSources", u"Sources", u"Source"},
    CaptionText{u"FrameCibles", u"Cibles", u"Target"},
    CaptionText{u"cmdAjouterDossierSource", u"Ajouter", u"Add"},
    CaptionText{u"cmdSupprimer", u"Supprimer", u"Remove"},
    CaptionText{u"cmdModifierDossierSource", u"Modifier", u"Modify"},
    CaptionText{u"cmdModifierDossierCible", u"Modifier", u"Modify"},
};

} // namespace

std::span<const CaptionText> mainWindowCaptions() {
    return Captions;
}

QString serviceMenuCaption(int language) {
    return Tr(language, u"Installer/supprimer ", u"Install/remove ") + ProductName
           + QStringLiteral(" Service [NT]");
}

QString startTooltip(int language) {
    return Tr(language, u"Démarre la compression/décompression",
              u"Start compress/uncompress operations");
}

QString IntervalText(qint64 seconds) {
    const qint64 total = std::max<qint64>(0, seconds);
    qint64 minutes = total / 60;
    const qint64 rest = total % 60;
    if (minutes < 60) {
        if (minutes != 0)
            return QStringLiteral("%1 min %2 s").arg(minutes).arg(rest);
        return QStringLiteral("%1 s").arg(rest);
    }
    const qint64 hours = total / 3600;
    minutes %= 60;
    return QStringLiteral("%1 h %2 min %3 s").arg(hours).arg(minutes).arg(rest);
}

qint64 PairIntervalSeconds(const QString& intervalCount, int defaultDelay) {
    // The pass runs a pair whose count is 1 or less at every pass.
    const double value = roundHalfEven(leadingNumber(intervalCount));
    const qint64 count =
        value < 1 ? 1 : qint64(std::min(value, double(std::numeric_limits<qint32>::max())));
    return count * qint64(defaultDelay);
}

QString PairDescription(const FolderPair& pair, const QString& sourceText,
                        const QString& targetText, int defaultDelay, int language) {
    QString text = sourceText.trimmed() + QStringLiteral(" -> ") + targetText.trimmed();
    if (!pair.enabled())
        text += Tr(language, u" [Compression/décompression inactive]",
                   u" [Compress/uncompress disabled]");
    text += QStringLiteral("\nT = ")
            + IntervalText(PairIntervalSeconds(pair.IntervalCount, defaultDelay));
    if (pair.compresses())
        text += Tr(language, u"; compresser les fichiers", u"; compress files");
    else
        text += Tr(language, u"; décompresser les fichiers", u"; uncompress files");
    return text;
}

QString alreadyRunningText(int language) {
    return Tr(language, u"Programme déjà lancé", u"Program already running");
}

QString serviceInstalledQuestion(int language) {
    const QString service = ProductName + QStringLiteral(" Service");
    if (isFrench(language))
        return service + QStringLiteral(" installé\nvoir 'Panneau de configuration/Services'\n\n")
               + QStringLiteral("Supprimer ") + service + QStringLiteral(" ?");
    return service + QStringLiteral(" installed\nsee 'Control panel/Services'\n\nRemove it ?");
}

QString serviceRemovedText(int language) {
    return ProductName + QStringLiteral(" Service") + Tr(language, u" supprimé", u" removed");
}

QString serviceNotRemovedText(int language) {
    return ProductName + QStringLiteral(" Service")
           + Tr(language, u" n'a pas pu être supprimé", u" could not be removed");
}

QString archiverMissingText(int language, const QStringList& searchedFolders) {
    QStringList folders;
    for (const QString& folder : searchedFolders) {
        if (!folders.contains(folder))
            folders << folder;
    }
    return Tr(language, u"WinRar n'est pas installé", u"WinRar not installed") + u'\n'
           + Tr(language, u"Commande \"rar\" cherchée dans ", u"Command \"rar\" looked for in ")
           + folders.join(QStringLiteral(", "))
           + Tr(language, u" puis dans les dossiers de PATH", u" and then in the folders of PATH")
           + QStringLiteral("\n\n") + ProductName
           + Tr(language, u" ne peut pas fonctionner", u" cannot run");
}

QString archiverMissingTitle() {
    return ProductName + QStringLiteral(" - ") + ProductVersion;
}

QString quitQuestion(int language) {
    return Tr(language, u"Quitter le programme", u"Exit program");
}

QString splashEscText(int language) {
    return Tr(language, u"Appuyer sur la touche 'Esc' pour afficher la fenêtre principale",
              u"Type key 'Esc' to display the main window");
}

QString pairFileUnreadableText(int language, const QString& pairFile) {
    return Tr(language, u"Le fichier des dossiers ne peut pas être lu",
              u"The folder-pair file cannot be read")
           + QStringLiteral("\r\n") + pairFile;
}

} // namespace torvanelo
