#include "FormatSize.h"

#include <cmath>

namespace torvanelo {

namespace {

// A number with a fixed count of decimals and no group separator. The values
// shown are exact binary fractions (bytes / 1024^k), so only the whole-number
// patterns can meet a half; it is rounded away from zero, as the number
// formats of the regional settings do.
QString fixed(double value, int decimals, const QLocale& locale) {
    QLocale plain = locale;
    plain.setNumberOptions(plain.numberOptions() | QLocale::OmitGroupSeparator);
    if (decimals == 0)
        return plain.toString(static_cast<qlonglong>(std::round(value)));
    return plain.toString(value, 'f', decimals);
}

// "#,##0": whole number with group separators.
QString grouped(qint64 value, const QLocale& locale) {
    QLocale withGroups = locale;
    withGroups.setNumberOptions(withGroups.numberOptions() & ~QLocale::OmitGroupSeparator);
    return withGroups.toString(static_cast<qlonglong>(value));
}

} // namespace

QString FormatSize(qint64 bytes, const QLocale& locale) {
    const QString exact = grouped(bytes, locale) + QStringLiteral(" bytes");
    if (bytes < 1024)
        return exact;

    const qint64 kilobytes = bytes / 1024;
    const double kb = double(bytes) / 1024.0;
    const double mb = double(bytes) / 1048576.0;
    QString size;
    if (kilobytes < 10)
        size = fixed(kb, 2, locale) + QStringLiteral("KB");
    else if (kilobytes < 100)
        size = fixed(kb, 1, locale) + QStringLiteral("KB");
    else if (kilobytes < 1024)
        size = fixed(kb, 0, locale) + QStringLiteral("KB");
    else if (kilobytes < 10000)
        size = fixed(mb, 2, locale) + QStringLiteral("MB");
    else if (kilobytes < 100000)
        size = fixed(mb, 1, locale) + QStringLiteral("MB");
    else if (kilobytes < 1000000)
        size = fixed(mb, 0, locale) + QStringLiteral("MB");
    else
        size = fixed(mb / 1024.0, 2, locale) + QStringLiteral("GB");
    return size + QStringLiteral(" (") + exact + u')';
}

} // namespace torvanelo
