#pragma once

#include <QString>

namespace torvanelo {

// The archiver command lines, exactly as the archiver takes them. Paths use
// '/'; the runner splits a line at blanks outside double quotes.

// Presence check at start-up.
inline QString ArchiverPresenceCommand() {
    return QStringLiteral("rar -?");
}

// Packs B.rr and B.rn of the source folder, with their streams, into B.rar in
// the same folder and deletes them once the archive is complete.
inline QString CompressCommand(const QString& sourcePrefix, const QString& baseName) {
    return QStringLiteral("rar a -os \"") + sourcePrefix + baseName + QStringLiteral(".rar\" \"")
           + sourcePrefix + baseName + QStringLiteral(".r?\" -df");
}

// Extracts every member of the archive, without stored paths, into the
// working folder the caller gives the process.
inline QString ExtractCommand(const QString& archivePath) {
    return QStringLiteral("rar e \"") + archivePath + u'"';
}

} // namespace torvanelo
