#pragma once

// The one name pattern of the program's temporary files, shared by the file
// system layer and the archiver: ".torvanelo-" + final name + "-" + six
// random characters + ".tmp". A temporary lives in the folder of its final
// name and carries the hidden mark while it is a temporary; a leftover one
// (name pattern and mark) is always a redundant copy and may be deleted.

#include <string>
#include <string_view>

namespace torvanelo {

inline constexpr std::string_view TemporaryNamePrefix = ".torvanelo-";
inline constexpr std::string_view TemporaryNameSuffix = ".tmp";
inline constexpr size_t TemporaryRandomLength = 6;
inline constexpr size_t MaxFileNameBytes = 255;

// The temporary name for finalName with the given random part (letters and
// digits, TemporaryRandomLength of them). The embedded final name is cut, at
// a UTF-8 character boundary, so that the whole name fits in 255 bytes.
std::string temporaryNameFor(std::string_view finalName, std::string_view randomPart);

// A fresh random part from the system's random source.
std::string randomTemporaryPart();

// True for a name of this pattern (whatever final name it embeds).
bool isTemporaryName(std::string_view name);

} // namespace torvanelo
