#include "ArchiveNames.h"

#include "HexCodec.h"
#include "NameCodec.h"
#include "NumericText.h"

#include <algorithm>
#include <cmath>

namespace torvanelo {

namespace {

constexpr qsizetype ArchiveNameLength = 12;
constexpr int NumberDigits = 6;
constexpr qsizetype LongestName = 255;

bool isSixDigits(QStringView text) {
    if (text.size() != NumberDigits)
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

} // namespace

bool IsArchiveName(const QString& name, const QString& prefix) {
    if (name.size() != ArchiveNameLength)
        return false;
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0 || name.mid(dot + 1).toUpper() != u"RAR")
        return false;
    if (name.left(2).toUpper() != prefix)
        return false;
    if (dot < 2)
        return false;
    return localeNumber(QStringView(name).mid(2, dot - 2)).has_value();
}

void SortForScan(std::vector<DirectoryEntry>& entries, const QString& prefix) {
    struct Keyed {
        DirectoryEntry entry;
        bool archive = false;
        qint64 number = 0;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(entries.size());
    std::vector<qint64> numbers;
    for (DirectoryEntry& entry : entries) {
        Keyed item{std::move(entry)};
        if (item.entry.type == EntryType::File && IsArchiveName(item.entry.name, prefix)) {
            const qsizetype dot = item.entry.name.lastIndexOf(u'.');
            const double value = *localeNumber(QStringView(item.entry.name).mid(2, dot - 2));
            item.archive = true;
            item.number = qint64(std::clamp(std::round(value), -1.0, double(LargestArchiveNumber)));
            numbers.push_back(item.number);
        }
        keyed.push_back(std::move(item));
    }
    // The run starts after the widest gap, the one from the last number
    // round to the first included.
    qint64 start = 0;
    if (!numbers.empty()) {
        std::sort(numbers.begin(), numbers.end());
        qint64 widest = numbers.front() + (LargestArchiveNumber + 1) - numbers.back();
        start = numbers.front();
        for (size_t i = 1; i < numbers.size(); ++i) {
            if (numbers[i] - numbers[i - 1] > widest) {
                widest = numbers[i] - numbers[i - 1];
                start = numbers[i];
            }
        }
    }
    const auto rank = [start](qint64 number) {
        return number >= start ? number - start : number - start + LargestArchiveNumber + 1;
    };
    std::stable_sort(keyed.begin(), keyed.end(), [&](const Keyed& a, const Keyed& b) {
        if (a.archive != b.archive)
            return b.archive;
        if (a.archive && a.number != b.number)
            return rank(a.number) < rank(b.number);
        return a.entry.name < b.entry.name;
    });
    for (size_t i = 0; i < entries.size(); ++i)
        entries[i] = std::move(keyed[i].entry);
}

QString ArchiveBaseName(const QString& prefix, qint32 number) {
    return prefix + QStringLiteral("%1").arg(number, NumberDigits, 10, QChar(u'0'));
}

qint32 NextArchiveNumber(qint64 last) {
    const qint64 next = last + 1;
    return (next < 0 || next > LargestArchiveNumber) ? 0 : qint32(next);
}

bool IsUsablePrefix(const QString& prefix) {
    for (const QChar c : prefix) {
        if (c == u'/' || c == u'\\' || c == u'"' || c == u'?' || c == u'*' || c == u'[' || c == u']'
            || c.unicode() < 0x20)
            return false;
    }
    return true;
}

bool IsLeftoverBaseName(const QString& base, const QString& prefix) {
    if (base.size() == 2 + NumberDigits && isSixDigits(QStringView(base).mid(2)))
        return true;
    return !prefix.isEmpty() && base.size() == prefix.size() + NumberDigits
           && base.startsWith(prefix) && isSixDigits(QStringView(base).mid(prefix.size()));
}

QByteArray MakeNameFile(const QString& name) {
    return '"' + HexEncode(toUtf16Le(name)).toLatin1() + "\"\r\n";
}

std::optional<QString> ReadNameFile(const QByteArray& content) {
    const QByteArray text = content.trimmed();
    if (text.size() < 2 || !text.startsWith('"') || !text.endsWith('"'))
        return std::nullopt;
    const QByteArray hex = text.mid(1, text.size() - 2);
    if (hex.contains('"'))
        return std::nullopt;
    const auto bytes = HexDecodeStrict(QString::fromLatin1(hex));
    if (!bytes)
        return std::nullopt;
    const auto name = fromUtf16Le(*bytes);
    if (!name || !IsAcceptableFileName(*name))
        return std::nullopt;
    return name;
}

bool IsAcceptableFileName(const QString& name) {
    const QByteArray bytes = encodeFileName(name);
    return !bytes.isEmpty() && bytes != "." && bytes != ".." && !bytes.contains('/')
           && !bytes.contains('\0') && bytes.size() <= LongestName;
}

QString NameVariant(const QString& name, int n) {
    const qsizetype dot = name.lastIndexOf(u'.');
    const bool hasExtension = dot > 0;
    const QString stem = hasExtension ? name.left(dot) : name;
    const QString extension = hasExtension ? name.mid(dot) : QString();
    const QString variant = stem + QStringLiteral(" (%1)").arg(n) + extension;
    return IsAcceptableFileName(variant) ? variant : QString();
}

} // namespace torvanelo
