#pragma once

#include <QString>
#include <QStringView>

namespace torvanelo {

// The prefix box as OK reads it. A valid prefix is exactly two characters
// after the surrounding blanks are removed, none of them one of \ / : * ? " < > |.
struct PrefixCheck {
    enum Status { Valid, WrongLength, InvalidCharacter };
    Status status = WrongLength;
    QString trimmed; // what the box shows after OK
    QString stored;  // for Valid: the prefix to store, in upper case
};
PrefixCheck checkPrefix(QStringView text);

// The message box text of a refusal; empty for Valid.
QString prefixErrorText(PrefixCheck::Status status, int language);

} // namespace torvanelo
