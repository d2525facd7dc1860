#pragma once

// The pieces of the RAR 5.0 format that both the writer and the reader use:
// numbers (vint), CRC32, block framing, file and service headers, and the
// time record. Only the store method is written.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace torvanelo::rar {

inline constexpr std::string_view Signature{"Rar!\x1A\x07\x01\x00", 8};
// The signature of RAR 1.5 to 4.x archives, recognised only to refuse them.
inline constexpr std::string_view Rar4Signature{"Rar!\x1A\x07\x00", 7};

enum BlockType : uint64_t {
    MainBlock = 1,
    FileBlock = 2,
    ServiceBlock = 3,
    EncryptionBlock = 4,
    EndBlock = 5,
};

namespace HeaderFlag {
inline constexpr uint64_t Extra = 0x0001;
inline constexpr uint64_t Data = 0x0002;
inline constexpr uint64_t SkipIfUnknown = 0x0004;
inline constexpr uint64_t SplitBefore = 0x0008;
inline constexpr uint64_t SplitAfter = 0x0010;
inline constexpr uint64_t Child = 0x0020;
} // namespace HeaderFlag

namespace ArchiveFlag {
inline constexpr uint64_t Volume = 0x0001;
inline constexpr uint64_t VolumeNumber = 0x0002;
inline constexpr uint64_t Solid = 0x0004;
} // namespace ArchiveFlag

namespace FileFlag {
inline constexpr uint64_t Directory = 0x0001;
inline constexpr uint64_t UnixMtime = 0x0002;
inline constexpr uint64_t Crc = 0x0004;
inline constexpr uint64_t UnknownSize = 0x0008;
} // namespace FileFlag

namespace RecordType {
inline constexpr uint64_t Encryption = 0x01;
inline constexpr uint64_t Hash = 0x02;
inline constexpr uint64_t Time = 0x03;
inline constexpr uint64_t Version = 0x04;
inline constexpr uint64_t Redirection = 0x05;
inline constexpr uint64_t Owner = 0x06;
inline constexpr uint64_t ServiceData = 0x07;
// Our own: the Unix permission bits of a member written with host OS
// Windows, which Windows tools need to restore the streams. Readers skip
// record types they do not know.
inline constexpr uint64_t UnixMode = 0x7401;
} // namespace RecordType

namespace OwnerFlag {
inline constexpr uint64_t UserName = 0x1;
inline constexpr uint64_t GroupName = 0x2;
inline constexpr uint64_t NumericUser = 0x4;
inline constexpr uint64_t NumericGroup = 0x8;
} // namespace OwnerFlag

// Compression information: algorithm version, solid bit, method, dictionary.
namespace Compression {
inline constexpr uint64_t VersionMask = 0x3F;
inline constexpr uint64_t Solid = 0x40;
inline uint64_t method(uint64_t info) {
    return (info >> 7) & 7;
}
// Version 0 (RAR 5.0): 128 KiB << the 4-bit field.
inline uint64_t dictionarySize(uint64_t info) {
    return (uint64_t{128} << 10) << ((info >> 10) & 15);
}
} // namespace Compression

namespace TimeFlag {
inline constexpr uint64_t UnixFormat = 0x01;
inline constexpr uint64_t Mtime = 0x02;
inline constexpr uint64_t Ctime = 0x04;
inline constexpr uint64_t Atime = 0x08;
inline constexpr uint64_t Nanoseconds = 0x10;
} // namespace TimeFlag

namespace HostOs {
inline constexpr uint64_t Windows = 0;
inline constexpr uint64_t Unix = 1;
} // namespace HostOs

namespace WindowsAttribute {
inline constexpr uint64_t ReadOnly = 0x01;
inline constexpr uint64_t Hidden = 0x02;
inline constexpr uint64_t Archive = 0x20;
} // namespace WindowsAttribute

// Name of the service header that holds one NTFS alternate data stream.
inline constexpr std::string_view StreamServiceName = "STM";

// Readers read the header size from at most three bytes.
inline constexpr uint64_t MaxHeaderSize = (uint64_t{1} << 21) - 1;
inline constexpr size_t MaxVintLength = 10;

// Appends value as a minimal vint.
void appendVint(std::string& out, uint64_t value);
std::string vint(uint64_t value);
void appendUint32(std::string& out, uint32_t value);
void appendUint64(std::string& out, uint64_t value);
uint32_t readUint32(const unsigned char* bytes);
uint64_t readUint64(const unsigned char* bytes);

enum class VintStatus { Ok, Truncated, Malformed };
struct VintResult {
    VintStatus status;
    uint64_t value = 0;
    size_t length = 0; // bytes taken, padded ("80 00") encodings included
};
// Decodes one vint from at most `available` bytes. Malformed: more than ten
// bytes, or a value beyond 64 bits.
VintResult decodeVint(const unsigned char* bytes, size_t available);

uint32_t crc32Of(std::string_view bytes, uint32_t crc = 0);
uint32_t crc32Of(const void* bytes, size_t size, uint32_t crc = 0);

// Frames a header body (from the header type to the end of the extra area):
// CRC32, header size, body. The body must not exceed MaxHeaderSize.
std::string frameHeader(std::string_view body);

// The signature, the minimal main header and the end-of-archive header as
// every archive of ours holds them.
std::string archiveStart();
std::string endOfArchive();

// A file (type 2) or service (type 3) header for stored data. The data
// CRC32 has a slot of its own: it is often known only after the data has
// been copied, and setDataCrc fills it in and renews the header CRC.
struct EntryHeader {
    uint64_t type = FileBlock;
    uint64_t headerFlags = HeaderFlag::Data;
    uint64_t fileFlags = FileFlag::Crc;
    uint64_t size = 0; // data size = unpacked size (store)
    uint64_t attributes = 0;
    uint32_t dataCrc = 0;
    uint64_t hostOs = HostOs::Windows;
    std::string name;
    std::string extra; // complete extra records; non-empty sets HeaderFlag::Extra
};
struct FramedHeader {
    std::string bytes;
    size_t crcOffset = 0; // where the data CRC32 sits in bytes
};
FramedHeader buildEntryHeader(const EntryHeader& header);
void setDataCrc(FramedHeader& header, uint32_t crc);

// Extra records.
std::string extraRecord(uint64_t type, std::string_view data);
// The modification time: a Windows FILETIME when it holds the time exactly
// (what RAR on Windows writes), otherwise Unix seconds with nanoseconds; a
// time outside both ranges is written as the nearest FILETIME.
std::string timeRecord(int64_t seconds, uint32_t nanoseconds);

struct ModificationTime {
    int64_t seconds = 0;
    uint32_t nanoseconds = 0;
};
// FILETIME: 100 ns units since 1601-01-01 UTC.
ModificationTime fromFileTime(uint64_t fileTime);
std::optional<uint64_t> toFileTime(int64_t seconds, uint32_t nanoseconds);

} // namespace torvanelo::rar
