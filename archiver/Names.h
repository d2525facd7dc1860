#pragma once

// Names as the archiver handles them: wildcard patterns, member names
// turned into file names, temporary names, and the mapping between extended
// attribute names and NTFS stream names.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace torvanelo::rar {

// The length of the valid UTF-8 sequence starting at text[pos]; 0 when the
// bytes there are not valid UTF-8 (overlong forms and surrogates included).
size_t utf8SequenceLength(std::string_view text, size_t pos);

// `?` matches one character (a UTF-8 sequence, or one byte that is not
// valid UTF-8), `*` any run of characters; every other byte stands for
// itself. Case matters, as in the file system.
bool matchesWildcard(std::string_view pattern, std::string_view name);

// The file name a stored member name extracts to: its last component, with
// both '/' and '\' as separators (RAR writes '/', Windows tools may use '\').
// nullopt for a name that cannot be a file name here: empty, ".", "..",
// holding a NUL byte, or longer than 255 bytes.
std::optional<std::string> extractionName(std::string_view storedName);

// A name for a message line: in double quotes, control characters written
// as \xHH so that the message stays one line, cut after 200 bytes.
std::string quotedName(std::string_view name);

// Extended attribute "user.NAME" <-> stream ":NAME". Inside NAME, the bytes
// a stream name cannot hold (':' '/' '\', control characters, bytes that are
// not valid UTF-8) and the escape character '%' itself are written as "%HH"
// (upper-case hex), so every attribute name maps to a valid stream name and
// back, byte for byte. nullopt for a name outside "user." or an empty NAME.
std::optional<std::string> streamNameForAttribute(std::string_view attributeName);
// The reverse. nullopt for a broken stream name: no leading ':', nothing
// after it, or a NUL byte in the result.
std::optional<std::string> attributeNameForStream(std::string_view streamName);

} // namespace torvanelo::rar
