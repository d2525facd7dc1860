#pragma once

#include <QObject>
#include <QString>

#include <optional>

class QListWidget;
class QLabel;

namespace torvanelo {

class FileSystem;
class SettingsStore;
class frmKelvadon;

// The contents of the selected pair's folders, shown by the main window in
// the place of its legend: lstFichiersSources and lstFichiersCibles list the
// files of the source and the target folder by name and their sub-folders
// in brackets, sorted; under each a count "N files/folders in <folder>".
// Each item's tooltip gives "folder [name]" or the name and its size.
//
// An item keeps the entry's full 64-bit size and whether it is a folder
// (SizeRole, FolderRole): a folder is known by its type, so no size can be
// mistaken for one, and a file of more than 2 GiB shows its true size.
class FolderContents final : public QObject {
    Q_OBJECT

public:
    enum Role { SizeRole = 0x0100 + 40, FolderRole, SizeKnownRole };
    enum Side { SourceSide = 1, TargetSide = 2 };

    FolderContents(frmKelvadon& window, SettingsStore& store, const FileSystem& files);

    // Lists both folders of the pair shown in a grid row.
    void ShowPairFiles(int row);
    // After a pass: the source folder of the row again, the target too when
    // the pass compressed or uncompressed something.
    void refreshAfterPass(int row, bool includeTarget);
    // Fills one side's list from `folder` and sets its count label, which
    // names the folder as `folderText` (the grid's text). An empty, missing
    // or unreadable folder gives an empty list and a count of 0.
    void ListFolderFiles(Side side, const QString& folder, const QString& folderText);
    // mnuAfficherFichiers (F2): shows the lists in the place of the legend
    // or the legend again; the setting is written at once.
    void mnuAfficherFichiers_Click();

private:
    QListWidget* list(Side side) const;
    QLabel* countLabel(Side side) const;
    void listSide(Side side, int row);

    frmKelvadon& m_window;
    SettingsStore& m_store;
    const FileSystem& m_files;
};

// The count under a list: "3 files/folders in /srv/in" or
// "3 fichiers/dossiers dans /srv/in".
QString FolderCountText(int count, const QString& folderText, int language);
// The tooltip of a list item: "folder [name]" / "dossier [name]" for a
// sub-folder; the name, three spaces and the size for a file.
// A file whose size could not be read (gone meanwhile) shows its name only.
QString FolderItemTooltip(const QString& itemText, bool folder, std::optional<qint64> size,
                          int language);

} // namespace torvanelo
