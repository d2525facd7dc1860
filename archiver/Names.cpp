#include "Names.h"

#include <cstdint>
#include <cstdlib>
#include <set>

namespace torvanelo::rar {

namespace {

constexpr size_t MaxFileNameBytes = 255;
constexpr std::string_view AttributePrefix = "user.";

// One character of a name: a valid UTF-8 sequence, or a single byte.
size_t characterLength(std::string_view text, size_t pos) {
    const size_t length = utf8SequenceLength(text, pos);
    return length == 0 ? 1 : length;
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

namespace {

constexpr std::string_view SambaPrefix = "DosStream.";
constexpr std::string_view SambaSuffix = ":$DATA";
constexpr size_t MaxStreamNameUnits = 255;
// Escapes are U+F000 + byte, three bytes of UTF-8: EF 80..83 xx.
constexpr uint32_t EscapeBase = 0xF000;
// A stream that names an attribute exactly starts with it ("L"inux).
constexpr uint32_t LiteralPrefix = EscapeBase + 'L';
// Trailing ones tell apart names NTFS would take for one.
constexpr uint32_t CaseMarker = EscapeBase;

bool refusedByNtfs(unsigned char byte) {
    return byte < 0x20
           || std::string_view("\"*/:<>?\\|").find(static_cast<char>(byte))
                  != std::string_view::npos;
}

void appendCodePoint(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// The code point of the valid UTF-8 sequence at text[pos] of `length` bytes.
uint32_t codePointAt(std::string_view text, size_t pos, size_t length) {
    const auto b = [&](size_t i) { return uint32_t{static_cast<unsigned char>(text[pos + i])}; };
    switch (length) {
    case 1:
        return b(0);
    case 2:
        return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    case 3:
        return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    default:
        return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
    }
}

bool isEscape(uint32_t c) {
    return c >= EscapeBase && c <= EscapeBase + 0xFF;
}

// Calls f(code point, bytes) for each character; nullopt-like -1 code point
// for a byte that is not valid UTF-8.
template <typename F>
void forEachCharacter(std::string_view text, F f) {
    for (size_t i = 0; i < text.size();) {
        const size_t length = utf8SequenceLength(text, i);
        if (length == 0) {
            f(int64_t{-1}, text.substr(i, 1));
            ++i;
        } else {
            f(int64_t{codePointAt(text, i, length)}, text.substr(i, length));
            i += length;
        }
    }
}

// Every byte NTFS refuses, every byte that is not valid UTF-8 and every
// character of the escape range itself becomes escapes.
std::string escaped(std::string_view name) {
    std::string out;
    forEachCharacter(name, [&](int64_t c, std::string_view bytes) {
        if (c < 0 || isEscape(static_cast<uint32_t>(c))
            || (c < 0x80 && refusedByNtfs(static_cast<unsigned char>(c)))) {
            for (const char byte : bytes)
                appendCodePoint(out, EscapeBase + static_cast<unsigned char>(byte));
        } else {
            out.append(bytes);
        }
    });
    return out;
}

std::string unescaped(std::string_view body) {
    std::string out;
    forEachCharacter(body, [&](int64_t c, std::string_view bytes) {
        if (c >= 0 && isEscape(static_cast<uint32_t>(c)))
            out.push_back(static_cast<char>(c - EscapeBase));
        else
            out.append(bytes);
    });
    return out;
}

bool holdsEscape(std::string_view body) {
    bool found = false;
    forEachCharacter(body, [&](int64_t c, std::string_view) {
        found = found || (c >= 0 && isEscape(static_cast<uint32_t>(c)));
    });
    return found;
}

// A name a Windows file system takes as it is.
bool validOnNtfs(std::string_view name) {
    if (name.empty())
        return false;
    bool valid = true;
    size_t units = 0;
    forEachCharacter(name, [&](int64_t c, std::string_view) {
        if (c < 0 || (c < 0x80 && refusedByNtfs(static_cast<unsigned char>(c))))
            valid = false;
        units += c >= 0x10000 ? 2 : 1;
    });
    return valid && units <= MaxStreamNameUnits;
}

std::string codePoint(uint32_t c) {
    std::string out;
    appendCodePoint(out, c);
    return out;
}
const std::string LiteralPrefixText = codePoint(LiteralPrefix);
const std::string CaseMarkerText = codePoint(CaseMarker);

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}
bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool writtenEscaped(std::string_view body);

// A name that is written as it is: one the reader would not take for
// escapes, a prefix or markers.
bool writtenAsItIs(std::string_view name) {
    return validOnNtfs(name) && !writtenEscaped(name) && !startsWith(name, LiteralPrefixText)
           && !endsWith(name, CaseMarkerText);
}

// A body the writer can have made by escaping: exactly the escapes it would
// write, of a name it would not have written as it is. (Unescaping shortens
// the text, so the recursion ends.)
bool writtenEscaped(std::string_view body) {
    if (!holdsEscape(body))
        return false;
    const std::string name = unescaped(body);
    return escaped(name) == body && !writtenAsItIs(name);
}

std::string encodedName(std::string_view name) {
    return writtenAsItIs(name) ? std::string(name) : escaped(name);
}

std::string decodedName(std::string_view body) {
    return writtenEscaped(body) ? unescaped(body) : std::string(body);
}

std::string attributeForWindowsStream(std::string_view name, StreamForm form) {
    if (form == StreamForm::Samba)
        return std::string(AttributePrefix) + std::string(SambaPrefix) + std::string(name)
               + std::string(SambaSuffix);
    return std::string(AttributePrefix) + std::string(name);
}

// NTFS compares stream names without case: ASCII, Latin-1, Greek and
// Cyrillic letters are folded here.
std::string foldedCase(std::string_view body) {
    std::string out;
    forEachCharacter(body, [&](int64_t c, std::string_view bytes) {
        if (c < 0) {
            out.append(bytes);
            return;
        }
        auto u = static_cast<uint32_t>(c);
        if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)
            || (u >= 0x3B1 && u <= 0x3C9 && u != 0x3C2) || (u >= 0x430 && u <= 0x44F))
            u -= 0x20;
        else if (u >= 0x450 && u <= 0x45F)
            u -= 0x50;
        appendCodePoint(out, u);
    });
    return out;
}

} // namespace

std::optional<StreamForm> streamFormFromEnvironment() {
    const char* value = std::getenv("TORVANELO_STREAM_FORM");
    const std::string_view text = value == nullptr ? std::string_view() : std::string_view(value);
    if (text.empty() || text == "samba")
        return StreamForm::Samba;
    if (text == "plain")
        return StreamForm::Plain;
    return std::nullopt;
}

std::vector<std::optional<std::string>>
streamNamesForAttributes(const std::vector<std::string>& attributeNames, StreamForm form) {
    // First which attributes are Windows streams, and of which name.
    struct Planned {
        bool windowsStream = false;
        bool samba = false;
        std::string name;
    };
    std::vector<std::optional<Planned>> planned;
    std::set<std::string> plainNames;
    for (const std::string& attribute : attributeNames) {
        if (!startsWith(attribute, AttributePrefix) || attribute.size() == AttributePrefix.size()) {
            planned.emplace_back();
            continue;
        }
        const std::string_view name = std::string_view(attribute).substr(AttributePrefix.size());
        if (startsWith(name, SambaPrefix) && endsWith(name, SambaSuffix)
            && name.size() > SambaPrefix.size() + SambaSuffix.size()) {
            planned.push_back(
                Planned{true, true,
                        std::string(name.substr(SambaPrefix.size(), name.size() - SambaPrefix.size()
                                                                        - SambaSuffix.size()))});
        } else {
            planned.push_back(Planned{form == StreamForm::Plain, false, std::string(name)});
            if (form == StreamForm::Plain)
                plainNames.insert(std::string(name));
        }
    }
    std::vector<std::optional<std::string>> streams;
    std::set<std::string> folded;
    for (size_t i = 0; i < planned.size(); ++i) {
        if (!planned[i]) {
            streams.emplace_back();
            continue;
        }
        const Planned& entry = *planned[i];
        // Beside a plain attribute of the same stream name, Samba's form is
        // stored under its exact attribute name.
        std::string body;
        if (entry.windowsStream && !(entry.samba && plainNames.count(entry.name) != 0))
            body = encodedName(entry.name);
        else
            body =
                LiteralPrefixText
                + encodedName(std::string_view(attributeNames[i]).substr(AttributePrefix.size()));
        while (!folded.insert(foldedCase(body)).second)
            body += CaseMarkerText;
        streams.push_back(":" + body);
    }
    return streams;
}

DecodedStreams attributeNamesForStreams(const std::vector<std::string>& streamNames,
                                        StreamForm form) {
    DecodedStreams result;
    std::set<std::string> taken;
    for (size_t i = 0; i < streamNames.size(); ++i) {
        const std::string_view stream = streamNames[i];
        if (stream.size() < 2 || stream.front() != ':') {
            result.problem = "has a broken name";
            result.problemStream = i;
            return result;
        }
        const std::string_view body = stream.substr(1);
        std::string_view unmarked = body;
        while (endsWith(unmarked, CaseMarkerText))
            unmarked.remove_suffix(CaseMarkerText.size());
        if (unmarked.empty())
            unmarked = body;
        std::string attribute;
        if (startsWith(unmarked, LiteralPrefixText) && unmarked.size() > LiteralPrefixText.size())
            attribute = std::string(AttributePrefix)
                        + decodedName(unmarked.substr(LiteralPrefixText.size()));
        else
            attribute = attributeForWindowsStream(decodedName(unmarked), form);
        // Names a Windows file can carry side by side that the reading above
        // takes for one (such as ":x" and ":x" + marker) keep the stream name.
        if (taken.count(attribute) != 0)
            attribute = attributeForWindowsStream(body, form);
        if (!taken.insert(attribute).second) {
            result.problem = "appears twice";
            result.problemStream = i;
            return result;
        }
        result.attributeNames.push_back(std::move(attribute));
    }
    return result;
}

} // namespace torvanelo::rar
