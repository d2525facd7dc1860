#pragma once

#include "FolderPair.h"
#include "FolderPairList.h"

#include <QAbstractTableModel>

#include <vector>

namespace torvanelo {

class FileSystem;
class ParametersFile;

// The pair list as the grid shows it: one row per pair (row r holds pair
// r + 1), three columns (source, mode, target). What a cell shows is worked
// out when the list is loaded, as the grid has always done: a folder that
// appears or vanishes later shows the change at the next load, which every
// edit of the list ends with.
//
// The processing pass works on pairs() directly and counts PassesLeft down
// in place between loads; it never changes the other fields.
class FolderPairModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { SourceColumn = 0, ModeColumn = 1, TargetColumn = 2, ColumnCount = 3 };

    enum Role {
        PairNumberRole = Qt::UserRole, // every cell: the 1-based pair number (the row data)
        UncompressesRole,              // every cell: true when the pass uncompresses this pair
        EnabledRole,                   // every cell: true when the pair takes part in passes
        ExistsRole,                    // source/target cell: the folder existed at load time
        MacVolumeRole,                 // source/target cell: existing folder on a Macintosh volume
        PathRole,                      // source/target cell: the path itself, without marks
    };

    explicit FolderPairModel(const FileSystem& fileSystem, QObject* parent = nullptr);

    // Rebuilds the rows from the files. On a fault the list is left empty.
    PairFileFault reload(const ParametersFile& parameters, const QString& pairFile);
    // Rebuilds the rows from the given pairs (PassesLeft as given).
    void setPairs(std::vector<FolderPair> pairs);

    std::vector<FolderPair>& pairs() { return m_pairs; }
    const std::vector<FolderPair>& pairs() const { return m_pairs; }

    // The text a folder cell shows: the path; "??? " + path when the folder
    // does not exist; "???" for a target never set; six blanks + path on a
    // Macintosh volume.
    QString folderText(int row, Column column) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct FolderState {
        bool exists = false;
        bool macVolume = false;
    };
    struct RowState {
        FolderState source;
        FolderState target;
    };

    FolderState folderState(const QString& path) const;
    const QString& pathOf(int row, Column column) const;

    const FileSystem& m_fileSystem;
    std::vector<FolderPair> m_pairs;
    std::vector<RowState> m_rows;
};

} // namespace torvanelo
