#pragma once

#include <QString>

namespace torvanelo {

QString hostName();
QString loginName();
// The distribution's pretty name + " v." + kernel major.minor + ", Build " +
// patch level, e.g. "Debian GNU/Linux 12 (bookworm) v.6.1, Build 0".
QString systemDescription();

} // namespace torvanelo
