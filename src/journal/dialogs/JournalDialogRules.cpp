#include "JournalDialogRules.h"

#include "DailyLog.h"
#include "NumericText.h"
#include "Texts.h"

#include <QStorageInfo>

#include <algorithm>
#include <cmath>

namespace torvanelo {

namespace {

const QString JournalDatePrefix = QStringLiteral("Log ") + ProductName + u' ';
constexpr int DateLength = 10;
constexpr int LabelLeft[4] = {120, 1080, 2040, 3000};
constexpr int LabelTop = 120;
constexpr int RowHeight = 360;
constexpr int LabelHeight = 195;
constexpr int ScrollRange = 33600;

// Rounded, halves to even, and kept between the bounds; a text such as
// "1e999" reads as a huge number, never as an undefined conversion.
int roundedWithin(double value) {
    const double rounded = roundHalfEven(value);
    if (std::isnan(rounded))
        return MinimumRetention;
    return int(std::clamp(rounded, double(MinimumRetention), double(MaximumRetention)));
}

bool isUnder(const QString& path, QStringView root) {
    return path == root
           || (path.startsWith(root) && path.size() > root.size() && path.at(root.size()) == u'/');
}

} // namespace

QString JournalDate(const QString& journalName) {
    return journalName.mid(JournalDatePrefix.size(), DateLength);
}

int ViewerJournalToOpen(const std::vector<QString>& names, const QDate& today) {
    int latest = -1;
    QDate latestDate;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto date = JournalNameDate(names[i]);
        if (!date)
            continue;
        if (*date == today)
            return int(i);
        if (!latestDate.isValid() || *date > latestDate) {
            latestDate = *date;
            latest = int(i);
        }
    }
    return latest;
}

QPoint ViewerLabelTwips(int index) {
    if (index < 0)
        index = 0;
    return QPoint(LabelLeft[index % 4], LabelTop + RowHeight * (index / 4));
}

int ViewerScrollMaximum(int labelCount, int windowHeightTwips) {
    int needed = ScrollRange;
    if (labelCount > 0)
        needed = std::max(needed, ViewerLabelTwips(labelCount - 1).y() + LabelHeight + LabelTop);
    return std::max(0, needed - windowHeightTwips);
}

QString RemoveLogText(int language, const QString& date) {
    return Tr(language, u"Effacer le journal '", u"Remove Log '") + date + u'\'';
}

QString RemoveLogFailedText(int language, const QString& date) {
    return Tr(language, u"Le journal '", u"Log '") + date
           + Tr(language, u"' n'a pas pu être effacé.", u"' could not be removed.");
}

ArrowStep PurgeDownArrow(QStringView text) {
    const double value = leadingNumber(text) - 1;
    if (!(roundHalfEven(value) > MinimumRetention))
        return {MinimumRetention, BoundText::Minimum};
    return {roundedWithin(value), BoundText::Hidden};
}

ArrowStep PurgeUpArrow(QStringView text) {
    const double value = leadingNumber(text) + 1;
    if (roundHalfEven(value) >= MaximumRetention)
        return {MaximumRetention, BoundText::Maximum};
    return {roundedWithin(value), BoundText::Hidden};
}

QString BoundCaption(int language, BoundText bound) {
    switch (bound) {
    case BoundText::Minimum:
        return Tr(language, u"Valeur minimale atteinte", u"Minimal value reached");
    case BoundText::Maximum:
        return Tr(language, u"Valeur maximale atteinte", u"Maximal value reached");
    case BoundText::Hidden:
        break;
    }
    return QString();
}

std::optional<int> PurgeRetention(QStringView text) {
    const double value = leadingNumber(text);
    if (!(value >= MinimumRetention && value <= MaximumRetention))
        return std::nullopt;
    return int(roundHalfEven(value));
}

QString InvalidValueText(int language, const QString& typed) {
    return Tr(language, u"Valeur incorrecte: ", u"Invalid value: ") + typed;
}

bool IsDriveMount(const QString& mountPoint, const QByteArray& fileSystemType) {
    static const QByteArray kernelTypes[] = {
        "proc",       "sysfs",  "devtmpfs",  "devpts",    "cgroup",          "cgroup2",
        "securityfs", "pstore", "bpf",       "debugfs",   "tracefs",         "configfs",
        "fusectl",    "mqueue", "hugetlbfs", "autofs",    "binfmt_misc",     "efivarfs",
        "rpc_pipefs", "nsfs",   "ramfs",     "selinuxfs", "fuse.gvfsd-fuse", "fuse.portal"};
    if (!mountPoint.startsWith(u'/'))
        return false;
    if (std::find(std::begin(kernelTypes), std::end(kernelTypes), fileSystemType)
        != std::end(kernelTypes))
        return false;
    for (QStringView system : {u"/proc", u"/sys", u"/dev"}) {
        if (isUnder(mountPoint, system))
            return false;
    }
    if (isUnder(mountPoint, u"/run") && !mountPoint.startsWith(QStringLiteral("/run/media/")))
        return false;
    return true;
}

std::vector<QString> MountedDrives() {
    std::vector<QString> drives;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (root == u"/" || !volume.isValid() || !IsDriveMount(root, volume.fileSystemType()))
            continue;
        drives.push_back(root);
    }
    std::sort(drives.begin(), drives.end());
    drives.erase(std::unique(drives.begin(), drives.end()), drives.end());
    drives.insert(drives.begin(), QStringLiteral("/"));
    return drives;
}

QString DriveOfFolder(const QString& folder, const std::vector<QString>& drives) {
    QString best;
    for (const QString& drive : drives) {
        const bool holds = drive == u"/" ? folder.startsWith(u'/') : isUnder(folder, drive);
        if (holds && drive.size() > best.size())
            best = drive;
    }
    return best;
}

} // namespace torvanelo
