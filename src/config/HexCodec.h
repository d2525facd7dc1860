#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

namespace torvanelo {

// Two upper-case hexadecimal digits per byte; the empty sequence gives "".
QString HexEncode(QByteArrayView bytes);

// Reads two digits at a time (either case). nullopt for a text of odd length.
// A pair that is not valid hexadecimal gives the value of its valid leading
// digit, or 0, as the pair file has always been read.
std::optional<QByteArray> HexDecode(QStringView text);

// As HexDecode, but any digit that is not hexadecimal refuses the whole text.
// For data that must come back exactly or not at all (the name file).
std::optional<QByteArray> HexDecodeStrict(QStringView text);

// The UTF-16LE bytes of a text, low byte first, and back; fromUtf16Le gives
// nullopt for an odd number of bytes.
QByteArray toUtf16Le(const QString& text);
std::optional<QString> fromUtf16Le(QByteArrayView bytes);

} // namespace torvanelo
