#pragma once

#include <QString>

namespace torvanelo {

// The folder that holds the parameters file, the folder-pair file, the help
// documents and the default journal folder: the folder named by the
// environment variable TORVANELO_HOME when set, otherwise the folder of the
// running executable. No trailing '/', except for the root itself.
QString programFolder();

// The folder of the running executable (where the archiver is looked up first).
QString executableFolder();

} // namespace torvanelo
