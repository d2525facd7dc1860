#pragma once

#include <QString>
#include <QStringList>

namespace torvanelo {

// The folder that holds the parameters file, the folder-pair file and the
// default journal folder. In order:
// - the folder named by the environment variable TORVANELO_HOME, when set;
// - the executable's folder, when it already holds Torvanelo.ini or
//   Torvanelo.w, or when this user may write it and it is not one of the
//   system's program folders (/usr/bin and the like, which root may write);
// - otherwise the user's own folder $XDG_CONFIG_HOME/torvanelo (by default
//   ~/.config/torvanelo), created with mode 0700 when it is missing.
// No trailing '/', except for the root itself.
QString programFolder();

// The same choice for an executable in `executableFolder`.
QString programFolderBeside(const QString& executableFolder);

// The folder of the running executable.
QString executableFolder();

// Where the archiver is looked up before PATH: the program folder, the
// executable's folder, then, for an executable installed in <prefix>/bin,
// <prefix>/lib/torvanelo.
QStringList archiverFolders();

// Where the help documents are looked up: `programFolder`, the executable's
// folder, then, for an executable installed in <prefix>/bin,
// <prefix>/share/torvanelo.
QStringList helpFolders(const QString& programFolder);

} // namespace torvanelo
