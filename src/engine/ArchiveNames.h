#pragma once

#include "FileSystem.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace torvanelo {

// Archive names: the two-character prefix, the number in six digits, ".rar"
// (RA000124.rar). An archive B.rar holds the data file B.rr (the file itself,
// renamed) and the name file B.rn (its own name).

inline constexpr qint32 LargestArchiveNumber = 999999;

// True when the name is taken for one of the program's own archives: 12
// characters, "RAR" after the last dot in any case, the first two characters
// in upper case equal to the prefix as stored, and a number between prefix
// and dot by the locale's numeric test (which also takes a sign, separators
// or surrounding blanks).
bool IsArchiveName(const QString& name, const QString& prefix);

// Sorts a folder's entries into the order the scan handles them: every
// other entry first, by name; then the program's own archives in the order
// they were made, so that of two versions of a file the later arrives last.
// That order is the numbers' order, but after 999999 comes 000000: the
// numbers are taken to start after the widest gap between them.
void SortForScan(std::vector<DirectoryEntry>& entries, const QString& prefix);

// Prefix + the number in six digits.
QString ArchiveBaseName(const QString& prefix, qint32 number);

// The number after `last`: one more, and 0 after 999999 (or after anything
// out of range an edited parameters file may hold).
qint32 NextArchiveNumber(qint64 last);

// A prefix that can make safe paths and command lines: no folder separator,
// no double quote, no NUL and no character the archiver's member pattern
// would take as a wildcard. The prefix is otherwise used as stored.
bool IsUsablePrefix(const QString& prefix);

// True for the base name of a leftover of an interrupted compression: any
// two characters and six digits, or the current prefix and six digits.
bool IsLeftoverBaseName(const QString& base, const QString& prefix);

// The name file of a data file: a double quote, the hex of the name's
// UTF-16LE bytes, a double quote, CR LF.
QByteArray MakeNameFile(const QString& name);

// The name a name file holds, or nullopt when the file is not one quoted hex
// text of even length that decodes to an acceptable name. Never throws.
std::optional<QString> ReadNameFile(const QByteArray& content);

// Largest name file read; real ones hold at most a few hundred bytes.
inline constexpr qint64 NameFileMaxSize = 4096;

// A name that can be given to a file in the target folder: not empty, not
// "." or "..", no '/' or NUL once encoded, at most 255 bytes encoded.
bool IsAcceptableFileName(const QString& name);

// "Report.doc" -> "Report (2).doc", "Notes" -> "Notes (2)", ".profile" ->
// ".profile (2)": the variant n of a name, used when a name given back to a
// file is taken meanwhile. Empty when the variant would be too long.
QString NameVariant(const QString& name, int n);

} // namespace torvanelo
