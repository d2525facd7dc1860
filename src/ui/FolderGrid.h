#pragma once

#include <QColor>
#include <QStyledItemDelegate>
#include <QTableView>

namespace torvanelo {

class FolderPairModel;

// The pair grid lstDossiers over FolderPairModel: three columns (source,
// mode picture, target), whole rows selected, one contiguous range.
//
// Selection highlight: a state of its own, apart from Qt's selection. Off
// after every load and after a click on the window's background; on only by
// a click on a row or a moving key in the grid, never by the focus coming
// back (another window, a menu closed). While it is off, no row is drawn
// selected, and the commands that act on "the selected pairs" refuse: the
// current row then only marks a place, not a choice of the user.
class FolderGrid final : public QTableView {
    Q_OBJECT

public:
    explicit FolderGrid(QWidget* parent = nullptr);

    void setPairModel(FolderPairModel* model);

    bool selectionHighlight() const { return m_highlight; }
    void setSelectionHighlight(bool on);

    // The row last clicked or moved to; -1 without rows.
    int currentRow() const;
    // With the current row, the other end of the selected range.
    int selectionEndRow() const;
    // Makes row the current row and the whole selection.
    void makeCurrentRow(int row);
    // Makes current the current row and selects current..end, both included.
    void selectRows(int current, int end);

    // Every row is at least this tall: the height of the mode picture.
    int pairRowHeight() const;
    // Widths as the grid shows them: the mode picture in the middle, the two
    // folder columns sharing the rest equally.
    void updateColumnWidths();

signals:
    void selectionHighlightChanged(bool on);
    // The Delete key (the grid does nothing else with it).
    void deletePressed();
    // The pointer moved over the grid's cells area (viewport coordinates).
    void pointerMoved(const QPoint& position);
    // The current row changed (also when a load moves it).
    void currentRowChanged(int row);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void showHighlight();

    bool m_highlight = false;
};

// Draws the cells: the mode picture centred in column 1; a disabled pair's
// folder texts in grey (128, 128, 128) and italic; the Macintosh picture at
// the left of a Macintosh folder's cell, over the six blanks of its text;
// the selection only while the grid's selection highlight is on.
class FolderGridDelegate final : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit FolderGridDelegate(FolderGrid* grid);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    FolderGrid* m_grid;
};

// The colour of a disabled pair's texts (grid and information line).
inline constexpr QRgb DisabledPairColour = 0xff808080;

} // namespace torvanelo
