#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <string>

namespace torvanelo::test {

// The build folder (where torvanelo and rar are).
QString buildDir();
QString rarPath();

// Real files for tests, named with decodeFileName-style names so that any
// byte sequence can be used.
bool writeFile(const QString& path, const QByteArray& content);
std::optional<QByteArray> readFile(const QString& path);

// User extended attributes of a file as a sorted map (name -> value); the
// program's own hidden mark is left out. nullopt when they cannot be read.
using Attributes = std::map<std::string, std::string>;
std::optional<Attributes> readAttributes(const QString& path);
bool writeAttributes(const QString& path, const Attributes& attributes);

// True when the folder's file system takes user extended attributes.
bool supportsUserAttributes(const QString& folder);

// Every name in the folder but "." and "..", sorted (decoded as
// decodeFileName does); empty when the folder cannot be listed.
QStringList namesIn(const QString& folder);
// chmod; false when it failed.
bool setMode(const QString& path, unsigned mode);
// A runnable script (mode 0755), with the folders above it made.
bool writeScript(const QString& path, const QByteArray& script);
// The account name with its number, "alice (1000)", or the number alone.
QString userText(unsigned uid);

} // namespace torvanelo::test
