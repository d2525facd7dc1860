#pragma once

#include <QString>
#include <QStringView>

namespace torvanelo {

// The parameters file: INI text in UTF-8. Section and key names are matched
// without regard to case, the first match wins, values are trimmed, lines
// the program does not own are kept as they are, and the file is created by
// the first write. Every write replaces the whole file atomically (temporary
// file in the same folder, flushed, renamed into place), so the file is never
// left half-written.
class ParametersFile {
public:
    explicit ParametersFile(QString path);

    const QString& path() const { return m_path; }

    // The value of the key, trimmed; the empty text when the key is missing
    // or empty (both count as missing).
    QString ReadProfileValue(QStringView section, QStringView key) const;

    // Creates the file, the section or the key as needed, or replaces the
    // value. False when the file could not be written.
    bool WriteProfileValue(QStringView section, QStringView key, const QString& value);

private:
    QString m_path;
};

} // namespace torvanelo
