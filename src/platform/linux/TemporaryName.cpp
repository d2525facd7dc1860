#include "TemporaryName.h"

#include <cerrno>
#include <random>
#include <sys/random.h>

namespace torvanelo {

namespace {

constexpr std::string_view RandomAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// Straight from the kernel: the archiver makes a temporary or two per run,
// and std::random_device first probes the processor for its random
// instructions, which in a virtual machine costs more than the whole run's
// other work on a small file. It stays the fallback for a kernel without
// getrandom.
void fillRandom(unsigned char* bytes, size_t size) {
    while (size > 0) {
        const ssize_t got = ::getrandom(bytes, size, 0);
        if (got > 0) {
            bytes += got;
            size -= static_cast<size_t>(got);
        } else if (got < 0 && errno != EINTR) {
            std::random_device device;
            for (; size > 0; --size)
                *bytes++ = static_cast<unsigned char>(device());
        }
    }
}

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
    // Bytes past the largest multiple of the alphabet's size are drawn
    // again, so that every character is equally likely.
    constexpr size_t Usable = 256 / RandomAlphabet.size() * RandomAlphabet.size();
    std::string part;
    unsigned char bytes[16];
    while (part.size() < TemporaryRandomLength) {
        fillRandom(bytes, sizeof bytes);
        for (const unsigned char byte : bytes) {
            if (byte < Usable && part.size() < TemporaryRandomLength)
                part.push_back(RandomAlphabet[byte % RandomAlphabet.size()]);
        }
    }
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
