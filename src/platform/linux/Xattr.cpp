#include "Xattr.h"

#include <cerrno>
#include <sys/xattr.h>

namespace torvanelo::xattr {

namespace {

bool unsupported(int error) {
    return error == ENOTSUP || error == EOPNOTSUPP;
}

std::optional<std::string> listNames(int fd) {
    // The list can grow between the size query and the read: ask again on ERANGE.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const ssize_t size = flistxattr(fd, nullptr, 0);
        if (size < 0)
            return unsupported(errno) ? std::optional<std::string>(std::string()) : std::nullopt;
        std::string names(static_cast<size_t>(size), '\0');
        if (size == 0)
            return names;
        const ssize_t got = flistxattr(fd, names.data(), names.size());
        if (got >= 0) {
            names.resize(static_cast<size_t>(got));
            return names;
        }
        if (errno != ERANGE)
            return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::string> readValue(int fd, const std::string& name) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        const ssize_t size = fgetxattr(fd, name.c_str(), nullptr, 0);
        if (size < 0)
            return std::nullopt;
        std::string value(static_cast<size_t>(size), '\0');
        if (size == 0)
            return value;
        const ssize_t got = fgetxattr(fd, name.c_str(), value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<size_t>(got));
            return value;
        }
        if (errno != ERANGE)
            return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::vector<Attribute>> readUserAttributes(int fd, bool includeHiddenMark) {
    const auto names = listNames(fd);
    if (!names)
        return std::nullopt;
    std::vector<Attribute> attributes;
    for (size_t start = 0; start < names->size();) {
        const size_t end = names->find('\0', start);
        const std::string name = names->substr(start, end - start);
        start = (end == std::string::npos) ? names->size() : end + 1;
        if (name.compare(0, UserPrefix.size(), UserPrefix) != 0)
            continue;
        if (!includeHiddenMark && name == HiddenMarkName)
            continue;
        auto value = readValue(fd, name);
        if (!value) {
            if (errno == ENODATA) // removed meanwhile
                continue;
            return std::nullopt;
        }
        attributes.push_back({name, std::move(*value)});
    }
    return attributes;
}

std::optional<std::vector<std::string>> listUserAttributeNames(int fd, bool includeHiddenMark) {
    const auto names = listNames(fd);
    if (!names)
        return std::nullopt;
    std::vector<std::string> result;
    for (size_t start = 0; start < names->size();) {
        const size_t end = names->find('\0', start);
        std::string name = names->substr(start, end - start);
        start = (end == std::string::npos) ? names->size() : end + 1;
        if (name.compare(0, UserPrefix.size(), UserPrefix) != 0)
            continue;
        if (!includeHiddenMark && name == HiddenMarkName)
            continue;
        result.push_back(std::move(name));
    }
    return result;
}

std::optional<std::string> readAttribute(int fd, const std::string& name) {
    return readValue(fd, name);
}

bool writeAttribute(int fd, const std::string& name, const std::string& value) {
    return fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) == 0;
}

bool removeAttribute(int fd, const std::string& name) {
    if (fremovexattr(fd, name.c_str()) == 0)
        return true;
    return errno == ENODATA;
}

bool hasHiddenMark(int fd) {
    const std::string name(HiddenMarkName);
    const auto value = readValue(fd, name);
    return value && *value == HiddenMarkValue;
}

bool setHiddenMark(int fd, bool hidden) {
    const std::string name(HiddenMarkName);
    if (hidden)
        return writeAttribute(fd, name, std::string(HiddenMarkValue));
    return removeAttribute(fd, name);
}

} // namespace torvanelo::xattr
