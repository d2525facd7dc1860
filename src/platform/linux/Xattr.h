#pragma once

// Extended attributes on open file descriptors, without Qt: shared by the
// file system layer and the archiver.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torvanelo::xattr {

// The program's own mark for the hidden attribute. It is an attribute of the
// file, not a stream: the archiver keeps it out of the stream list.
inline constexpr std::string_view HiddenMarkName = "user.torvanelo.hidden";
inline constexpr std::string_view HiddenMarkValue = "1";
inline constexpr std::string_view UserPrefix = "user.";

struct Attribute {
    std::string name;  // full name, e.g. "user.AFP_AfpInfo"
    std::string value; // raw bytes, may be empty or binary
    friend bool operator==(const Attribute&, const Attribute&) = default;
};

// Every attribute of the "user." namespace, in the order the file system
// lists them. With includeHiddenMark false the program's hidden mark is left
// out. nullopt when they cannot be read (errno tells why); a file system
// without extended attribute support gives an empty list.
std::optional<std::vector<Attribute>> readUserAttributes(int fd, bool includeHiddenMark);

// The names alone, same order and rules as readUserAttributes: for callers
// that read one value at a time to keep memory bounded.
std::optional<std::vector<std::string>> listUserAttributeNames(int fd, bool includeHiddenMark);
// One value; nullopt when it cannot be read (errno tells why; ENODATA when
// the attribute is absent).
std::optional<std::string> readAttribute(int fd, const std::string& name);

// Sets one attribute; false on failure (errno tells why).
bool writeAttribute(int fd, const std::string& name, const std::string& value);
// Removes one attribute; removing one that is absent succeeds.
bool removeAttribute(int fd, const std::string& name);

bool hasHiddenMark(int fd);
bool setHiddenMark(int fd, bool hidden);

} // namespace torvanelo::xattr
