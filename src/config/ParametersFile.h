#pragma once

#include <QString>
#include <QStringView>

#include <memory>
#include <vector>

namespace torvanelo {

class IniDocument;

// One key to write, for the writes of several keys at once.
struct ProfileValue {
    QString section;
    QString key;
    QString value;
};

// The content of the parameters file as read at one moment, for callers that
// read many keys together (the pair list reads three keys per pair).
class ProfileSnapshot {
public:
    QString ReadProfileValue(QStringView section, QStringView key) const;

private:
    friend class ParametersFile;
    std::shared_ptr<const IniDocument> m_document;
};

// What start-up finds in place of the parameters file.
enum class ParametersFileState {
    Missing, // no file: every default applies
    Text,
    // Something is there that cannot be read as a file: a folder, a fifo,
    // a file without read permission, an I/O error.
    Unreadable,
    // A file that is not UTF-8 text: UTF-16 or UTF-32 (as some editors
    // save "Unicode"), or binary. Read as INI it would give defaults only.
    NotText,
};

// The parameters file: INI text in UTF-8. Section and key names are matched
// without regard to case, the first match wins (for sections too: a repeated
// section further down is never read or written), values are trimmed of
// blanks, lines the program does not own are kept byte for byte (comments
// starting with ';' or '#', junk, binary bytes, very long lines, CR LF or LF
// endings, a missing final newline), and the file is created by the first
// write with CR LF line ends. A UTF-8 byte-order mark at the start is
// skipped on reading and kept on writing. Every write replaces the whole file atomically
// (temporary file in the same folder, flushed, renamed into place), so the
// file is never left half-written.
//
// Values are kept whole, however long: a journal folder path on Linux can be
// far longer than the 254 characters the original platform let through.
// Bytes that are not UTF-8 (a hand-edited path) are read as the lone
// surrogates of decodeFileName and written back as the same bytes.
class ParametersFile {
public:
    explicit ParametersFile(QString path);

    const QString& path() const { return m_path; }

    // The value of the key, trimmed; the empty text when the key is missing
    // or empty (both count as missing), or when the file cannot be read.
    QString ReadProfileValue(QStringView section, QStringView key) const;

    // Every value as the file holds it now; empty when it cannot be read.
    ProfileSnapshot snapshot() const;

    // Never waits: a fifo in the file's place is Unreadable at once.
    ParametersFileState state() const;

    // Creates the file, the section or the key as needed, or replaces the
    // value. False when the file could not be written: it exists but cannot
    // be read (it is then left alone rather than replaced by one key), it can
    // be written neither through a new file (see writeFileAtomically) nor in
    // place, or the value holds a line break, which a line-based file cannot
    // keep.
    bool WriteProfileValue(QStringView section, QStringView key, const QString& value);

    // Writes all the values in one replacement of the file: all or none.
    bool WriteProfileValues(const std::vector<ProfileValue>& values);

private:
    QString m_path;
};

// Said when start-up ends on an Unreadable or NotText parameters file: the
// reason, CR LF, the file's path.
QString parametersFileFaultText(int language, ParametersFileState state, const QString& path);

} // namespace torvanelo
