#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace torvanelo {

// Makes text from outside (paths, file names, dates) safe inside an HTML
// line: & < > " become entities, so a file named "<b>x</b>" shows as text.
QString EscapeHtml(QStringView text);

// The bytes of a journal line: Windows-1252 where the character exists
// there; any other character (and every control character, so a name holding
// a line break keeps the entry on one line) as a numeric character
// reference &#NNNN;. A surrogate pair gives the reference of its code point;
// a lone surrogate (a name byte that was not valid UTF-8) gives the
// reference of its own value, so the byte it stands for stays readable.
QByteArray ToWindows1252(QStringView text);

} // namespace torvanelo
