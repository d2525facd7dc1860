#pragma once

// Names as the archiver handles them: wildcard patterns, member names
// turned into file names, temporary names, and the mapping between extended
// attribute names and NTFS stream names.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// How a Windows stream ":X" becomes an extended attribute: Samba's
// streams_xattr form "user.DosStream.X:$DATA", or the plain "user.X" (the
// convention of ntfs-3g and Netatalk).
enum class StreamForm { Plain, Samba };
// TORVANELO_STREAM_FORM: "plain" for the plain form; unset, empty or
// "samba" for Samba's. nullopt for any other value.
std::optional<StreamForm> streamFormFromEnvironment();

// The stream names of one file's extended attributes, in their order:
// Samba's form and (in the plain form) every other "user." attribute become
// the Windows stream of that name; attributes that are not streams in the
// chosen form, and any that would clash with another, become streams that
// name the attribute exactly. Characters NTFS refuses in stream names are
// written as private-use characters U+F000 + byte, and names that NTFS
// would take for one (it ignores case) are told apart by trailing U+F000
// characters. nullopt for an attribute outside "user." or an empty name.
std::vector<std::optional<std::string>>
streamNamesForAttributes(const std::vector<std::string>& attributeNames, StreamForm form);

// The reverse, for the streams of one member. Every stream name of a
// member that a Windows file can carry gives a distinct attribute name.
struct DecodedStreams {
    std::vector<std::string> attributeNames;
    std::string problem; // empty on success
    size_t problemStream = 0;
};
DecodedStreams attributeNamesForStreams(const std::vector<std::string>& streamNames,
                                        StreamForm form);

} // namespace torvanelo::rar
