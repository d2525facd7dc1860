#include "PrefixDecisions.h"

#include "Texts.h"

namespace torvanelo {

namespace {

bool isForbidden(QChar c) {
    static constexpr QStringView Forbidden = u"\\/:*?\"<>|";
    return Forbidden.contains(c);
}

} // namespace

PrefixCheck checkPrefix(QStringView text) {
    PrefixCheck check;
    check.trimmed = text.trimmed().toString();
    if (check.trimmed.size() != 2) {
        check.status = PrefixCheck::WrongLength;
        return check;
    }
    for (const QChar c : check.trimmed) {
        if (isForbidden(c)) {
            check.status = PrefixCheck::InvalidCharacter;
            return check;
        }
    }
    // Letter by letter: a letter whose upper case is longer (German sharp s)
    // stays as it is, so the prefix keeps its two characters.
    check.stored = check.trimmed;
    for (QChar& c : check.stored)
        c = c.toUpper();
    check.status = PrefixCheck::Valid;
    return check;
}

QString prefixErrorText(PrefixCheck::Status status, int language) {
    switch (status) {
    case PrefixCheck::WrongLength:
        return Tr(language,
                  u"Le préfixe des fichiers compressés doit avoir une longueur de 2 caractères",
                  u"Prefix must be 2 characters");
    case PrefixCheck::InvalidCharacter:
        return Tr(language, u"Caractère invalide", u"Invalid character");
    case PrefixCheck::Valid:
        break;
    }
    return {};
}

} // namespace torvanelo
