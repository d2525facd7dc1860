#include "SystemInfo.h"

#include <QFile>
#include <QSysInfo>

#include <algorithm>
#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>
#include <vector>

namespace torvanelo {

namespace {

// A value of os-release: shell-like, either bare or in single or double
// quotes; inside double quotes a backslash escapes the next character.
QString unquoted(const QByteArray& value) {
    QByteArray text = value.trimmed();
    if (text.size() >= 2 && text.front() == '\'' && text.back() == '\'')
        return QString::fromUtf8(text.mid(1, text.size() - 2));
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        QByteArray plain;
        for (qsizetype i = 1; i + 1 < text.size(); ++i) {
            if (text[i] == '\\' && i + 2 < text.size())
                ++i;
            plain.append(text[i]);
        }
        return QString::fromUtf8(plain);
    }
    return QString::fromUtf8(text);
}

// The leading number of text at position i; moves i past it and a dot.
int leadingNumber(const QByteArray& text, qsizetype& i) {
    int value = 0;
    bool digits = false;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = std::min(value * 10 + (text[i] - '0'), 999999);
        digits = true;
        ++i;
    }
    if (digits && i < text.size() && text[i] == '.')
        ++i;
    return value;
}

std::optional<QByteArray> readSmallFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.read(64 * 1024);
}

} // namespace

QString hostName() {
    return QSysInfo::machineHostName();
}

QString loginName() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? size_t(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0
        && found != nullptr && found->pw_name != nullptr)
        return QString::fromLocal8Bit(found->pw_name);
    return QString::fromLocal8Bit(qgetenv("USER"));
}

QString describeSystem(const QByteArray& osRelease, const QByteArray& kernelRelease) {
    QString prettyName = QStringLiteral("Linux");
    for (const QByteArray& line : osRelease.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith("PRETTY_NAME=")) {
            const QString value = unquoted(trimmed.mid(12));
            if (!value.isEmpty())
                prettyName = value;
            break;
        }
    }
    qsizetype i = 0;
    const int major = leadingNumber(kernelRelease, i);
    const int minor = leadingNumber(kernelRelease, i);
    const int patch = leadingNumber(kernelRelease, i);
    return prettyName + QStringLiteral(" v.") + QString::number(major) + u'.'
           + QString::number(minor) + QStringLiteral(", Build ") + QString::number(patch);
}

QString systemDescription() {
    auto osRelease = readSmallFile(QStringLiteral("/etc/os-release"));
    if (!osRelease)
        osRelease = readSmallFile(QStringLiteral("/usr/lib/os-release"));
    utsname names{};
    const QByteArray release = ::uname(&names) == 0 ? QByteArray(names.release) : QByteArray();
    return describeSystem(osRelease.value_or(QByteArray()), release);
}

} // namespace torvanelo
