#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace torvanelo {

class FileSystem;
struct Settings;

// The daily journal: one HTML file per calendar day in the journal folder,
// named "Log Torvanelo yyyy-MM-dd.htm" so that the names of a folder sort by
// age. A journal is created once with its seven header lines and afterwards
// only appended to, one line per entry, the file opened and closed for each
// line, so a browser may read it between entries. The file is Windows-1252
// with CR LF line ends (see ToWindows1252); callers escape every piece of
// outside text with EscapeHtml before it goes into a line.

QString DailyLogPath(const QString& folder, const QDate& date);

// True for the names the viewer lists as journals: "Log Torvanelo*.htm",
// case as written.
bool IsJournalName(const QString& name);

// The date of a journal of the program's own making: the name is exactly
// "Log Torvanelo yyyy-MM-dd.htm" with a real date. Nothing for any other
// name, such as a user's "Log Torvanelo (copie).htm".
std::optional<QDate> JournalNameDate(const QString& name);

// The journals (regular files only) of a folder, names sorted ascending.
std::vector<QString> ListJournals(const FileSystem& files, const QString& folder);
// Only those with a JournalNameDate: oldest first.
std::vector<QString> ListDatedJournals(const FileSystem& files, const QString& folder);

// Deletes the oldest journals of the program's own making (the folder's
// other files, whatever their names, are neither counted nor touched) when
// more than `retention` are found, until retention - 1 remain, so that with
// the day's new journal the folder holds `retention` again. Exactly
// `retention` journals are left alone. A journal that cannot be deleted
// stays but counts as handled, so the purge always ends. Returns how many
// were deleted.
int PurgeOldLogs(FileSystem& files, const QString& folder, int retention);

// The seven header lines of a new journal: the heading in the interface
// language of the moment, then the date in the locale's long format.
QStringList JournalHeader(int language, const QDate& date, const QLocale& locale);

// Makes sure the journal at `path` exists. An existing file is left exactly
// as it is (never rewritten, even when empty or without header). Otherwise
// the old journals of its folder are purged when the settings ask for it and
// the file is created with the header. False when it could not be created.
bool OpenDailyLog(FileSystem& files, const QString& path, const Settings& settings,
                  const QDate& today, const QLocale& locale = QLocale());

// Appends one entry line (CR LF added), creating the file when missing.
// False when the line could not be written; it is then lost.
bool AppendLogLine(FileSystem& files, const QString& path, const QString& line);

// The journal one pass writes to. Its path is fixed when the pass starts, so
// a pass running across midnight stays in the journal of the day it started.
// An empty journal folder disables it (nothing is written anywhere).
class DayJournal {
public:
    DayJournal(FileSystem& files, const Settings& settings, const QDate& day,
               const QLocale& locale = QLocale());

    const QString& path() const { return m_path; }
    // OpenDailyLog for this journal.
    bool open();
    bool append(const QString& line);

private:
    FileSystem& m_files;
    const Settings& m_settings;
    QDate m_day;
    QLocale m_locale;
    QString m_path;
};

} // namespace torvanelo
