#include "FolderPairList.h"

#include "AtomicFile.h"
#include "Blanks.h"
#include "FileSystem.h"
#include "HexCodec.h"
#include "SettingsKeys.h"

#include <optional>

namespace torvanelo {

namespace {

// The fields of one line: separated at commas, blanks around them skipped;
// a field that opens with a double quote runs to the closing quote, and
// anything between that quote and the next comma is ignored.
std::vector<QByteArray> lineFields(const QByteArray& line) {
    std::vector<QByteArray> fields;
    qsizetype i = 0;
    for (;;) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        if (i < line.size() && line[i] == '"') {
            const qsizetype closing = line.indexOf('"', i + 1);
            const qsizetype end = closing < 0 ? line.size() : closing;
            fields.push_back(line.mid(i + 1, end - i - 1));
            const qsizetype comma = line.indexOf(',', end);
            i = comma < 0 ? line.size() : comma;
        } else {
            const qsizetype comma = line.indexOf(',', i);
            const qsizetype end = comma < 0 ? line.size() : comma;
            fields.push_back(trimmedBlanks(line.mid(i, end - i)));
            i = end;
        }
        if (i >= line.size())
            return fields;
        ++i; // past the comma
    }
}

// A path from its field; nullopt when the field is not whole UTF-16 code
// units in hex (odd length, or a number of bytes that is not even).
std::optional<QString> decodePath(const QByteArray& field) {
    const auto bytes = HexDecode(QString::fromLatin1(field));
    if (!bytes)
        return std::nullopt;
    return fromUtf16Le(*bytes);
}

QByteArray encodePath(const QString& path) {
    return '"' + HexEncode(toUtf16Le(path)).toLatin1() + '"';
}

QString valueOr(const ProfileSnapshot& profile, const QString& section, QStringView key,
                const QString& fallback) {
    const QString value = profile.ReadProfileValue(section, key);
    return value.isEmpty() ? fallback : value;
}

} // namespace

FolderPairLoad LoadFolderPairs(const ParametersFile& parameters, const QString& pairFile) {
    FolderPairLoad load;
    const WholeFile file = readWholeFile(pairFile);
    if (file.status == WholeFile::Status::Missing)
        return load;
    if (file.status == WholeFile::Status::Failed) {
        load.fault = PairFileFault::Unreadable;
        return load;
    }

    const ProfileSnapshot profile = parameters.snapshot();
    const FolderPair defaults = newFolderPair(QString());
    const QByteArray content = file.content.startsWith(Utf8ByteOrderMark)
                                   ? file.content.mid(Utf8ByteOrderMark.size())
                                   : file.content;
    const QList<QByteArray> lines = content.split('\n');
    int lineNumber = 0;
    for (const QByteArray& line : lines) {
        ++lineNumber;
        if (trimmedBlanks(line).isEmpty())
            continue;
        const std::vector<QByteArray> fields = lineFields(line);
        const auto source = decodePath(fields[0]);
        const auto target = decodePath(fields.size() > 1 ? fields[1] : QByteArray());
        if (!source || !target) {
            load.pairs.clear();
            load.fault = PairFileFault::InvalidHex;
            load.faultLine = lineNumber;
            return load;
        }
        const QString section = pairSection(int(load.pairs.size()) + 1);
        FolderPair pair;
        pair.Source = *source;
        pair.Target = *target;
        pair.IntervalCount = valueOr(profile, section, Key::PairInterval, defaults.IntervalCount);
        pair.PassesLeft = pair.IntervalCount;
        pair.Mode = valueOr(profile, section, Key::PairMode, defaults.Mode);
        pair.Enabled = valueOr(profile, section, Key::PairEnabled, defaults.Enabled);
        load.pairs.push_back(std::move(pair));
    }
    return load;
}

bool SaveFolderPairs(ParametersFile& parameters, const QString& pairFile,
                     const std::vector<FolderPair>& rows) {
    const WholeFile previous = readWholeFile(pairFile);
    if (previous.status == WholeFile::Status::Failed)
        return false;
    QByteArray content;
    if (previous.content.startsWith(Utf8ByteOrderMark))
        content = Utf8ByteOrderMark;
    std::vector<ProfileValue> values;
    values.reserve(rows.size() * 3);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const FolderPair& pair = rows[r];
        content += encodePath(pair.Source) + ',' + encodePath(pair.Target) + "\r\n";
        const QString section = pairSection(int(r) + 1);
        values.push_back({section, Key::PairInterval.toString(), pair.IntervalCount});
        values.push_back({section, Key::PairMode.toString(), pair.Mode});
        values.push_back({section, Key::PairEnabled.toString(), pair.Enabled});
    }

    const WholeFile before = readWholeFile(parameters.path());
    if (before.status == WholeFile::Status::Failed)
        return false;
    if (!values.empty() && !parameters.WriteProfileValues(values))
        return false;
    if (writeFileAtomically(pairFile, content))
        return true;
    // The new settings must not stay with the old list of pairs. Putting the
    // old file back is all that can be done; should that fail too, the
    // caller's reload shows the pairs the files now hold.
    if (!values.empty()) {
        const bool restored = before.status == WholeFile::Status::Read
                                  ? writeFileAtomically(parameters.path(), before.content)
                                  : removeFileIfPresent(parameters.path());
        Q_UNUSED(restored);
    }
    return false;
}

QString invalidHexMessage(const QString& pairFile) {
    return QStringLiteral("Invalid hexa string in the parameters file\r\n") + pairFile;
}

bool IsMacVolume(const FileSystem& fileSystem, const QString& folder) {
    static const QString Marker = QStringLiteral("/Network Trash Folder");
    QString current = folder;
    while (current.size() > 1 && current.endsWith(u'/'))
        current.chop(1);
    if (current == u"/")
        current.clear();
    if (fileSystem.exists(current + Marker))
        return true;
    for (;;) {
        const qsizetype slash = current.lastIndexOf(u'/');
        if (slash < 0)
            return false;
        current.truncate(slash);
        if (fileSystem.exists(current + Marker))
            return true;
    }
}

} // namespace torvanelo
