#include "PairEditingDecisions.h"

#include "Texts.h"

#include <algorithm>

namespace torvanelo {

bool isSourceKind(int folderKind) {
    return folderKind == SourceBrowsed || folderKind == SourceTyped;
}

bool isBrowsedKind(int folderKind) {
    return folderKind == SourceBrowsed || folderKind == TargetBrowsed;
}

bool isValidEdit(int folderKind, int operation) {
    if (folderKind < SourceBrowsed || folderKind > TargetTyped)
        return false;
    if (operation == AddPair)
        return isSourceKind(folderKind);
    return operation == ModifyPair;
}

QString editFolderPrompt(int folderKind, int operation, int language) {
    if (operation == AddPair)
        return Tr(language, u"AJOUTER: choisir un dossier SOURCE", u"ADD: select a SOURCE folder");
    if (isSourceKind(folderKind))
        return Tr(language, u"MODIFIER: Choisir un dossier SOURCE",
                  u"MODIFY: Select a SOURCE folder");
    return Tr(language, u"MODIFIER: Choisir un dossier CIBLE", u"MODIFY: Select a TARGET folder");
}

QString noPairToModifyText(int folderKind, int language) {
    if (isSourceKind(folderKind))
        return Tr(language, u"Sélectionner un dossier SOURCE à modifier",
                  u"Select a SOURCE folder to modify");
    return Tr(language, u"Sélectionner un dossier CIBLE à modifier",
              u"Select a TARGET folder to modify");
}

QString nothingToRemoveText(int language) {
    return Tr(language, u"La liste des couples de dossiers (source+cible) est vide",
              u"Nothing to remove");
}

QString noPairToRemoveText(int language) {
    return Tr(language, u"Sélectionner un couple de dossiers (source+cible) à supprimer",
              u"Select a couple of folders (source+target) to remove");
}

QString removeConfirmationText(int language) {
    return Tr(language, u"Confirmez la suppression des dossiers sélectionnés",
              u"Remove the selected folders");
}

std::vector<int> rowsAfterRemoval(int rowCount, int currentRow, int selectionEndRow) {
    std::vector<int> kept;
    if (rowCount <= 1)
        return kept;
    const int first = std::clamp(std::min(currentRow, selectionEndRow), 0, rowCount - 1);
    const int last = std::clamp(std::max(currentRow, selectionEndRow), 0, rowCount - 1);
    for (int row = 0; row < rowCount; ++row) {
        if (row < first || row > last)
            kept.push_back(row);
    }
    return kept;
}

} // namespace torvanelo
