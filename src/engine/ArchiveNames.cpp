#include "ArchiveNames.h"

#include "HexCodec.h"
#include "NameCodec.h"
#include "NumericText.h"

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
