#pragma once

#include <QString>
#include <QStringList>

namespace torvanelo {

// The archiver's command lines, as the arguments one by one: a path is never
// quoted into a line, so a folder may hold any character.

// Presence check at start-up.
inline QString ArchiverPresenceCommand() {
    return QStringLiteral("rar -?");
}

// Packs exactly B.rr and B.rn of the source folder, with their streams, into
// B.rar in the same folder and deletes them once the archive is complete.
// The two are named, not matched by a pattern: a user's file that looks like
// them (B.rm) is never taken, and the folder is not read for them.
inline QStringList CompressArguments(const QString& sourcePrefix, const QString& baseName) {
    const QString base = sourcePrefix + baseName;
    return {QStringLiteral("rar"),        QStringLiteral("a"),
            QStringLiteral("-os"),        base + QStringLiteral(".rar"),
            base + QStringLiteral(".rr"), base + QStringLiteral(".rn"),
            QStringLiteral("-df")};
}

// Extracts every member of the archive, without stored paths, into the
// working folder the caller gives the process.
inline QStringList ExtractArguments(const QString& archivePath) {
    return {QStringLiteral("rar"), QStringLiteral("e"), archivePath};
}

} // namespace torvanelo
