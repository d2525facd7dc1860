#include "TemporaryName.h"

#include <random>

namespace torvanelo {

namespace {

constexpr std::string_view RandomAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

bool isRandomCharacter(char c) {
    return RandomAlphabet.find(c) != std::string_view::npos;
}

} // namespace

std::string temporaryNameFor(std::string_view finalName, std::string_view randomPart) {
    const size_t fixed =
        TemporaryNamePrefix.size() + 1 + randomPart.size() + TemporaryNameSuffix.size();
    size_t keep = finalName.size();
    if (fixed + keep > MaxFileNameBytes) {
        keep = MaxFileNameBytes > fixed ? MaxFileNameBytes - fixed : 0;
        // Never cut inside a UTF-8 sequence: back off continuation bytes.
        while (keep > 0 && (static_cast<unsigned char>(finalName[keep]) & 0xC0) == 0x80)
            --keep;
    }
    std::string name;
    name.reserve(fixed + keep);
    name.append(TemporaryNamePrefix);
    name.append(finalName.substr(0, keep));
    name.push_back('-');
    name.append(randomPart);
    name.append(TemporaryNameSuffix);
    return name;
}

std::string randomTemporaryPart() {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, RandomAlphabet.size() - 1);
    std::string part;
    for (size_t i = 0; i < TemporaryRandomLength; ++i)
        part.push_back(RandomAlphabet[pick(generator)]);
    return part;
}

bool isTemporaryName(std::string_view name) {
    const size_t tail = 1 + TemporaryRandomLength + TemporaryNameSuffix.size();
    if (name.size() < TemporaryNamePrefix.size() + tail || !name.starts_with(TemporaryNamePrefix)
        || !name.ends_with(TemporaryNameSuffix))
        return false;
    const std::string_view end = name.substr(name.size() - tail);
    if (end[0] != '-')
        return false;
    for (size_t i = 1; i <= TemporaryRandomLength; ++i) {
        if (!isRandomCharacter(end[i]))
            return false;
    }
    return true;
}

} // namespace torvanelo
