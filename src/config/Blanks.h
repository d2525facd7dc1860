#pragma once

#include <QByteArray>

namespace torvanelo {

// The blanks that the program's own line files (parameters, folder pairs)
// skip around names, values and fields; CR counts, so a CR LF file reads as
// an LF one.
inline bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

inline QByteArray trimmedBlanks(const QByteArray& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

// What many editors put at the start of a UTF-8 file; the program's line
// files skip it on reading and keep it on writing.
inline const QByteArray Utf8ByteOrderMark = QByteArrayLiteral("\xEF\xBB\xBF");

} // namespace torvanelo
