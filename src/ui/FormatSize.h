#pragma once

#include <QLocale>
#include <QString>

namespace torvanelo {

// The display text of a file size: below 1024 bytes "1,023 bytes";
// otherwise the size in KB, MB or GB with as many decimals as keep three
// figures, followed by the exact count: "1.50KB (1,536 bytes)". The unit is
// chosen on the whole number of kilobytes, before rounding, so 1048575 bytes
// reads "1024KB". Decimal and group separators come from the locale (the
// user's regional settings unless told). Sizes keep their full 64 bits: a
// file of 3 GiB reads "3.00GB (3,221,225,472 bytes)".
QString FormatSize(qint64 bytes, const QLocale& locale = QLocale());

} // namespace torvanelo
