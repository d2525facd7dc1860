#include "FolderContents.h"

#include "FileSystem.h"
#include "FolderGrid.h"
#include "FolderPairModel.h"
#include "FolderPrefix.h"
#include "FormatSize.h"
#include "SettingsStore.h"
#include "Texts.h"
#include "WaitCursor.h"
#include "frmKelvadon.h"

#include <QLabel>
#include <QListWidget>

namespace torvanelo {

QString FolderCountText(int count, const QString& folderText, int language) {
    return QString::number(count) + Tr(language, u" fichiers/dossiers dans ", u" files/folders in ")
           + folderText;
}

QString FolderItemTooltip(const QString& itemText, bool folder, std::optional<qint64> size,
                          int language) {
    if (folder)
        return Tr(language, u"dossier ", u"folder ") + itemText;
    if (!size)
        return itemText;
    return itemText + QStringLiteral("   ") + FormatSize(*size);
}

FolderContents::FolderContents(frmKelvadon& window, SettingsStore& store, const FileSystem& files)
    : QObject(&window)
    , m_window(window)
    , m_store(store)
    , m_files(files) {
    setObjectName(QStringLiteral("FolderContents"));
    // The counts name folders: text, even when a name looks like markup.
    for (Side side : {SourceSide, TargetSide})
        countLabel(side)->setTextFormat(Qt::PlainText);
}

QListWidget* FolderContents::list(Side side) const {
    return side == SourceSide ? m_window.sourceFileList() : m_window.targetFileList();
}

QLabel* FolderContents::countLabel(Side side) const {
    return side == SourceSide ? m_window.sourceFileCount() : m_window.targetFileCount();
}

void FolderContents::ShowPairFiles(int row) {
    for (Side side : {SourceSide, TargetSide}) {
        list(side)->clear();
        countLabel(side)->clear();
    }
    listSide(SourceSide, row);
    listSide(TargetSide, row);
}

void FolderContents::refreshAfterPass(int row, bool includeTarget) {
    listSide(SourceSide, row);
    if (includeTarget)
        listSide(TargetSide, row);
}

void FolderContents::listSide(Side side, int row) {
    const FolderPairModel& pairs = m_window.pairModel();
    if (row < 0 || row >= pairs.rowCount())
        return;
    // The pair is found through the number the row carries, as everywhere
    // the grid hands a row to the pair list.
    const int number = pairs.index(row, 0).data(FolderPairModel::PairNumberRole).toInt();
    if (number < 1 || number > int(pairs.pairs().size()))
        return;
    const FolderPair& pair = pairs.pairs()[std::size_t(number - 1)];
    const auto column =
        side == SourceSide ? FolderPairModel::SourceColumn : FolderPairModel::TargetColumn;
    ListFolderFiles(side, side == SourceSide ? pair.Source : pair.Target,
                    pairs.folderText(row, column).trimmed());
}

void FolderContents::ListFolderFiles(Side side, const QString& folder, const QString& folderText) {
    const WaitCursor hourglass;
    QListWidget* items = list(side);
    const int language = m_store.settings().Language;
    items->clear();
    if (!folder.isEmpty()) {
        if (const auto entries = m_files.list(folder)) {
            // Sorted once at the end: a sorted list re-sorts on every insert.
            items->setSortingEnabled(false);
            const QString prefix = FolderPrefix(folder);
            for (const DirectoryEntry& entry : *entries) {
                auto* item = new QListWidgetItem;
                const bool isFolder = entry.type == EntryType::Directory;
                std::optional<qint64> size;
                if (isFolder) {
                    item->setText(u'[' + entry.name + u']');
                } else {
                    item->setText(entry.name);
                    if (const auto info = m_files.info(prefix + entry.name))
                        size = info->size;
                }
                item->setData(FolderRole, isFolder);
                item->setData(SizeKnownRole, size.has_value());
                item->setData(SizeRole, size.value_or(0));
                item->setToolTip(FolderItemTooltip(item->text(), isFolder, size, language));
                items->addItem(item);
            }
            items->setSortingEnabled(true);
            items->sortItems();
        }
    }
    countLabel(side)->setText(FolderCountText(items->count(), folderText, language));
}

void FolderContents::mnuAfficherFichiers_Click() {
    const bool show = !m_store.settings().ShowFolderFiles;
    m_store.setShowFolderFiles(show);
    if (show) {
        m_window.showFolderFilesLayout();
        if (m_window.pairModel().rowCount() > 0)
            ShowPairFiles(m_window.grid()->currentRow());
    } else {
        m_window.clearFolderFiles();
        m_window.showFolderFilesLayout();
    }
}

} // namespace torvanelo
