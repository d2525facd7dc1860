#pragma once

#include <QString>

namespace torvanelo::test {

// A fresh temporary folder, removed with everything in it when the object
// goes. Unlike QTemporaryDir it removes names of any bytes (invalid UTF-8
// included), read-only sub-folders, fifos and sockets; it never follows a
// symbolic link and never descends into another mounted file system.
class ScratchFolder {
public:
    ScratchFolder(); // in QDir::tempPath()
    explicit ScratchFolder(const QString& base);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    bool isValid() const { return !m_path.isEmpty(); }
    QString path() const { return m_path; }
    QString filePath(const QString& name) const { return m_path + u'/' + name; }

private:
    QString m_path;
};

// Removes a folder and everything in it, as ScratchFolder does; false when
// something could not be removed.
bool removeTree(const QString& folder);

} // namespace torvanelo::test
