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

// The system unit folder that systemd reads and the program looks in when
// TORVANELO_UNIT_FOLDER does not name another.
inline const QString DefaultSystemUnitFolder = QStringLiteral("/usr/local/lib/systemd/system");

// The program folder of a system service whose program keeps no settings
// beside itself (an installed package); systemd creates it (StateDirectory).
inline const QString SystemServiceProgramFolder = QStringLiteral("/var/lib/torvanelo");

// The text of the unit file that starts `executable` as the service with
// TORVANELO_HOME set to `programFolder`. A unit written into a folder other
// than the default one carries it as TORVANELO_UNIT_FOLDER (`unitFolder`
// not empty), so that the program it starts finds its own unit there.
// nullopt when the executable is not unit-safe as an executable or a folder
// not as a path.
std::optional<QByteArray> systemdUnitText(const QString& executable, const QString& programFolder,
                                          UnitScope scope, const QString& unitFolder = {});

} // namespace torvanelo
