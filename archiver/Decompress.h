#pragma once

// Decodes RAR 5.0 compressed data (methods 1 to 5, with their filters) of
// one member or stream. Our own header walk has found and checked the
// headers; the decoder, libarchive's, is handed only that data area,
// wrapped as a one-member archive and read straight from the archive file,
// so a large member is never held in memory. Runs within a CpuBudget.

#include "ArchiveReader.h"

#include <functional>
#include <string>

namespace torvanelo::rar {

using UnpackedSink = std::function<void(const char* bytes, size_t count)>;

// Hands the unpacked bytes to `sink` as they come, then checks the unpacked
// size and the CRC32 (the decoder checks a BLAKE2sp digest). Throws
// RarError: damaged data, or what `sink` throws. `what` names the member or
// stream in messages; `archiveLabel` heads the line printed should the
// CPU-time budget run out.
void decompress(int archiveFd, const StoredData& data, const std::string& what,
                const std::string& archiveLabel, const UnpackedSink& sink);

} // namespace torvanelo::rar
