#pragma once

#include "ArchiverCommands.h"
#include "EngineTestFiles.h"
#include "linux/LinuxProcessRunner.h"

#include <QTemporaryDir>

#include <optional>

namespace torvanelo::test {

// Hidden data and name files (none when nameFile is empty), as an
// interrupted compression leaves them and as the archiver packs them.
inline bool plantHidden(const QString& folder, const QString& base, const Original& data,
                        const std::optional<QByteArray>& nameFile) {
    LinuxFileSystem files;
    const QString dataPath = pathIn(folder, base + QStringLiteral(".rr"));
    const QString namePath = pathIn(folder, base + QStringLiteral(".rn"));
    return writeFile(dataPath, data.content) && writeAttributes(dataPath, data.attributes)
           && files.setHidden(dataPath, true)
           && (!nameFile
               || (files.writeFile(namePath, *nameFile) && files.setHidden(namePath, true)));
}

// An archive made by the real archiver as the program makes it, from the
// data file and this name file (none when empty), with files of a user's
// beside them packed too when named.
inline bool makeArchive(const QString& folder, const QString& base, const Original& data,
                        const std::optional<QByteArray>& nameFile,
                        const QStringList& extraMembers = {}) {
    QTemporaryDir staging;
    QStringList arguments = CompressArguments(staging.path() + u'/', base);
    arguments.first() = rarPath(); // the build's, wherever the program folder is
    if (!nameFile)
        arguments.removeAt(arguments.indexOf(staging.filePath(base + QStringLiteral(".rn"))));
    bool planted = plantHidden(staging.path(), base, data, nameFile);
    for (const QString& extra : extraMembers) {
        planted = planted && writeFile(staging.filePath(extra), "a user's " + extra.toUtf8());
        arguments.insert(arguments.size() - 1, staging.filePath(extra)); // before -df
    }
    LinuxProcessRunner runner;
    const QString archive = base + QStringLiteral(".rar");
    return planted && runner.RunProgramAndWait(arguments, RunOptions{})
           && LinuxFileSystem().move(staging.filePath(archive), pathIn(folder, archive),
                                     Replace::No);
}

} // namespace torvanelo::test
