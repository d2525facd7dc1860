#include "Decompress.h"

#include "CpuBudget.h"
#include "PosixFile.h"
#include "RarError.h"

#include <archive.h>
#include <archive_entry.h>
#include <memory>
#include <optional>

namespace torvanelo::rar {

namespace {

constexpr size_t ReadSize = size_t{64} << 10;
constexpr size_t OutputSize = size_t{256} << 10;

// The one-member archive around the data: signature, main header, a file
// header that repeats the sizes, compression information and digest of
// ours, the data, the end-of-archive header.
std::string wrapperHead(const StoredData& data) {
    std::string extra;
    if (!data.blake2.empty())
        extra = extraRecord(RecordType::Hash, vint(0) + data.blake2);
    std::string body;
    appendVint(body, FileBlock);
    appendVint(body, HeaderFlag::Data | (extra.empty() ? 0 : HeaderFlag::Extra));
    if (!extra.empty())
        appendVint(body, extra.size());
    appendVint(body, data.size);
    appendVint(body, data.crc ? FileFlag::Crc : 0);
    appendVint(body, data.unpackedSize);
    appendVint(body, WindowsAttribute::Archive);
    if (data.crc)
        appendUint32(body, *data.crc);
    appendVint(body, data.compression);
    appendVint(body, HostOs::Windows);
    appendVint(body, 1);
    body += "x";
    body += extra;
    return archiveStart() + frameHeader(body);
}

struct Source {
    int fd = -1;
    std::string head;
    std::string tail;
    uint64_t offset = 0;
    uint64_t left = 0;
    int part = 0; // 0 head, 1 data, 2 tail, 3 done
    std::unique_ptr<char[]> buffer{new char[ReadSize]};
    std::optional<RarError> failure;
};

la_ssize_t readWrapped(struct archive* archive, void* context, const void** bytes) {
    auto& source = *static_cast<Source*>(context);
    switch (source.part) {
    case 0:
        source.part = source.left > 0 ? 1 : 2;
        *bytes = source.head.data();
        return static_cast<la_ssize_t>(source.head.size());
    case 1: {
        const size_t count = static_cast<size_t>(std::min<uint64_t>(source.left, ReadSize));
        try {
            if (preadUpTo(source.fd, source.buffer.get(), count, source.offset, "the archive")
                != count)
                throw RarError(ExitCode::Damaged, "the archive ends inside compressed data");
        } catch (const RarError& error) {
            source.failure = error;
            archive_set_error(archive, EIO, "%s", error.what());
            return -1;
        }
        source.offset += count;
        source.left -= count;
        if (source.left == 0)
            source.part = 2;
        *bytes = source.buffer.get();
        return static_cast<la_ssize_t>(count);
    }
    case 2:
        source.part = 3;
        *bytes = source.tail.data();
        return static_cast<la_ssize_t>(source.tail.size());
    default:
        return 0;
    }
}

struct ArchiveFree {
    void operator()(struct archive* archive) const { archive_read_free(archive); }
};

} // namespace

void decompress(int archiveFd, const StoredData& data, const std::string& what,
                const std::string& archiveLabel, const UnpackedSink& sink) {
    Source source;
    source.fd = archiveFd;
    source.head = wrapperHead(data);
    source.tail = endOfArchive();
    source.offset = data.dataOffset;
    source.left = data.size;

    const std::unique_ptr<struct archive, ArchiveFree> reader(archive_read_new());
    if (!reader)
        throw RarError(ExitCode::OutOfMemory, "no memory for the decoder");
    const auto failed = [&](const std::string& step) -> RarError {
        if (source.failure)
            return *source.failure;
        const char* reason = archive_error_string(reader.get());
        return RarError(ExitCode::Damaged, "cannot " + step + " " + what + ": "
                                               + (reason != nullptr ? reason : "decoder error"));
    };
    CpuBudget budget("rar: " + archiveLabel + ": decompressing " + what
                     + " took more processor time than its size allows (damaged or hostile data)");
    if (archive_read_support_format_rar5(reader.get()) != ARCHIVE_OK
        || archive_read_open2(reader.get(), &source, nullptr, readWrapped, nullptr, nullptr)
               != ARCHIVE_OK)
        throw failed("open the compressed data of");
    struct archive_entry* entry = nullptr;
    if (archive_read_next_header(reader.get(), &entry) != ARCHIVE_OK)
        throw failed("read the compressed data of");

    const std::unique_ptr<char[]> output(new char[OutputSize]);
    uint64_t total = 0;
    uint32_t crc = 0;
    for (;;) {
        const la_ssize_t count = archive_read_data(reader.get(), output.get(), OutputSize);
        if (count < 0)
            throw failed("decompress");
        if (count == 0)
            break;
        total += static_cast<uint64_t>(count);
        if (total > data.unpackedSize)
            throw RarError(ExitCode::Damaged, what + " unpacks to more than its size");
        crc = crc32Of(output.get(), static_cast<size_t>(count), crc);
        sink(output.get(), static_cast<size_t>(count));
        budget.produced(total);
    }
    if (total != data.unpackedSize)
        throw RarError(ExitCode::Damaged, "the compressed data of " + what + " ends early");
    if (data.crc && crc != *data.crc)
        throw RarError(ExitCode::Damaged, "data CRC mismatch in " + what);
}

} // namespace torvanelo::rar
