#pragma once

#include <QString>

namespace torvanelo {

// A folder path followed by the separator, ready to take a name: "/a/b"
// gives "/a/b/", the root "/" stays "/" (never "//").
inline QString FolderPrefix(const QString& folder) {
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

} // namespace torvanelo
