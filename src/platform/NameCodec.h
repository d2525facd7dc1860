#pragma once

#include <QByteArray>
#include <QString>

namespace torvanelo {

// Linux names are bytes; the program holds them as QString. Valid UTF-8 is
// decoded as such; every byte that is not part of valid UTF-8 becomes a lone
// surrogate U+DC80..U+DCFF, so that encoding gives back the very same bytes.
// Every name the file system holds survives decode -> encode unchanged.
QString decodeFileName(const QByteArray& bytes);
QByteArray encodeFileName(const QString& name);

} // namespace torvanelo
