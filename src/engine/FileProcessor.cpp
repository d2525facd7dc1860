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
#include "Texts.h"

#include <QRandomGenerator>

#include <cstdio>

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
// Names of an unpacking folder tried past what others put in its way.
constexpr int WorkFolderNamesTried = 8;

// A dash and eight hex digits from the system's random source.
QString unforeseeableSuffix() {
    return QStringLiteral("-%1").arg(QRandomGenerator::system()->generate(), 8, 16, QChar(u'0'));
}

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
    bool busy = false;
    const auto lock = m_files.lockFolder(paths.SourceFolder, busy);
    if (!lock)
        return;
    auto entries = m_files.list(paths.SourceFolder);
    if (!entries)
        return;
    SortForScan(*entries, m_settings.CompressedPrefix);
    std::vector<QString> unsettled;
    for (const DirectoryEntry& entry : *entries) {
        handleEntry(paths, entry, compressMode, unsettled);
        if (m_yieldToUser && m_yieldToUser())
            return;
    }
    if (unsettled.empty() || !m_settle)
        return;
    m_settle();
    for (const QString& name : unsettled) {
        if (m_yieldToUser && m_yieldToUser())
            return;
        const QString path = paths.SourcePrefix + name;
        if (!m_files.isHidden(path) && m_files.openState(path) == OpenState::Free)
            handOn(paths, name, compressMode);
    }
}

void FileProcessor::handleEntry(const PairPaths& paths, const DirectoryEntry& entry,
                                bool compressMode, std::vector<QString>& unsettled) {
    const QString& name = entry.name;
    if (entry.type == EntryType::Directory && name.startsWith(WorkFolderStart)) {
        removeStaleWorkFolder(paths, name);
        return;
    }
    if (name.isEmpty() || entry.type != EntryType::File)
        return;
    const QString path = paths.SourcePrefix + name;
    if (m_files.isHidden(path)) {
        handleHiddenEntry(paths, name);
        return;
    }
    // A compression stopped between the rename of the file and its mark:
    // the hidden name file beside it tells, since a number is only taken
    // while no file of it exists.
    if (name.endsWith(DataExtension)) {
        const QString base = name.chopped(DataExtension.size());
        if (IsLeftoverBaseName(base, m_settings.CompressedPrefix)
            && m_files.isHidden(paths.SourcePrefix + base + NameExtension)) {
            recoverDataFile(paths, base);
            return;
        }
    }
    switch (m_files.openState(path)) {
    case OpenState::Free:
        handOn(paths, name, compressMode);
        break;
    case OpenState::Unsettled:
        unsettled.push_back(name);
        break;
    case OpenState::InUse:
        break;
    }
}

void FileProcessor::handOn(const PairPaths& paths, const QString& name, bool compressMode) {
    if (compressMode)
        CompressFile(paths, name);
    else
        UncompressFile(paths, name);
    ++m_counts.FilesHandled;
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
        finishInterruptedArchiving(paths, name.left(name.lastIndexOf(u'.')));
        m_files.setHidden(paths.SourcePrefix + name, false);
        return;
    }
    if (name.endsWith(DataExtension)) {
        const QString base = name.chopped(DataExtension.size());
        if (IsLeftoverBaseName(base, prefix) && !finishInterruptedArchiving(paths, base))
            recoverDataFile(paths, base);
        return;
    }
    if (name.endsWith(NameExtension)) {
        const QString base = name.chopped(NameExtension.size());
        if (IsLeftoverBaseName(base, prefix) && !finishInterruptedArchiving(paths, base)
            && !m_files.exists(paths.SourcePrefix + base + DataExtension))
            m_files.remove(paths.SourcePrefix + name);
    }
    // Any other hidden file belongs to someone else: it is left alone.
}

bool FileProcessor::finishInterruptedArchiving(const PairPaths& paths, const QString& baseName) {
    // The archiver keeps the mark on a new archive until it has deleted the
    // files it holds; a marked archive beside them is complete (it was
    // flushed before it took its name), and they are the redundant copy.
    const QString archivePath = paths.SourcePrefix + baseName + ArchiveExtension;
    const auto info = m_files.info(archivePath);
    if (!info || info->type != EntryType::File || info->size == 0 || !m_files.isHidden(archivePath))
        return false;
    for (const QString& extension : {DataExtension, NameExtension}) {
        const QString member = paths.SourcePrefix + baseName + extension;
        if (m_files.isHidden(member))
            m_files.remove(member);
    }
    return true;
}

void FileProcessor::recoverDataFile(const PairPaths& paths, const QString& baseName) {
    const QString dataPath = paths.SourcePrefix + baseName + DataExtension;
    const QString namePath = paths.SourcePrefix + baseName + NameExtension;
    std::optional<QString> name;
    if (m_files.exists(namePath)) {
        const auto content = m_files.readFile(namePath, NameFileMaxSize);
        if (content) {
            name = ReadNameFile(*content);
            // A name file that holds no name is of no use to anyone.
            if (!name)
                m_files.remove(namePath);
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
        if (!used) {
            if (!claimNumber(number)) {
                reportCounterRefused();
                return std::nullopt;
            }
            return number;
        }
        number = NextArchiveNumber(number);
    }
    return std::nullopt;
}

bool FileProcessor::CompressFile(const PairPaths& paths, const QString& name) {
    const QString from = paths.SourcePrefix + name;
    const QString prefix = m_settings.CompressedPrefix;
    if (IsArchiveName(name, prefix))
        return passArchiveThrough(paths, name);
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

    // The name is on disk, hidden, before the file gives it up.
    if (!m_files.createHidden(namePath, MakeNameFile(name)))
        return false;
    if (!moveFile(from, dataPath, Replace::No)) {
        m_files.remove(namePath);
        return false;
    }
    // When this fails, the next scan recovers the data file by its name file.
    const auto giveBack = [&] { restoreOwnName(paths.SourcePrefix, dataPath, namePath, name); };
    if (!m_files.setHidden(dataPath, true)) {
        giveBack();
        return false;
    }

    RunOptions options;
    options.show = m_settings.ShowArchiverConsole;
    const bool started = runArchiver(CompressArguments(paths.SourcePrefix, base), options);
    // Judged by the files, never by the exit code: the archive is complete
    // once it is in place, and the data file is deleted only after that.
    if (m_files.exists(dataPath)) {
        // The number was free before the run, so a marked archive there now
        // was made by this run; it goes first, so that a kill in between
        // leaves the data file to recover, never a second copy to deliver.
        if (m_files.isHidden(archivePath))
            m_files.remove(archivePath);
        giveBack();
        return false;
    }
    if (!started || !m_files.exists(archivePath))
        return false;
    // The archive holds what the archiver could not delete or unmark.
    if (m_files.isHidden(namePath))
        m_files.remove(namePath);
    if (m_files.isHidden(archivePath) && !m_files.setHidden(archivePath, false))
        return false;

    // An archive left in the source folder is moved through by the next scan.
    if (!moveNumberedArchive(archivePath, targetPath, *number))
        return false;
    ++m_counts.FilesCompressed;
    journalFile(QStringLiteral("Rar"), from, targetPath);
    return true;
}

bool FileProcessor::passArchiveThrough(const PairPaths& paths, const QString& name) {
    const QString from = paths.SourcePrefix + name;
    QString to = paths.TargetPrefix + name;
    if (!moveFile(from, to, Replace::No)) {
        // An archive of that name waits in the target folder, not yet taken
        // on: this one takes a free number instead of replacing it.
        if (!m_files.exists(to) || !IsUsablePrefix(m_settings.CompressedPrefix))
            return false;
        const auto number = takeArchiveNumber(paths, m_settings.CompressedPrefix);
        if (!number)
            return false;
        to = paths.TargetPrefix + ArchiveBaseName(m_settings.CompressedPrefix, *number)
             + ArchiveExtension;
        if (!moveNumberedArchive(from, to, *number))
            return false;
    }
    ++m_counts.FilesCompressed;
    journalFile(QStringLiteral("Rar"), from, to);
    return true;
}

bool FileProcessor::moveNumberedArchive(const QString& from, const QString& to, qint32 number) {
    const bool moved = moveFile(from, to, Replace::No);
    // Taken once the archive was made, whether it reached the target or not.
    writeCounter(number);
    return moved;
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

    const std::unique_ptr<HeldFolder> work = takeWorkFolder(paths, base);
    if (!work)
        return false;
    RunOptions options;
    options.show = m_settings.ShowArchiverConsole;
    options.workingFolderDescriptor = work->descriptor();
    const bool started = runArchiver(ExtractArguments(from), options);
    const bool delivered = started && deliverExtracted(paths, *work, from);
    if (clearWorkFolder(*work))
        work->removeIfEmpty();
    return delivered;
}

std::unique_ptr<HeldFolder> FileProcessor::takeWorkFolder(const PairPaths& paths,
                                                          const QString& baseName) {
    // Made here and held from birth; an earlier one of ours is emptied and
    // used again. Anything else under the name (a planted link, someone
    // else's folder) is left alone, and names no one can foresee are tried
    // next, so that what was planted cannot hold the archive back either.
    for (int n = 1; n <= WorkFolderNamesTried; ++n) {
        const QString path = paths.SourcePrefix + WorkFolderName(baseName)
                             + (n == 1 ? QString() : unforeseeableSuffix());
        if (auto work = m_files.makePrivateFolder(path))
            return work;
        if (auto work = m_files.openPrivateFolder(path))
            return clearWorkFolder(*work) ? std::move(work) : nullptr;
        if (!m_files.exists(path))
            return nullptr; // the folder refuses new entries
    }
    return nullptr;
}

bool FileProcessor::deliverExtracted(const PairPaths& paths, HeldFolder& workFolder,
                                     const QString& archivePath) {
    const auto entries = m_files.list(workFolder.path());
    // Exactly a name file and a data file of one base name: anything else
    // the archive holds is not the program's to deliver, and deleting the
    // archive would lose it, so the archive stays as it is. The base name
    // need not be the archive's: an archive that took a free number on its
    // way keeps its members' names.
    if (!entries || entries->size() != 2)
        return false;
    QString nameMember;
    QString dataMember;
    for (const DirectoryEntry& entry : *entries) {
        if (entry.type != EntryType::File)
            return false;
        if (entry.name.endsWith(NameExtension, Qt::CaseInsensitive))
            nameMember = entry.name;
        else if (entry.name.endsWith(DataExtension, Qt::CaseInsensitive))
            dataMember = entry.name;
    }
    if (nameMember.isEmpty() || dataMember.isEmpty()
        || nameMember.chopped(NameExtension.size())
                   .compare(dataMember.chopped(DataExtension.size()), Qt::CaseInsensitive)
               != 0)
        return false;
    const QString workPrefix = FolderPrefix(workFolder.path());
    const auto content = m_files.readFile(workPrefix + nameMember, NameFileMaxSize);
    if (!content)
        return false;
    const auto name = ReadNameFile(*content);
    if (!name)
        return false;

    // Made normal while still in the private folder: a file hidden in the
    // target would be taken for someone else's.
    const QString dataPath = workPrefix + dataMember;
    const QString to = paths.TargetPrefix + *name;
    if (!m_files.setNormal(dataPath) || !moveFile(dataPath, to, Replace::Yes))
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
    const qsizetype dash = base.lastIndexOf(u'-');
    if (m_files.exists(paths.SourcePrefix + base + ArchiveExtension)
        || (dash > 0 && m_files.exists(paths.SourcePrefix + base.left(dash) + ArchiveExtension)))
        return;
    // Only a folder the program made itself: a link or someone else's folder
    // of that name is never entered.
    const auto work = m_files.openPrivateFolder(paths.SourcePrefix + folderName);
    if (!work)
        return;
    const auto entries = m_files.list(work->path());
    if (!entries)
        return;
    // A data file there with its archive gone is the only copy left: kept.
    for (const DirectoryEntry& entry : *entries) {
        if (entry.type != EntryType::File
            || entry.name.endsWith(DataExtension, Qt::CaseInsensitive))
            return;
    }
    if (clearWorkFolder(*work))
        work->removeIfEmpty();
}

bool FileProcessor::clearWorkFolder(HeldFolder& workFolder) {
    const auto entries = m_files.list(workFolder.path());
    if (!entries)
        return false;
    const QString workPrefix = FolderPrefix(workFolder.path());
    bool cleared = true;
    for (const DirectoryEntry& entry : *entries) {
        const bool removed = entry.type == EntryType::Directory
                                 ? m_files.removeFolder(workPrefix + entry.name)
                                 : m_files.remove(workPrefix + entry.name);
        cleared = cleared && removed;
    }
    return cleared;
}

void FileProcessor::reportCounterRefused() {
    if (m_counterRefusalReported)
        return;
    m_counterRefusalReported = true;
    const QString text =
        Tr(m_settings.Language,
           u"Le fichier de paramètres %1 ne peut pas être écrit : aucun fichier n'est compressé "
           u"tant que le numéro des archives ne peut pas y être enregistré.",
           u"The parameters file %1 cannot be written: no file is compressed until the archive "
           u"number can be stored in it.")
            .arg(m_settings.ParametersFile);
    std::fprintf(stderr, "%s: %s\n", qPrintable(ProductName), text.toLocal8Bit().constData());
    if (m_journal && m_settings.LogEnabled)
        m_journal->append(EscapeHtml(text) + QStringLiteral("<br>"));
}

bool FileProcessor::runArchiver(const QStringList& arguments, const RunOptions& options) {
    const PassCosts::Span span(m_costs, PassCosts::Archiver);
    // The machine's form of Windows streams, for packing and unpacking alike.
    static const QString samba = QStringLiteral("TORVANELO_STREAM_FORM=samba");
    static const QString plain = QStringLiteral("TORVANELO_STREAM_FORM=plain");
    RunOptions withForm = options;
    withForm.environment.append(m_settings.WindowsStreams == StreamForm::Plain ? plain : samba);
    return m_runner.RunProgramAndWait(arguments, withForm);
}

bool FileProcessor::moveFile(const QString& from, const QString& to, Replace replace) {
    const PassCosts::Span span(m_costs, PassCosts::Moves);
    return m_files.move(from, to, replace);
}

qint32 FileProcessor::readCounter() {
    const PassCosts::Span span(m_costs, PassCosts::Parameters);
    return m_counter.readLastFileNumber();
}

bool FileProcessor::claimNumber(qint32 number) {
    const PassCosts::Span span(m_costs, PassCosts::Parameters);
    return m_counter.claim(number);
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
