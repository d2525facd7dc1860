#include "FolderPairModel.h"

#include "FileSystem.h"
#include "ParametersFile.h"

namespace torvanelo {

FolderPairModel::FolderPairModel(const FileSystem& fileSystem, QObject* parent)
    : QAbstractTableModel(parent)
    , m_fileSystem(fileSystem) {}

PairFileFault FolderPairModel::reload(const ParametersFile& parameters, const QString& pairFile) {
    FolderPairLoad load = LoadFolderPairs(parameters, pairFile);
    setPairs(std::move(load.pairs));
    return load.fault;
}

FolderPairModel::FolderState FolderPairModel::folderState(const QString& path) const {
    FolderState state;
    if (path.isEmpty())
        return state;
    state.exists = m_fileSystem.exists(path);
    state.macVolume = state.exists && IsMacVolume(m_fileSystem, path);
    return state;
}

void FolderPairModel::setPairs(std::vector<FolderPair> pairs) {
    beginResetModel();
    m_pairs = std::move(pairs);
    m_rows.clear();
    m_rows.reserve(m_pairs.size());
    for (const FolderPair& pair : m_pairs)
        m_rows.push_back(RowState{folderState(pair.Source), folderState(pair.Target)});
    endResetModel();
}

const QString& FolderPairModel::pathOf(int row, Column column) const {
    const FolderPair& pair = m_pairs[std::size_t(row)];
    return column == TargetColumn ? pair.Target : pair.Source;
}

QString FolderPairModel::folderText(int row, Column column) const {
    if (row < 0 || row >= rowCount() || column == ModeColumn)
        return {};
    const QString& path = pathOf(row, column);
    const RowState& state = m_rows[std::size_t(row)];
    const FolderState& folder = column == TargetColumn ? state.target : state.source;
    if (column == TargetColumn && path.isEmpty())
        return QStringLiteral("???");
    if (!folder.exists)
        return QStringLiteral("??? ") + path;
    if (folder.macVolume)
        return QStringLiteral("      ") + path;
    return path;
}

int FolderPairModel::rowCount(const QModelIndex& parent) const {
    // The pass may hold pairs() but never resizes it; the rows built at the
    // last load are what the view was told about.
    return parent.isValid() ? 0 : int(std::min(m_rows.size(), m_pairs.size()));
}

int FolderPairModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FolderPairModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const int row = index.row();
    const auto column = Column(index.column());
    const FolderPair& pair = m_pairs[std::size_t(row)];
    const bool folderCell = column != ModeColumn;
    const FolderState& folder =
        column == TargetColumn ? m_rows[std::size_t(row)].target : m_rows[std::size_t(row)].source;
    switch (role) {
    case Qt::DisplayRole:
        return folderCell ? QVariant(folderText(row, column)) : QVariant();
    case PairNumberRole:
        return row + 1;
    case UncompressesRole:
        return !pair.compresses();
    case EnabledRole:
        return pair.enabled();
    case ExistsRole:
        return folderCell ? QVariant(folder.exists) : QVariant();
    case MacVolumeRole:
        return folderCell ? QVariant(folder.macVolume) : QVariant();
    case PathRole:
        return folderCell ? QVariant(pathOf(row, column)) : QVariant();
    default:
        return {};
    }
}

Qt::ItemFlags FolderPairModel::flags(const QModelIndex& index) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

} // namespace torvanelo
