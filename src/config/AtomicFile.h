#pragma once

#include <QByteArray>
#include <QString>

namespace torvanelo {

// Whole-file reads and writes of the program's own files (the parameters
// file and the folder-pair file). Paths go to the system as the bytes of
// encodeFileName, so any name a Linux folder can have works.

struct WholeFile {
    enum class Status { Read, Missing, Failed };
    Status status = Status::Missing;
    QByteArray content; // only for Status::Read
};

// Missing: nothing exists under the path. Failed: something exists but could
// not be read as a regular file (no permission, a folder, an I/O error), so a
// caller must not replace it as if it were empty.
WholeFile readWholeFile(const QString& path);

// Replaces the file with the content so that, whatever happens, the path
// holds either the old content or the new one in full: a temporary file in
// the same folder is written, flushed to disk and renamed over the path. A
// symbolic link is followed and its target replaced, so the link stays. The
// new file keeps the permission bits of the file it replaces. On failure the
// temporary is removed and false is returned.
//
// Where the folder refuses the temporary (no right to create a file there)
// but the file exists and may be written, it is rewritten in place instead:
// the space reserved, the content written and flushed, then the file cut to
// its new length; a failed write puts the old content back.
bool writeFileAtomically(const QString& path, const QByteArray& content);

// Removes a file; true when it is gone (also when it was never there).
bool removeFileIfPresent(const QString& path);

} // namespace torvanelo
