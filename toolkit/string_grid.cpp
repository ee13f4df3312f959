#include "toolkit/string_grid.h"

#include <QHeaderView>

#include "toolkit/colors.h"

TStringGrid::TStringGrid(QWidget* parent, const QString& name, int columns, int rows, int fixedRows)
    : QTableWidget(rows, columns, parent), fixedRows_(fixedRows) {
    setObjectName(name);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFocusPolicy(Qt::NoFocus);
    // A grid disabled for input still shows its cells in the normal colours.
    QPalette colours = palette();
    for (auto role : {QPalette::Text, QPalette::Base, QPalette::Highlight, QPalette::HighlightedText,
                      QPalette::Window, QPalette::WindowText})
        colours.setColor(QPalette::Disabled, role, colours.color(QPalette::Active, role));
    setPalette(colours);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            auto* item = new QTableWidgetItem;
            if (row < fixedRows_) {
                item->setBackground(toQColor(clBtnFace));
                item->setFlags(Qt::ItemIsEnabled);
            }
            setItem(row, column, item);
        }
    }
}

QString TStringGrid::Cells(int column, int row) const {
    const QTableWidgetItem* cell = item(row, column);
    return cell ? cell->text() : QString();
}

void TStringGrid::setCells(int column, int row, const QString& text) {
    if (QTableWidgetItem* cell = item(row, column)) cell->setText(text);
}

void TStringGrid::setDefaultRowHeight(int height) {
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(height);
    for (int row = 0; row < rowCount(); ++row) setRowHeight(row, height);
}

void TStringGrid::setRow(int row) {
    if (row >= fixedRows_ && row < rowCount()) selectRow(row);
}
