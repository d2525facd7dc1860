#include "FolderGrid.h"

#include "FolderPairModel.h"
#include "Pictures.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>

namespace torvanelo {

FolderGrid::FolderGrid(QWidget* parent)
    : QTableView(parent) {
    setObjectName(QStringLiteral("lstDossiers"));
    setItemDelegate(new FolderGridDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setMouseTracking(true);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(pairRowHeight());
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setMinimumSectionSize(1);
    showHighlight();
}

void FolderGrid::setPairModel(FolderPairModel* model) {
    setModel(model);
    connect(model, &QAbstractItemModel::modelReset, this, &FolderGrid::updateColumnWidths);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    emit currentRowChanged(current.row());
            });
    updateColumnWidths();
}

void FolderGrid::setSelectionHighlight(bool on) {
    if (m_highlight == on)
        return;
    m_highlight = on;
    showHighlight();
    viewport()->update();
    emit selectionHighlightChanged(on);
}

void FolderGrid::showHighlight() {
    // The view paints the selected rows' background itself, before any
    // delegate: without the highlight, selected rows take the plain colours.
    QPalette colours = QApplication::palette(this);
    if (!m_highlight) {
        for (const auto group : {QPalette::Active, QPalette::Inactive}) {
            colours.setColor(group, QPalette::Highlight, colours.color(group, QPalette::Base));
            colours.setColor(group, QPalette::HighlightedText,
                             colours.color(group, QPalette::Text));
        }
    }
    setPalette(colours);
}

int FolderGrid::currentRow() const {
    const QModelIndex current = currentIndex();
    if (current.isValid())
        return current.row();
    return model() && model()->rowCount() > 0 ? 0 : -1;
}

int FolderGrid::selectionEndRow() const {
    const int current = currentRow();
    if (current < 0 || !selectionModel())
        return current;
    // The selection is one range of rows; its end is whichever edge lies
    // away from the current row.
    int first = current;
    int last = current;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        if (range.top() <= current && current <= range.bottom()) {
            first = range.top();
            last = range.bottom();
        }
    }
    return current == first ? last : first;
}

void FolderGrid::makeCurrentRow(int row) {
    selectRows(row, row);
}

void FolderGrid::selectRows(int current, int end) {
    if (!model() || current < 0 || current >= model()->rowCount())
        return;
    end = std::clamp(end, 0, model()->rowCount() - 1);
    const int lastColumn = model()->columnCount() - 1;
    const QItemSelection selection(model()->index(std::min(current, end), 0),
                                   model()->index(std::max(current, end), lastColumn));
    selectionModel()->setCurrentIndex(model()->index(current, 0), QItemSelectionModel::NoUpdate);
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

int FolderGrid::pairRowHeight() const {
    return std::max(ModePictureSize.height(), fontMetrics().height() + 4);
}

void FolderGrid::updateColumnWidths() {
    int available = width() - 2 * frameWidth();
    const int rows = model() ? model()->rowCount() : 0;
    if (rows * pairRowHeight() > height() - 2 * frameWidth())
        available -= verticalScrollBar()->sizeHint().width();
    const int modeWidth = ModePictureSize.width() + 3;
    const int folderWidth = std::max(1, (available - modeWidth) / 2);
    setColumnWidth(FolderPairModel::SourceColumn, folderWidth);
    setColumnWidth(FolderPairModel::ModeColumn, modeWidth);
    setColumnWidth(FolderPairModel::TargetColumn, folderWidth);
}

void FolderGrid::mousePressEvent(QMouseEvent* event) {
    QTableView::mousePressEvent(event);
    if (model() && model()->rowCount() > 0)
        setSelectionHighlight(true);
}

void FolderGrid::mouseMoveEvent(QMouseEvent* event) {
    emit pointerMoved(event->position().toPoint());
    QTableView::mouseMoveEvent(event);
}

void FolderGrid::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete) {
        emit deletePressed();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Space:
        if (model() && model()->rowCount() > 0)
            setSelectionHighlight(true);
        break;
    default:
        break;
    }
}

void FolderGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    updateColumnWidths();
}

bool FolderGrid::viewportEvent(QEvent* event) {
    // The grid's tooltip is set by the pointer help: a cell's full text when
    // it is too wide for its column, nothing otherwise.
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        if (toolTip().isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), toolTip(), viewport());
        return true;
    }
    return QTableView::viewportEvent(event);
}

FolderGridDelegate::FolderGridDelegate(FolderGrid* grid)
    : QStyledItemDelegate(grid)
    , m_grid(grid) {}

void FolderGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    QStyleOptionViewItem cell(option);
    initStyleOption(&cell, index);
    if (!m_grid->selectionHighlight())
        cell.state &= ~QStyle::State_Selected;
    cell.state &= ~QStyle::State_HasFocus;
    const QStyle* style = cell.widget ? cell.widget->style() : QApplication::style();
    const qreal ratio = painter->device()->devicePixelRatioF();

    if (index.column() == FolderPairModel::ModeColumn) {
        cell.text.clear();
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);
        const bool uncompresses = index.data(FolderPairModel::UncompressesRole).toBool();
        const QPixmap picture = picturePixmap(
            uncompresses ? Picture::Uncompress : Picture::Compress, ModePictureSize, ratio);
        QRect target(QPoint(), ModePictureSize);
        target.moveCenter(cell.rect.center());
        painter->drawPixmap(target, picture);
        return;
    }

    if (!index.data(FolderPairModel::EnabledRole).toBool()) {
        // Selected, the row keeps the highlight's own text colour (grey on
        // the highlight is hard to read); the italics still tell it apart.
        cell.palette.setColor(QPalette::Text, QColor::fromRgb(DisabledPairColour));
        cell.font.setItalic(true);
    }
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);
    if (index.data(FolderPairModel::MacVolumeRole).toBool()) {
        QRect target(QPoint(), MacPictureSize);
        target.moveCenter(cell.rect.center());
        target.moveLeft(cell.rect.left() + 2);
        painter->drawPixmap(target, picturePixmap(Picture::Mac, MacPictureSize, ratio));
    }
}

QSize FolderGridDelegate::sizeHint(const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max(size.height(), m_grid->pairRowHeight()));
    return size;
}

} // namespace torvanelo
