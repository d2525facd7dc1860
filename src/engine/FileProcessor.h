#pragma once

#include "FileSystem.h"
#include "PairPaths.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace torvanelo {

class ArchiveCounter;
class DayJournal;
class FileSystem;
class HeldFolder;
class PassCosts;
class ProcessRunner;
struct PassCounts;
struct RunOptions;
struct Settings;

// The work on the files of one pair: the scan of its source folder, the
// compression of a file into a numbered archive and the uncompression of such
// an archive, each into the pair's target folder.
//
// No file is ever lost. At every step each file's data exists in full under
// some name in the source or target folder, and every failure either undoes
// what was done or leaves a state the next scan finishes:
//  - A file keeps its own name until its name file is on disk, hidden from
//    its first moment under its name.
//  - Hidden leftovers found by the scan are recovered, not deleted: a data
//    file B.rr gets its own name back from B.rn; an archive B.rar still
//    marked beside its marked members was complete, and the members go;
//    only the program's own redundant temporaries and orphan name files are
//    removed.
//  - No move replaces an archive: one that arrives where an archive of its
//    name waits takes a free number.
//  - A name read from disk never makes a file leave the target folder, and a
//    bad name file refuses that archive only; an archive holding anything but
//    its data file and name file is left as it is.
//  - What the program makes and clears in a folder that others may write (the
//    unpacking folder) is reached only through a descriptor of the folder it
//    made itself; a link or another folder under that name is left alone.
// Failures are not reported to the user, except a parameters file that
// cannot take the archive counter; the pass goes on with the next file.
class FileProcessor {
public:
    // Gives the window its turns; returns true when a stop was requested.
    using YieldFunction = std::function<bool()>;
    // Waits a moment, giving the window its turns meanwhile.
    using SettleFunction = std::function<void()>;

    // costs, when given, is told the time of the archiver runs, the moves
    // and the archive counter.
    FileProcessor(FileSystem& files, ProcessRunner& runner, ArchiveCounter& counter,
                  const Settings& settings, PassCounts& counts, DayJournal* journal,
                  YieldFunction yieldToUser, PassCosts* costs = nullptr);

    // Where the open test cannot tell at once whether a file is in use
    // elsewhere, the scan waits once with this and asks again, so that an
    // idle file is taken in the same pass. Without it such files wait for a
    // later pass.
    void setSettle(SettleFunction settle) { m_settle = std::move(settle); }

    // Walks a snapshot of the source folder in SortForScan's order, holding
    // the folder's lock: a folder another program works on is skipped.
    // Folders, symbolic links and other special entries are never touched,
    // except an unpacking folder of the program's own left by an interrupted
    // run; hidden entries and interrupted compressions are recovered (see
    // above) and neither handed on nor counted; a file still held open
    // elsewhere waits for a later pass; every other file is handed to
    // CompressFile or UncompressFile and counted as handled. Yields after
    // every entry and returns at once when a stop was requested.
    void ScanFolder(const PairPaths& paths, bool compressMode);

    // Packs one file of the source folder into the next free archive number
    // and moves the archive into the target folder; a file carrying an own
    // archive name is moved through as it is, under a free number when its
    // name is taken there. True when the file reached the target folder
    // (then counted and journalled).
    bool CompressFile(const PairPaths& paths, const QString& name);

    // Unpacks an own archive and delivers its file into the target folder
    // under the name its name file holds, replacing a file of that name;
    // any other file is moved through. True when delivered (then counted
    // and journalled).
    bool UncompressFile(const PairPaths& paths, const QString& name);

    // Private work folder in which an archive B.rar is unpacked.
    static QString WorkFolderName(const QString& baseName);

private:
    void handleEntry(const PairPaths& paths, const DirectoryEntry& entry, bool compressMode,
                     std::vector<QString>& unsettled);
    void handOn(const PairPaths& paths, const QString& name, bool compressMode);
    void handleHiddenEntry(const PairPaths& paths, const QString& name);
    bool finishInterruptedArchiving(const PairPaths& paths, const QString& baseName);
    void recoverDataFile(const PairPaths& paths, const QString& baseName);
    bool restoreOwnName(const QString& folderPrefix, const QString& dataPath,
                        const QString& namePath, const QString& name);
    QString giveBackName(const QString& folderPrefix, const QString& dataPath, const QString& name);
    std::optional<qint32> takeArchiveNumber(const PairPaths& paths, const QString& prefix);
    bool passArchiveThrough(const PairPaths& paths, const QString& name);
    bool moveNumberedArchive(const QString& from, const QString& to, qint32 number);
    std::unique_ptr<HeldFolder> takeWorkFolder(const PairPaths& paths, const QString& baseName);
    bool deliverExtracted(const PairPaths& paths, HeldFolder& workFolder,
                          const QString& archivePath);
    void removeStaleWorkFolder(const PairPaths& paths, const QString& folderName);
    bool clearWorkFolder(HeldFolder& workFolder);
    void reportCounterRefused();
    void journalFile(const QString& tool, const QString& from, const QString& to);
    // The calls whose time PassCosts tells apart.
    bool runArchiver(const QStringList& arguments, const RunOptions& options);
    bool moveFile(const QString& from, const QString& to, Replace replace);
    qint32 readCounter();
    bool claimNumber(qint32 number);
    void writeCounter(qint32 number);

    FileSystem& m_files;
    ProcessRunner& m_runner;
    ArchiveCounter& m_counter;
    const Settings& m_settings;
    PassCounts& m_counts;
    DayJournal* m_journal;
    YieldFunction m_yieldToUser;
    SettleFunction m_settle;
    PassCosts* m_costs;
    bool m_counterRefusalReported = false;
};

} // namespace torvanelo
