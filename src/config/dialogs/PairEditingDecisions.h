#pragma once

#include <QString>

#include <vector>

namespace torvanelo {

// The folder kinds of EditFolder: which folder of a pair, and whether it is
// chosen with the folder browser or typed.
enum FolderKind {
    SourceBrowsed = 1,
    TargetBrowsed = 2,
    SourceTyped = 3,
    TargetTyped = 4,
};

// The operations of EditFolder.
enum FolderOperation {
    AddPair = 1,
    ModifyPair = 2,
};

bool isSourceKind(int folderKind);
bool isBrowsedKind(int folderKind);
// Kinds 1 to 4 with operation 1 or 2; a new pair only ever gets a source.
bool isValidEdit(int folderKind, int operation);

// The title of the folder browser and the prompt of the text entry.
QString editFolderPrompt(int folderKind, int operation, int language);
// The message of a modify command without a chosen pair.
QString noPairToModifyText(int folderKind, int language);
QString nothingToRemoveText(int language);
QString noPairToRemoveText(int language);
QString removeConfirmationText(int language);

// The rows that stay after removing the range between the current row and
// the selection end row, both included, in either direction; row indices of
// the grid before the removal, in order. A grid of one row, or a range
// from the first row to the last, leaves none. Ends outside the grid are
// taken at the nearest row.
std::vector<int> rowsAfterRemoval(int rowCount, int currentRow, int selectionEndRow);

} // namespace torvanelo
