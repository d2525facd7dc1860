#include "HexCodec.h"

namespace torvanelo {

namespace {

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

} // namespace

QString HexEncode(QByteArrayView bytes) {
    static constexpr char16_t Digits[] = u"0123456789ABCDEF";
    QString text;
    text.reserve(bytes.size() * 2);
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        text.append(QChar(Digits[value >> 4]));
        text.append(QChar(Digits[value & 0x0F]));
    }
    return text;
}

namespace {

enum class Digits { Lenient, Strict };

std::optional<QByteArray> decodePairs(QStringView text, Digits digits) {
    if (text.size() % 2 != 0)
        return std::nullopt;
    QByteArray bytes;
    bytes.reserve(text.size() / 2);
    for (qsizetype i = 0; i < text.size(); i += 2) {
        const int high = hexDigit(text[i]);
        const int low = hexDigit(text[i + 1]);
        if (high < 0 || low < 0) {
            if (digits == Digits::Strict)
                return std::nullopt;
            // A pair read as a number stops at its first non-digit: "4G" is
            // 4, "G4" is 0.
            bytes.append(char(high < 0 ? 0 : high));
            continue;
        }
        bytes.append(char(high * 16 + low));
    }
    return bytes;
}

} // namespace

std::optional<QByteArray> HexDecode(QStringView text) {
    return decodePairs(text, Digits::Lenient);
}

std::optional<QByteArray> HexDecodeStrict(QStringView text) {
    return decodePairs(text, Digits::Strict);
}

QByteArray toUtf16Le(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        bytes.append(char(unit & 0xFF));
        bytes.append(char(unit >> 8));
    }
    return bytes;
}

std::optional<QString> fromUtf16Le(QByteArrayView bytes) {
    if (bytes.size() % 2 != 0)
        return std::nullopt;
    QString text;
    text.reserve(bytes.size() / 2);
    for (qsizetype i = 0; i < bytes.size(); i += 2) {
        const auto low = static_cast<unsigned char>(bytes[i]);
        const auto high = static_cast<unsigned char>(bytes[i + 1]);
        text.append(QChar(char16_t(low | (high << 8))));
    }
    return text;
}

} // namespace torvanelo
