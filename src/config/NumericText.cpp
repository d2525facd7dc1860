#include "NumericText.h"

#include <QLocale>
#include <QString>

#include <cmath>

namespace torvanelo {

namespace {

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}
bool isLeadingBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

} // namespace

double leadingNumber(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && isLeadingBlank(text[i]))
        ++i;
    const qsizetype start = i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    qsizetype digits = 0;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == u'.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return 0;
    qsizetype end = i;
    // The exponent counts only when digits follow it: "1e" and "1e+" are 1.
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype k = i + 1;
        if (k < text.size() && (text[k] == u'+' || text[k] == u'-'))
            ++k;
        if (k < text.size() && isDigit(text[k])) {
            while (k < text.size() && isDigit(text[k]))
                ++k;
            end = k;
        }
    }
    // The text is a well-formed number here; out of range it reads as
    // infinity (too large) or 0 (too small), which is what is wanted.
    return QLocale::c().toDouble(text.sliced(start, end - start));
}

double roundHalfEven(double value) {
    if (!std::isfinite(value))
        return value;
    const double lower = std::floor(value);
    const double fraction = value - lower;
    if (fraction < 0.5)
        return lower;
    if (fraction > 0.5)
        return lower + 1;
    return std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
}

std::optional<double> localeNumber(QStringView text) {
    const QString trimmed = text.trimmed().toString();
    if (trimmed.isEmpty())
        return std::nullopt;
    for (const QLocale& locale : {QLocale(), QLocale::c()}) {
        bool ok = false;
        const double value = locale.toDouble(trimmed, &ok);
        // "nan" and "inf" are words, not numbers a user types for a setting.
        if (ok && std::isfinite(value))
            return value;
    }
    return std::nullopt;
}

} // namespace torvanelo
