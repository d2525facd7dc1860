#include "HtmlText.h"

#include <array>

namespace torvanelo {

namespace {

// Unicode values of the Windows-1252 bytes 0x80..0x9F; 0 where the code page
// leaves the byte undefined.
constexpr std::array<char16_t, 32> HighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The Windows-1252 byte of a character, or -1 when it has none (control
// characters count as having none).
int windows1252Byte(char32_t c) {
    if (c == u'\t' || (c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c <= 0xFF))
        return int(c);
    for (std::size_t i = 0; i < HighControls.size(); ++i) {
        if (HighControls[i] != 0 && HighControls[i] == c)
            return int(0x80 + i);
    }
    return -1;
}

} // namespace

QString EscapeHtml(QStringView text) {
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'&':
            escaped += u"&amp;";
            break;
        case u'<':
            escaped += u"&lt;";
            break;
        case u'>':
            escaped += u"&gt;";
            break;
        case u'"':
            escaped += u"&quot;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

QByteArray ToWindows1252(QStringView text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size()
            && QChar::isLowSurrogate(text[i + 1].unicode())) {
            c = QChar::surrogateToUcs4(char16_t(c), text[i + 1].unicode());
            ++i;
        }
        const int byte = windows1252Byte(c);
        if (byte >= 0) {
            bytes.append(char(byte));
        } else {
            bytes.append("&#");
            bytes.append(QByteArray::number(quint32(c)));
            bytes.append(';');
        }
    }
    return bytes;
}

} // namespace torvanelo
