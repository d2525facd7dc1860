#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace torvanelo {

// The counts of one pass, all 0 when it starts.
struct PassCounts {
    qint32 FilesHandled = 0;      // entries handed to compression or uncompression
    qint32 FilesCompressed = 0;   // packed, or own archives moved through
    qint32 FilesUncompressed = 0; // archives unpacked, or other files moved through
    qint32 SourceFolders = 0;     // pairs with both folders filled in
    qint32 InvalidSources = 0;    // source empty or not found
    qint32 InvalidTargets = 0;    // target empty or not found
};

struct PassSummaryLines {
    QString line1;
    QString line2;
};

// The two lines shown after a pass: the long date, the end time and the
// folder counts; then the file counts and the duration in seconds with two
// decimals and the locale's decimal separator. Counts of 0 and 1 take the
// singular, 2 and more the plural.
PassSummaryLines PassSummary(const PassCounts& counts, int language, const QDateTime& end,
                             qint64 durationMilliseconds, const QLocale& locale = QLocale());

} // namespace torvanelo
