#pragma once

#include <QDate>
#include <QPoint>
#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

namespace torvanelo {

// The decisions of the journal windows, apart from any widget.

// --- Journal viewer ---------------------------------------------------------

// The date a journal is listed under: the ten characters after
// "Log Torvanelo " in its name (fewer when the name is shorter).
QString JournalDate(const QString& journalName);

// The journal the viewer opens at once, as an index into the listed names
// (ascending): today's, or else the latest of the program's own dated
// journals, never a name that merely sorts last ("Log Torvanelo
// backup.htm"). -1 when there is none.
int ViewerJournalToOpen(const std::vector<QString>& names, const QDate& today);

// Where date label `index` goes, in twips: rows of four from 120, 120, the
// columns at 120, 1080, 2040 and 3000, each row 360 below the one before.
QPoint ViewerLabelTwips(int index);

// The greatest value of the viewer's scroll bar, in twips: 33600 less the
// window's height, and more when the labels reach further down, so that
// every journal can be scrolled to however many there are.
int ViewerScrollMaximum(int labelCount, int windowHeightTwips);

// "Effacer le journal '<date>'" / "Remove Log '<date>'": the pop-up entry and
// the question.
QString RemoveLogText(int language, const QString& date);
// Said when a journal could not be deleted and is still there.
QString RemoveLogFailedText(int language, const QString& date);

// --- Purge dialog -----------------------------------------------------------

inline constexpr int MinimumRetention = 2;
inline constexpr int MaximumRetention = 366;

enum class BoundText { Hidden, Minimum, Maximum };

struct ArrowStep {
    int value;
    BoundText bound;
};

// The arrows of UpDown1 read the box's leading number (0 when there is
// none), add or take one, round halves to even and keep the result between
// 2 and 366; the bound text shows when the arrow reached its bound.
ArrowStep PurgeDownArrow(QStringView text);
ArrowStep PurgeUpArrow(QStringView text);

// "Valeur minimale atteinte" / "Minimal value reached" and the maximum;
// empty for Hidden.
QString BoundCaption(int language, BoundText bound);

// The number of journals OK stores: the box's leading number, rounded
// halves to even (2.5 -> 2), when it lies from 2 to 366; nullopt otherwise.
std::optional<int> PurgeRetention(QStringView text);

// "Valeur incorrecte: " / "Invalid value: " followed by the box's text.
QString InvalidValueText(int language, const QString& typed);

// --- Journal folder dialog --------------------------------------------------

// The mount points offered as drives: real file systems, not the kernel's
// own (proc, sysfs, cgroups...) nor anything under /proc, /sys, /dev or /run
// (except removable media under /run/media).
bool IsDriveMount(const QString& mountPoint, const QByteArray& fileSystemType);

// The drives offered now: "/" first, then the other mount points sorted,
// each once.
std::vector<QString> MountedDrives();

// The drive (mount point) that holds a folder: the longest of `drives` that
// is the folder itself or one of its ancestors; empty when none is.
QString DriveOfFolder(const QString& folder, const std::vector<QString>& drives);

} // namespace torvanelo
