#pragma once

// Helpers of the archiver tests: the real `rar` run as a child process, and
// files by their raw name bytes.

#include "NameCodec.h"
#include "TestFiles.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <algorithm>
#include <map>
#include <string>
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

// `rar` with raw-byte arguments, run in `folder`.
inline ProcessResult rar(const QByteArray& folder, const QList<QByteArray>& args) {
    QStringList decoded;
    for (const QByteArray& arg : args)
        decoded << QFile::decodeName(arg);
    return runProgram(rarPath(), decoded, QFile::decodeName(folder));
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

// Every "user." attribute, the hidden mark included, read without the
// program's own attribute code.
inline std::map<std::string, std::string> allUserAttributes(const QByteArray& path) {
    std::map<std::string, std::string> attributes;
    std::string names(65536, '\0');
    const ssize_t size = ::llistxattr(path.constData(), names.data(), names.size());
    names.resize(size < 0 ? 0 : size_t(size));
    for (size_t start = 0; start < names.size(); start = names.find('\0', start) + 1) {
        const std::string name = names.c_str() + start;
        std::string value(65536, '\0');
        const ssize_t length = ::lgetxattr(path.constData(), name.c_str(), value.data(), 65536);
        value.resize(length < 0 ? 0 : size_t(length));
        if (name.rfind("user.", 0) == 0)
            attributes[name] = value;
    }
    return attributes;
}

inline bool setAttribute(const QByteArray& path, const std::string& name,
                         const std::string& value) {
    return ::lsetxattr(path.constData(), name.c_str(), value.data(), value.size(), 0) == 0;
}

// The worked example of the published format notes: demo.txt holding
// "file data\n" (modified at 1700000000) with one stream, ":demo.stream",
// holding "stream data\n".
inline QByteArray workedExample() {
    return QByteArray::fromHex(
        "52617221 1a070100 c51a3332 03010000 3985b372 2102030b 0a040a20 a1ca36b6"
        "00000864 656d6f2e 7478740a 03020000 6dc64717 da016669 6c652064 6174610a"
        "685ea335 1f03230e 0c040c00 fd9fdd53 00000353 544d0d07 3a64656d 6f2e7374"
        "7265616d 73747265 616d2064 6174610a 1d775651 03050400");
}

} // namespace torvanelo::test
