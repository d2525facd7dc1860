#pragma once

#include <QObject>
#include <QString>

#include <array>
#include <optional>

class QFontMetrics;
class QSize;
class QLabel;
class QListView;

namespace torvanelo {

class FileSystem;
class FolderListModel;
class SettingsStore;
class frmKelvadon;

// The contents of the selected pair's folders, shown by the main window in
// the place of its legend: lstFichiersSources and lstFichiersCibles list the
// files of the source and the target folder by name and their sub-folders
// in brackets, sorted as a file manager sorts them; under each a count
// "N files/folders in <folder>", the folder elided in its middle when the
// line is too narrow for it. Each item's tooltip gives "folder [name]" or the
// name and its size. The lists are FolderListModel views: a big folder is
// listed in steps between turns of the event loop, and its count appears
// when the listing is complete.
class FolderContents final : public QObject {
    Q_OBJECT

public:
    enum Side { SourceSide = 1, TargetSide = 2 };

    FolderContents(frmKelvadon& window, SettingsStore& store, const FileSystem& files);

    // Lists both folders of the pair shown in a grid row.
    void ShowPairFiles(int row);
    // After a pass: the source folder of the row again, the target too when
    // the pass compressed or uncompressed something.
    void refreshAfterPass(int row, bool includeTarget);
    // Lists `folder` into one side's list and sets its count label when the
    // listing is complete; the label names the folder as `folderText` (the
    // grid's text). An empty, missing or unreadable folder gives an empty
    // list and a count of 0.
    void ListFolderFiles(Side side, const QString& folder, const QString& folderText);
    // mnuAfficherFichiers (F2): shows the lists in the place of the legend
    // or the legend again; the setting is written at once.
    void mnuAfficherFichiers_Click();

    FolderListModel& model(Side side) const { return *m_models[side == SourceSide ? 0 : 1]; }

private:
    QListView* list(Side side) const;
    QLabel* countLabel(Side side) const;
    void listSide(Side side, int row);
    void showCount(Side side, int count);

    frmKelvadon& m_window;
    SettingsStore& m_store;
    std::array<FolderListModel*, 2> m_models{};
    std::array<QString, 2> m_folderTexts;
};

// The count under a list: "3 files/folders in /srv/in" or
// "3 fichiers/dossiers dans /srv/in".
QString FolderCountText(int count, const QString& folderText, int language);
// The count as it fits a box of the label's size, its words wrapped: when
// the whole text does not fit, the count on one line and the folder on the
// next, elided in its middle.
QString FittedCountText(const QFontMetrics& metrics, const QSize& box, int count,
                        const QString& folderText, int language);
// The tooltip of a list item: "folder [name]" / "dossier [name]" for a
// sub-folder; the name, three spaces and the size for a file.
// A file whose size could not be read (gone meanwhile) shows its name only.
QString FolderItemTooltip(const QString& itemText, bool folder, std::optional<qint64> size,
                          int language);

} // namespace torvanelo
