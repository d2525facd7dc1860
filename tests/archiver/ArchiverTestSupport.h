#pragma once

// Helpers of the archiver tests: the real `rar` run as a child process, and
// files by their raw name bytes.

#include "NameCodec.h"
#include "TestFiles.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/xattr.h>

namespace torvanelo::test {

struct ProcessResult {
    bool finished = false; // false: did not start, or hung and was killed
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    long peakKiB = 0; // peak resident memory, of the program's own address space
};

// Standard input is left open and never written, so a program that read it
// would hang; a run longer than `guardSeconds` is killed.
inline ProcessResult runProgram(const QString& program, const QStringList& args,
                                const QString& folder, int guardSeconds = 300) {
    ProcessResult result;
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(program, args);
    if (!process.waitForStarted(-1))
        return result;
    // The kernel's high-water mark, read until the program ends.
    const QString status = QStringLiteral("/proc/%1/status").arg(process.processId());
    const bool ended = QTest::qWaitFor(
        [&] {
            const QByteArray text = readFile(status).value_or("");
            if (const qsizetype at = text.indexOf("VmHWM:"); at >= 0)
                result.peakKiB = std::max(result.peakKiB,
                                          text.mid(at + 6, 20).simplified().split(' ')[0].toLong());
            return process.state() == QProcess::NotRunning;
        },
        guardSeconds * 1000);
    if (!ended) {
        process.kill();
        process.waitForFinished(-1);
        return result;
    }
    result.finished = process.exitStatus() == QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

inline QStringList decoded(const QList<QByteArray>& args) {
    QStringList list;
    for (const QByteArray& arg : args)
        list << QFile::decodeName(arg);
    return list;
}

// `rar` with raw-byte arguments, run in `folder`.
inline ProcessResult rar(const QByteArray& folder, const QList<QByteArray>& args) {
    return runProgram(rarPath(), decoded(args), QFile::decodeName(folder));
}

inline bool writeRaw(const QByteArray& path, const QByteArray& content) {
    return writeFile(decodeFileName(path), content);
}
inline std::optional<QByteArray> readRaw(const QByteArray& path) {
    return readFile(decodeFileName(path));
}

// Names in a folder, "." and ".." left out, sorted by their bytes.
inline QList<QByteArray> folderEntries(const QByteArray& folder) {
    QList<QByteArray> names;
    for (const QString& name : namesIn(decodeFileName(folder)))
        names << encodeFileName(name);
    std::sort(names.begin(), names.end());
    return names;
}

// The "user." attributes but the hidden mark; one entry "unreadable" when
// they cannot be read.
inline Attributes attributesOf(const QByteArray& path) {
    return readAttributes(decodeFileName(path)).value_or(Attributes{{"unreadable", ""}});
}
inline bool setAttributes(const QByteArray& path, const Attributes& attributes) {
    return writeAttributes(decodeFileName(path), attributes);
}
inline bool hasHiddenMark(const QByteArray& path) {
    return ::lgetxattr(path.constData(), "user.torvanelo.hidden", nullptr, 0) >= 0;
}

inline int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
    ::chmod(path, 0700);
    ::remove(path);
    return 0;
}

// The folders of one compress-and-extract trip: files in src/ are packed into
// out/a.rar and extracted into ex/. Removed by raw names (QDir cannot name
// every byte sequence).
struct Trip {
    QTemporaryDir root;
    QByteArray base = QFile::encodeName(root.path());
    QByteArray src = base + "/src", out = base + "/out", ex = base + "/ex";
    QByteArray archive = out + "/a.rar";

    explicit Trip(const QString& parent = QDir::tempPath())
        : root(parent + QStringLiteral("/rar-XXXXXX")) {
        for (const QByteArray& folder : {src, out, ex})
            ::mkdir(folder.constData(), 0755);
    }
    ~Trip() { ::nftw(base.constData(), removeEntry, 16, FTW_DEPTH | FTW_PHYS); }

    QList<QByteArray> addArgs(const QByteArray& pattern, bool deleteFiles = true) const {
        QList<QByteArray> args{"a", "-os", archive, src + '/' + pattern};
        return deleteFiles ? args << "-df" : args;
    }
    ProcessResult add(const QByteArray& pattern, bool deleteFiles = true) {
        return rar(base, addArgs(pattern, deleteFiles));
    }
    ProcessResult extract() { return rar(ex, {"e", archive}); }
};

} // namespace torvanelo::test
