#pragma once

// Helpers of the archiver tests: running the real `rar` and the reference
// readers as child processes, raw-byte file names, and an archive builder
// written from the published RAR 5.0 layout, independent of the archiver's
// own writer.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace torvanelo::test {

struct ProcessResult {
    bool finished = false; // false: did not start, or hung and was killed
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a program with its standard input left open and never written, so a
// program that reads it would hang instead of going on; a run that takes
// longer than `guardSeconds` is killed and reported as not finished.
ProcessResult runProgram(const QString& program, const QStringList& args, const QString& folder,
                         int guardSeconds = 300);
ProcessResult runRar(const QStringList& args, const QString& folder);

// RARLAB's unrar in <build>/tools, or an empty string when it is absent.
QString unrarPath();

// Files by their raw name bytes.
bool writeRaw(const QByteArray& path, const QByteArray& content);
std::optional<QByteArray> readRaw(const QByteArray& path);
// Names in a folder, "." and ".." left out, sorted.
QList<QByteArray> folderEntries(const QByteArray& folder);
// Every "user." attribute, the hidden mark included.
std::map<std::string, std::string> allUserAttributes(const QByteArray& path);
bool setAttribute(const QByteArray& path, const std::string& name, const std::string& value);

// The worked example of the published format notes: demo.txt holding
// "file data\n" with one stream, ":demo.stream", holding "stream data\n".
QByteArray workedExample();

// The test's own RAR 5.0 writer.
namespace handmade {

QByteArray vint(uint64_t value);
QByteArray uint32le(uint32_t value);
uint32_t crc(const QByteArray& bytes);
// CRC32 + header size + body.
QByteArray block(const QByteArray& body);
QByteArray signature();
QByteArray mainHeader();
QByteArray endHeader();

struct Stream {
    QByteArray name; // with its leading ':'
    QByteArray value;
};
struct Member {
    QByteArray name;
    QByteArray data;
    uint64_t attributes = 0x20;
    uint64_t hostOs = 0;
    uint64_t compression = 0;
    uint64_t fileFlags = 0x04; // CRC present
    std::optional<uint32_t> crcOverride;
    QByteArray extra; // complete extra records
    std::vector<Stream> streams;
};
QByteArray fileBlock(const Member& member); // header + data
// A service header (CMT, QO, ACL, STM, ...) with its data; serviceData goes
// into a service-data record when not empty.
QByteArray serviceBlock(const QByteArray& name, const QByteArray& data,
                        const QByteArray& serviceData = {});
QByteArray streamBlock(const Stream& stream);
QByteArray archive(const std::vector<Member>& members);
QByteArray fileTimeRecord(uint64_t fileTime);

} // namespace handmade

} // namespace torvanelo::test
