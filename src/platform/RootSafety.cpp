#include "RootSafety.h"

#include "NameCodec.h"
#include "ProgramFolder.h"
#include "linux/LinuxProcessRunner.h"

#include <QDir>

#include <cctype>
#include <cerrno>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace torvanelo {

namespace {

// As the kernel: a path that needs more links than this is a loop.
constexpr int MaxLinks = 40;

std::optional<UntrustedPath> judge(const QByteArray& path, const struct stat& status,
                                   bool stickyExcuses) {
    if (status.st_uid != 0)
        return UntrustedPath{decodeFileName(path), UntrustedPath::Reason::OtherOwner,
                             status.st_uid};
    const bool writable = (status.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    const bool sticky = S_ISDIR(status.st_mode) && (status.st_mode & S_ISVTX) != 0;
    if (writable && !(stickyExcuses && sticky))
        return UntrustedPath{decodeFileName(path), UntrustedPath::Reason::WritableByOthers};
    return std::nullopt;
}

UntrustedPath uncheckable(const QByteArray& path) {
    return UntrustedPath{decodeFileName(path), UntrustedPath::Reason::Uncheckable};
}

QByteArray joined(const QByteArray& folder, const QByteArray& name) {
    return folder == "/" ? '/' + name : folder + '/' + name;
}

QByteArray parentOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

std::optional<QByteArray> linkTarget(const QByteArray& path) {
    QByteArray target(PATH_MAX, '\0');
    const ssize_t length = ::readlink(path.constData(), target.data(), target.size());
    if (length <= 0 || length >= target.size())
        return std::nullopt;
    target.truncate(length);
    return target;
}

bool isRunnableFile(const QByteArray& path) {
    struct stat status {};
    return ::stat(path.constData(), &status) == 0 && S_ISREG(status.st_mode)
           && (status.st_mode & 0111) != 0;
}

} // namespace

std::optional<UntrustedPath> untrustedForRoot(const QString& path, PathUse use) {
    QByteArray pending = encodeFileName(path);
    if (!pending.startsWith('/') || pending.contains('\0'))
        return uncheckable(pending);
    int links = 0;
    // Each link met restarts the walk on its target followed by the rest of
    // the path; the folders already seen are simply seen again.
    for (;;) {
        QByteArray current("/");
        struct stat currentStatus {};
        if (::lstat("/", &currentStatus) != 0)
            return uncheckable(current);
        if (auto untrusted = judge(current, currentStatus, true))
            return untrusted;
        QList<QByteArray> names = pending.split('/');
        names.removeAll(QByteArray());
        names.removeAll(QByteArray("."));
        bool restarted = false;
        for (qsizetype i = 0; i < names.size() && !restarted; ++i) {
            if (names[i] == "..") {
                current = parentOf(current);
                if (::lstat(current.constData(), &currentStatus) != 0)
                    return uncheckable(current);
                continue;
            }
            const QByteArray next = joined(current, names[i]);
            struct stat status {};
            if (::lstat(next.constData(), &status) != 0) {
                if (errno != ENOENT && errno != ENOTDIR)
                    return uncheckable(next);
                // Whoever may write the nearest folder that is there could
                // make the rest.
                return judge(current, currentStatus, false);
            }
            if (S_ISLNK(status.st_mode)) {
                const auto target = linkTarget(next);
                if (++links > MaxLinks || !target)
                    return uncheckable(next);
                QByteArray rest = target->startsWith('/') ? *target : joined(current, *target);
                for (qsizetype j = i + 1; j < names.size(); ++j)
                    rest = joined(rest, names[j]);
                pending = rest;
                restarted = true;
                continue;
            }
            const bool last = i == names.size() - 1;
            if (auto untrusted = judge(next, status, !last || use == PathUse::Content))
                return untrusted;
            current = next;
            currentStatus = status;
        }
        if (!restarted) {
            // The path ended on a folder reached through "..", or on /.
            if (use == PathUse::NamesAdded)
                return judge(current, currentStatus, false);
            return std::nullopt;
        }
    }
}

RootTrustedSet RootTrustedSet::forThisProcess(const QString& programFolder,
                                              const QStringList& files) {
    RootTrustedSet set;
    if (const auto executable = linkTarget("/proc/self/exe"))
        set.executable = decodeFileName(*executable);
    set.programFolder = programFolder;
    set.files = files;
    set.archiverFolders = torvanelo::archiverFolders();
    for (const QByteArray& element : qgetenv("PATH").split(':')) {
        if (element.startsWith('/'))
            set.archiverFolders.append(decodeFileName(element));
    }
    set.archiver = LinuxProcessRunner::findProgram(set.archiverName).value_or(QString());
    return set;
}

std::optional<UntrustedPath> untrustedForRoot(const RootTrustedSet& set) {
    if (auto untrusted = untrustedForRoot(set.executable, PathUse::Content))
        return untrusted;
    if (auto untrusted = untrustedForRoot(set.programFolder, PathUse::NamesAdded))
        return untrusted;
    for (const QString& file : set.files) {
        if (auto untrusted = untrustedForRoot(file, PathUse::Content))
            return untrusted;
    }
    QString archiver = set.archiver.isEmpty() ? QString() : QDir::cleanPath(set.archiver);
    const bool found = !archiver.isEmpty();
    for (const QString& folder : set.archiverFolders) {
        if (auto untrusted = untrustedForRoot(folder, PathUse::NamesAdded))
            return untrusted;
        const QString candidate = QDir::cleanPath(folder + u'/' + set.archiverName);
        if (found ? candidate == archiver : isRunnableFile(encodeFileName(candidate))) {
            archiver = candidate;
            break;
        }
    }
    if (!archiver.isEmpty())
        return untrustedForRoot(archiver, PathUse::Content);
    return std::nullopt;
}

bool runsAsRoot() {
    return ::geteuid() == 0;
}

QStringList systemToolFolders() {
    return {QStringLiteral("/usr/bin"), QStringLiteral("/bin"), QStringLiteral("/usr/sbin"),
            QStringLiteral("/sbin")};
}

std::optional<QString> trustedSystemTool(const QString& name, const QStringList& folders) {
    if (name.isEmpty() || name.contains(u'/'))
        return std::nullopt;
    for (const QString& folder : folders) {
        const QString tool = QDir::cleanPath(folder + u'/' + name);
        if (tool.startsWith(u'/') && isRunnableFile(encodeFileName(tool))
            && !untrustedForRoot(tool, PathUse::Content))
            return tool;
    }
    return std::nullopt;
}

QString shellQuoted(const QString& path) {
    const QByteArray bytes = encodeFileName(path);
    bool plain = !bytes.isEmpty();
    bool control = false;
    for (const char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        if (c < 0x20 || c == 0x7F)
            control = true;
        if (!(std::isalnum(c) && c < 0x80) && !QByteArrayView("/._-+,:@%").contains(byte))
            plain = false;
    }
    if (plain)
        return path;
    if (!control) {
        QString quoted = path;
        quoted.replace(u'\'', QStringLiteral("'\\''"));
        return u'\'' + quoted + u'\'';
    }
    QByteArray quoted("$'");
    for (const char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        if (byte == '\\' || byte == '\'')
            quoted += '\\' + QByteArray(1, byte);
        else if (c < 0x20 || c == 0x7F || c >= 0x80)
            quoted += "\\x" + QByteArray::number(c, 16).rightJustified(2, '0');
        else
            quoted += byte;
    }
    return QString::fromLatin1(quoted + '\'');
}

} // namespace torvanelo
