#pragma once

#include <QLocale>
#include <QString>

namespace torvanelo {

// The display text of a file size: below 1024 bytes "1,023 bytes";
// otherwise the size in KB, MB or GB followed by the exact count:
// "1.50KB (1,536 bytes)". By whole kilobytes k: up to 9 "0.00KB", up to 99
// "0.0KB", up to 1023 "0KB", up to 9999 "0.00MB", up to 99999 "0.0MB", up to
// 999999 "0MB", beyond "0.00GB". The unit is chosen on the whole count,
// before rounding, so 1048575 bytes reads "1024KB". Decimal and group separators come from the
// locale (the user's regional settings unless told). Sizes keep their full 64 bits: a file of 3 GiB
// reads "3.00GB (3,221,225,472 bytes)".
QString FormatSize(qint64 bytes, const QLocale& locale = QLocale());

} // namespace torvanelo
