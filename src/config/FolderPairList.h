#pragma once

#include "FolderPair.h"
#include "ParametersFile.h"

#include <QString>

#include <vector>

namespace torvanelo {

class FileSystem;

// The folder-pair list on disk: the pair file (one line per pair, CR LF,
// "<source hex>","<target hex>", each field the hex of the path's UTF-16LE
// code units, an empty target as "") and the per-pair sections "Rar_<n>" of
// the parameters file. Paths keep any name a Linux folder can have: bytes
// that are not UTF-8 travel as the lone surrogates of decodeFileName, stored
// as their own code units, so they come back exactly.

enum class PairFileFault {
    None,
    // A field of odd length, or one that does not hold whole UTF-16 code
    // units. The caller shows invalidHexMessage and ends the program; the
    // file is left untouched.
    InvalidHex,
    // The pair file exists but cannot be read. The list is empty; saving
    // over it would lose the pairs it holds.
    Unreadable,
};

struct FolderPairLoad {
    std::vector<FolderPair> pairs; // empty unless fault is None
    PairFileFault fault = PairFileFault::None;
    int faultLine = 0; // 1-based line of the pair file with the fault
};

// Reads the pairs in file order; pair n takes "NbTemporisations", "Rar" and
// "Enable" from section "Rar_<n>" (missing or empty: "1", "0", "1"), and
// PassesLeft starts from IntervalCount. A missing pair file is an empty list.
// Blank lines are not pairs; a UTF-8 byte-order mark at the start is skipped.
FolderPairLoad LoadFolderPairs(const ParametersFile& parameters, const QString& pairFile);

// Writes the rows in order: row r becomes line r + 1 of the pair file and
// its settings go to section "Rar_<r + 1>", so a pair keeps its own settings
// under its new number after a removal. The per-pair keys are written first,
// in one replacement of the parameters file, then the pair file is replaced
// atomically; if that fails the parameters file is put back as it was, so
// the two files never disagree. A pair file that began with a UTF-8
// byte-order mark keeps it; one that exists but cannot be read is not
// replaced. False when nothing was changed.
bool SaveFolderPairs(ParametersFile& parameters, const QString& pairFile,
                     const std::vector<FolderPair>& rows);

// "Invalid hexa string in the parameters file" + CR LF + the pair file path;
// the same text in both languages.
QString invalidHexMessage(const QString& pairFile);

// Whether the folder lies on a Macintosh volume: a "Network Trash Folder"
// entry in the folder or one of its ancestors, nearest first, "/" last.
bool IsMacVolume(const FileSystem& fileSystem, const QString& folder);

} // namespace torvanelo
