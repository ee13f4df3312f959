#pragma once

#include <QTableWidget>

/// @file
/// The grid of text cells.

/// A grid of text cells addressed (column, row) with fixed rows at the top
/// drawn as headers; the fixed rows are ordinary cells of the grid.
class TStringGrid : public QTableWidget {
    Q_OBJECT
public:
    /// A read-only grid owned by @p parent, named @p name, with every cell
    /// made and empty; the first @p fixedRows rows are headers.
    TStringGrid(QWidget* parent, const QString& name, int columns, int rows, int fixedRows);

    ///@{
    /// The text of a cell; outside the grid, empty and ignored.
    QString Cells(int column, int row) const;
    void setCells(int column, int row, const QString& text);
    ///@}
    /// The width of a column in pixels.
    void setColWidth(int column, int width) { setColumnWidth(column, width); }
    /// The height of every row in pixels.
    void setDefaultRowHeight(int height);
    ///@{
    /// The selected row; fixed rows and rows outside the grid are not
    /// selected (setRow ignores them).
    int Row() const { return currentRow(); }
    void setRow(int row);
    ///@}

private:
    int fixedRows_;
};
