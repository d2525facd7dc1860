#pragma once

#include <QStringView>

#include <optional>

namespace torvanelo {

// The numeric reading rule of the parameters file and of the dialogs' boxes:
// the decimal number at the start of the text, as far as it forms one
// (leading blanks skipped, sign, decimals and exponent allowed); a text that
// does not start with a number reads as 0.
double leadingNumber(QStringView text);

// Rounds to the nearest integer, halves to the even neighbour (2.5 -> 2,
// 3.5 -> 4, -2.5 -> -2).
double roundHalfEven(double value);

// The locale numeric test: the whole text, surrounding blanks allowed, is one
// number in the user's locale (sign, group and decimal separators, exponent).
// nullopt when it is not.
std::optional<double> localeNumber(QStringView text);

} // namespace torvanelo
