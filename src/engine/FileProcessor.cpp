#include "FileProcessor.h"

#include "ArchiveCounter.h"
#include "ArchiveNames.h"
#include "ArchiverCommands.h"
#include "DailyLog.h"
#include "FileSystem.h"
#include "HtmlText.h"
#include "PassCosts.h"
#include "PassSummary.h"
#include "ProcessRunner.h"
#include "Settings.h"

namespace torvanelo {

namespace {

const QString DataExtension = QStringLiteral(".rr");
const QString NameExtension = QStringLiteral(".rn");
const QString ArchiveExtension = QStringLiteral(".rar");
const QString TemporaryStart = QStringLiteral(".torvanelo-");
const QString TemporaryEnd = QStringLiteral(".tmp");
const QString WorkFolderStart = QStringLiteral(".torvanelo-extract-");

// Tried before a name given back to a file is declared unavailable.
constexpr int NameVariantsTried = 100;

} // namespace

FileProcessor::FileProcessor(FileSystem& files, ProcessRunner& runner, ArchiveCounter& counter,
                             const Settings& settings, PassCounts& counts, DayJournal* journal,
                             YieldFunction yieldToUser, PassCosts* costs)
    : m_files(files)
    , m_runner(runner)
    , m_counter(counter)
    , m_settings(settings)
    , m_counts(counts)
    , m_journal(journal)
    , m_yieldToUser(std::move(yieldToUser))
    , m_costs(costs) {}

QString FileProcessor::WorkFolderName(const QString& baseName) {
    return WorkFolderStart + baseName;
}

void FileProcessor::ScanFolder(const PairPaths& paths, bool compressMode) {
    const auto entries = m_files.list(paths.SourceFolder);
    if (!entries)
        return;
    for (const DirectoryEntry& entry : *entries) {
        if (entry.type == EntryType::Directory && entry.name.startsWith(WorkFolderStart)) {
            removeStaleWorkFolder(paths, entry.name);
        } else if (!entry.name.isEmpty() && entry.type == EntryType::File) {
            const QString path = paths.SourcePrefix + entry.name;
            if (m_files.isHidden(path)) {
                handleHiddenEntry(paths, entry.name);
            } else if (m_files.isFreeToOpen(path)) {
                if (compressMode)
                    CompressFile(paths, entry.name);
                else
                    UncompressFile(paths, entry.name);
                ++m_counts.FilesHandled;
            }
        }
        if (m_yieldToUser && m_yieldToUser())
            return;
    }
}

void FileProcessor::handleHiddenEntry(const PairPaths& paths, const QString& name) {
    // A temporary of the program or its archiver is always a redundant copy:
    // the original is removed only after the copy is complete and in place.
    if (name.startsWith(TemporaryStart) && name.endsWith(TemporaryEnd)) {
        m_files.remove(paths.SourcePrefix + name);
        return;
    }
    const QString prefix = m_settings.CompressedPrefix;
    // An archive of ours still under the mark its archiver gives temporaries
    // was put in place whole, and the run (or the system) stopped before it
    // was unmarked: visible again, it goes on as any archive.
    if (IsArchiveName(name, prefix)) {
        m_files.setHidden(paths.SourcePrefix + name, false);
        return;
    }
    if (name.endsWith(DataExtension)) {
        const QString base = name.chopped(DataExtension.size());
        if (IsLeftoverBaseName(base, prefix))
            recoverDataFile(paths, base);
        return;
    }
    if (name.endsWith(NameExtension)) {
        const QString base = name.chopped(NameExtension.size());
        if (IsLeftoverBaseName(base, prefix)
            && !m_files.exists(paths.SourcePrefix + base + DataExtension))
            m_files.remove(paths.SourcePrefix + name);
    }
    // Any other hidden file belongs to someone else: it is left alone.
}

void FileProcessor::recoverDataFile(const PairPaths& paths, const QString& baseName) {
    const QString dataPath = paths.SourcePrefix + baseName + DataExtension;
    const QString namePath = paths.SourcePrefix + baseName + NameExtension;
    std::optional<QString> name;
    if (m_files.exists(namePath)) {
        const auto content = m_files.readFile(namePath, NameFileMaxSize);
        if (content) {
            name = ReadNameFile(*content);
        } else {
            // A name file of a readable size that cannot be read now may be
            // readable later: keep everything as it is until then.
            const auto info = m_files.info(namePath);
            if (!info || info->size <= NameFileMaxSize)
                return;
        }
    }
    if (name) {
        restoreOwnName(paths.SourcePrefix, dataPath, namePath, *name);
        return;
    }
    // Without a usable name file the name is lost; the data stays, visible
    // under B.rr, and is handled as an ordinary file from the next pass on.
    m_files.setHidden(dataPath, false);
}

bool FileProcessor::restoreOwnName(const QString& folderPrefix, const QString& dataPath,
                                   const QString& namePath, const QString& name) {
    const QString given = giveBackName(folderPrefix, dataPath, name);
    if (given.isEmpty())
        return false;
    // A hidden file under its own name would be taken for someone else's and
    // never handled again: back to the data file name, which the next scan
    // recovers.
    if (!m_files.setHidden(given, false)) {
        moveFile(given, dataPath, Replace::No);
        return false;
    }
    m_files.remove(namePath);
    return true;
}

QString FileProcessor::giveBackName(const QString& folderPrefix, const QString& dataPath,
                                    const QString& name) {
    for (int n = 1; n <= NameVariantsTried; ++n) {
        const QString candidate = n == 1 ? name : NameVariant(name, n);
        if (candidate.isEmpty())
            break;
        const QString path = folderPrefix + candidate;
        if (moveFile(dataPath, path, Replace::No))
            return path;
        // Only a name in use is worth another variant.
        if (!m_files.exists(path))
            break;
    }
    return QString();
}

std::optional<qint32> FileProcessor::takeArchiveNumber(const PairPaths& paths,
                                                       const QString& prefix) {
    qint32 number = NextArchiveNumber(readCounter());
    for (qint32 tried = 0; tried <= LargestArchiveNumber; ++tried) {
        const QString base = ArchiveBaseName(prefix, number);
        const bool used = m_files.exists(paths.SourcePrefix + base + DataExtension)
                          || m_files.exists(paths.SourcePrefix + base + NameExtension)
                          || m_files.exists(paths.SourcePrefix + base + ArchiveExtension)
                          || m_files.exists(paths.TargetPrefix + base + ArchiveExtension);
        if (!used)
            return number;
        number = NextArchiveNumber(number);
    }
    return std::nullopt;
}

bool FileProcessor::CompressFile(const PairPaths& paths, const QString& name) {
    const QString from = paths.SourcePrefix + name;
    const QString prefix = m_settings.CompressedPrefix;
    if (IsArchiveName(name, prefix)) {
        const QString to = paths.TargetPrefix + name;
        if (!moveFile(from, to, Replace::Yes))
            return false;
        ++m_counts.FilesCompressed;
        journalFile(QStringLiteral("Rar"), from, to);
        return true;
    }
    if (!IsUsablePrefix(prefix))
        return false;

    const auto number = takeArchiveNumber(paths, prefix);
    if (!number)
        return false;
    const QString base = ArchiveBaseName(prefix, *number);
    const QString dataPath = paths.SourcePrefix + base + DataExtension;
    const QString namePath = paths.SourcePrefix + base + NameExtension;
    const QString archivePath = paths.SourcePrefix + base + ArchiveExtension;
    const QString targetPath = paths.TargetPrefix + base + ArchiveExtension;

    // The name is on disk before the file gives it up.
    if (!m_files.writeFile(namePath, MakeNameFile(name)) || !m_files.setHidden(namePath, true)) {
        m_files.remove(namePath);
        return false;
    }
    if (!moveFile(from, dataPath, Replace::No)) {
        m_files.remove(namePath);
        return false;
    }
    // When this fails, the next scan recovers the hidden data file.
    const auto giveBack = [&] { restoreOwnName(paths.SourcePrefix, dataPath, namePath, name); };
    if (!m_files.setHidden(dataPath, true)) {
        giveBack();
        return false;
    }

    RunOptions options;
    options.show = m_settings.ShowArchiverConsole;
    const bool started = runArchiver(CompressCommand(paths.SourcePrefix, base), options);
    // Judged by the files, never by the exit code: the archive is complete
    // once it is in place, and the data file is deleted only after that.
    const bool dataLeft = m_files.exists(dataPath);
    if (!started || dataLeft || !m_files.exists(archivePath)) {
        if (dataLeft) {
            giveBack();
            // The number was free before the run, so an archive there now was
            // made by this run; its data is still in the data file.
            if (m_files.exists(archivePath))
                m_files.remove(archivePath);
        }
        return false;
    }
    if (m_files.exists(namePath))
        m_files.remove(namePath);

    const bool moved = moveFile(archivePath, targetPath, Replace::No);
    // Advanced even when the move failed, so that the next file never goes
    // into the archive left in the source folder.
    writeCounter(*number);
    if (!moved)
        return false;
    ++m_counts.FilesCompressed;
    journalFile(QStringLiteral("Rar"), from, targetPath);
    return true;
}

bool FileProcessor::UncompressFile(const PairPaths& paths, const QString& name) {
    const QString from = paths.SourcePrefix + name;
    if (!IsArchiveName(name, m_settings.CompressedPrefix)) {
        const QString to = paths.TargetPrefix + name;
        if (!moveFile(from, to, Replace::Yes))
            return false;
        ++m_counts.FilesUncompressed;
        journalFile(QStringLiteral("Unrar"), from, to);
        return true;
    }
    const QString base = name.left(name.lastIndexOf(u'.'));
    const auto info = m_files.info(from);
    if (!info || info->size == 0)
        return false;

    const QString workFolder = paths.SourcePrefix + WorkFolderName(base);
    if (m_files.exists(workFolder) && !clearWorkFolder(workFolder))
        return false;
    if (!m_files.makeFolder(workFolder))
        return false;
    RunOptions options;
    options.show = m_settings.ShowArchiverConsole;
    options.workingFolder = workFolder;
    const bool started = runArchiver(ExtractCommand(from), options);
    const bool delivered = started && deliverExtracted(paths, workFolder, base, from);
    clearWorkFolder(workFolder);
    return delivered;
}

bool FileProcessor::deliverExtracted(const PairPaths& paths, const QString& workFolder,
                                     const QString& baseName, const QString& archivePath) {
    const auto entries = m_files.list(workFolder);
    if (!entries)
        return false;
    // Members keep the case they were packed with, whatever the case of the
    // archive's name now: an exact match first, else the only match in
    // another case.
    const auto findMember = [&](const QString& wanted) -> QString {
        QString found;
        int others = 0;
        for (const DirectoryEntry& entry : *entries) {
            if (entry.type != EntryType::File)
                continue;
            if (entry.name == wanted)
                return entry.name;
            if (entry.name.compare(wanted, Qt::CaseInsensitive) == 0) {
                found = entry.name;
                ++others;
            }
        }
        return others == 1 ? found : QString();
    };
    const QString nameMember = findMember(baseName + NameExtension);
    const QString dataMember = findMember(baseName + DataExtension);
    if (nameMember.isEmpty() || dataMember.isEmpty())
        return false;
    const QString workPrefix = FolderPrefix(workFolder);
    const auto content = m_files.readFile(workPrefix + nameMember, NameFileMaxSize);
    if (!content)
        return false;
    const auto name = ReadNameFile(*content);
    if (!name)
        return false;

    const QString to = paths.TargetPrefix + *name;
    if (!moveFile(workPrefix + dataMember, to, Replace::Yes))
        return false;
    // A file left hidden would be taken for someone else's; the archive stays
    // and delivers it again at the next pass.
    if (!m_files.setNormal(to))
        return false;
    // The archive is the other copy: it goes only once the delivered file is
    // on disk under its name (the archiver does not flush what it extracts).
    if (!m_files.makeDurable(to))
        return false;
    m_files.remove(archivePath);
    ++m_counts.FilesUncompressed;
    journalFile(QStringLiteral("Unrar"), archivePath, to);
    return true;
}

void FileProcessor::removeStaleWorkFolder(const PairPaths& paths, const QString& folderName) {
    // While its archive is there, the next unpacking of it clears the folder.
    const QString base = folderName.mid(WorkFolderStart.size());
    if (m_files.exists(paths.SourcePrefix + base + ArchiveExtension))
        return;
    const QString workFolder = paths.SourcePrefix + folderName;
    const auto entries = m_files.list(workFolder);
    if (!entries)
        return;
    // A data file there with its archive gone is the only copy left: kept.
    for (const DirectoryEntry& entry : *entries) {
        if (entry.type != EntryType::File
            || entry.name.endsWith(DataExtension, Qt::CaseInsensitive))
            return;
    }
    clearWorkFolder(workFolder);
}

bool FileProcessor::clearWorkFolder(const QString& workFolder) {
    const auto entries = m_files.list(workFolder);
    if (!entries)
        return false;
    const QString workPrefix = FolderPrefix(workFolder);
    for (const DirectoryEntry& entry : *entries) {
        if (entry.type == EntryType::Directory)
            m_files.removeFolder(workPrefix + entry.name);
        else
            m_files.remove(workPrefix + entry.name);
    }
    return m_files.removeFolder(workFolder);
}

bool FileProcessor::runArchiver(const QString& commandLine, const RunOptions& options) {
    const PassCosts::Span span(m_costs, PassCosts::Archiver);
    return m_runner.RunAndWait(commandLine, options);
}

bool FileProcessor::moveFile(const QString& from, const QString& to, Replace replace) {
    const PassCosts::Span span(m_costs, PassCosts::Moves);
    return m_files.move(from, to, replace);
}

qint32 FileProcessor::readCounter() {
    const PassCosts::Span span(m_costs, PassCosts::Parameters);
    return m_counter.readLastFileNumber();
}

void FileProcessor::writeCounter(qint32 number) {
    const PassCosts::Span span(m_costs, PassCosts::Parameters);
    m_counter.writeLastFileNumber(number);
}

void FileProcessor::journalFile(const QString& tool, const QString& from, const QString& to) {
    if (!m_journal || !m_settings.LogEnabled || !m_settings.LogFileNames)
        return;
    m_journal->append(QStringLiteral("<small><b>") + tool + QStringLiteral("</b> - ")
                      + EscapeHtml(from) + QStringLiteral(" -> ") + EscapeHtml(to)
                      + QStringLiteral("</small><br>"));
}

} // namespace torvanelo
