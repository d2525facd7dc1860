#include "DailyLog.h"

#include "FileSystem.h"
#include "FolderPrefix.h"
#include "HtmlText.h"
#include "Settings.h"
#include "Texts.h"

#include <algorithm>
#include <deque>

namespace torvanelo {

namespace {

const QString JournalStem = QStringLiteral("Log ") + ProductName;
const QString JournalExtension = QStringLiteral(".htm");

QByteArray journalBytes(const QString& line) {
    return ToWindows1252(line) + "\r\n";
}

} // namespace

QString DailyLogPath(const QString& folder, const QDate& date) {
    return FolderPrefix(folder) + JournalStem + u' ' + date.toString(u"yyyy-MM-dd")
           + JournalExtension;
}

bool IsJournalName(const QString& name) {
    return name.size() >= JournalStem.size() + JournalExtension.size()
           && name.startsWith(JournalStem) && name.endsWith(JournalExtension);
}

std::optional<QDate> JournalNameDate(const QString& name) {
    // "Log Torvanelo " + yyyy-MM-dd + ".htm", exactly.
    const qsizetype start = JournalStem.size() + 1;
    if (name.size() != start + 10 + JournalExtension.size() || !name.startsWith(JournalStem)
        || name.at(start - 1) != u' ' || !name.endsWith(JournalExtension))
        return std::nullopt;
    const QStringView date = QStringView(name).mid(start, 10);
    for (qsizetype i = 0; i < date.size(); ++i) {
        const bool dash = i == 4 || i == 7;
        if (dash ? date[i] != u'-' : !(date[i] >= u'0' && date[i] <= u'9'))
            return std::nullopt;
    }
    const QDate parsed(date.left(4).toInt(), date.mid(5, 2).toInt(), date.mid(8, 2).toInt());
    if (!parsed.isValid())
        return std::nullopt;
    return parsed;
}

std::vector<QString> ListJournals(const FileSystem& files, const QString& folder) {
    std::vector<QString> names;
    const auto entries = files.list(folder);
    if (!entries)
        return names;
    for (const auto& entry : *entries) {
        if (entry.type == EntryType::File && IsJournalName(entry.name))
            names.push_back(entry.name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<QString> ListDatedJournals(const FileSystem& files, const QString& folder) {
    std::vector<QString> names = ListJournals(files, folder);
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const QString& name) { return !JournalNameDate(name); }),
                names.end());
    return names;
}

int PurgeOldLogs(FileSystem& files, const QString& folder, int retention) {
    const auto names = ListDatedJournals(files, folder);
    std::deque<QString> left(names.begin(), names.end());
    if (qsizetype(left.size()) <= retention)
        return 0;
    int deleted = 0;
    while (!left.empty() && qsizetype(left.size()) >= retention) {
        if (files.remove(FolderPrefix(folder) + left.front()))
            ++deleted;
        left.pop_front();
    }
    return deleted;
}

QStringList JournalHeader(int language, const QDate& date, const QLocale& locale) {
    return {
        QStringLiteral("<html>"),
        QStringLiteral("<head>"),
        QStringLiteral("<title>Logs ") + ProductName + QStringLiteral("</title>"),
        QStringLiteral("</head>"),
        QStringLiteral("<body>"),
        Tr(language, u"<b><center><h1>Journal des compressions/décompressions</h1></center></b>",
           u"<b><center><h1>Rar/Unrar Logs</h1></center></b>"),
        QStringLiteral("<center><h3>") + EscapeHtml(locale.toString(date, QLocale::LongFormat))
            + QStringLiteral("</h3></center>"),
    };
}

bool OpenDailyLog(FileSystem& files, const QString& path, const Settings& settings,
                  const QDate& today, const QLocale& locale) {
    if (files.exists(path))
        return true;
    if (settings.PurgeOldLogs) {
        const qsizetype slash = path.lastIndexOf(u'/');
        const QString folder = slash <= 0 ? QStringLiteral("/") : path.left(slash);
        PurgeOldLogs(files, folder, settings.LogRetention);
    }
    QByteArray header;
    for (const QString& line : JournalHeader(settings.Language, today, locale))
        header += journalBytes(line);
    // Appending rather than writing: should the file appear meanwhile, its
    // content is kept.
    return files.appendToFile(path, header);
}

bool AppendLogLine(FileSystem& files, const QString& path, const QString& line) {
    return files.appendToFile(path, journalBytes(line));
}

DayJournal::DayJournal(FileSystem& files, const Settings& settings, const QDate& day,
                       const QLocale& locale)
    : m_files(files)
    , m_settings(settings)
    , m_day(day)
    , m_locale(locale)
    , m_path(settings.LogFolder.isEmpty() ? QString() : DailyLogPath(settings.LogFolder, day)) {}

bool DayJournal::open() {
    return !m_path.isEmpty() && OpenDailyLog(m_files, m_path, m_settings, m_day, m_locale);
}

bool DayJournal::append(const QString& line) {
    return !m_path.isEmpty() && AppendLogLine(m_files, m_path, line);
}

} // namespace torvanelo
