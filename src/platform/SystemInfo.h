#pragma once

#include <QByteArray>
#include <QString>

namespace torvanelo {

QString hostName();
QString loginName();
// The distribution's pretty name + " v." + kernel major.minor + ", Build " +
// patch level, e.g. "Debian GNU/Linux 12 (bookworm) v.6.1, Build 0".
QString systemDescription();

// systemDescription from the text of os-release (PRETTY_NAME, "Linux" when
// missing) and the kernel release ("6.1.0-18-amd64": major 6, minor 1,
// patch 0; missing numbers count as 0).
QString describeSystem(const QByteArray& osRelease, const QByteArray& kernelRelease);

} // namespace torvanelo
