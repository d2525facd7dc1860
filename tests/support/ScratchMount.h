#pragma once

#include <QByteArray>
#include <QString>

namespace torvanelo::test {

// A small file system of its own mounted on an empty folder for the life of
// the object (root only): a second file system for moves across file
// systems, a full disk (a tiny tmpfs), a read-only folder even for root, or
// one without extended attributes (ramfs). When mounting is not possible,
// mounted() is false and error() tells why, for the test's skip message.
class ScratchMount {
public:
    // type: "tmpfs" or "ramfs"; options: e.g. "size=64k".
    ScratchMount(const QString& folder, const QByteArray& type, const QByteArray& options = {});
    ~ScratchMount();
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;

    bool mounted() const { return m_mounted; }
    QString error() const { return m_error; }
    QString folder() const { return m_folder; }

    // Makes the whole file system read-only, or writable again.
    bool setReadOnly(bool readOnly);

private:
    QString m_folder;
    QByteArray m_type;
    QByteArray m_options;
    bool m_mounted = false;
    QString m_error;
};

} // namespace torvanelo::test
