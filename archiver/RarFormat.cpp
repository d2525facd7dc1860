#include "RarFormat.h"

#include "RarError.h"

#include <zlib.h>

namespace torvanelo::rar {

namespace {

constexpr int64_t FileTimeEpochOffset = 11644473600; // seconds from 1601 to 1970
constexpr uint64_t FileTimeUnitsPerSecond = 10000000;

} // namespace

void appendVint(std::string& out, uint64_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<char>((value & 0x7F) | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<char>(value));
}

std::string vint(uint64_t value) {
    std::string out;
    appendVint(out, value);
    return out;
}

void appendUint32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void appendUint64(std::string& out, uint64_t value) {
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

uint32_t readUint32(const unsigned char* bytes) {
    return uint32_t{bytes[0]} | (uint32_t{bytes[1]} << 8) | (uint32_t{bytes[2]} << 16)
           | (uint32_t{bytes[3]} << 24);
}

uint64_t readUint64(const unsigned char* bytes) {
    return uint64_t{readUint32(bytes)} | (uint64_t{readUint32(bytes + 4)} << 32);
}

VintResult decodeVint(const unsigned char* bytes, size_t available) {
    uint64_t value = 0;
    for (size_t i = 0; i < MaxVintLength; ++i) {
        if (i >= available)
            return {VintStatus::Truncated};
        const uint64_t group = bytes[i] & 0x7F;
        // The tenth byte holds bit 63 only.
        if (i == MaxVintLength - 1 && group > 1)
            return {VintStatus::Malformed};
        value |= group << (7 * i);
        if ((bytes[i] & 0x80) == 0)
            return {VintStatus::Ok, value, i + 1};
    }
    return {VintStatus::Malformed};
}

uint32_t crc32Of(const void* bytes, size_t size, uint32_t crc) {
    const auto* p = static_cast<const Bytef*>(bytes);
    uLong value = crc;
    // zlib takes the length as uInt.
    while (size > 0) {
        const uInt chunk = size > 0x40000000 ? 0x40000000 : static_cast<uInt>(size);
        value = ::crc32(value, p, chunk);
        p += chunk;
        size -= chunk;
    }
    return static_cast<uint32_t>(value);
}

uint32_t crc32Of(std::string_view bytes, uint32_t crc) {
    return crc32Of(bytes.data(), bytes.size(), crc);
}

std::string frameHeader(std::string_view body) {
    if (body.size() > MaxHeaderSize)
        throw RarError(ExitCode::Unsupported, "a header would exceed the format's 2 MiB limit");
    std::string sized = vint(body.size());
    sized.append(body);
    std::string framed;
    framed.reserve(4 + sized.size());
    appendUint32(framed, crc32Of(sized));
    framed.append(sized);
    return framed;
}

std::string archiveStart() {
    std::string out(Signature);
    std::string body;
    appendVint(body, MainBlock);
    appendVint(body, 0); // header flags
    appendVint(body, 0); // archive flags
    out.append(frameHeader(body));
    return out;
}

std::string endOfArchive() {
    std::string body;
    appendVint(body, EndBlock);
    appendVint(body, HeaderFlag::SkipIfUnknown); // as RAR itself writes it
    appendVint(body, 0);                         // end flags: no volume follows
    return frameHeader(body);
}

FramedHeader buildEntryHeader(const EntryHeader& header) {
    uint64_t headerFlags = header.headerFlags | HeaderFlag::Data;
    if (!header.extra.empty())
        headerFlags |= HeaderFlag::Extra;

    std::string body;
    appendVint(body, header.type);
    appendVint(body, headerFlags);
    if (headerFlags & HeaderFlag::Extra)
        appendVint(body, header.extra.size());
    appendVint(body, header.size); // data size
    appendVint(body, header.fileFlags | FileFlag::Crc);
    appendVint(body, header.size); // unpacked size
    appendVint(body, header.attributes);
    const size_t crcInBody = body.size();
    appendUint32(body, header.dataCrc);
    appendVint(body, 0); // compression: version 0, store
    appendVint(body, header.hostOs);
    appendVint(body, header.name.size());
    body.append(header.name);
    body.append(header.extra);

    FramedHeader framed;
    framed.bytes = frameHeader(body);
    framed.crcOffset = framed.bytes.size() - body.size() + crcInBody;
    return framed;
}

void setDataCrc(FramedHeader& header, uint32_t crc) {
    std::string slot;
    appendUint32(slot, crc);
    header.bytes.replace(header.crcOffset, 4, slot);
    std::string headerCrc;
    appendUint32(headerCrc, crc32Of(std::string_view(header.bytes).substr(4)));
    header.bytes.replace(0, 4, headerCrc);
}

std::string extraRecord(uint64_t type, std::string_view data) {
    std::string typeAndData = vint(type);
    typeAndData.append(data);
    std::string record = vint(typeAndData.size());
    record.append(typeAndData);
    return record;
}

std::optional<uint64_t> toFileTime(int64_t seconds, uint32_t nanoseconds) {
    if (seconds < -FileTimeEpochOffset)
        return std::nullopt;
    const auto sinceEpoch = static_cast<uint64_t>(seconds + FileTimeEpochOffset);
    if (sinceEpoch > (UINT64_MAX - FileTimeUnitsPerSecond) / FileTimeUnitsPerSecond)
        return std::nullopt;
    return sinceEpoch * FileTimeUnitsPerSecond + nanoseconds / 100;
}

ModificationTime fromFileTime(uint64_t fileTime) {
    const auto seconds = static_cast<int64_t>(fileTime / FileTimeUnitsPerSecond);
    const auto units = static_cast<uint32_t>(fileTime % FileTimeUnitsPerSecond);
    return {seconds - FileTimeEpochOffset, units * 100};
}

std::string timeRecord(int64_t seconds, uint32_t nanoseconds) {
    std::string data;
    const auto fileTime = toFileTime(seconds, nanoseconds);
    const bool unixFits = seconds >= 0 && seconds <= int64_t{UINT32_MAX};
    if (fileTime && (nanoseconds % 100 == 0 || !unixFits)) {
        appendVint(data, TimeFlag::Mtime);
        appendUint64(data, *fileTime);
    } else if (unixFits) {
        appendVint(data, TimeFlag::UnixFormat | TimeFlag::Mtime | TimeFlag::Nanoseconds);
        appendUint32(data, static_cast<uint32_t>(seconds));
        appendUint32(data, nanoseconds);
    } else {
        // Before 1601 or after the year 30000: the nearest time the format holds.
        appendVint(data, TimeFlag::Mtime);
        appendUint64(data, seconds < 0 ? 0 : UINT64_MAX);
    }
    return extraRecord(RecordType::Time, data);
}

} // namespace torvanelo::rar
