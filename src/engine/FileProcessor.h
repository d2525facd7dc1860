#pragma once

#include "FileSystem.h"
#include "PairPaths.h"

#include <QString>

#include <functional>
#include <optional>

namespace torvanelo {

class ArchiveCounter;
class DayJournal;
class FileSystem;
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
//  - A file keeps its own name until its name file exists on disk.
//  - Hidden leftovers found by the scan are recovered, not deleted: a data
//    file B.rr gets its own name back from B.rn, an archive B.rar left
//    marked is made visible again; only the program's own redundant
//    temporaries and orphan name files are removed.
//  - A name read from disk never makes a file leave the target folder, and a
//    bad name file refuses that archive only.
// Failures are not reported to the user; the pass goes on with the next file.
class FileProcessor {
public:
    // Gives the window its turns; returns true when a stop was requested.
    using YieldFunction = std::function<bool()>;

    // costs, when given, is told the time of the archiver runs, the moves
    // and the archive counter.
    FileProcessor(FileSystem& files, ProcessRunner& runner, ArchiveCounter& counter,
                  const Settings& settings, PassCounts& counts, DayJournal* journal,
                  YieldFunction yieldToUser, PassCosts* costs = nullptr);

    // Walks a snapshot of the source folder. Folders, symbolic links and
    // other special entries are never touched, except a work folder of an
    // unpacking that was interrupted after delivery, which is removed once
    // its archive is gone and it holds no data file; hidden entries are recovered
    // (see above) and neither handed on nor counted; a file still held open
    // elsewhere waits for a later pass; every other file is handed to
    // CompressFile or UncompressFile and counted as handled. Yields after
    // every entry and returns at once when a stop was requested.
    void ScanFolder(const PairPaths& paths, bool compressMode);

    // Packs one file of the source folder into the next free archive number
    // and moves the archive into the target folder; a file carrying an own
    // archive name is moved through as it is. True when the file reached the
    // target folder (then counted and journalled).
    bool CompressFile(const PairPaths& paths, const QString& name);

    // Unpacks an own archive and delivers its file into the target folder
    // under the name its name file holds, replacing a file of that name;
    // any other file is moved through. True when delivered (then counted
    // and journalled).
    bool UncompressFile(const PairPaths& paths, const QString& name);

    // Private work folder in which an archive B.rar is unpacked.
    static QString WorkFolderName(const QString& baseName);

private:
    void handleHiddenEntry(const PairPaths& paths, const QString& name);
    void recoverDataFile(const PairPaths& paths, const QString& baseName);
    bool restoreOwnName(const QString& folderPrefix, const QString& dataPath,
                        const QString& namePath, const QString& name);
    QString giveBackName(const QString& folderPrefix, const QString& dataPath, const QString& name);
    std::optional<qint32> takeArchiveNumber(const PairPaths& paths, const QString& prefix);
    bool deliverExtracted(const PairPaths& paths, const QString& workFolder,
                          const QString& baseName, const QString& archivePath);
    void removeStaleWorkFolder(const PairPaths& paths, const QString& folderName);
    bool clearWorkFolder(const QString& workFolder);
    void journalFile(const QString& tool, const QString& from, const QString& to);
    // The calls whose time PassCosts tells apart.
    bool runArchiver(const QString& commandLine, const RunOptions& options);
    bool moveFile(const QString& from, const QString& to, Replace replace);
    qint32 readCounter();
    void writeCounter(qint32 number);

    FileSystem& m_files;
    ProcessRunner& m_runner;
    ArchiveCounter& m_counter;
    const Settings& m_settings;
    PassCounts& m_counts;
    DayJournal* m_journal;
    YieldFunction m_yieldToUser;
    PassCosts* m_costs;
};

} // namespace torvanelo
