#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <span>

namespace torvanelo {

struct FolderPair;

// One caption of the main window in both languages. control is the
// objectName of a menu, menu entry, label, frame or button.
struct CaptionText {
    QStringView control;
    QStringView french;
    QStringView english;
};

// Every caption ApplyLanguage rewrites, menus first, then labels, frames and
// buttons. The entries that copy another entry's caption and the composed
// mnuService caption are not in the table (see the functions below).
std::span<const CaptionText> mainWindowCaptions();

// mnuService: "Installer/supprimer " / "Install/remove " + "Torvanelo Service [NT]".
QString serviceMenuCaption(int language);
// The tooltip of cmdMiroir while stopped.
QString startTooltip(int language);

// The interval of a pair as the information line shows it: "10 s",
// "2 min 5 s", "1 h 10 min 0 s". Negative values count as 0.
QString IntervalText(qint64 seconds);

// The interval in seconds: IntervalCount (0, empty or unreadable counts as
// 1) times the default delay.
qint64 PairIntervalSeconds(const QString& intervalCount, int defaultDelay);

// The two lines of the information line for a pair, joined by "\n":
// "<source> -> <target>[ [disabled text]]" and "T = <interval>; <mode text>".
// The folder texts are the grid's cell texts, trimmed here.
QString PairDescription(const FolderPair& pair, const QString& sourceText,
                        const QString& targetText, int defaultDelay, int language);

// Texts of start-up and the ways out.
QString alreadyRunningText(int language);
QString serviceInstalledQuestion(int language);
QString serviceRemovedText(int language);
QString serviceNotRemovedText(int language);
// The line under "WinRar not installed" names the command and the folders
// searched before PATH.
QString archiverMissingText(int language, const QStringList& searchedFolders);
QString archiverMissingTitle();
QString quitQuestion(int language);
QString splashEscText(int language);
QString pairFileUnreadableText(int language, const QString& pairFile);

} // namespace torvanelo
