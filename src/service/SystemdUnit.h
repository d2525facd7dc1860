#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace torvanelo {

// The service's systemd unit name.
inline const QString ServiceUnitName = QStringLiteral("torvanelo.service");

// Where the unit runs. A system unit runs headless under the system manager
// from boot on; a user unit runs in the user's graphical session and may show
// its window (the "interacts with the desktop" choice).
enum class UnitScope { System, User };

// A word for a unit file: inside double quotes, with '\' and '"' escaped and
// '%' doubled (systemd expands specifiers everywhere). '$' is left alone: the
// executable path and Environment= values are not subject to variable
// expansion.
QByteArray quoteUnitWord(const QString& word);

// True when the path can be written into a unit so that systemd hands the
// very same bytes to the program: absolute, valid UTF-8 (systemd refuses
// Environment= values that are not) and free of control characters (a line
// break would end the line of the unit file).
bool isUnitSafePath(const QString& path);

// True when the path can name the program a unit starts: a unit-safe path
// without '\\', '"' or '\'', which systemd refuses in an executable's name
// however they are quoted.
bool isUnitSafeExecutable(const QString& path);

// The text of the unit file that starts `executable` as the service with
// TORVANELO_HOME set to `programFolder`; nullopt when the executable is not
// unit-safe as an executable or the folder not as a path.
std::optional<QByteArray> systemdUnitText(const QString& executable, const QString& programFolder,
                                          UnitScope scope);

} // namespace torvanelo
