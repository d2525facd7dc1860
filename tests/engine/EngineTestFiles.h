#pragma once

#include "FileSystem.h"
#include "NameCodec.h"
#include "ScratchFolder.h"
#include "TestFiles.h"
#include "linux/LinuxFileSystem.h"

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <vector>

namespace torvanelo::test {

// A file as it was dropped into a source folder: name bytes, content and
// extended attributes; it must come back exactly.
struct Original {
    QByteArray nameBytes;
    QByteArray content;
    Attributes attributes;
    bool readOnly = false;

    QString name() const { return decodeFileName(nameBytes); }
};

inline QByteArray randomBytes(qsizetype size, quint32 seed) {
    QRandomGenerator generator(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

// Names of every kind a user drops: ASCII, blanks, Cyrillic, bytes that are
// not UTF-8, HTML characters, an empty and a read-only file, binary and
// empty attribute values.
inline std::vector<Original> variedOriginals() {
    return {{"Plan.doc",
             "plan content\n",
             {{"user.AFP_AfpInfo", std::string("\x00\x01\xff\x80", 4)},
              {"user.empty", ""},
              {"user.DosStream.Zone.Identifier:$DATA", "[ZoneTransfer]\r\nZoneId=3"}}},
            {"  name with  blanks .txt ", "blanks", {}},
            {"\xd0\x9e\xd1\x82\xd1\x87\xd1\x91\xd1\x82.txt",
             "\xd0\xbf\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82",
             {{"user.\xd0\xb8\xd0\xbc\xd1\x8f", "value"}}},
            {"caf\xe9 \x80\xff.bin", randomBytes(70000, 7), {{"user.big", std::string(3000, 'v')}}},
            {"<b>x<&amp;>\"", "html", {}},
            {"empty", QByteArray(), {}},
            {"read-only.txt", "locked", {{"user.k", "v"}}, true}};
}

inline QString pathIn(const QString& folder, const QString& name) {
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

inline bool plant(const QString& folder, const Original& original) {
    const QString path = pathIn(folder, original.name());
    if (!writeFile(path, original.content) || !writeAttributes(path, original.attributes))
        return false;
    return !original.readOnly || ::chmod(encodeFileName(path).constData(), 0444) == 0;
}

// Empty when the file is there with its content and attributes, visible and
// (when delivered) writable by its owner; otherwise what is wrong.
inline QString checkIntact(const QString& folder, const Original& original, bool delivered = true) {
    const QString path = pathIn(folder, original.name());
    const auto content = readFile(path);
    if (!content)
        return QStringLiteral("missing: ") + path;
    if (*content != original.content)
        return QStringLiteral("content differs: ") + path;
    const auto attributes = readAttributes(path);
    if (!attributes || *attributes != original.attributes)
        return QStringLiteral("attributes differ: ") + path;
    LinuxFileSystem files;
    if (files.isHidden(path))
        return QStringLiteral("still hidden: ") + path;
    if (!delivered)
        return QString();
    struct stat status {};
    if (::stat(encodeFileName(path).constData(), &status) != 0 || (status.st_mode & S_IWUSR) == 0)
        return QStringLiteral("not writable: ") + path;
    return QString();
}

// Every entry name of a folder (hidden ones and sub-folders included), sorted.
inline QStringList entryNames(const QString& folder) {
    return namesIn(folder);
}

// A stand-in archiver in a folder of its own, found first through
// TORVANELO_HOME while the object lives; the real one is found again after.
class FakeArchiver {
public:
    explicit FakeArchiver(const QByteArray& script) {
        const QString path = m_folder.filePath(QStringLiteral("rar"));
        writeFile(path, "#!/bin/sh\n" + script);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("TORVANELO_HOME", m_folder.path().toLocal8Bit());
    }
    ~FakeArchiver() { qputenv("TORVANELO_HOME", buildDir().toLocal8Bit()); }
    FakeArchiver(const FakeArchiver&) = delete;
    FakeArchiver& operator=(const FakeArchiver&) = delete;

private:
    QTemporaryDir m_folder;
};

inline QStringList namesOf(const std::vector<Original>& originals) {
    QStringList names;
    for (const Original& original : originals)
        names << original.name();
    names.sort();
    return names;
}

} // namespace torvanelo::test
