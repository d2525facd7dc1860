#include "RootGuard.h"

#include "SettingsStore.h"
#include "SystemLog.h"
#include "Texts.h"

#include <cstdio>
#include <pwd.h>

namespace torvanelo {

namespace {

QString userName(uid_t uid) {
    const passwd* entry = ::getpwuid(uid);
    const QString number = QString::number(uid);
    if (entry == nullptr || entry->pw_name == nullptr)
        return number;
    return QString::fromLocal8Bit(entry->pw_name) + QStringLiteral(" (") + number + u')';
}

} // namespace

QString untrustedPathText(const UntrustedPath& untrusted, int language) {
    const QString path = shellQuoted(untrusted.path);
    switch (untrusted.reason) {
    case UntrustedPath::Reason::OtherOwner:
        return Tr(language,
                  u"%1 appartient à l'utilisateur %2 et non à root. Corriger avec : chown root %1",
                  u"%1 belongs to user %2, not to root. Fix it with: chown root %1")
            .arg(path, userName(untrusted.owner));
    case UntrustedPath::Reason::WritableByOthers:
        return Tr(language,
                  u"%1 peut être modifié par d'autres utilisateurs que root (groupe ou autres). "
                  u"Corriger avec : chmod go-w %1",
                  u"%1 can be written by users other than root (group or others). Fix it with: "
                  u"chmod go-w %1")
            .arg(path);
    case UntrustedPath::Reason::Uncheckable:
        break;
    }
    return Tr(language,
              u"%1 ne peut pas être vérifié (boucle de liens symboliques ou erreur de lecture)",
              u"%1 cannot be checked (a loop of symbolic links or a read error)")
        .arg(path);
}

QString rootStartRefusalText(const UntrustedPath& untrusted) {
    return ProductName + QStringLiteral(" refuses to run as root: ")
           + untrustedPathText(untrusted, LanguageEnglish);
}

bool refuseUntrustedRootStart(const QString& programFolder, SystemLog& log, bool startedAsService) {
    if (!runsAsRoot())
        return false;
    // Only the names of the two files: nothing is read before the check.
    const SettingsStore names(programFolder);
    const auto untrusted = untrustedForRoot(RootTrustedSet::forThisProcess(
        programFolder, {names.settings().ParametersFile, names.settings().PairFile}));
    if (!untrusted)
        return false;
    const QString text = rootStartRefusalText(*untrusted);
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
    if (startedAsService)
        log.write(LogLevel::Warning, text);
    return true;
}

} // namespace torvanelo
