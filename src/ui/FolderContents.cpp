#include "FolderContents.h"

#include "FolderGrid.h"
#include "FolderListModel.h"
#include "FolderPairModel.h"
#include "FormatSize.h"
#include "SettingsStore.h"
#include "Texts.h"
#include "WaitCursor.h"
#include "frmKelvadon.h"

#include <QFontMetrics>
#include <QLabel>
#include <QListView>

#include <algorithm>

namespace torvanelo {

QString FolderCountText(int count, const QString& folderText, int language) {
    return QString::number(count) + Tr(language, u" fichiers/dossiers dans ", u" files/folders in ")
           + folderText;
}

QString FittedCountText(const QFontMetrics& metrics, const QSize& box, int count,
                        const QString& folderText, int language) {
    const QString whole = FolderCountText(count, folderText, language);
    const QRect needed =
        metrics.boundingRect(QRect(0, 0, box.width(), 1 << 20), Qt::TextWordWrap, whole);
    if (needed.width() <= box.width() && needed.height() <= box.height())
        return whole;
    // The count on its line, the folder on the next, elided in its middle.
    return FolderCountText(count, QString(), language).trimmed() + u'\n'
           + metrics.elidedText(folderText, Qt::ElideMiddle, box.width());
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
    , m_store(store) {
    setObjectName(QStringLiteral("FolderContents"));
    for (Side side : {SourceSide, TargetSide}) {
        auto* items = new FolderListModel(
            files, [this] { return int(m_store.settings().Language); }, this);
        m_models[side == SourceSide ? 0 : 1] = items;
        list(side)->setModel(items);
        connect(items, &FolderListModel::listed, this,
                [this, side](int count) { showCount(side, count); });
        // The counts name folders: text, even when a name looks like markup.
        countLabel(side)->setTextFormat(Qt::PlainText);
    }
}

QListView* FolderContents::list(Side side) const {
    return side == SourceSide ? m_window.sourceFileList() : m_window.targetFileList();
}

QLabel* FolderContents::countLabel(Side side) const {
    return side == SourceSide ? m_window.sourceFileCount() : m_window.targetFileCount();
}

void FolderContents::ShowPairFiles(int row) {
    for (Side side : {SourceSide, TargetSide}) {
        model(side).clear();
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
    m_folderTexts[side == SourceSide ? 0 : 1] = folderText;
    countLabel(side)->clear();
    countLabel(side)->setToolTip(QString());
    FolderListModel& items = model(side);
    items.list(folder);
    // What the first step left is listed between turns of the event loop.
    if (items.listing())
        list(side)->setCursor(Qt::BusyCursor);
}

void FolderContents::showCount(Side side, int count) {
    list(side)->unsetCursor();
    QLabel* label = countLabel(side);
    const QString& folderText = m_folderTexts[side == SourceSide ? 0 : 1];
    const int language = m_store.settings().Language;
    const QString fitted = FittedCountText(label->fontMetrics(), label->contentsRect().size(),
                                           count, folderText, language);
    label->setText(fitted);
    const QString whole = FolderCountText(count, folderText, language);
    label->setToolTip(fitted == whole ? QString() : whole);
}

void FolderContents::mnuAfficherFichiers_Click() {
    const bool show = !m_store.settings().ShowFolderFiles;
    const bool saved = m_store.setShowFolderFiles(show);
    if (show) {
        m_window.showFolderFilesLayout();
        if (m_window.pairModel().rowCount() > 0)
            ShowPairFiles(m_window.grid()->currentRow());
    } else {
        m_window.clearFolderFiles();
        m_window.showFolderFilesLayout();
    }
    m_window.sayIfNotSaved(saved);
}

} // namespace torvanelo
