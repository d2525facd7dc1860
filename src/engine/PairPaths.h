#pragma once

#include "FolderPrefix.h"

#include <QString>

namespace torvanelo {

// The paths of the pair being processed. The prefixes end with the separator
// so that a name appended to them makes a path.
struct PairPaths {
    QString SourceFolder;
    QString TargetFolder;
    QString SourcePrefix;
    QString TargetPrefix;
};

inline PairPaths MakePairPaths(const QString& source, const QString& target) {
    return PairPaths{source, target, FolderPrefix(source), FolderPrefix(target)};
}

} // namespace torvanelo
