#include "ArchiverTestSupport.h"

#include "TestFiles.h"

#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <zlib.h>

namespace torvanelo::test {

ProcessResult runProgram(const QString& program, const QStringList& args, const QString& folder,
                         int guardSeconds) {
    ProcessResult result;
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(program, args);
    if (!process.waitForStarted(-1))
        return result;
    if (!process.waitForFinished(guardSeconds * 1000)) {
        process.kill();
        process.waitForFinished(-1);
        result.err = process.readAllStandardError();
        return result;
    }
    result.finished = process.exitStatus() == QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

ProcessResult runRar(const QStringList& args, const QString& folder) {
    return runProgram(rarPath(), args, folder);
}

QString unrarPath() {
    const QString path = buildDir() + QStringLiteral("/tools/unrar");
    return QFileInfo(path).isExecutable() ? path : QString();
}

bool writeRaw(const QByteArray& path, const QByteArray& content) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    qsizetype done = 0;
    while (done < content.size()) {
        const ssize_t n =
            ::write(fd, content.constData() + done, static_cast<size_t>(content.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return false;
        }
        done += n;
    }
    return ::close(fd) == 0;
}

std::optional<QByteArray> readRaw(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    QByteArray content;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        content.append(buffer, n);
    }
    ::close(fd);
    return content;
}

QList<QByteArray> folderEntries(const QByteArray& folder) {
    QList<QByteArray> names;
    DIR* dir = ::opendir(folder.constData());
    if (dir == nullptr)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::map<std::string, std::string> allUserAttributes(const QByteArray& path) {
    std::map<std::string, std::string> attributes;
    const ssize_t size = ::llistxattr(path.constData(), nullptr, 0);
    if (size <= 0)
        return attributes;
    std::string names(static_cast<size_t>(size), '\0');
    const ssize_t got = ::llistxattr(path.constData(), names.data(), names.size());
    if (got < 0)
        return attributes;
    names.resize(static_cast<size_t>(got));
    for (size_t start = 0; start < names.size();) {
        const size_t end = names.find('\0', start);
        const std::string name = names.substr(start, end - start);
        start = end + 1;
        if (name.rfind("user.", 0) != 0)
            continue;
        std::string value(65536, '\0');
        const ssize_t length =
            ::lgetxattr(path.constData(), name.c_str(), value.data(), value.size());
        value.resize(length < 0 ? 0 : static_cast<size_t>(length));
        attributes[name] = value;
    }
    return attributes;
}

bool setAttribute(const QByteArray& path, const std::string& name, const std::string& value) {
    return ::lsetxattr(path.constData(), name.c_str(), value.data(), value.size(), 0) == 0;
}

QByteArray workedExample() {
    return QByteArray::fromHex(
        "52617221 1a070100 c51a3332 03010000 3985b372 2102030b 0a040a20 a1ca36b6"
        "00000864 656d6f2e 7478740a 03020000 6dc64717 da016669 6c652064 6174610a"
        "685ea335 1f03230e 0c040c00 fd9fdd53 00000353 544d0d07 3a64656d 6f2e7374"
        "7265616d 73747265 616d2064 6174610a 1d775651 03050400");
}

namespace handmade {

QByteArray vint(uint64_t value) {
    QByteArray bytes;
    do {
        char byte = static_cast<char>(value & 0x7F);
        value >>= 7;
        if (value != 0)
            byte = static_cast<char>(byte | 0x80);
        bytes.append(byte);
    } while (value != 0);
    return bytes;
}

QByteArray uint32le(uint32_t value) {
    QByteArray bytes;
    for (int i = 0; i < 4; ++i)
        bytes.append(static_cast<char>((value >> (8 * i)) & 0xFF));
    return bytes;
}

uint32_t crc(const QByteArray& bytes) {
    return static_cast<uint32_t>(::crc32(0, reinterpret_cast<const Bytef*>(bytes.constData()),
                                         static_cast<uInt>(bytes.size())));
}

QByteArray block(const QByteArray& body) {
    const QByteArray sized = vint(static_cast<uint64_t>(body.size())) + body;
    return uint32le(crc(sized)) + sized;
}

QByteArray signature() {
    return QByteArray("Rar!\x1A\x07\x01\x00", 8);
}

QByteArray mainHeader() {
    return block(QByteArray("\x01\x00\x00", 3));
}

QByteArray endHeader() {
    return block(QByteArray("\x05\x04\x00", 3));
}

QByteArray fileTimeRecord(uint64_t fileTime) {
    QByteArray data = vint(0x03) + vint(0x02);
    for (int i = 0; i < 8; ++i)
        data.append(static_cast<char>((fileTime >> (8 * i)) & 0xFF));
    return vint(static_cast<uint64_t>(data.size())) + data;
}

namespace {

QByteArray entryBlock(uint64_t type, uint64_t headerFlags, const QByteArray& name,
                      const QByteArray& data, uint64_t fileFlags, uint64_t attributes,
                      uint32_t dataCrc, uint64_t compression, uint64_t hostOs,
                      const QByteArray& extra) {
    if (!extra.isEmpty())
        headerFlags |= 0x01;
    QByteArray body = vint(type) + vint(headerFlags);
    if (headerFlags & 0x01)
        body += vint(static_cast<uint64_t>(extra.size()));
    body += vint(static_cast<uint64_t>(data.size())); // data size
    body += vint(fileFlags) + vint(static_cast<uint64_t>(data.size())) + vint(attributes);
    if (fileFlags & 0x04)
        body += uint32le(dataCrc);
    body += vint(compression) + vint(hostOs) + vint(static_cast<uint64_t>(name.size())) + name;
    body += extra;
    return block(body) + data;
}

} // namespace

QByteArray fileBlock(const Member& member) {
    return entryBlock(2, 0x02, member.name, member.data, member.fileFlags, member.attributes,
                      member.crcOverride.value_or(crc(member.data)), member.compression,
                      member.hostOs, member.extra);
}

QByteArray serviceBlock(const QByteArray& name, const QByteArray& data,
                        const QByteArray& serviceData) {
    QByteArray extra;
    if (!serviceData.isEmpty()) {
        const QByteArray record = vint(0x07) + serviceData;
        extra = vint(static_cast<uint64_t>(record.size())) + record;
    }
    return entryBlock(3, 0x22, name, data, 0x04, 0, crc(data), 0, 0, extra);
}

QByteArray streamBlock(const Stream& stream) {
    return serviceBlock("STM", stream.value, stream.name);
}

QByteArray archive(const std::vector<Member>& members) {
    QByteArray bytes = signature() + mainHeader();
    for (const Member& member : members) {
        bytes += fileBlock(member);
        for (const Stream& stream : member.streams)
            bytes += streamBlock(stream);
    }
    return bytes + endHeader();
}

} // namespace handmade

} // namespace torvanelo::test
