#include "Names.h"

namespace torvanelo::rar {

namespace {

constexpr size_t MaxFileNameBytes = 255;
constexpr std::string_view AttributePrefix = "user.";

// One character of a name: a valid UTF-8 sequence, or a single byte.
size_t characterLength(std::string_view text, size_t pos) {
    const size_t length = utf8SequenceLength(text, pos);
    return length == 0 ? 1 : length;
}

bool escapedInStreamName(unsigned char byte) {
    return byte == '%' || byte == ':' || byte == '/' || byte == '\\' || byte < 0x20 || byte == 0x7F;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

size_t utf8SequenceLength(std::string_view text, size_t pos) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[pos + i]); };
    const size_t available = text.size() - pos;
    const unsigned char first = byte(0);
    size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (first < 0x80)
        return 1;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        if (first == 0xE0)
            low = 0xA0; // overlong
        if (first == 0xED)
            high = 0x9F; // surrogates
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        if (first == 0xF0)
            low = 0x90; // overlong
        if (first == 0xF4)
            high = 0x8F; // beyond U+10FFFF
    } else {
        return 0;
    }
    if (available < length)
        return 0;
    if (byte(1) < low || byte(1) > high)
        return 0;
    for (size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    }
    return length;
}

bool matchesWildcard(std::string_view pattern, std::string_view name) {
    // Classic greedy matching with one backtrack point for the last '*'.
    size_t p = 0;
    size_t n = 0;
    size_t starPattern = std::string_view::npos;
    size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starPattern = p++;
            starName = n;
            continue;
        }
        if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += characterLength(name, n);
            continue;
        }
        if (p < pattern.size() && pattern[p] == name[n]) {
            ++p;
            ++n;
            continue;
        }
        if (starPattern == std::string_view::npos)
            return false;
        p = starPattern + 1;
        starName += characterLength(name, starName);
        n = starName;
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::string quotedName(std::string_view name) {
    constexpr size_t Longest = 200;
    static constexpr char Hex[] = "0123456789abcdef";
    std::string text = "\"";
    for (size_t i = 0; i < name.size() && i < Longest; ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        if (byte < 0x20 || byte == 0x7F) {
            text += "\\x";
            text.push_back(Hex[byte >> 4]);
            text.push_back(Hex[byte & 0x0F]);
        } else {
            text.push_back(static_cast<char>(byte));
        }
    }
    if (name.size() > Longest)
        text += "...";
    text += "\"";
    return text;
}

std::optional<std::string> extractionName(std::string_view storedName) {
    const size_t separator = storedName.find_last_of("/\\");
    const std::string_view last =
        separator == std::string_view::npos ? storedName : storedName.substr(separator + 1);
    if (last.empty() || last == "." || last == ".." || last.size() > MaxFileNameBytes
        || last.find('\0') != std::string_view::npos)
        return std::nullopt;
    return std::string(last);
}

std::optional<std::string> streamNameForAttribute(std::string_view attributeName) {
    if (attributeName.substr(0, AttributePrefix.size()) != AttributePrefix)
        return std::nullopt;
    const std::string_view name = attributeName.substr(AttributePrefix.size());
    if (name.empty())
        return std::nullopt;
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string stream = ":";
    for (size_t i = 0; i < name.size();) {
        const auto byte = static_cast<unsigned char>(name[i]);
        const size_t length = utf8SequenceLength(name, i);
        if (length > 1) {
            stream.append(name.substr(i, length));
            i += length;
            continue;
        }
        if (length == 0 || escapedInStreamName(byte)) {
            stream.push_back('%');
            stream.push_back(Hex[byte >> 4]);
            stream.push_back(Hex[byte & 0x0F]);
        } else {
            stream.push_back(static_cast<char>(byte));
        }
        ++i;
    }
    return stream;
}

std::optional<std::string> attributeNameForStream(std::string_view streamName) {
    if (streamName.size() < 2 || streamName.front() != ':')
        return std::nullopt;
    std::string attribute(AttributePrefix);
    for (size_t i = 1; i < streamName.size(); ++i) {
        const char c = streamName[i];
        if (c == '%' && i + 2 < streamName.size()) {
            const int high = hexValue(streamName[i + 1]);
            const int low = hexValue(streamName[i + 2]);
            if (high >= 0 && low >= 0) {
                const auto byte = static_cast<unsigned char>(high * 16 + low);
                // Only what the writer escapes is decoded; other "%HH" stay as they are.
                if (byte >= 0x80 || escapedInStreamName(byte)) {
                    if (byte == 0)
                        return std::nullopt;
                    attribute.push_back(static_cast<char>(byte));
                    i += 2;
                    continue;
                }
            }
        }
        if (c == '\0')
            return std::nullopt;
        attribute.push_back(c);
    }
    return attribute;
}

} // namespace torvanelo::rar
