#pragma once

#include <QTableWidget>

// A grid of text cells addressed (column, row) with fixed rows at the top
// drawn as headers; the fixed rows are ordinary cells of the grid.
class TStringGrid : public QTableWidget {
    Q_OBJECT
public:
    TStringGrid(QWidget* parent, const QString& name, int columns, int rows, int fixedRows);

    QString Cells(int column, int row) const;
    void setCells(int column, int row, const QString& text);
    void setColWidth(int column, int width) { setColumnWidth(column, width); }
    void setDefaultRowHeight(int height);
    int Row() const { return currentRow(); }
    void setRow(int row);

private:
    int fixedRows_;
};
